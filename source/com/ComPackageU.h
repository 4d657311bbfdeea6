#pragma once

#include "com_global.h"

#include <QStringList>

// Creates the shared data module and makes the built-in screens findable by
// class name; the reverse on the way out.
COM_EXPORT void RegisterModuleClasses();
COM_EXPORT void UnRegisterModuleClasses();

// The units of com start once, in a fixed order, when the library is loaded,
// and stop in the reverse order when it is unloaded. The names of the units
// that have started, in start order (for diagnostics and tests).
COM_EXPORT QStringList ComPackageStartedUnits();
