#pragma once

#include "com_global.h"
#include "DataUtilsU.h"
#include "MemTable.h"
#include "ResourceStrings.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QAbstractProxyModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;
class QWidget;
class TErrorHandler;
class TPagination;

// The dialog's own captions (the others come from LangResU).
COM_EXPORT extern const Platform::ResourceString sHeaderBrowseData;
COM_EXPORT extern const Platform::ResourceString sLabelAddItem;

enum TBrowseDlgType : quint8 {
    bdtBrowse, // pick list with an OK button
    bdtBrowseAdd, // "Add Item" runs the add-item callback instead of OK
};

// Gets the dialog's table (the one Dataset returns).
using TAddItemProc = std::function<void(Platform::MemTable *)>;

class COM_EXPORT TBrowseDlgColumn
{
public:
    QString Caption;
    QString FieldName;
    Platform::MemTable::FieldType FieldType = Platform::MemTable::FieldType::String;
    int FieldWidth = 0;
    int ColumnWidth = 0;
    Qt::Alignment HAlignment = Qt::AlignLeft;
    QString DisplayFormat; // carried for the caller, not applied
    bool IsCreateColumn = false;
};

class COM_EXPORT TBrowseDlgColumns
{
public:
    TBrowseDlgColumns();
    ~TBrowseDlgColumns();

    // Caption, width, alignment and format are kept only for a shown column.
    void AddColumn(const QString &AFieldName, Platform::MemTable::FieldType AFieldType, int AFieldWidth,
                   bool AIsCreateColumn, const QString &ACaption, int AColumnWidth, Qt::Alignment AHAlignment,
                   const QString &ADisplayFormat);
    // Both raise Platform::NotFoundError outside the list.
    const TBrowseDlgColumn &GetColumn(int Index) const;
    void SetColumn(int Index, const TBrowseDlgColumn &Value);
    int Count() const { return int(FColumns.size()); }

private:
    QList<TBrowseDlgColumn> FColumns;
};

// The dialog window. Built and shown by TBrowseDlg.
class COM_EXPORT TBrowseDlgFrm : public QDialog
{
    Q_OBJECT
public:
    explicit TBrowseDlgFrm(QWidget *AParent = nullptr);
    ~TBrowseDlgFrm() override;

    QWidget *lytMainSearchItem = nullptr;
    QLabel *lblSearch = nullptr;
    QLineEdit *edtSearch = nullptr;
    QToolButton *edtSearchButton = nullptr;
    QTableView *grdData = nullptr;
    QWidget *gboPage = nullptr;
    QToolButton *btnFirst = nullptr;
    QToolButton *btnPrev = nullptr;
    QLabel *lblPage = nullptr;
    QComboBox *cboPage = nullptr;
    QLabel *lblPageCount = nullptr;
    QToolButton *btnNext = nullptr;
    QToolButton *btnLast = nullptr;
    QLabel *lblRows = nullptr;
    QComboBox *cboRowPerPage = nullptr;
    QLabel *lblRecordCount = nullptr;
    QWidget *Panel4 = nullptr;
    QPushButton *btnAddItem = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

    // Replaces the table with an empty one holding these columns' fields and
    // the grid's columns with the shown ones. Returns the sum of the shown
    // columns' widths.
    int BuildColumns(const TBrowseDlgColumns &AColumns, bool AColumnAutoWidth);
    Platform::MemTable *tblData() const { return FTable; }

    // Sends the list request with the search text and the page.
    void LoadData();
    // LoadData for the search text from the first page.
    void Search();

    bool IsAutoLoad = true;
    bool IsReloadAfterAddItem = false;
    bool IsShowSearch = false;
    bool IsUsePagination = false;
    bool IsColumnAutoWidth = false;
    int DefaultPageRows = 0;
    QString URL;
    QString OrderBy;
    TBrowseDlgType BrowseDlgType = bdtBrowse;
    TAddItemProc OnAddItem;
    TProc OnAfterAddItem;
    std::unique_ptr<THttpParams> HttpParams;

