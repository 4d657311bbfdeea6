#pragma once

#include "com_global.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QLabel;
class QMenu;
class QWidget;
class TBaseChildFrm;
class TMenuData;
class TMenuList;
template<class TForm> class TOpenedFormsOf;
using TOpenedForms = TOpenedFormsOf<TBaseChildFrm>;
class TPackageList;
class TSplashFrm;

namespace Platform {
class Localizer;
class SideBar;
} // namespace Platform

// What the host program runs the client through: sign-in and sign-out, the
// signed-in user's menus and module packages, and the child screens opened
// from the menus by class name.
//
// What the host must do, in this order: LoadVars() and Init() before
// SignIn(); SetSideBar() before LoadAccessData(); SetMainForm() before the
// first screen opens; LoadAccessData() only after SignIn() returned true;
// HideSplash() when the splash shown by SignIn() has done its work;
// SetLanguage() with the localizer that follows the user; LoadWelcomeForm()
// for the first screen; and freeing the controller at shut-down, before the
// main window.
//
// Every operation runs on the UI thread.
class COM_EXPORT TAppController : public QObject
{
    Q_OBJECT
public:
    TAppController();
    // Releases the screens still open first (their menu entries and code go
    // next), then the splash, the registries, RestClient, WaitDlg, UserInfo.
    ~TAppController() override;

    // Creates WaitDlg and UserInfo.
    void Init();
    // The owner of every child screen; screens open in its QMdiArea. Not owned.
    void SetMainForm(QWidget *AMainForm);
    // Its first item belongs to the host and survives every menu reload.
    void SetSideBar(Platform::SideBar *ASideBar);
    // Lists the open screens after whatever the host put there.
    void SetWindowsMenu(QMenu *AWindowsMenu);
    // Shows the caption of the active screen; empty when none is open.
    void SetActiveFormLabel(QLabel *ALabel);

    void ShowSplash(const QString &AStatus);
    void HideSplash();

    // Runs the sign-in form (through the dialog presenter) and, when a user
    // signed in, shows the splash and installs the credentials. IsLogin
    // tells the outcome afterwards too.
    bool SignIn();
    // Closes every screen; one with unsaved changes stops it there and is
    // brought to the front (false: the user stays signed in). Otherwise
    // empties the menus, unloads the packages and signs in again (true);
    // IsLogin then says whether someone signed in, and the host reloads the
    // access data or quits.
    bool SignOut();
    // No effect.
    void LockApp();

    // The credentials block of the sign-in: "user_fullname", "lang_code" and
    // "token" ("access", "refresh"). A missing member raises
    // Platform::JsonMemberError and nothing is installed.
    void SetLoginInfo(const QJsonObject &ALoginData);
    // Index 0 (the first translation) for the language code "id_ID", else -1.
    void SetLanguage(Platform::Localizer *AcxLocalizer);

    // GET "/sys/v1/app/menus" with the user's token, waiting for it; then
    // the menus and the packages of its "response". A refusal is shown and
    // changes nothing; a 401 ("Session has expired, please re-login.") also
    // ends the sign-in (IsLogin false). A body that is not a JSON object or
    // lacks an object "response" changes nothing. Raises
    // Platform::TransportError, in the user's words, when no answer came,
    // and the menu list's errors for a bad menu tree (the nodes before the
    // bad one stay) after the packages have been loaded.
    // Screens opened from the current menus must be closed first.
    void LoadAccessData();
    // Empties the menu list and the side bar (but the host's first item),
    // then loads AMenuData when it is an array.
    void LoadAccessMenu(const QJsonValue &AMenuData);
    void LoadPackage(const QJsonValue &APackageData);
    // UnloadAccessMenu(), then UnloadPackage(), whose first failure raises.
    void UnloadAccessData();
    // Empties the menu list and the side bar.
    void UnloadAccessMenu();
    void UnloadPackage();

    // A new screen of the class AMenuData names, owned by the main window,
    // registered as open. Raises Platform::Error "Form Class does not
    // exists." when the class is unknown, is no screen, or fails to build.
    TBaseChildFrm *LoadNewChildForm(TMenuData *AMenuData);
    void LoadWelcomeForm();
    // A child-window entry (ShowType 1) opens once and comes to the front
    // after; any other entry opens a new screen modally and releases it.
    // Raises Platform::NotFoundError for an id the menus do not hold.
    void ShowForm(int AMenuId);
    // False when a screen with unsaved changes stopped it; that screen is
    // brought to the front.
    bool CloseAllForms();

    // Handlers given to every side-bar item and every screen. OnMenuClick
    // shows every failure in an error box.
    void OnMenuClick(QObject *Sender);
    void OnFormActivate(QObject *Sender);
    void ChildFormOnDestroy(QObject *Sender);

    // The screen last shown as a child window, while it is open.
    TBaseChildFrm *ActiveForm() const;
    TOpenedForms *OpenedForms() const { return FOpenedForms.get(); }
    TMenuList *MenuList() const { return FMenuList.get(); }
    TPackageList *PackageList() const { return FPackageList.get(); }
    TSplashFrm *SplashFrm() const { return FSplashFrm.get(); }
    QWidget *MainForm() const { return FMainFrm; }

private:
    // Entries of the current menus and module code are about to go.
    void EnsureNoMenuScreensOpen() const;
    void ShowActiveForm(TBaseChildFrm *AForm);

    QPointer<TBaseChildFrm> FActiveForm;
    std::unique_ptr<TOpenedForms> FOpenedForms;
    std::unique_ptr<TMenuList> FMenuList;
    std::unique_ptr<TPackageList> FPackageList;
    QPointer<QWidget> FMainFrm;
    std::unique_ptr<TSplashFrm> FSplashFrm;
    QPointer<QLabel> FActiveFormLabel;
    // The screen whose caption the label shows.
    QPointer<TBaseChildFrm> FLabelForm;
};

// Created and freed by the host.
COM_EXPORT extern TAppController *AppController;
