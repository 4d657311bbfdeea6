#pragma once

#include "com_global.h"
#include "DataUtilsU.h"
#include "MemTable.h"
#include "ResourceStrings.h"

#include <QDialog>
#include <QList>
#include <QSize>
#include <QString>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;
class QVBoxLayout;
class TErrorHandler;
class TPagination;

// The pick lists' own captions (the others come from LangResU).
COM_EXPORT extern const Platform::ResourceString sHeaderCostCenterList;
COM_EXPORT extern const Platform::ResourceString sHeaderEmpList;
COM_EXPORT extern const Platform::ResourceString sHeaderItemList;
COM_EXPORT extern const Platform::ResourceString sHeaderLocationList;
COM_EXPORT extern const Platform::ResourceString sLabelCostCenter;
COM_EXPORT extern const Platform::ResourceString sLabelGender;
COM_EXPORT extern const Platform::ResourceString sLabelOrganization;
COM_EXPORT extern const Platform::ResourceString sLabelItemName;
COM_EXPORT extern const Platform::ResourceString sLabelUnitOfMaterials;
COM_EXPORT extern const Platform::ResourceString sLabelCategory;
COM_EXPORT extern const Platform::ResourceString sLabelMaterial;
COM_EXPORT extern const Platform::ResourceString sLabelSpecification;
COM_EXPORT extern const Platform::ResourceString sLabelLocationType;
COM_EXPORT extern const Platform::ResourceString sLabelBuilding;
COM_EXPORT extern const Platform::ResourceString sLabelProject;
COM_EXPORT extern const Platform::ResourceString sLabelVendor;
COM_EXPORT extern const Platform::ResourceString sLabelLocDetName;
COM_EXPORT extern const Platform::ResourceString sLabelLocDetDesc;
// All of the above and the browse dialog's, for registering with the
// repository.
COM_EXPORT QList<const Platform::ResourceString *> PickListResourceStrings();

// What the master-data pick lists share: the read-only grid over tblData,
// OK and Cancel, the optional search edit and paging bar, and the close
// rule (no result but Cancel on an empty list).
class COM_EXPORT TMasterPickListFrm : public QDialog
{
    Q_OBJECT
public:
    ~TMasterPickListFrm() override;

    Platform::MemTable *tblData = nullptr;
    QTableView *grdData = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
    // Present when the dialog has a search edit.
    QLabel *lblSearch = nullptr;
    QLineEdit *edtSearch = nullptr;
    QToolButton *edtSearchButton = nullptr;
    // Present on paged dialogs.
    QComboBox *cboPage = nullptr;
    QComboBox *cboRowPerPage = nullptr;
    QToolButton *btnFirst = nullptr;
    QToolButton *btnPrev = nullptr;
    QToolButton *btnNext = nullptr;
    QToolButton *btnLast = nullptr;
    QLabel *lblPageCount = nullptr;
    QLabel *lblRows = nullptr;

    virtual void LoadData() = 0;
    // LoadData for the search text, from the first page on a paged list.
    void Search();
    void done(int AResult) override;
    void reject() override;

protected:
    struct Field
    {
        QString Name;
        Platform::MemTable::FieldType Type;
        int Size;
    };
    struct GridColumn
    {
        QString FieldName;
        const Platform::ResourceString *Caption; // none: the field is hidden
    };

    TMasterPickListFrm(const Platform::ResourceString &ACaption, const QSize &AClientSize, bool AWithSearch,
                       bool APaged, QWidget *AParent);
    // Builds tblData's fields and the grid's columns in the given order.
    void defineData(const QList<Field> &AFields, const QList<GridColumn> &AColumns);
    // Room above the grid for a dialog's own filter.
    QVBoxLayout *filterArea() const { return FFilterArea; }
    // A list read in one request; failures are shown, never thrown.
    void lookupLoad(const QString &AUrl, std::unique_ptr<THttpParams> AParams);
    // One page of a paged list read.
    void pagedLoad(const QString &AUrl);
    // Runs an action of a signal handler, reporting what it raises.
    void safely(const std::function<void()> &AAction);

    void showEvent(QShowEvent *AEvent) override;
    virtual void FormShow() = 0;
    // The captions in the current language, put on at every showing.
    virtual void TranslateCaptions();
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

    TPagination *FPagination = nullptr;
    std::unique_ptr<TErrorHandler> FErrorHandler;

private:
    QVBoxLayout *FFilterArea = nullptr;
    const Platform::ResourceString *FCaption;
    QList<QPair<int, const Platform::ResourceString *>> FColumnCaptions;
};
