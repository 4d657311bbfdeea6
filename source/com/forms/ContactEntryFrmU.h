#pragma once

#include "com_global.h"
#include "GlobalTypeU.h"
#include "MemTable.h"
#include "ResourceStrings.h"

#include <QDialog>
#include <functional>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TErrorHandler;

COM_EXPORT extern const Platform::ResourceString sHeaderNewContact;
COM_EXPORT extern const Platform::ResourceString sLabelContactTypeContact;
COM_EXPORT extern const Platform::ResourceString sLabelInvoiceAddress;
COM_EXPORT extern const Platform::ResourceString sLabelDeliveryAddress;
COM_EXPORT extern const Platform::ResourceString sLabelTitle;
COM_EXPORT extern const Platform::ResourceString sLabelJobPosition;
COM_EXPORT extern const Platform::ResourceString sLabelCountry;
COM_EXPORT extern const Platform::ResourceString sLabelContactCity;
COM_EXPORT extern const Platform::ResourceString sLabelState;
COM_EXPORT extern const Platform::ResourceString sLabelZip;
COM_EXPORT extern const Platform::ResourceString sLabelPhoto;
COM_EXPORT extern const Platform::ResourceString sLabelBack;

// One contact of a customer: new (DataMode dmAdd, for CustomerID) or the
// existing ContactID, with country and state lookups. The caller sets the
// public fields, may show btnDelete, shows the form (ShowModal) and
// reloads its own list when the result is Ok: after a save or a delete.
//
// Every edit writes its field of tblData's one row at once; Save sends that
// row as it is.
class COM_EXPORT TContactEntryFrm : public QDialog, public Platform::LocalizerListener
{
    Q_OBJECT
public:
    explicit TContactEntryFrm(QWidget *AParent = nullptr);

    // dmAdd: a new contact; any other mode edits ContactID.
    TDataMode DataMode = dmAdd;
    int CustomerID = 0;
    int ContactID = 0;
    // Whose states fill the state list when the form opens.
    int CountryID = 0;
    // Not owned; needed before the form is shown.
    TErrorHandler *ErrorHandler = nullptr;
    // True while a delete runs: the states are not reloaded then.
    bool IsLoading = false;

    Platform::MemTable *tblData = nullptr;
    Platform::MemTable *tblCountry = nullptr;
    Platform::MemTable *tblState = nullptr;

    QLineEdit *edtName = nullptr;
    QGroupBox *rgType = nullptr;
    QRadioButton *rbContact = nullptr;
    QRadioButton *rbInvoiceAddress = nullptr;
    QRadioButton *rbDeliveryAddress = nullptr;
    QComboBox *cboTitle = nullptr;
    QLineEdit *edtJobPosition = nullptr;
    QLineEdit *edtStreet1 = nullptr;
    QLineEdit *edtStreet2 = nullptr;
    QComboBox *cboCountry = nullptr;
    QLineEdit *edtCity = nullptr;
    QComboBox *cboState = nullptr;
    QLineEdit *edtZip = nullptr;
    QLineEdit *edtEmail = nullptr;
    QLineEdit *edtPhone = nullptr;
    QLineEdit *edtMobile = nullptr;
    QPlainTextEdit *memNotes = nullptr;
    QCheckBox *chkActive = nullptr;
    QLabel *imgPhoto = nullptr;
    QPushButton *btnDelete = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnCancel = nullptr;

    QAction *actAdd = nullptr;
    QAction *actEdit = nullptr;
    QAction *actDelete = nullptr;
    QAction *actSave = nullptr;
    QAction *actCancel = nullptr;
    QAction *actDetail = nullptr;
    QAction *actBack = nullptr;

    void LoadData();
    void LoadState(int ACountryID);
    // Runs the form through the dialog presenter; returns the modal result.
    int ShowModal();

    void TranslationChanged() override;
    // Refused while a write runs: the server may apply it after all.
    void reject() override;

protected:
    void showEvent(QShowEvent *AEvent) override;

private:
    void FormShow();
    bool FormValidation();
    void InsertData();
    void UpdateData();
    // A refused or failed save: the handler's own report, and Save back for another try.
    std::function<void(int, const QString &)> SaveFailed();
    void DeleteData();
    void InsertCompleted();
    void UpdateCompleted();

    void actSaveExecute();
    void btnDeleteClick();
    void cboCountryChange();
    void cboCountryUserChange();

    // Between tblData's row and the controls.
    void ShowRecord();
    // Off while the record is on its way: what is typed then would be
    // replaced by it.
    void SetEditable(bool AEditable);
    void WriteField(const QString &AField, const QVariant &AValue);
    void SyncLookup(QComboBox *ACombo, const Platform::MemTable *ALookup, const QString &AKey);
    QVariant LookupValue(const QComboBox *ACombo, const Platform::MemTable *ALookup, const QString &AKey) const;
    // Runs a user action, reporting what it raises.
    void Safely(const std::function<void()> &AAction);

    QButtonGroup *FTypeGroup = nullptr;
    QLabel *lblName = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblJobPosition = nullptr;
    QLabel *lblAddress = nullptr;
    QLabel *lblCountry = nullptr;
    QLabel *lblCity = nullptr;
    QLabel *lblEmail = nullptr;
    QLabel *lblPhone = nullptr;
    QLabel *lblMobile = nullptr;
    QLabel *lblNotes = nullptr;
    QLabel *lblStatus = nullptr;
    // set while the controls are filled from the row: no write-back then
    bool FShowing = false;
    // a save sent and not yet answered
    bool FSaving = false;
    // the country whose states were last asked for
    int FStatesCountry = -1;
};