    void reject() override;

protected:
    void showEvent(QShowEvent *AEvent) override;
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    void FormShow();
    // The captions in the current language; the dialog is made once and
    // shown many times, so at every showing.
    void TranslateCaptions();
    void btnAddItemClick();
    // OK: closes with the table's current row as the pick.
    void pick();
    // False when the action raised (and was reported).
    bool safely(const std::function<void()> &AAction);

    // The caption the dialog put up itself, as opposed to a caller's.
    QString FOwnTitle;
    Platform::MemTable *FTable = nullptr;
    // what the grid shows of FTable: nothing in it can be changed there
    QAbstractProxyModel *FGridModel = nullptr;
    TPagination *FPagination = nullptr;
    std::unique_ptr<TErrorHandler> FErrorHandler;
};

// What a screen creates, fills with columns, shows and then reads the picked
// row from (Dataset) before releasing it. May be shown more than once.
class COM_EXPORT TBrowseDlg
{
public:
    TBrowseDlg(TBrowseDlgType AType, const QString &AURL, bool AShowSearch,
               std::unique_ptr<THttpParams> AHttpParams = nullptr);
    ~TBrowseDlg();
    TBrowseDlg(const TBrowseDlg &) = delete;
    TBrowseDlg &operator=(const TBrowseDlg &) = delete;

    // 1 (OK) or 2 (Cancel).
    int ShowModal();

    TBrowseDlgColumns &Columns() { return *FColumns; }
    void SetColumns(const TBrowseDlgColumns &AValue) { *FColumns = AValue; }
    TAddItemProc OnAddItem() const { return FOnAddItem; }
    void SetOnAddItem(TAddItemProc AValue) { FOnAddItem = std::move(AValue); }
    TProc OnAfterAddItem() const { return FOnAfterAddItem; }
    void SetOnAfterAddItem(TProc AValue) { FOnAfterAddItem = std::move(AValue); }
    TBrowseDlgType BrowseDlgType() const { return FBrowseDlgType; }
    void SetBrowseDlgType(TBrowseDlgType AValue) { FBrowseDlgType = AValue; }
    bool AutoLoad() const { return FAutoLoad; }
    void SetAutoLoad(bool AValue) { FAutoLoad = AValue; }
    bool ReloadAfterAddItem() const { return FReloadAfterAddItem; }
    void SetReloadAfterAddItem(bool AValue) { FReloadAfterAddItem = AValue; }
    bool UsePagination() const { return FUsePagination; }
    void SetUsePagination(bool AValue) { FUsePagination = AValue; }
    QString URL() const { return FURL; }
    void SetURL(const QString &AValue) { FURL = AValue; }
    int Width() const { return FWidth; }
    void SetWidth(int AValue) { FWidth = AValue; }
    int Height() const { return FHeight; }
    void SetHeight(int AValue) { FHeight = AValue; }
    bool ColumnAutoWidth() const { return FColumnAutoWidth; }
    void SetColumnAutoWidth(bool AValue) { FColumnAutoWidth = AValue; }
    QString OrderBy() const { return FOrderBy; }
    void SetOrderBy(const QString &AValue) { FOrderBy = AValue; }
    int DefaultPageRows() const { return FDefaultPageRows; }
    // Accepts 10, 20, 30, 50, 100, 200, 500 and 1000; anything else raises
    // Platform::Error "Invalid Default Page Rows." and keeps the old value.
    void SetDefaultPageRows(int AValue);

    // The dialog's table; its current row is the picked one.
    Platform::MemTable *Dataset() const;
    TBrowseDlgFrm *Form() const { return FBrowseDlgFrm.get(); }

private:
    std::unique_ptr<TBrowseDlgColumns> FColumns;
    TAddItemProc FOnAddItem;
    TProc FOnAfterAddItem;
    TBrowseDlgType FBrowseDlgType;
    bool FAutoLoad = true;
    bool FReloadAfterAddItem = false;
    bool FShowSearch;
    bool FUsePagination = false;
    QString FURL;
    int FWidth = 0;
    int FHeight = 0;
    std::unique_ptr<TBrowseDlgFrm> FBrowseDlgFrm;
    bool FColumnAutoWidth = false;
    QString FOrderBy;
    int FDefaultPageRows = 0;
    std::unique_ptr<THttpParams> FHttpParams;
};
