#include "RecordingProcessLauncher.h"

void RecordingProcessLauncher::record(Call call)
{
    calls.append(std::move(call));
}

void RecordingProcessLauncher::startDetached(const QString &program, const QString &parameters,
                                             const QString &workingDirectory, Platform::WindowShow show)
{
    record(Call { Kind::Program, program, parameters, workingDirectory, show });
}

void RecordingProcessLauncher::runShellCommand(const QString &command, Platform::WindowShow show)
{
    record(Call { Kind::ShellCommand, command, QString(), QString(), show });
}

void RecordingProcessLauncher::startService(const QString &serviceName)
{
    record(Call { Kind::Service, serviceName, QString(), QString(), Platform::WindowShow::Hidden });
}
