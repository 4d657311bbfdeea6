#include "KeyInjector.h"

namespace Platform {

namespace {

std::unique_ptr<KeyInjector> &installedInjector()
{
    static std::unique_ptr<KeyInjector> injector;
    return injector;
}

std::unique_ptr<KeyInjector> createDefaultInjector()
{
#ifdef Q_OS_WIN
    return std::make_unique<WinKeyInjector>();
#else
    return std::make_unique<QtKeyInjector>();
#endif
}

} // namespace

KeyInjector::~KeyInjector() = default;

KeyInjector &keyInjector()
{
    auto &injector = installedInjector();
    if (!injector)
        injector = createDefaultInjector();
    return *injector;
}

void setKeyInjector(std::unique_ptr<KeyInjector> injector)
{
    installedInjector() = std::move(injector);
}

} // namespace Platform
