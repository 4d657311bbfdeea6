// ZeltLauncher: started by the client after it has staged an update. Waits
// for the client to end, takes the update lock, finishes or undoes an
// interrupted update, applies the staging, and starts the client again.
// When the client does not end in time nothing is touched and no second
// client is started; the reason is left in "ZeltLauncher.note", which the
// client shows on its next start (so is the reason of a failed update).
//
//   ZeltLauncher [--app-folder DIR] [--wait-pid PID] [--restart PROGRAM]
//                [--wait-timeout MS] [--lock-timeout MS] [--recover]
//
// --recover only recovers an interrupted update; the staging is not applied.
// Exit codes: 0 applied, recovered or nothing to do, 1 nothing applied (the
// client did not end in time, another launcher held the lock, or the update
// failed and was undone), 2 the client could not be started again, 3 bad
// arguments.
#include "StagedUpdate.h"
#include "UpdateRecord.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <cstdio>

namespace {

void report(const QString &text)
{
    std::fprintf(stderr, "ZeltLauncher: %s\n", qPrintable(text));
}

// For the client's next start; best effort, the exit code says it too.
void leaveNote(const QString &folder, const QString &text)
{
    QString error;
    UpdateRecord::writeAtomically(QDir(folder).absoluteFilePath(QLatin1String(UpdateRecord::NoteFileName)),
                                  text.toUtf8() + '\n', &error);
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
    const QCommandLineOption lockOption(QStringLiteral("lock-timeout"),
                                        QStringLiteral("Milliseconds to wait for another launcher (default 60000)."),
                                        QStringLiteral("ms"), QStringLiteral("60000"));
    const QCommandLineOption recoverOption(QStringLiteral("recover"),
                                           QStringLiteral("Only finish or undo an interrupted update."));
    parser.addOptions({ folderOption, pidOption, restartOption, timeoutOption, lockOption, recoverOption });
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
    bool lockOk = true;
    const int lockMs = parser.value(lockOption).toInt(&lockOk);
    if (!pidOk || !timeoutOk || !lockOk || !parser.positionalArguments().isEmpty()) {
        report(QStringLiteral("bad arguments; see --help"));
        return 3;
    }
    const QString folder =
        parser.isSet(folderOption) ? parser.value(folderOption) : QCoreApplication::applicationDirPath();

    // one writer at a time; a lock left by a launcher that died is taken over.
    // Taken before the wait when free: a client started meanwhile waits for it
    // instead of running while its files are replaced
    QLockFile lock(QDir(folder).absoluteFilePath(QLatin1String(UpdateRecord::LockFileName)));
    lock.setStaleLockTime(0);
    const bool lockedEarly = lock.tryLock(0);

    if (!StagedUpdate::waitForProcessExit(pid, timeoutMs)) {
        // its files may be in use; replacing them now could mix two builds,
        // and a second client beside the first would only make it worse
        const QString text = QStringLiteral("The update was not applied: ZeltERP (process %1) did not end within %2 "
                                            "seconds. Close every ZeltERP window and update again.")
                                 .arg(pid)
                                 .arg(timeoutMs / 1000);
        report(text);
        leaveNote(folder, text);
        return 1;
    }

    int code = 0;
    if (!lockedEarly && !lock.tryLock(lockMs)) {
        // the client has ended all the same; started again, it waits for the other launcher
        report(QStringLiteral("another launcher is updating \"%1\"; nothing done").arg(folder));
        code = 1;
    } else {
        const StagedUpdate::Result result =
            parser.isSet(recoverOption) ? StagedUpdate::recover(folder) : StagedUpdate::apply(folder);
        report(result.message);
        for (const QString &warning : result.warnings)
            report(warning);
        if (result.outcome == StagedUpdate::Result::Outcome::Failed) {
            leaveNote(folder, result.message);
            code = 1;
        }
    }
    lock.unlock(); // the client started next must not wait for it

    const QString program = parser.value(restartOption);
    if (!program.isEmpty() && !QProcess::startDetached(program, {}, QDir(folder).absolutePath())) {
        report(QStringLiteral("cannot start \"%1\"").arg(program));
        code = 2;
    }
    return code;
}
