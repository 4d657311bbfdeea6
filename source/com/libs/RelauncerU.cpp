#include "RelauncerU.h"

#include "DialogPresenter.h"
#include "Errors.h"
#include "Logging.h"
#include "ProcessLauncher.h"

#include <QApplication>

#include <cstdio>

namespace {

// Built on first use, which is RelauncerU_Initialize while the library
// starts: so it is destroyed only after the unit finalizations have run.
TRestartOnExit &restartOnExit()
{
    static TRestartOnExit proc;
    return proc;
}

// Set while the library unloads: the application and the dialog presenter
// may be gone by then.
bool unloading = false;

void reportServiceFailure(const QString &message)
{
    if (!unloading && qobject_cast<QApplication *>(QCoreApplication::instance())) {
        Platform::dialogPresenter().showMessage(message, Platform::MessageKind::Custom, Platform::MessageButton::Ok);
        return;
    }
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

} // namespace

void RestartApplicationOnExit(const QString &aExtraArguments)
{
    // The executable's path is taken now, while the application exists.
    restartOnExit() = [extra = aExtraArguments.trimmed(), program = Platform::runningExecutablePath()] {
        const QString parameters =
            QStringLiteral("RestartApplicationOnExit=") + QString::number(QCoreApplication::applicationPid()) + extra;
        try {
            Platform::processLauncher().startDetached(program, parameters, QString(), Platform::WindowShow::Normal);
        } catch (...) {
            // A restart that cannot start must not stop the shutdown.
            qCWarning(Platform::Log::update)
                << "the restart did not start:" << Platform::messageOf(std::current_exception());
        }
    };
}

void RestartServiceOnExit(const QString &ServiceName)
{
    restartOnExit() = [ServiceName] {
        try {
            Platform::processLauncher().startService(ServiceName);
        } catch (const std::exception &e) {
            reportServiceFailure(Platform::messageOf(e));
        }
    };
}

void CarryOutRestartOnExit()
{
    TRestartOnExit proc = std::move(restartOnExit());
    restartOnExit() = nullptr;
    if (!proc)
        return;
    try {
        proc();
    } catch (...) {
        // Runs from a static destructor at the end: nothing may escape.
        qCWarning(Platform::Log::update) << "the restart on exit failed:"
                                         << Platform::messageOf(std::current_exception());
    }
}

void RelauncerU_Initialize()
{
    unloading = false;
    restartOnExit() = nullptr;
    // Builds the launcher's storage now, so that it too outlives this
    // unit's finalization.
    Platform::processLauncher();
}

void RelauncerU_Finalize()
{
    unloading = true;
    CarryOutRestartOnExit();
}
