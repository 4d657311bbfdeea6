#pragma once

#include "com_global.h"

#include <QString>
#include <functional>

// Lets the host arrange that, when the program ends, a fresh instance of it
// or a service is started. The wish is registered while the program runs;
// it is carried out once, when the library unloads at the end of the
// process. Each registration replaces the previous one.

using TRestartOnExit = std::function<void()>;

// At the end: starts the running executable again with the parameters
// "RestartApplicationOnExit=" + process id + aExtraArguments (trimmed, no
// blank in between). A failure to start is ignored.
COM_EXPORT void RestartApplicationOnExit(const QString &aExtraArguments = QString());

// At the end: asks the service manager to start ServiceName. A failure to
// start is reported (a message while the application runs, standard error
// once it has gone).
COM_EXPORT void RestartServiceOnExit(const QString &ServiceName);

// Carries out the registered restart now, as the end of the process would,
// and clears it, so it happens once. For a host that wants it done while
// its application still exists, and for tests.
COM_EXPORT void CarryOutRestartOnExit();

// Unit start (nothing registered) and stop (the registered restart, once).
COM_EXPORT void RelauncerU_Initialize();
COM_EXPORT void RelauncerU_Finalize();
