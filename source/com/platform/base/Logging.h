#pragma once

#include "com_global.h"

#include <QLoggingCategory>

// One logging category per subsystem. Warnings are on by default and say
// what went wrong where a failure is deliberately not shown to the user;
// debug output is off. Turn a subsystem's on with QT_LOGGING_RULES, e.g.
//   QT_LOGGING_RULES="zelt.net.debug=true;zelt.data.debug=true"
// or everything with "zelt.*.debug=true".
namespace Platform::Log {

COM_EXPORT const QLoggingCategory &net(); // "zelt.net": HTTP client, REST requests, background tasks
COM_EXPORT const QLoggingCategory &data(); // "zelt.data": tables, JSON, reads and writes, lookups
COM_EXPORT const QLoggingCategory &ui(); // "zelt.ui": forms, dialogs, side bar, paging bar
COM_EXPORT const QLoggingCategory &signIn(); // "zelt.signin": customer authentication, sign-in, remembered sign-in
COM_EXPORT const QLoggingCategory &credentials(); // "zelt.credentials": the system's password store
COM_EXPORT const QLoggingCategory &update(); // "zelt.update": updater, launcher hand-over, relauncher
COM_EXPORT const QLoggingCategory &packages(); // "zelt.packages": module packages
COM_EXPORT const QLoggingCategory &report(); // "zelt.report": reports and their layouts
COM_EXPORT const QLoggingCategory &os(); // "zelt.os": processes, key injection, files and folders
COM_EXPORT const QLoggingCategory &lang(); // "zelt.lang": translations and resource strings

} // namespace Platform::Log
