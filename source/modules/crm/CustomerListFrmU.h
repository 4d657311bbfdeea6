#pragma once

#include "BaseChildFrmU.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QToolBar;
class QToolButton;
class TPagination;

namespace Platform {
class MemTable;
}

// The customer list: a search box, a status filter, the customers of one
// page in a grid and a paging bar. Add and Edit open TCustomerEntryFrm as a
// dialog; the list reads its page again after a save. Find browses every
// customer in a TBrowseDlg and opens the one picked.
//
// A menu entry may preset the filter through its params, e.g. "status=2"
// for the inactive customers.
class TCustomerListFrm : public TBaseChildFrm
{
    Q_OBJECT
public:
    // The list's own modes, besides dmBrowse (rows shown): a read is
    // running, or the page came back empty. Its buttons follow them.
    static constexpr TDataMode dmLoading = dmCustom1;
    static constexpr TDataMode dmEmpty = dmCustom2;

    explicit TCustomerListFrm(QWidget *AOwner = nullptr);

    void TranslationChanged() override;

public Q_SLOTS:
    // Reads one page with the search text and status filter shown. APage 0
    // keeps the page the paging bar shows; a new search starts at 1.
    void LoadData(int APage = 0);

protected:
    void showEvent(QShowEvent *AEvent) override;

private:
    void CreateControls();
    void RegisterAccessDetails();
    void ApplyMenuParams();
    // Ends the loading once no read holds the table any more.
    void ReadFinished();
    // The partner_id of the row selected in the grid; 0 without one.
    int SelectedPartnerId() const;
    void OpenEntry(int APartnerId);

    void actAddExecute();
    void actEditExecute();
    void actRefreshExecute();
    void actFindExecute();
    void edtSearchKeyPress();
    void cboStatusChange();

    Platform::MemTable *FCustomers = nullptr;
    TPagination *FPagination = nullptr;

    QToolBar *tbMain = nullptr;
    QAction *actAdd = nullptr;
    QAction *actEdit = nullptr;
    QAction *actRefresh = nullptr;
    QAction *actFind = nullptr;
    QLabel *lblSearch = nullptr;
    QLineEdit *edtSearch = nullptr;
    QLabel *lblStatus = nullptr;
    QComboBox *cboStatus = nullptr;
    QTableView *tvData = nullptr;
    QToolButton *btnFirst = nullptr;
    QToolButton *btnPrev = nullptr;
    QToolButton *btnNext = nullptr;
    QToolButton *btnLast = nullptr;
    QLabel *lblPage = nullptr;
    QComboBox *cboPage = nullptr;
    QLabel *lblPageCount = nullptr;
    QLabel *lblRows = nullptr;
    QComboBox *cboPageSize = nullptr;
    QLabel *lblRecordCount = nullptr;
};
