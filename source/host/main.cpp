#include "AppControllerU.h"
#include "GlobalVarsU.h"
#include "MainWindow.h"
#include "UpdateGuardU.h"

#include <QApplication>
#include <QScreen>
#include <cstdlib>

int main(int argc, char *argv[])
{
#ifndef Q_OS_WIN
    // With TZ unset, glibc re-reads /etc/localtime for every local date-time,
    // which makes loading lists with dates slow. Set before any thread starts.
    const char *tz = std::getenv("TZ");
    if (!tz || !*tz)
        setenv("TZ", ":/etc/localtime", 1);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZeltERP"));
    QApplication::setApplicationDisplayName(QStringLiteral("ZeltERP"));
    QApplication::setOrganizationName(QStringLiteral("Zelt"));
    // The sign-in form and the splash come and go before the main window
    // shows: the main window alone decides when the program ends.
    QApplication::setQuitOnLastWindowClosed(false);

    // Before anything reads the installation: an update being applied is
    // waited for, an interrupted one is handed to the launcher.
    if (PrepareClientStart() == TClientStart::Quit)
        return 0;

    // com's units have started by now (they run when the library loads).
    LoadVars();

    int exitCode = 0;
    {
        MainWindow window;
        AppController = new TAppController();
        AppController->Init();
        window.attach(AppController);

        if (AppController->SignIn()) {
            if (const QScreen *screen = QGuiApplication::primaryScreen())
                window.setGeometry(screen->availableGeometry());
            window.showMaximized();
            window.startSession();
            exitCode = QApplication::exec();
        }

        // Before the main window: the controller releases the screens that
        // are still open while their menus and packages exist.
        delete AppController;
        AppController = nullptr;
    }
    UnloadVars();
    return exitCode;
}
