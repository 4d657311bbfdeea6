#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// What ZeltLauncher does once the client has gone: moves the files of a
// complete staging ("updates/" with its manifest) into the application
// folder and records them in "updates.json", all or nothing.
namespace StagedUpdate {

struct Result
{
    enum class Outcome {
        Applied,       // files in place, record updated, staging cleared
        NothingStaged, // no complete staging: nothing touched
        Failed,        // nothing of the installation changed; message says why
    };
    Outcome outcome = Outcome::NothingStaged;
    QString message;
    QStringList appliedFiles; // relative to the application folder, in order
    QStringList warnings;     // leftovers that could not be removed after success
};

struct Options
{
    // Called before each file is swapped in (target relative to the
    // application folder); returning false fails the swap. Lets tests break
    // an update half-way.
    std::function<bool(const QString &target)> beforeSwap;
};

// Every entry of "updates.json" whose "action" is "1" must be staged; its
// files replace the installed ones (new content is copied beside each
// target first, then the targets are swapped; any failure swaps the old
// files back). Then "app_ver" becomes "app_ver_new", "app_update" "0", and
// each applied entry gets the server's "app_version" and "action" "0"; the
// record is replaced atomically. Finally the staging folder is removed.
Result apply(const QString &appFolder, const Options &options = {});

// Blocks until the process has ended (true) or timeoutMs has passed
// (false). A pid that is not running counts as ended.
bool waitForProcessExit(qint64 pid, int timeoutMs);

} // namespace StagedUpdate
