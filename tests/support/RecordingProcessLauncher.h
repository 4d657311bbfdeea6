#pragma once

#include "ProcessLauncher.h"

#include <QList>
#include <QString>

// Records what would be started instead of starting it; install one with
// Platform::setProcessLauncher().
class RecordingProcessLauncher : public Platform::ProcessLauncher
{
public:
    enum class Kind { Program, ShellCommand, Service };
    struct Call
    {
        Kind kind;
        QString program; // program, command or service name
        QString parameters;
        QString workingDirectory;
        Platform::WindowShow show;
    };

    void startDetached(const QString &program, const QString &parameters, const QString &workingDirectory,
                       Platform::WindowShow show) override;
    void runShellCommand(const QString &command, Platform::WindowShow show) override;
    void startService(const QString &serviceName) override;

    QList<Call> calls;

private:
    void record(Call call);
};
