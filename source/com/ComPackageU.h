#pragma once

#include "com_global.h"

// Creates the shared data module and makes the built-in screens findable by
// class name; the reverse on the way out. Run as the last unit of com to
// start when the library is loaded (the units start once, in a fixed order,
// and stop in the reverse order when it is unloaded).
COM_EXPORT void RegisterModuleClasses();
COM_EXPORT void UnRegisterModuleClasses();
