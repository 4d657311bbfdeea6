#pragma once

#include "com_global.h"

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
