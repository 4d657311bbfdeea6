#include "ProcessLauncher.h"

#include <QCoreApplication>
#include <QFile>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <iterator>
#endif

namespace Platform {

namespace {

std::unique_ptr<ProcessLauncher> &installedLauncher()
{
    static std::unique_ptr<ProcessLauncher> launcher;
    return launcher;
}

} // namespace

ProcessLauncher::~ProcessLauncher() = default;

ProcessLauncher &processLauncher()
{
    auto &launcher = installedLauncher();
    if (!launcher) {
#ifdef Q_OS_WIN
        launcher = std::make_unique<ShellProcessLauncher>();
#else
        launcher = std::make_unique<DetachedProcessLauncher>();
#endif
    }
    return *launcher;
}

void setProcessLauncher(std::unique_ptr<ProcessLauncher> launcher)
{
    installedLauncher() = std::move(launcher);
}

QString netStartParameters(const QString &serviceName)
{
    return QStringLiteral("/S /C net start \"") + serviceName + QStringLiteral("\"");
}

QString runningExecutablePath()
{
#ifdef Q_OS_WIN
    wchar_t buffer[32768];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, DWORD(std::size(buffer)));
    if (length > 0 && length < std::size(buffer))
        return QString::fromWCharArray(buffer, int(length));
#elif defined(Q_OS_LINUX)
    const QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (!target.isEmpty())
        return target;
#endif
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QString();
}

} // namespace Platform
