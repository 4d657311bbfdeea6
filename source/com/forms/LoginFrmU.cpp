#include "LoginFrmU.h"

#include "BrandMark.h"

#include "DialogPresenter.h"
#include "Errors.h"
#include "GlobalVarsU.h"
#include "Json.h"
#include "LangResU.h"
#include "Localizer.h"
#include "SignInSessionU.h"
#include "UpdaterU.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QRadialGradient>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

TLoginFrm *LoginFrm = nullptr;

namespace {

// What lblMessage shows of a refusal at most; the whole text stays in
// AppSettingsError.
constexpr int MaxShownError = 400;

const QColor Navy(0x0B, 0x2A, 0x4A);

bool &fullScreenSetting()
{
    static bool fullScreen = true;
    return fullScreen;
}

TLoginFrm::TUpdateHandler &updateHandler()
{
    static TLoginFrm::TUpdateHandler handler;
    return handler;
}

// What a label shows at most of a text from the customer service; laying
// out megabytes in a label would hold the form up at every change.
constexpr int MaxShownValue = 200;

QString shownValue(const QString &AText)
{
    return AText.size() > MaxShownValue ? AText.left(MaxShownValue) + QStringLiteral("...") : AText;
}

// The refusal's own words when it has some, else the body itself, short.
QString shownRefusal(const QString &AError)
{
    const QJsonValue parsed = Platform::Json::parse(AError);
    const QJsonValue message = Platform::Json::find(parsed, QStringLiteral("message"));
    QString text = message.isString() && !message.toString().trimmed().isEmpty() ? message.toString() : AError;
    text = text.trimmed();
    if (text.size() > MaxShownError)
        text = text.left(MaxShownError) + QStringLiteral("...");
    return text;
}

// -------------------------------------------------------------- pictures

QIcon flagIcon(bool AIndonesia)
{
    QPixmap pixmap(24, 16);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    if (AIndonesia) {
        p.fillRect(0, 0, 24, 8, QColor(0xCE, 0x11, 0x26));
    } else {
        for (int i = 0; i < 7; ++i)
            p.fillRect(0, i * 16 / 7 + (i > 0 ? 1 : 0), 24, 1 + (i % 2 == 0), QColor(0xB2, 0x22, 0x34));
        p.fillRect(0, 0, 11, 9, QColor(0x3C, 0x3B, 0x6E));
    }
    p.setPen(QColor(0, 0, 0, 60));
    p.drawRect(0, 0, 23, 15);
    return QIcon(pixmap);
}

QIcon eyeIcon()
{
    QPixmap pixmap(36, 36);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x5A, 0x67, 0x78), 2.6));
    QPainterPath eye;
    eye.moveTo(4, 18);
    eye.quadTo(18, 4, 32, 18);
    eye.quadTo(18, 32, 4, 18);
    p.drawPath(eye);
    p.setBrush(QColor(0x5A, 0x67, 0x78));
    p.drawEllipse(QPointF(18, 18), 4.5, 4.5);
    return QIcon(pixmap);
}

