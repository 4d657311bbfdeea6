#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// What ZeltLauncher does once the client has gone: moves the files of a
// complete staging ("updates/" with its manifest) into the application
// folder and records them in "updates.json", all or nothing, also across a
// crash or a power cut.
//
// Before the first target changes, "updates/journal.json" lists every step
// (target, backup, new file, folders to create) and the new record, and is
// flushed to disk. New content is copied beside each target and flushed,
// then each target is renamed aside to its backup and the new file renamed
// in; the record is replaced last. Backups go only after the new record is
// on disk; the journal goes after them.
namespace StagedUpdate {

struct Result
{
    enum class Outcome {
        Applied, // files in place, record updated, staging cleared
        NothingStaged, // no complete staging (or no journal to recover): nothing touched
        Failed, // nothing of the installation changed; message says why
        RolledBack, // recovery put every backup back: the old build, the old record
    };
    Outcome outcome = Outcome::NothingStaged;
    QString message;
    QStringList appliedFiles; // relative to the application folder, in order
    QStringList warnings; // leftovers that could not be removed after success
};

struct Options
{
    // Called before each file is swapped in (target relative to the
    // application folder); returning false fails the swap. Lets tests break
    // an update half-way.
    std::function<bool(const QString &target)> beforeSwap;
};

// Every entry of "updates.json" whose "action" is "1" must be staged with
// at least one file; its files replace the installed ones. Then "app_ver"
// becomes "app_ver_new", "app_update" "0", and each applied entry gets the
// server's "app_version" and "action" "0". A failure puts every backup back
// (Failed, the installation and record as they were, the staging kept). An
// interrupted apply found first is recovered before anything else.
Result apply(const QString &appFolder, const Options &options = {});

// Finishes or undoes an apply that was interrupted: with every new file in
// place it writes the new record and clears the backups (Applied); otherwise
// it puts every backup back and removes what the apply created (RolledBack).
// Each step can be interrupted in turn and recover() called again.
// NothingStaged when there is no journal.
Result recover(const QString &appFolder);

// Blocks until the process has ended (true) or timeoutMs has passed
// (false). A pid that is not running counts as ended.
bool waitForProcessExit(qint64 pid, int timeoutMs);

// Test hooks, read from the environment once: ZELT_LAUNCHER_KILL_AT=N makes
// the process kill itself (SIGKILL) right before its N-th operation that
// changes the file system (counting from 1); ZELT_LAUNCHER_TRACE=FILE
// appends one line per such operation to FILE.
int operationCount();

} // namespace StagedUpdate
