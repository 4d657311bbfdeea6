#pragma once

#include "BaseChildFrmU.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TErrorHandler;

namespace Platform {
class MemTable;
class Report;
} // namespace Platform

// One customer, new or existing, in a form with Save and Cancel. A new
// screen starts a new customer (the menu entry's params say "add");
// StartEdit loads an existing one instead. Save checks the required fields,
// sends the record and closes the screen with ModalResult::Ok. Closing with
// unsaved changes asks first.
//
// Modes: dmAdd and dmEdit while the user types; dmDetail while the record
// loads, or when it could not be loaded: nothing can be changed then.
class TCustomerEntryFrm : public TBaseChildFrm
{
    Q_OBJECT
public:
    explicit TCustomerEntryFrm(QWidget *AOwner = nullptr);
    ~TCustomerEntryFrm() override;

    // 0 for a new customer.
    int PartnerId() const { return FPartnerId; }

    void TranslationChanged() override;

    // The customer card of the record on show, with its contacts and
    // ASalesPerson, in ARep; false when the layout could not be loaded.
    // Invokable, so that a test that creates the screen by name can look
    // at the card.
    Q_INVOKABLE bool PrepareCustomerCard(Platform::Report *ARep, const QString &ASalesPerson);

public Q_SLOTS:
    void StartAdd();
    void StartEdit(int APartnerId);
    void Save();

protected:
    void FormCloseQuery(bool &ACanClose) override;

private:
    void CreateControls();
    void RegisterAccessDetails();
    void RegisterErrorMessages();
    // Between the record (FCustomer's only row) and the edits.
    void ShowRecord();
    void WriteRecord();
    bool Validate();

    void DetailLoaded();
    void SaveSucceeded();
    void SaveFailed(int AStatus, const QString &AText);

    // The customer's contacts, through the shared contact forms; a new
    // customer has none until it is saved.
    void ShowContacts();
    void EditContact(int AContactId);
    void ReloadContacts();
    void PrintCustomerCard();

    void FieldChange();
    void btnSaveClick();
    void btnCancelClick();
    void btnContactsClick();
    void btnAddContactClick();
    void btnPrintClick();

    Platform::MemTable *FCustomer = nullptr;
    // The contacts that came with the record, for the customer card.
    Platform::MemTable *FContacts = nullptr;
    // The contact forms report with the contact members' captions.
    std::unique_ptr<TErrorHandler> FContactErrors;
    int FPartnerId = 0;
    bool FIsSaving = false;

    QGroupBox *grpCustomer = nullptr;
    QLabel *lblCode = nullptr;
    QLineEdit *edtCode = nullptr;
    QLabel *lblName = nullptr;
    QLineEdit *edtName = nullptr;
    QLabel *lblIndustry = nullptr;
    QLineEdit *edtIndustry = nullptr;
    QLabel *lblAddress = nullptr;
    QPlainTextEdit *memAddress = nullptr;
    QLabel *lblCity = nullptr;
    QLineEdit *edtCity = nullptr;
    QLabel *lblPhone = nullptr;
    QLineEdit *edtPhone = nullptr;
    QLabel *lblEmail = nullptr;
    QLineEdit *edtEmail = nullptr;
    QLabel *lblWebsite = nullptr;
    QLineEdit *edtWebsite = nullptr;
    QCheckBox *chkActive = nullptr;
    QPushButton *btnContacts = nullptr;
    QPushButton *btnAddContact = nullptr;
    QPushButton *btnPrint = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnCancel = nullptr;
};