// The picture behind the form: fills the form, centred, keeping its
// proportions, cut where it overflows.
class TBackdrop : public QWidget
{
public:
    explicit TBackdrop(QWidget *AParent)
        : QWidget(AParent)
    {
        setObjectName(QStringLiteral("Image2"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = rect();
        QLinearGradient sky(r.topLeft(), r.bottomRight());
        sky.setColorAt(0, Navy);
        sky.setColorAt(0.55, QColor(0x0E, 0x4C, 0x7E));
        sky.setColorAt(1, Platform::BrandColors::BrandDark);
        p.fillRect(r, sky);

        // soft light and a few ribbons, scaled with the shorter side
        const qreal unit = qMin(r.width(), r.height());
        QRadialGradient glow(r.center() + QPointF(unit * 0.2, -unit * 0.25), unit * 0.9);
        glow.setColorAt(0, QColor(255, 255, 255, 46));
        glow.setColorAt(1, QColor(255, 255, 255, 0));
        p.fillRect(r, glow);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 4; ++i) {
            QPainterPath ribbon;
            const qreal y = r.height() * (0.35 + i * 0.12);
            ribbon.moveTo(r.left(), y);
            ribbon.cubicTo(r.width() * 0.3, y - unit * 0.25, r.width() * 0.65, y + unit * 0.2, r.right(),
                           y - unit * 0.1);
            ribbon.lineTo(r.right(), y - unit * 0.1 + unit * 0.06);
            ribbon.cubicTo(r.width() * 0.65, y + unit * 0.26, r.width() * 0.3, y - unit * 0.19, r.left(),
                           y + unit * 0.06);
            ribbon.closeSubpath();
            p.setBrush(QColor(255, 255, 255, 14 + i * 4));
            p.drawPath(ribbon);
        }
        QFont big(QStringLiteral("Tahoma"));
        big.setPixelSize(int(unit * 0.09) + 1);
        big.setBold(true);
        p.setFont(big);
        p.setPen(QColor(255, 255, 255, 210));
        // the same margins as the customer's address below
        const QRectF title(r.left() + 48, r.top() + 40, r.width() - 96, unit * 0.3);
        p.drawText(title, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("ZeltERP"));
        QFont small(QStringLiteral("Tahoma"));
        small.setPixelSize(qBound(12, int(unit * 0.032), 22));
        p.setFont(small);
        p.setPen(QColor(255, 255, 255, 170));
        p.drawText(title.translated(0, unit * 0.13), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   QStringLiteral("Purchasing, assets, customers, people and costs in one place."));
    }
};

} // namespace

// -------------------------------------------------------------- TLoginFrm

TLoginFrm::TLoginFrm(QWidget *AOwner)
    : QDialog(AOwner)
    , FSession(new TSignInSession(this))
{
    connect(FSession, &TSignInSession::Authenticated, this, [this] { AuthSucceeded(); });
    connect(FSession, &TSignInSession::AuthenticationFailed, this,
            [this](const QString &AError) { AuthFailed(AError); });
    connect(FSession, &TSignInSession::SignedIn, this, [this](const QJsonObject &AData) { SignedIn(AData); });
    connect(FSession, &TSignInSession::SignInFailed, this, [this](const QString &AMessage) { SignInFailed(AMessage); });
    connect(FSession, &TSignInSession::SavedPasswordRead, this,
            [this](const QString &AEmail, const Platform::CredentialResult &AResult) {
                SavedPasswordRead(AEmail, AResult);
            });
    BuildControls();
    FormCreate();
}

TLoginFrm::~TLoginFrm()
{
    FormDestroy();
}

void TLoginFrm::SetFullScreen(bool AFullScreen)
{
    fullScreenSetting() = AFullScreen;
}

bool TLoginFrm::FullScreen()
{
    return fullScreenSetting();
}

void TLoginFrm::SetUpdateHandler(TUpdateHandler AHandler)
{
    updateHandler() = std::move(AHandler);
}

TLoginFrm::TUpdateHandler TLoginFrm::UpdateHandler()
{
    return updateHandler();
}

