#include "AppControllerU.h"

#include "BaseChildFrmU.h"
#include "ClassRegistry.h"
#include "DialogPresenter.h"
#include "ErrorHandlerU.h"
#include "Errors.h"
#include "GlobalVarsU.h"
#include "HttpClient.h"
#include "Json.h"
#include "Localizer.h"
#include "LoginFrmU.h"
#include "MenuListU.h"
#include "MsgDlgU.h"
#include "OpenedFormsU.h"
#include "PackageListU.h"
#include "ProcessObjectsU.h"
#include "SideBar.h"
#include "SplashFrmU.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QLabel>

TAppController *AppController = nullptr;

namespace {

const QString FormClassNotFound = QStringLiteral("Form Class does not exists.");

// The members of the credentials block that the controller installs.
const char *const LoginMembers[] = { "user_fullname", "lang_code", "token.access", "token.refresh" };

} // namespace

TAppController::TAppController()
    : FOpenedForms(std::make_unique<TOpenedForms>())
    , FMenuList(std::make_unique<TMenuList>())
    , FPackageList(std::make_unique<TPackageList>())
    , FSplashFrm(std::make_unique<TSplashFrm>(nullptr))
{
    FMenuList->SetOnMenuClick([this](QObject *Sender) { OnMenuClick(Sender); });
}

TAppController::~TAppController()
{
    FActiveForm = nullptr;
    // A screen left open reads its menu entry while it goes, and its code
    // may live in a module package: both are released below.
    QList<QPointer<TBaseChildFrm>> open;
    for (TBaseChildFrm *form : FOpenedForms->Forms())
        open.append(form);
    for (const QPointer<TBaseChildFrm> &form : std::as_const(open))
        delete form.data();
    FSplashFrm.reset();
    FOpenedForms.reset();
    FMenuList.reset();
    FPackageList.reset();
    FreeSessionObjects();
}

TBaseChildFrm *TAppController::ActiveForm() const
{
    return FActiveForm;
}

void TAppController::Init()
{
    CreateSessionObjects();
    if (FMainFrm)
        WaitDlg->SetMainForm(FMainFrm);
}

void TAppController::SetMainForm(QWidget *AMainForm)
{
    FMainFrm = AMainForm;
    if (WaitDlg)
        WaitDlg->SetMainForm(AMainForm);
}

void TAppController::SetSideBar(Platform::SideBar *ASideBar)
{
    FMenuList->SetSideBar(ASideBar);
}

void TAppController::SetWindowsMenu(QMenu *AWindowsMenu)
{
    FOpenedForms->SetWindowsMenu(AWindowsMenu);
}

void TAppController::SetActiveFormLabel(QLabel *ALabel)
{
    FActiveFormLabel = ALabel;
    ShowActiveForm(FActiveForm);
}

void TAppController::ShowSplash(const QString &AStatus)
{
    FSplashFrm->lblStatus->setText(AStatus);
    FSplashFrm->show();
    FSplashFrm->raise();
    FSplashFrm->repaint();
    QCoreApplication::processEvents();
}

void TAppController::HideSplash()
{
    FSplashFrm->hide();
}

bool TAppController::SignIn()
{
    bool result = false;
    {
        TLoginFrm form(nullptr);
        LoginFrm = &form;
        result = Platform::dialogPresenter().showModal(form) == Platform::ModalResult::Ok;
        IsLogin = result;
        if (result) {
            ShowSplash(QStringLiteral("Loading, please wait..."));
            try {
                SetLoginInfo(form.LoginData);
            } catch (const std::exception &e) {
                // nobody is half signed in
                IsLogin = result = false;
                HideSplash();
                MsgErr(Platform::messageOf(e));
            }
        }
        LoginFrm = nullptr;
    }
    return result;
}

