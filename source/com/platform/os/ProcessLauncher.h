#pragma once

#include "com_global.h"

#include <QString>
#include <memory>

namespace Platform {

enum class WindowShow { Normal, Hidden };

// Starts programs, shell commands and services without waiting for them.
// Failures to start throw Platform::Error with the system's reason.
class COM_EXPORT ProcessLauncher
{
public:
    virtual ~ProcessLauncher();

    // Starts program with one command-line text of parameters (split into
    // arguments as a command line is: blanks separate, double quotes group).
    // An empty workingDirectory keeps the current one. The window mode is a
    // hint for platforms that have one.
    virtual void startDetached(const QString &program, const QString &parameters, const QString &workingDirectory,
                               WindowShow show) = 0;
    // Runs a command through the platform's command interpreter.
    virtual void runShellCommand(const QString &command, WindowShow show) = 0;
    // Asks the platform's service manager to start the named service.
    virtual void startService(const QString &serviceName) = 0;
};

#ifdef Q_OS_WIN
// ShellExecuteW with the verb "open"; commands and services through cmd.exe.
class COM_EXPORT ShellProcessLauncher : public ProcessLauncher
{
public:
    void startDetached(const QString &program, const QString &parameters, const QString &workingDirectory,
                       WindowShow show) override;
    void runShellCommand(const QString &command, WindowShow show) override;
    void startService(const QString &serviceName) override;
};
#endif

// QProcess::startDetached; commands through /bin/sh -c, services through
// "systemctl start NAME". Safe without a QCoreApplication.
class COM_EXPORT DetachedProcessLauncher : public ProcessLauncher
{
public:
    void startDetached(const QString &program, const QString &parameters, const QString &workingDirectory,
                       WindowShow show) override;
    void runShellCommand(const QString &command, WindowShow show) override;
    void startService(const QString &serviceName) override;
};

// The launcher of the process: ShellProcessLauncher on Windows,
// DetachedProcessLauncher elsewhere, unless one was installed.
COM_EXPORT ProcessLauncher &processLauncher();
// Installs a launcher; nullptr brings the default back.
COM_EXPORT void setProcessLauncher(std::unique_ptr<ProcessLauncher> launcher);

// The cmd.exe parameters that start a Windows service: /S /C net start "NAME".
COM_EXPORT QString netStartParameters(const QString &serviceName);
// Full path of the running executable, also when no QCoreApplication exists.
COM_EXPORT QString runningExecutablePath();

} // namespace Platform