void TLoginFrm::BuildControls()
{
    setObjectName(QStringLiteral("LoginFrm"));
    setWindowTitle(QStringLiteral("ZeltERP"));
    setModal(true);
    if (fullScreenSetting()) {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        // the whole work area also where no window manager maximizes
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            setGeometry(screen->availableGeometry());
        setWindowState(Qt::WindowMaximized);
    } else {
        setWindowFlags(Qt::Window);
        resize(1000, 640);
    }
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setStyleSheet(
        QStringLiteral("QFrame#Panel2 { background: white; }"
                       "QFrame#Panel2 QLabel { color: #393939; }"
                       "QLabel#cxLabel1 { font-size: 22px; font-weight: bold; color: #1d2733; }"
                       "QLabel#cxLabel2 { font-size: 13px; color: #6b7785; }"
                       "QLabel#lblForgotPassword { color: #0386c6; }"
                       "QLabel#lblMessage { color: #c0392b; }"
                       "QLabel#lblMessage[info=\"true\"] { color: #52606d; }"
                       "QLabel#lblAppVer { color: #6b7785; font-size: 11px; }"
                       "QLabel#lblPassNote { color: #52606d; font-size: 11px; }"
                       "QLineEdit { border: 1px solid #c7d0db; border-radius: 4px; padding: 7px 8px; font-size: 13px;"
                       "  background: white; }"
                       "QLineEdit:focus { border: 1px solid #07b8f8; }"
                       "QLineEdit:disabled { background: #f2f4f7; color: #8a96a3; }"
                       "QPushButton#btnSignIn { background: #0386c6; color: white; border: none; border-radius: 4px;"
                       "  padding: 9px; font-size: 13px; font-weight: bold; }"
                       "QPushButton#btnSignIn:hover { background: #07a0e0; }"
                       "QPushButton#btnSignIn:disabled { background: #a9c9dc; }"
                       "QPushButton#btnClose { background: white; color: #393939; border: 1px solid #c7d0db;"
                       "  border-radius: 4px; padding: 8px; font-size: 13px; }"
                       "QPushButton#btnClose:hover { background: #f2f6fa; }"
                       "QPushButton#btnClose:disabled { color: #a0a8b2; }"
                       "QPushButton#btnRetry { background: white; color: #0386c6; border: 1px solid #0386c6;"
                       "  border-radius: 4px; padding: 8px; font-size: 13px; }"
                       "QPushButton#btnUpdateNow { background: #f39c12; color: white; border: none; border-radius: 4px;"
                       "  padding: 5px 10px; font-weight: bold; }"
                       "QPushButton#btnUpdateNow:disabled { background: #e5c38c; }"
                       "QToolButton#btnShowPass { border: 1px solid #c7d0db; border-radius: 4px; background: white; }"
                       "QToolButton#btnShowPass:checked { background: #dcecf8; border-color: #07b8f8; }"
                       "QWidget#pnlCustomer QLabel { color: white; font-size: 13px; }"
                       "QLabel#lblCustrName { font-size: 18px; font-weight: bold; }"));

    auto *root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // the picture with the customer's name and address over it
    Image2 = new TBackdrop(this);
    root->addWidget(Image2, 1);
    auto *backLayout = new QVBoxLayout(Image2);
    backLayout->setContentsMargins(48, 40, 48, 40);
    backLayout->addStretch(1);
    pnlCustomer = new QWidget(Image2);
    pnlCustomer->setObjectName(QStringLiteral("pnlCustomer"));
    auto *customerLayout = new QVBoxLayout(pnlCustomer);
    customerLayout->setContentsMargins(0, 0, 0, 0);
    customerLayout->setSpacing(3);
    lblCustrName = new QLabel(QStringLiteral("Customer Name"), pnlCustomer);
    lblCustrName->setObjectName(QStringLiteral("lblCustrName"));
    lblCustAddrLine = new QLabel(QStringLiteral("Address Line"), pnlCustomer);
    lblCustAddrLine->setObjectName(QStringLiteral("lblCustAddrLine"));
    lblCustAddrLine2 = new QLabel(QStringLiteral("Address Line 2"), pnlCustomer);
    lblCustAddrLine2->setObjectName(QStringLiteral("lblCustAddrLine2"));
    lblCustAddrCountry = new QLabel(QStringLiteral("Country"), pnlCustomer);
    lblCustAddrCountry->setObjectName(QStringLiteral("lblCustAddrCountry"));
    for (QLabel *l : { lblCustrName, lblCustAddrLine, lblCustAddrLine2, lblCustAddrCountry }) {
        l->setTextFormat(Qt::PlainText);
        customerLayout->addWidget(l);
    }
    backLayout->addWidget(pnlCustomer, 0, Qt::AlignLeft | Qt::AlignBottom);

    // the sign-in panel on the right
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedWidth(420);
    root->addWidget(Panel2);
    auto *panel = new QVBoxLayout(Panel2);
    panel->setContentsMargins(44, 22, 44, 22);
    panel->setSpacing(6);

    ilLogin = { flagIcon(false), flagIcon(true) };
    cboLang = new QComboBox(Panel2);
    cboLang->setObjectName(QStringLiteral("cboLang"));
    cboLang->addItem(ilLogin.at(0), QStringLiteral("English (US)"), QStringLiteral("en"));
    cboLang->addItem(ilLogin.at(1), QStringLiteral("Bahasa (ID)"), QStringLiteral("id"));
    cboLang->setCurrentIndex(0);
    panel->addWidget(cboLang, 0, Qt::AlignRight);
    panel->addStretch(2);

    Image1 = new QLabel(Panel2);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(Platform::drawBrandMark(QSize(190, 48), devicePixelRatioF()));
    panel->addWidget(Image1, 0, Qt::AlignLeft);
    panel->addSpacing(18);

    cxLabel1 = new QLabel(QStringLiteral("Welcome to Zelt ERP"), Panel2);
    cxLabel1->setObjectName(QStringLiteral("cxLabel1"));
    cxLabel2 = new QLabel(QStringLiteral("Please sign in to your account "), Panel2);
    cxLabel2->setObjectName(QStringLiteral("cxLabel2"));
    panel->addWidget(cxLabel1);
    panel->addWidget(cxLabel2);
    panel->addSpacing(18);

    lblEmail = new QLabel(QStringLiteral("Email"), Panel2);
    lblEmail->setObjectName(QStringLiteral("lblEmail"));
    edtEmail = new QLineEdit(Panel2);
    edtEmail->setObjectName(QStringLiteral("edtEmail"));
    edtEmail->setPlaceholderText(QStringLiteral("name@company.com"));
    panel->addWidget(lblEmail);
    panel->addWidget(edtEmail);
    panel->addSpacing(8);

    auto *passwordCaptions = new QHBoxLayout;
    lblPassword = new QLabel(QStringLiteral("Password"), Panel2);
    lblPassword->setObjectName(QStringLiteral("lblPassword"));
    lblForgotPassword = new QLabel(QStringLiteral("Forgot password?"), Panel2);
    lblForgotPassword->setObjectName(QStringLiteral("lblForgotPassword"));
    lblForgotPassword->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    passwordCaptions->addWidget(lblPassword);
    passwordCaptions->addWidget(lblForgotPassword, 1);
    panel->addLayout(passwordCaptions);

    auto *passwordRow = new QHBoxLayout;
    passwordRow->setSpacing(4);
    edtPass = new QLineEdit(Panel2);
    edtPass->setObjectName(QStringLiteral("edtPass"));
    edtPass->setEchoMode(QLineEdit::Password);
    btnShowPass = new QToolButton(Panel2);
    btnShowPass->setObjectName(QStringLiteral("btnShowPass"));
    btnShowPass->setCheckable(true);
    btnShowPass->setIcon(eyeIcon());
    btnShowPass->setIconSize(QSize(18, 18));
    btnShowPass->setToolTip(QStringLiteral("Show Password"));
    btnShowPass->setFocusPolicy(Qt::NoFocus);
    btnShowPass->setFixedSize(36, 34);
    passwordRow->addWidget(edtPass, 1);
    passwordRow->addWidget(btnShowPass);
    panel->addLayout(passwordRow);
    lblPassNote = new QLabel(Panel2);
    lblPassNote->setObjectName(QStringLiteral("lblPassNote"));
    lblPassNote->setWordWrap(true);
    lblPassNote->setTextFormat(Qt::PlainText);
    lblPassNote->setVisible(false);
    panel->addWidget(lblPassNote);

    chkRememberMe = new QCheckBox(QStringLiteral("Remember me"), Panel2);
    chkRememberMe->setObjectName(QStringLiteral("chkRememberMe"));
    panel->addSpacing(4);
    panel->addWidget(chkRememberMe);
    panel->addSpacing(10);

    btnSignIn = new QPushButton(QStringLiteral("Sign In"), Panel2);
    btnSignIn->setObjectName(QStringLiteral("btnSignIn"));
    btnSignIn->setEnabled(false);
    btnClose = new QPushButton(QStringLiteral("Close"), Panel2);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnRetry = new QPushButton(QStringLiteral("Try Again"), Panel2);
    btnRetry->setObjectName(QStringLiteral("btnRetry"));
    btnRetry->setVisible(false);
    for (QPushButton *b : { btnSignIn, btnClose, btnRetry }) {
        // Enter is handled by the two fields, never by a default button
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setCursor(Qt::PointingHandCursor);
        panel->addWidget(b);
    }

    lblMessage = new QLabel(Panel2);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setWordWrap(true);
    lblMessage->setTextFormat(Qt::PlainText);
    lblMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblMessage->setMinimumHeight(36);
    lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    panel->addWidget(lblMessage);
    panel->addStretch(3);

    auto *versionRow = new QHBoxLayout;
    lblAppVer = new QLabel(QStringLiteral("App Version"), Panel2);
    lblAppVer->setObjectName(QStringLiteral("lblAppVer"));
    lblAppVer->setWordWrap(true);
    btnUpdateNow = new QPushButton(QStringLiteral("Update Now"), Panel2);
    btnUpdateNow->setObjectName(QStringLiteral("btnUpdateNow"));
    btnUpdateNow->setAutoDefault(false);
    btnUpdateNow->setVisible(false);
    versionRow->addWidget(lblAppVer, 1);
    versionRow->addWidget(btnUpdateNow);
    panel->addLayout(versionRow);

    locLang = new Platform::Localizer(this);
    locLang->setObjectName(QStringLiteral("locLang"));
    locLang->setFileName(QStringLiteral("lang.ini"));

    edtEmail->installEventFilter(this);
    edtPass->installEventFilter(this);
    connect(btnSignIn, &QPushButton::clicked, this, [this] { btnSignInClick(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { reject(); });
    connect(btnRetry, &QPushButton::clicked, this, [this] {
        if (FState == TLoginState::lsRejected)
            GetAppSettings();
    });
    connect(btnShowPass, &QToolButton::toggled, this, [this] { btnShowPassClick(); });
    connect(btnUpdateNow, &QPushButton::clicked, this, [this] { btnUpdateNowClick(); });
    connect(cboLang, &QComboBox::currentIndexChanged, this, [this] { cboLangPropertiesEditValueChanged(); });
}

void TLoginFrm::FormCreate()
{
    Platform::ResourceStringRepository::instance().addListener(this);
    locLang->setActive(true);
    cboLangPropertiesEditValueChanged();

    const TRememberedSignIn remembered = FSession->ReadRemembered();
    chkRememberMe->setChecked(remembered.RememberUser);
    if (remembered.RememberUser) {
        edtEmail->setText(remembered.Email);
        // an older client kept the password in app.conf in clear text; it is
        // used as before and moved to the credential store by the next sign-in
        if (!remembered.PlainTextPassword.isEmpty())
            edtPass->setText(remembered.PlainTextPassword);
        else if (!remembered.Email.isEmpty())
            FSession->ReadSavedPassword(remembered.Email);
    }
    lblMessage->clear();
    SetState(TLoginState::lsAuthenticating);
}

void TLoginFrm::FormDestroy()
{
    Platform::ResourceStringRepository::instance().removeListener(this);
    if (LoginFrm == this)
        LoginFrm = nullptr;
}

void TLoginFrm::showEvent(QShowEvent *AEvent)
{
    QDialog::showEvent(AEvent);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TLoginFrm::FormShow()
{
    GetAppSettings();
    if (chkRememberMe->isChecked())
        edtPass->setFocus();
    else
        edtEmail->setFocus();
}

void TLoginFrm::SetState(TLoginState AState)
{
    FState = AState;
    const bool signingIn = AState == TLoginState::lsSigningIn;
    btnSignIn->setEnabled(AState == TLoginState::lsReady);
    btnRetry->setVisible(AState == TLoginState::lsRejected);
    btnClose->setEnabled(!signingIn);
    edtEmail->setEnabled(!signingIn);
    edtPass->setEnabled(!signingIn);
    // the update ends the application: not under a sign-in on its way
    btnUpdateNow->setEnabled(!signingIn);
}

void TLoginFrm::SetMessage(const QString &AText, bool AIsError)
{
    lblMessage->setProperty("info", !AIsError);
    lblMessage->style()->unpolish(lblMessage);
    lblMessage->style()->polish(lblMessage);
    lblMessage->setText(AText);
}

// ---------------------------------------------------------- customer service

void TLoginFrm::GetAppSettings()
{
    SetState(TLoginState::lsAuthenticating);
    SetMessage(QStringLiteral("Connecting to the customer service..."), false);
    FSession->Authenticate();
}

void TLoginFrm::AuthSucceeded()
{
    lblCustrName->setText(shownValue(CustName));
    lblCustAddrLine->setText(shownValue(CustAddrLine));
    lblCustAddrLine2->setText(shownValue(CustAddrCity) + QStringLiteral(", ") + shownValue(CustAddrState)
                              + QLatin1Char(' ') + shownValue(CustPostalCode));
    lblCustAddrCountry->setText(shownValue(CustAddrCountry));
    QString version = QStringLiteral("App Build Version: ") + shownValue(CurrAppVer);
    if (AppVer != CurrAppVer) {
        version += QStringLiteral(" - Updates Available (Build ") + shownValue(AppVer) + QStringLiteral(").");
        btnUpdateNow->setVisible(true);
    } else {
        btnUpdateNow->setVisible(false);
    }
    lblAppVer->setText(version);
    SetMessage(QString());
    SetState(TLoginState::lsReady);
}

void TLoginFrm::AuthFailed(const QString &AError)
{
    SetState(TLoginState::lsRejected);
    // Nothing else tells the user why "Sign In" stays off.
    SetMessage(shownRefusal(AError));
}

QString TLoginFrm::GetCurrAppVersion() const
{
    return TSignInSession::GetCurrAppVersion();
}

// ----------------------------------------------------------------- sign-in

void TLoginFrm::btnSignInClick()
{
    if (FState != TLoginState::lsReady || !btnSignIn->isEnabled())
        return;
    SetState(TLoginState::lsSigningIn);
    SetMessage(QString());
    if (!FSession->SignIn(edtEmail->text(), edtPass->text()) && FState == TLoginState::lsSigningIn)
        SetState(TLoginState::lsReady);
}

void TLoginFrm::SignedIn(const QJsonObject &ALoginData)
{
    if (FState != TLoginState::lsSigningIn)
        return;
    LoginData = ALoginData;
    const QString problem = FSession->SaveSignIn(chkRememberMe->isChecked(), edtEmail->text(), edtPass->text());
    // the user is signed in all the same; only remembering failed
    if (!problem.isEmpty())
        Platform::dialogPresenter().showMessage(problem, Platform::MessageKind::Warning, Platform::MessageButton::Ok);
    accept();
}

void TLoginFrm::SignInFailed(const QString &AMessage)
{
    if (FState != TLoginState::lsSigningIn)
        return;
    SetState(TLoginState::lsReady);
    SetMessage(AMessage);
    // The fields were disabled under the keyboard focus, which went on to
    // whatever stayed enabled: the corrected password is typed where it
    // belongs, over the refused one.
    edtPass->setFocus();
    edtPass->selectAll();
}

// ------------------------------------------------------- credential store

QString TLoginFrm::CredentialService()
{
    return TSignInSession::CredentialService();
}

QString TLoginFrm::CredentialKey(const QString &AEmail) const
{
    return FSession->CredentialKey(AEmail);
}

void TLoginFrm::SavedPasswordRead(const QString &AEmail, const Platform::CredentialResult &AResult)
{
    if (FState == TLoginState::lsSigningIn || FState == TLoginState::lsDone)
        return;
    // what the user typed meanwhile wins
    if (edtEmail->text() != AEmail || !edtPass->text().isEmpty())
        return;
    switch (AResult.status) {
    case Platform::CredentialResult::Status::Ok: edtPass->setText(AResult.secret); break;
    case Platform::CredentialResult::Status::NotFound: break;
    case Platform::CredentialResult::Status::Failed:
        lblPassNote->setText(
            QStringLiteral("The saved password could not be read from the system's password store; please type it."));
        lblPassNote->setToolTip(AResult.error);
        lblPassNote->setVisible(true);
        break;
    }
}

// -------------------------------------------------------------- the rest

void TLoginFrm::edtEmailKeyPress(QChar &AKey)
{
    if (AKey == QChar(13)) {
        AKey = QChar(0);
        edtPass->setFocus();
    }
}

void TLoginFrm::edtPassKeyPress(QChar &AKey)
{
    if (AKey == QChar(13)) {
        AKey = QChar(0);
        if (btnSignIn->isEnabled())
            btnSignInClick();
    }
}

bool TLoginFrm::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AEvent->type() == QEvent::KeyPress && (AWatched == edtEmail || AWatched == edtPass)) {
        const auto *key = static_cast<QKeyEvent *>(AEvent);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            QChar c(13);
            if (AWatched == edtEmail)
                edtEmailKeyPress(c);
            else
                edtPassKeyPress(c);
            return true;
        }
    }
    return QDialog::eventFilter(AWatched, AEvent);
}

