#include "UpdateGuardU.h"

#include "AppPaths.h"
#include "Errors.h"
#include "MsgDlgU.h"
#include "ProcessLauncher.h"
#include "UpdateRecord.h"
#include "UpdaterU.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QWidget>

namespace {

TUpdateWaitView &updateWaitView()
{
    static TUpdateWaitView view;
    return view;
}

const QString WaitingText = QStringLiteral("An update is being applied, please wait...");
const QString StillBusyText =
    QStringLiteral("ZeltERP is still being updated. Nothing has been changed; start ZeltERP again in a few minutes.");
const QString NotePrefix = QStringLiteral("The last update did not complete.");
const QString RecoverFailedText = QStringLiteral("An interrupted update could not be finished.");

// Shows and removes what the launcher left; true when there was something.
bool showLauncherNote(const QString &folder)
{
    QFile note(folder + QLatin1String(UpdateRecord::NoteFileName));
    if (!note.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromUtf8(note.readAll()).trimmed();
    note.close();
    // removed first: a crash while the message shows must not repeat it forever
    note.remove();
    MsgErr(NotePrefix + (text.isEmpty() ? QString() : QLatin1Char('\n') + text));
    return true;
}

// Waits until no launcher holds the lock; false after waitMs.
bool waitForLauncher(const QString &folder, int waitMs)
{
    QLockFile lock(folder + QLatin1String(UpdateRecord::LockFileName));
    lock.setStaleLockTime(0); // a lock whose launcher died is free at once
    if (lock.tryLock(0) || lock.error() != QLockFile::LockFailedError)
        return true; // free, or a folder we cannot lock in: nothing to wait for
    std::unique_ptr<QWidget> view;
    if (const TUpdateWaitView &make = updateWaitView())
        view = make(WaitingText);
    const QDeadlineTimer deadline(waitMs);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
        if (lock.tryLock(100) || lock.error() != QLockFile::LockFailedError)
            return true;
    }
    view.reset();
    MsgErr(StillBusyText);
    return false;
}

} // namespace

TClientStart PrepareClientStart(int AWaitMs)
{
    const QString folder = Platform::applicationFolder();
    const bool told = showLauncherNote(folder);
    if (!waitForLauncher(folder, AWaitMs))
        return TClientStart::Quit;
    const QString journal =
        folder + QLatin1String(UpdateRecord::StagingFolderName) + QLatin1String(UpdateRecord::JournalFileName);
    if (!QFileInfo::exists(journal))
        return TClientStart::Go;
    // the launcher has just failed on it and the note said so: no loop
    if (told)
        return TClientStart::Quit;
    // files of this very process may be among those to put back
    try {
        const QString launcher = ZeltLauncherPath(folder);
        if (!QFileInfo(launcher).isFile())
            throw Platform::Error(QStringLiteral("\"%1\" was not found.").arg(launcher));
        Platform::processLauncher().startDetached(
            launcher,
            ZeltLauncherParameters(folder, QCoreApplication::applicationPid(), Platform::runningExecutablePath())
                + QStringLiteral(" --recover"),
            QString(), Platform::WindowShow::Normal);
    } catch (const std::exception &e) {
        MsgErr(RecoverFailedText + QLatin1Char('\n') + Platform::messageOf(e));
    }
    return TClientStart::Quit;
}

void SetUpdateWaitView(TUpdateWaitView AView)
{
    updateWaitView() = std::move(AView);
}
