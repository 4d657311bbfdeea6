#pragma once

#include <QtCore/qglobal.h>

#if defined(COM_LIBRARY)
#define COM_EXPORT Q_DECL_EXPORT
#else
#define COM_EXPORT Q_DECL_IMPORT
#endif
