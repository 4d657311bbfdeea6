#include "Logging.h"

namespace Platform::Log {

// Warnings stay on unless a rule turns them off; debug output is opt-in.
// Never destroyed: the unit finalizations and the relauncher log from
// static destructors, after a function-local static would be gone.
#define ZELT_CATEGORY(function, name)                                                                                  \
    const QLoggingCategory &function()                                                                                 \
    {                                                                                                                  \
        static const QLoggingCategory *const category = new QLoggingCategory(name, QtInfoMsg);                         \
        return *category;                                                                                              \
    }

ZELT_CATEGORY(net, "zelt.net")
ZELT_CATEGORY(data, "zelt.data")
ZELT_CATEGORY(ui, "zelt.ui")
ZELT_CATEGORY(signIn, "zelt.signin")
ZELT_CATEGORY(credentials, "zelt.credentials")
ZELT_CATEGORY(update, "zelt.update")
ZELT_CATEGORY(packages, "zelt.packages")
ZELT_CATEGORY(report, "zelt.report")
ZELT_CATEGORY(os, "zelt.os")
ZELT_CATEGORY(lang, "zelt.lang")

#undef ZELT_CATEGORY

} // namespace Platform::Log
