#pragma once

#include "com_global.h"

#include <QString>

namespace Platform {

// The folder of the running program, with its trailing separator: where
// app.conf, lang.ini, updates.json, reports/ and the module plugins live.
// Tests point it at a temporary folder.
COM_EXPORT QString applicationFolder();
COM_EXPORT void setApplicationFolder(const QString &folder);
// Full path of the running program.
COM_EXPORT QString applicationFilePath();

} // namespace Platform
