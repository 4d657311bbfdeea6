#include "ProcessLauncher.h"

#ifdef Q_OS_WIN

#include "Errors.h"

#include <qt_windows.h>
#include <shellapi.h>

#ifdef _MSC_VER
#pragma comment(lib, "shell32")
#endif

namespace Platform {

namespace {

const wchar_t *orNull(const std::wstring &s)
{
    return s.empty() ? nullptr : s.c_str();
}

void shellOpen(const QString &file, const QString &parameters, const QString &directory, WindowShow show)
{
    const std::wstring wFile = file.toStdWString();
    const std::wstring wParameters = parameters.toStdWString();
    const std::wstring wDirectory = directory.toStdWString();
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", wFile.c_str(), orNull(wParameters), orNull(wDirectory),
                                           show == WindowShow::Hidden ? SW_HIDE : SW_SHOWNORMAL);
    // Values up to 32 are error codes.
    if (reinterpret_cast<INT_PTR>(result) <= 32)
        throw Error(QStringLiteral("Cannot start \"") + file + QStringLiteral("\": ")
                    + qt_error_string(int(GetLastError())));
}

} // namespace

void ShellProcessLauncher::startDetached(const QString &program, const QString &parameters,
                                         const QString &workingDirectory, WindowShow show)
{
    shellOpen(program, parameters, workingDirectory, show);
}

void ShellProcessLauncher::runShellCommand(const QString &command, WindowShow show)
{
    // with /S cmd strips the first and the last quote after /C: those added
    // here, so that a command starting with a quoted path keeps its own
    shellOpen(QStringLiteral("cmd.exe"), QStringLiteral("/S /C \"") + command + QLatin1Char('"'), QString(), show);
}

void ShellProcessLauncher::startService(const QString &serviceName)
{
    shellOpen(QStringLiteral("cmd.exe"), netStartParameters(serviceName), QString(), WindowShow::Hidden);
}

} // namespace Platform

#endif // Q_OS_WIN
