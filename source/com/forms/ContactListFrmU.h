#pragma once

#include "com_global.h"
#include "MemTable.h"
#include "TableReadTicket.h"
#include "ResourceStrings.h"

#include <QDialog>

class QAction;
class QPushButton;
class QTableView;
class TErrorHandler;

COM_EXPORT extern const Platform::ResourceString sHeaderContactList;
COM_EXPORT extern const Platform::ResourceString sLabelContactName;
COM_EXPORT extern const Platform::ResourceString sLabelPosition;
COM_EXPORT extern const Platform::ResourceString sLabelMobile;
COM_EXPORT extern const Platform::ResourceString sLabelContactEmail;
COM_EXPORT extern const Platform::ResourceString sLabelCompany;
COM_EXPORT extern const Platform::ResourceString sLabelContactLastUpdate;

// The contacts of one customer, for picking: the caller sets CustomerID and
// ErrorHandler, calls LoadData, shows the form (ShowModal) and, on Ok, reads
// the picked contact from tblData's current row.
//
// The customer's record ("/crm/v1/master/customers/{partner_id}") gives the
// rows: one per element of its "contacts" array, or, from a server that
// sends no such array, the record itself as one row.
// What both contact forms show for a refused request: the server's error
// envelope ("errors" or "message") through AErrorHandler, else the status's
// own text; a body without either would otherwise show nothing, or call a
// server failure a bad request.
void ShowContactError(TErrorHandler *AErrorHandler, int AStatus, const QString &ABody);

class COM_EXPORT TContactListFrm : public QDialog, public Platform::LocalizerListener
{
    Q_OBJECT
public:
    explicit TContactListFrm(QWidget *AParent = nullptr);

    int CustomerID = 0;
    // Not owned; needed before LoadData.
    TErrorHandler *ErrorHandler = nullptr;
    // From the start of LoadData until its answer (or failure) is handled.
    bool IsLoading = false;

    Platform::MemTable *tblData = nullptr;
    QTableView *tvContact = nullptr;
    QAction *actSave = nullptr;
    QAction *actCancel = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnCancel = nullptr;

    void LoadData();
    // Runs the form through the dialog presenter; returns the modal result.
    int ShowModal();

    // Any result but Cancel needs a row to pick.
    void done(int AResult) override;
    void reject() override;
    void TranslationChanged() override;

private:
    void tvContactDblClick(const QModelIndex &AIndex);
    void FinishLoad(const Platform::TableReadTicket &ARead);
};
