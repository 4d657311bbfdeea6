#pragma once

#include "com_global.h"

#include <QString>
#include <functional>
#include <memory>

class QWidget;

// What the client settles about updates before anything else at start-up:
//  - a note ZeltLauncher left (an update it could not apply, a client that
//    did not end in time) is shown once and removed;
//  - while ZeltLauncher holds the update lock (it is replacing files), the
//    client waits with its splash and a status text; when the lock is still
//    held after AWaitMs, it says so and ends without touching anything;
//  - an interrupted update (a journal in the staging folder) is handed to
//    ZeltLauncher --recover, which finishes or undoes it once this process
//    has ended and starts the client again. The client ends (Quit).
enum class TClientStart { Go, Quit };

COM_EXPORT TClientStart PrepareClientStart(int AWaitMs = 120000);

// Shows AText in a window while the client waits for the launcher; the
// window goes when the returned widget is released. Set by the package
// start-up (the splash); empty: the client waits without a window.
using TUpdateWaitView = std::function<std::unique_ptr<QWidget>(const QString &AText)>;
COM_EXPORT void SetUpdateWaitView(TUpdateWaitView AView);
