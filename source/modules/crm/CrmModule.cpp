// The CRM module's entry points: what the client runs when it loads and
// unloads libcrm (see ModuleInterface.h).
#include "ClassRegistry.h"
#include "CrmResU.h"
#include "CustomerEntryFrmU.h"
#include "CustomerListFrmU.h"
#include "ModuleInterface.h"
#include "ResourceStrings.h"

namespace {

// The class names the server's menu entries give as "form_class".
const QString CustomerListClass = QStringLiteral("TCustomerListFrm");
const QString CustomerEntryClass = QStringLiteral("TCustomerEntryFrm");

void initialize()
{
    auto &registry = Platform::ClassRegistry::instance();
    registry.registerClass<TCustomerListFrm>(CustomerListClass);
    registry.registerClass<TCustomerEntryFrm>(CustomerEntryClass);
    // last: it cannot fail, and must not outlive a module that failed to
    // start, since it points into the module's memory
    Platform::ResourceStringRepository::instance().registerProduct(QLatin1String(CrmResourceProduct),
                                                                   CrmResourceStrings());
}

void finalize()
{
    Platform::ResourceStringRepository::instance().unregisterProduct(QLatin1String(CrmResourceProduct));
    auto &registry = Platform::ClassRegistry::instance();
    registry.unregisterClass(CustomerEntryClass);
    registry.unregisterClass(CustomerListClass);
}

} // namespace

ZELT_MODULE(initialize, finalize)