bool TAppController::SignOut()
{
    if (!CloseAllForms())
        return false;
    UnloadAccessMenu();
    // A package that fails to stop is reported and the others are still
    // unloaded: the next user must not find them loaded.
    for (int attempt = 0; attempt <= FPackageList->Count(); ++attempt) {
        try {
            UnloadPackage();
            break;
        } catch (const std::exception &e) {
            MsgErr(Platform::messageOf(e));
        }
    }
    // signed out from here on: while the next sign-in runs (the form sets
    // the language as it opens) nothing names the user who left
    IsLogin = false;
    SignIn();
    return true;
}

void TAppController::LockApp() { }

void TAppController::SetLoginInfo(const QJsonObject &ALoginData)
{
    if (!UserInfo || !RestClient)
        throw Platform::Error(QStringLiteral("The sign-in cannot be installed: the application controller is not "
                                             "initialised or no server is known."));
    // Checked as a whole first, so that a missing member installs nothing.
    for (const char *member : LoginMembers)
        Platform::Json::getString(ALoginData, QString::fromLatin1(member));
    UserInfo->UserFullName = Platform::Json::getString(ALoginData, QStringLiteral("user_fullname"));
    UserInfo->LangCode = Platform::Json::getString(ALoginData, QStringLiteral("lang_code"));
    RestClient->SetHeaderData(ALoginData);
}

void TAppController::SetLanguage(Platform::Localizer *AcxLocalizer)
{
    if (!AcxLocalizer)
        return;
    const bool indonesian = UserInfo && UserInfo->LangCode == QLatin1String("id_ID");
    AcxLocalizer->setLanguageIndex(indonesian ? 0 : -1);
}

void TAppController::EnsureNoMenuScreensOpen() const
{
    for (const TBaseChildFrm *form : FOpenedForms->Forms()) {
        if (form->Data && form->Data->MenuId != 0)
            throw Platform::Error(QStringLiteral("The menus cannot be changed while \"") + form->windowTitle()
                                  + QStringLiteral("\" is open."));
    }
}

void TAppController::LoadAccessData()
{
    EnsureNoMenuScreensOpen();
    if (!RestClient)
        throw Platform::Error(QStringLiteral("No user is signed in."));
    const std::shared_ptr<Platform::HttpClient> client = RestClient->CreateRestClient(true);
    Platform::HttpResponse response;
    try {
        response = client->get(QStringLiteral("/sys/v1/app/menus"));
    } catch (const Platform::TransportError &e) {
        qWarning("The menus got no answer: %s", qPrintable(e.message()));
        throw Platform::TransportError(TransportFailureText(e.kind(), e.message()), e.kind());
    }
    if (!response.success()) {
        // an empty side bar would say nothing: tell why there are no menus
        if (response.statusCode == 401) {
            // the token is no good any more: nobody is signed in
            IsLogin = false;
            MsgErr(metSessionExpired);
        } else {
            TErrorHandler().ShowErrorBody(response.statusCode, response.content());
        }
        return;
    }
    const QJsonValue root = Platform::Json::parse(response.body);
    if (!root.isObject())
        return;
    const QJsonValue access = root.toObject().value(QStringLiteral("response"));
    if (!access.isObject())
        return;
    // A bad menu node stops the menus, not the packages: the error is
    // raised once they are loaded.
    std::exception_ptr menuFailure;
    try {
        LoadAccessMenu(access.toObject().value(QStringLiteral("menus")));
    } catch (...) {
        menuFailure = std::current_exception();
    }
    LoadPackage(access.toObject().value(QStringLiteral("packages")));
    if (menuFailure)
        std::rethrow_exception(menuFailure);
}

void TAppController::LoadAccessMenu(const QJsonValue &AMenuData)
{
    Platform::SideBar *bar = FMenuList->SideBar();
    if (!bar)
        throw Platform::Error(QStringLiteral("The application has no side bar to show the menus in."));
    EnsureNoMenuScreensOpen();
    Platform::SideBar::UpdateGuard guard(bar);
    // A second load of the same tree would repeat every menu id.
    FMenuList->Clear();
    if (AMenuData.isArray())
        FMenuList->LoadMenus(AMenuData.toArray(), nullptr);
}

