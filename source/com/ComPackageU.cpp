#include "ComPackageU.h"

#include "BaseChildFrmU.h"
#include "ClassRegistry.h"
#include "ContactEntryFrmU.h"
#include "ContactListFrmU.h"
#include "DialogPresenter.h"
#include "MasterPickListFrmU.h"
#include "ResourceStrings.h"
#include "ProcessObjectsU.h"
#include "GlobalVarsU.h"
#include "KeyboardOutputU.h"
#include "LoginFrmU.h"
#include "LangResU.h"
#include "RelauncerU.h"
#include "SplashFrmU.h"
#include "UpdateGuardU.h"
#include "UpdaterU.h"
#include "WaitDlgFrmU.h"
#include "WaitDlgU.h"
#include "WelcomeFrmU.h"

#include <QLabel>
#include <functional>
#include <vector>

namespace {

// The shared forms' own texts, beside the catalogue of LangResU, so that
// translations and the language check know them.
const QString FormsResourceProduct = QStringLiteral("Common Forms Resource Strings");
// The message boxes', browse dialog's and pick lists' texts.
const QString DialogsResourceProduct = QStringLiteral("Common Dialogs Resource Strings");

} // namespace

namespace {

// The units below the forms reach them only through these hooks, set while
// the package runs: "Update Now" stages the update, the wait dialog and the
// update guard show their windows.
void ConnectFormHooks()
{
    TLoginFrm::SetUpdateHandler(StageUpdateNow);
    TWaitDlg::SetViewFactory([] { return std::make_unique<TWaitDlgFrm>(nullptr); });
    SetUpdateWaitView([](const QString &AText) {
        auto splash = std::make_unique<TSplashFrm>();
        splash->lblStatus->setText(AText);
        splash->show();
        return std::unique_ptr<QWidget>(std::move(splash));
    });
}

void DisconnectFormHooks()
{
    SetUpdateWaitView({});
    TWaitDlg::SetViewFactory({});
    TLoginFrm::SetUpdateHandler({});
}

} // namespace

void RegisterModuleClasses()
{
    Platform::ResourceStringRepository::instance().registerProduct(FormsResourceProduct,
                                                                   { &sMsgCloseUnsavedConfirm,
                                                                     &sHeaderNewContact,
                                                                     &sLabelContactTypeContact,
                                                                     &sLabelInvoiceAddress,
                                                                     &sLabelDeliveryAddress,
                                                                     &sLabelTitle,
                                                                     &sLabelJobPosition,
                                                                     &sLabelCountry,
                                                                     &sLabelContactCity,
                                                                     &sLabelState,
                                                                     &sLabelZip,
                                                                     &sLabelPhoto,
                                                                     &sLabelBack,
                                                                     &sHeaderContactList,
                                                                     &sLabelContactName,
                                                                     &sLabelPosition,
                                                                     &sLabelMobile,
                                                                     &sLabelContactEmail,
                                                                     &sLabelCompany,
                                                                     &sLabelContactLastUpdate });
    Platform::ResourceStringRepository::instance().registerProduct(
        DialogsResourceProduct, Platform::DialogResourceStrings() + PickListResourceStrings());
    CreatePackageObjects();
    Platform::ClassRegistry::instance().registerClass<TWelcomeFrm>(QStringLiteral("TWelcomeFrm"));
}

void UnRegisterModuleClasses()
{
    Platform::ClassRegistry::instance().unregisterClass(QStringLiteral("TWelcomeFrm"));
    FreePackageObjects();
    Platform::ResourceStringRepository::instance().unregisterProduct(DialogsResourceProduct);
    Platform::ResourceStringRepository::instance().unregisterProduct(FormsResourceProduct);
}

namespace {

struct Unit
{
    std::function<void()> initialize;
    std::function<void()> finalize;
};

// The order in which the units start; they stop in the reverse order.
std::vector<Unit> units()
{
    return {
        { LangResU_Initialize, LangResU_Finalize },       { RelauncerU_Initialize, RelauncerU_Finalize },
        { GlobalVarsU_Initialize, GlobalVarsU_Finalize }, { KeyboardOutputU_Initialize, KeyboardOutputU_Finalize },
        { ConnectFormHooks, DisconnectFormHooks },        { RegisterModuleClasses, UnRegisterModuleClasses },
    };
}

class PackageLifetime
{
public:
    PackageLifetime()
    {
        for (Unit &u : m_units)
            u.initialize();
    }
    ~PackageLifetime()
    {
        for (auto it = m_units.rbegin(); it != m_units.rend(); ++it)
            it->finalize();
    }

private:
    std::vector<Unit> m_units = units();
};

// Runs when the library is loaded, before the host's main().
const PackageLifetime lifetime;

} // namespace
