#include "ProcessLauncher.h"

#include "Errors.h"

#include <QProcess>

namespace Platform {

namespace {

void startOrThrow(const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    // A QProcess object, not the static call, so that the reason of a
    // failure can be reported.
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDirectory);
    if (!process.startDetached()) {
        QString reason = process.errorString();
        if (reason.isEmpty())
            reason = QStringLiteral("unknown error");
        throw Error(QStringLiteral("Cannot start \"") + program + QStringLiteral("\": ") + reason);
    }
}

} // namespace

void DetachedProcessLauncher::startDetached(const QString &program, const QString &parameters,
                                            const QString &workingDirectory, WindowShow)
{
    startOrThrow(program, QProcess::splitCommand(parameters), workingDirectory);
}

void DetachedProcessLauncher::runShellCommand(const QString &command, WindowShow)
{
    startOrThrow(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), command }, QString());
}

void DetachedProcessLauncher::startService(const QString &serviceName)
{
    startOrThrow(QStringLiteral("systemctl"), { QStringLiteral("start"), serviceName }, QString());
}

} // namespace Platform
