#pragma once

// What the client expects of a module plugin.
//
// A module plugin is a shared library linked against com. The client loads
// the libraries that the server lists for the signed-in user, from the
// application folder, and unloads them at sign-out and shut-down. A package
// file named "crm.bpl" stands for libcrm.so on Linux, crm.dll on Windows and
// libcrm.dylib on macOS; any other name is taken as it is.
//
// A module declares two functions without arguments and names them once:
//
//     static void initialize()
//     {
//         Platform::ClassRegistry::instance().registerClass<TCustomerListFrm>(QStringLiteral("TCustomerListFrm"));
//     }
//     static void finalize()
//     {
//         Platform::ClassRegistry::instance().unregisterClass(QStringLiteral("TCustomerListFrm"));
//     }
//     ZELT_MODULE(initialize, finalize)
//
// initialize() runs once the library is loaded and registers the module's
// screen classes; finalize() runs before it is unloaded and unregisters them.
// Either may throw: the macro catches everything, so no exception crosses
// the library boundary, and the client reports the message. Work belongs in
// these two functions, not in static constructors, which run inside the
// system's loader where a failure cannot be reported.
//
// Classes the module registered and left registered after finalize() are
// unregistered by the client before it unloads the library, since their
// factories live in the library's code.

#include <QtCore/qglobal.h>

#include <cstring>
#include <exception>

// Raised whenever the contract below changes; a module built for another
// version is refused with a message.
#define ZELT_MODULE_API_VERSION 1

extern "C" {
// Returns ZELT_MODULE_API_VERSION as the module was built with it.
typedef int (*ZeltModuleApiVersionFunction)();
// Return 0 on success; otherwise non-zero, with a UTF-8 message written
// into error (at most errorSize bytes, terminated).
typedef int (*ZeltModuleEntryFunction)(char *error, int errorSize);
}

namespace ZeltModule::Detail {

inline void copyMessage(const char *message, char *error, int errorSize) noexcept
{
    if (!error || errorSize <= 0)
        return;
    const size_t length = message ? std::strlen(message) : 0;
    const size_t n = length < size_t(errorSize - 1) ? length : size_t(errorSize - 1);
    if (n)
        std::memcpy(error, message, n);
    error[n] = '\0';
}

inline int run(void (*function)(), char *error, int errorSize) noexcept
{
    try {
        if (function)
            function();
        copyMessage("", error, errorSize);
        return 0;
    } catch (const std::exception &e) {
        copyMessage(e.what(), error, errorSize);
    } catch (...) {
        copyMessage("Unknown error", error, errorSize);
    }
    return 1;
}

} // namespace ZeltModule::Detail

#define ZELT_MODULE(initializeFunction, finalizeFunction)                                                              \
    extern "C" Q_DECL_EXPORT int ZeltModuleApiVersion()                                                                \
    {                                                                                                                  \
        return ZELT_MODULE_API_VERSION;                                                                                \
    }                                                                                                                  \
    extern "C" Q_DECL_EXPORT int ZeltModuleInitialize(char *error, int errorSize)                                      \
    {                                                                                                                  \
        return ::ZeltModule::Detail::run(initializeFunction, error, errorSize);                                        \
    }                                                                                                                  \
    extern "C" Q_DECL_EXPORT int ZeltModuleFinalize(char *error, int errorSize)                                        \
    {                                                                                                                  \
        return ::ZeltModule::Detail::run(finalizeFunction, error, errorSize);                                          \
    }
