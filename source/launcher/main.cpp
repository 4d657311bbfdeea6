// ZeltLauncher: started by the client after it has staged an update. Waits
// for the client to end, applies the staging, and starts the client again,
// whatever the outcome, so the user is never left without a program.
//
//   ZeltLauncher [--app-folder DIR] [--wait-pid PID] [--restart PROGRAM]
//                [--wait-timeout MS]
//
// Exit codes: 0 applied or nothing staged, 1 nothing applied (the client did
// not end in time, or the update failed and was undone), 2 the client could
// not be started again, 3 bad arguments.
#include "StagedUpdate.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <cstdio>

namespace {

void report(const QString &text)
{
    std::fprintf(stderr, "ZeltLauncher: %s\n", qPrintable(text));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ZeltLauncher"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Applies a staged ZeltERP update and starts the client again."));
    parser.addHelpOption();
    const QCommandLineOption folderOption(QStringLiteral("app-folder"),
                                          QStringLiteral("Application folder to update (default: this program's)."),
                                          QStringLiteral("folder"));
    const QCommandLineOption pidOption(QStringLiteral("wait-pid"),
                                       QStringLiteral("Process to wait for before anything is replaced."),
                                       QStringLiteral("pid"));
    const QCommandLineOption restartOption(QStringLiteral("restart"), QStringLiteral("Program to start when done."),
                                           QStringLiteral("program"));
    const QCommandLineOption timeoutOption(QStringLiteral("wait-timeout"),
                                           QStringLiteral("Milliseconds to wait for the process (default 60000)."),
                                           QStringLiteral("ms"), QStringLiteral("60000"));
    parser.addOptions({ folderOption, pidOption, restartOption, timeoutOption });
    if (!parser.parse(QCoreApplication::arguments())) {
        report(parser.errorText());
        return 3;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);

    bool pidOk = true;
    bool timeoutOk = true;
    const qint64 pid = parser.isSet(pidOption) ? parser.value(pidOption).toLongLong(&pidOk) : 0;
    const int timeoutMs = parser.value(timeoutOption).toInt(&timeoutOk);
    if (!pidOk || !timeoutOk || !parser.positionalArguments().isEmpty()) {
        report(QStringLiteral("bad arguments; see --help"));
        return 3;
    }
    const QString folder = parser.isSet(folderOption) ? parser.value(folderOption)
                                                      : QCoreApplication::applicationDirPath();

    int code = 0;
    if (!StagedUpdate::waitForProcessExit(pid, timeoutMs)) {
        // its files may be in use; replacing them now could mix two builds
        report(QStringLiteral("process %1 is still running; nothing applied").arg(pid));
        code = 1;
    } else {
        const StagedUpdate::Result result = StagedUpdate::apply(folder);
        report(result.message);
        for (const QString &warning : result.warnings)
            report(warning);
        if (result.outcome == StagedUpdate::Result::Outcome::Failed)
            code = 1;
    }

    const QString program = parser.value(restartOption);
    if (!program.isEmpty() && !QProcess::startDetached(program, {}, QDir(folder).absolutePath())) {
        report(QStringLiteral("cannot start \"%1\"").arg(program));
        code = 2;
    }
    return code;
}
