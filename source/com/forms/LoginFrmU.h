#pragma once

#include "com_global.h"
#include "ResourceStrings.h"

#include <QDialog>
#include <QIcon>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QAbstractButton;
class QPushButton;
class QToolButton;
class TSignInSession;

namespace Platform {
class Localizer;
struct CredentialResult;
} // namespace Platform

// Where the sign-in form stands; what is enabled follows it.
enum class TLoginState : std::uint8_t {
    lsAuthenticating, // installation being identified to the customer service
    lsRejected, // customer service refused or unreachable: "Close" or "Try Again"
    lsReady, // "Sign In" enabled
    lsSigningIn, // sign-in sent: everything disabled
    lsDone, // closed with Ok or Cancel
};

// The first window: drives a TSignInSession, which identifies the
// installation to the customer service (which names the tenant's API),
// creates the shared RestClient for that API, signs the user in and keeps
// the remembered sign-in. Closes with Platform::ModalResult::Ok and the
// credentials block in LoginData, or with Cancel.
//
// The session's answers come back on the UI thread; the form only shows
// them. "SignIn" of app.conf is written only after a successful sign-in.
class COM_EXPORT TLoginFrm : public QDialog, public Platform::LocalizerListener
{
    Q_OBJECT
public:
    explicit TLoginFrm(QWidget *AOwner = nullptr);
    ~TLoginFrm() override;

    // Borderless and maximized (the default), or a normal window of
    // 1000 by 640: for tests and small screens. Applies to forms made later.
    static void SetFullScreen(bool AFullScreen);
    static bool FullScreen();

    // What "Update Now" runs before the form starts the launcher and ends
    // the application (ApplyUpdateRestart); it gets the button to show its
    // progress on. Its failures are shown in the form. Empty: the form says
    // the update cannot run. The package start-up registers the updater's.
    using TUpdateHandler = std::function<void(QAbstractButton *AButton)>;
    static void SetUpdateHandler(TUpdateHandler AHandler);
    static TUpdateHandler UpdateHandler();

    QWidget *Image2;
    QWidget *pnlCustomer;
    QLabel *lblCustrName;
    QLabel *lblCustAddrLine;
    QLabel *lblCustAddrLine2;
    QLabel *lblCustAddrCountry;
    QFrame *Panel2;
    QLabel *Image1;
    QLabel *cxLabel1;
    QLabel *cxLabel2;
    QLabel *lblEmail;
    QLineEdit *edtEmail;
    QLabel *lblPassword;
    QLabel *lblForgotPassword;
    QLineEdit *edtPass;
    QToolButton *btnShowPass;
    QCheckBox *chkRememberMe;
    QPushButton *btnSignIn;
    QPushButton *btnClose;
    QLabel *lblMessage;
    // what became of the remembered password, when it could not be read
    QLabel *lblPassNote;
    // shown while the installation is rejected: asks the customer service again
    QPushButton *btnRetry;
    QComboBox *cboLang;
    QLabel *lblAppVer;
    QPushButton *btnUpdateNow;
    Platform::Localizer *locLang;
    QList<QIcon> ilLogin;

    // The "response" block of a successful sign-in: "token" ("access",
    // "refresh"), "lang_code", "user_fullname", all checked to be there.
    QJsonObject LoginData;

    TLoginState State() const { return FState; }
    TSignInSession *Session() const { return FSession; }

    // Where the remembered password is kept: the credential store's service
    // "ZeltERP", key "<e-mail> on <program folder>".
    static QString CredentialService();
    QString CredentialKey(const QString &AEmail) const;

    // Identifies the installation; runs when the form is first shown.
    void GetAppSettings();
    // "app_ver" of updates.json in the application folder. Raises
    // Platform::Error naming the file when it is missing, unreadable, not a
    // JSON object or without a text "app_ver".
    QString GetCurrAppVersion() const;
    // Sends the sign-in; does nothing unless "Sign In" is enabled.
    void btnSignInClick();
    // Enter (character 13) moves on; AKey becomes 0 when it was handled.
    void edtEmailKeyPress(QChar &AKey);
    void edtPassKeyPress(QChar &AKey);
    void btnShowPassClick();
    void cboLangPropertiesEditValueChanged();
    void TranslationChanged() override;
    void btnUpdateNowClick();
    // Starts ZeltLauncher beside the program to apply the staged update,
    // closes the form with Cancel and ends the application.
    void ApplyUpdateRestart();

public Q_SLOTS:
    void accept() override;
    // Escape and the window's close button act as "Close", and like it
    // only while "Close" is enabled.
    void reject() override;

protected:
    void showEvent(QShowEvent *AEvent) override;
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void BuildControls();
    void SetState(TLoginState AState);
    void SetMessage(const QString &AText, bool AIsError = true);
    void AuthSucceeded();
    void AuthFailed(const QString &AError);
    void SignedIn(const QJsonObject &ALoginData);
    void SignInFailed(const QString &AMessage);
    void SavedPasswordRead(const QString &AEmail, const Platform::CredentialResult &AResult);

    TSignInSession *FSession; // a child: answers die with the form
    TLoginState FState = TLoginState::lsAuthenticating;
    bool FShown = false;
};

// The sign-in form while the application controller shows it; nullptr
// otherwise.
COM_EXPORT extern TLoginFrm *LoginFrm;
