#pragma once

#include "ResourceStrings.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class TAppController;

namespace Platform {
class SideBar;
}

// The main window of the client: the menus of the signed-in user in the
// side bar on the left, the open screens in the child-window area, a Window
// menu listing them, and a status bar with the active screen and the user.
class MainWindow : public QMainWindow, public Platform::LocalizerListener
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Hands the window's parts to the controller.
    void attach(TAppController *controller);

    // After a successful sign-in: the user's menus and packages, the user's
    // language, the first screen. A failure is shown and leaves the window
    // usable, so the user can still sign out or quit.
    void startSession();

    Platform::SideBar *sideBar() const { return m_sideBar; }
    QMdiArea *mdiArea() const { return m_mdiArea; }
    QMenu *windowsMenu() const { return m_windowsMenu; }
    QLabel *activeFormLabel() const { return m_activeFormLabel; }
    QLabel *userLabel() const { return m_userLabel; }
    QAction *signOutAction() const { return m_signOutAction; }

    // The window's captions in the current language.
    void TranslationChanged() override;

public Q_SLOTS:
    // Closes the screens and signs in again; quits when nobody signs in.
    void signOut();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void updateSessionLabels();

    TAppController *m_controller = nullptr;
    Platform::SideBar *m_sideBar = nullptr;
    QMdiArea *m_mdiArea = nullptr;
    QMenu *m_windowsMenu = nullptr;
    QLabel *m_navigationTitle = nullptr;
    QMenu *m_fileMenu = nullptr;
    QAction *m_homeAction = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_cascadeAction = nullptr;
    QAction *m_tileAction = nullptr;
    QAction *m_closeAllAction = nullptr;
    QLabel *m_activeFormLabel = nullptr;
    QLabel *m_userLabel = nullptr;
    QLabel *m_customerLabel = nullptr;
    QAction *m_signOutAction = nullptr;
};