void TLoginFrm::btnShowPassClick()
{
    edtPass->setEchoMode(btnShowPass->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
}

void TLoginFrm::cboLangPropertiesEditValueChanged()
{
    locLang->setLanguageIndex(cboLang->currentIndex() - 1);
}

void TLoginFrm::TranslationChanged()
{
    lblEmail->setText(sLoginEmail.text());
    lblPassword->setText(sLoginPassword.text());
    lblForgotPassword->setText(sLoginForgotPassword.text());
    chkRememberMe->setText(sLoginRememberMe.text());
    btnSignIn->setText(sLoginSignIn.text());
    btnClose->setText(sAppClose.text());
}

void TLoginFrm::btnUpdateNowClick()
{
    const TUpdateHandler handler = updateHandler();
    if (!handler) {
        SetMessage(QStringLiteral("The update cannot run: this build has no updater."));
        return;
    }
    try {
        handler(btnUpdateNow);
        // the launcher waits for this process; the host ends when sign-in is cancelled
        ApplyUpdateRestart();
    } catch (const std::exception &e) {
        SetMessage(Platform::messageOf(e));
    }
}

void TLoginFrm::ApplyUpdateRestart()
{
    LaunchUpdateRestart(btnUpdateNow);
    // the launcher waits for this process to end
    FState = TLoginState::lsDone;
    done(Platform::ModalResult::Cancel);
    QCoreApplication::quit();
}

void TLoginFrm::accept()
{
    FSession->Abandon();
    SetState(TLoginState::lsDone);
    done(Platform::ModalResult::Ok);
}

void TLoginFrm::reject()
{
    if (!btnClose->isEnabled())
        return;
    // an answer that comes after "Close" changes nothing
    FSession->Abandon();
    FState = TLoginState::lsDone;
    done(Platform::ModalResult::Cancel);
}