void TAppController::LoadPackage(const QJsonValue &APackageData)
{
    FPackageList->LoadPackageData(APackageData);
}

void TAppController::UnloadAccessData()
{
    UnloadAccessMenu();
    UnloadPackage();
}

void TAppController::UnloadAccessMenu()
{
    EnsureNoMenuScreensOpen();
    FMenuList->Clear();
}

void TAppController::UnloadPackage()
{
    FPackageList->UnloadPackageData();
}

TBaseChildFrm *TAppController::LoadNewChildForm(TMenuData *AMenuData)
{
    if (!AMenuData)
        return nullptr;
    QWidget *created = nullptr;
    try {
        const Platform::ClassRegistry::Entry &entry = Platform::ClassRegistry::instance().get(AMenuData->FormClass);
        created = entry.create ? entry.create(FMainFrm) : nullptr;
        auto *form = qobject_cast<TBaseChildFrm *>(created);
        if (!form)
            throw Platform::Error(FormClassNotFound);
        form->Data = AMenuData;
        connect(form, &TBaseChildFrm::FormDestroy, this, [this](TBaseChildFrm *Sender) { ChildFormOnDestroy(Sender); });
        form->setWindowTitle(AMenuData->MenuTitle);
        connect(form, &TBaseChildFrm::FormActivate, this, [this](TBaseChildFrm *Sender) { OnFormActivate(Sender); });
        FOpenedForms->Add(form);
        return form;
    } catch (...) {
        delete created;
        throw Platform::Error(FormClassNotFound);
    }
}

void TAppController::LoadWelcomeForm()
{
    ShowForm(0);
}

void TAppController::ShowForm(int AMenuId)
{
    TMenuData *data = FMenuList->Find(AMenuId);
    if (data->ShowType == 1) {
        TBaseChildFrm *form = FOpenedForms->Find(AMenuId);
        if (!form)
            form = LoadNewChildForm(data);
        FActiveForm = form;
        if (form) {
            form->ShowChild();
            ShowActiveForm(form);
        }
        return;
    }
    // a dialog: never reused
    const QPointer<TBaseChildFrm> form = LoadNewChildForm(data);
    if (!form)
        return;
    try {
        form->ShowModal();
    } catch (...) {
        delete form.data();
        throw;
    }
    delete form.data();
}

bool TAppController::CloseAllForms()
{
    if (TBaseChildFrm *form = FOpenedForms->CloseAll()) {
        form->ShowChild();
        ShowActiveForm(form);
        return false;
    }
    return true;
}

void TAppController::OnMenuClick(QObject *Sender)
{
    const auto *item = qobject_cast<Platform::SideBarItem *>(Sender);
    if (!item)
        return;
    GuardUserAction([this, item] { ShowForm(item->tag()); });
}

void TAppController::OnFormActivate(QObject *Sender)
{
    auto *form = qobject_cast<TBaseChildFrm *>(Sender);
    // a modal screen is not one of the child windows the label tells of
    if (form && !form->ModalDialog())
        ShowActiveForm(form);
}

void TAppController::ChildFormOnDestroy(QObject *Sender)
{
    // the screen is half gone: only its base part may be used
    auto *form = static_cast<TBaseChildFrm *>(Sender);
    if (form->Data && FOpenedForms->Find(form->Data->MenuId) == form)
        FOpenedForms->Delete(form->Data->MenuId);
    if (FActiveForm == form)
        FActiveForm = nullptr;
    if (FLabelForm == form || !FLabelForm) {
        FLabelForm = nullptr;
        if (FActiveFormLabel)
            FActiveFormLabel->clear();
    }
}

void TAppController::ShowActiveForm(TBaseChildFrm *AForm)
{
    FLabelForm = AForm;
    if (FActiveFormLabel)
        FActiveFormLabel->setText(AForm ? AForm->windowTitle() : QString());
}
