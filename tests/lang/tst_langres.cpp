#include "ComDmU.h"
#include "LangResU.h"
#include "Localizer.h"
#include "ResourceStrings.h"

#include <QtTest>

#include <memory>

using Platform::ResourceString;
using Platform::ResourceStringRepository;

namespace {

struct Entry
{
    const char *name;
    const char *english;
};

// The catalogue as the product defines it: names in their exact case and the
// English texts letter for letter, in catalogue order.
const Entry Catalogue[] = {
    { "sAppClose", "Close" },
    { "sErrEmpty", "cannot be empty." },
    { "sErrLoginInfoFailed", "Can not retrieve login information" },
    { "sErrSignInFailed", "Invalid email or password." },
    { "sHeaderAsset", "Asset" },
    { "sHeaderAssetCategory", "Asset Category" },
    { "sHeaderAssetClasses", "Asset Classes" },
    { "sHeaderAssetLocation", "Asset Location" },
    { "sHeaderAssetMovement", "Asset Movement" },
    { "sHeaderAssetStatus", "Asset Status" },
    { "sHeaderAssetWarranty", "Asset Warranty" },
    { "sHeaderBank", "Bank" },
    { "sHeaderContacts", "Contacts" },
    { "sHeaderCustomers", "Customers" },
    { "sHeaderIndustries", "Industries" },
    { "sHeaderItem", "Item" },
    { "sHeaderItemCategory", "Item Categories" },
    { "sHeaderItemTypes", "Item Types" },
    { "sHeaderLocations", "Locations" },
    { "sHeaderLostReasons", "Lost Reasons" },
    { "sHeaderOpportunityStatus", "Opportunity Status" },
    { "sHeaderPaymentTerm", "Payment Term" },
    { "sHeaderPO", "Purchase Order" },
    { "sHeaderPR", "Purchase Requisition" },
    { "sHeaderProjects", "Projects" },
    { "sHeaderProjectTypes", "Project Type" },
    { "sHeaderRFQ", "Request For Quotation" },
    { "sHeaderUoms", "Unit of Measurements" },
    { "sHeaderVendor", "Vendor" },
    { "sHeaderVendorGroup", "Vendor Group" },
    { "sHeaderVendorSelection", "Vendor Selection" },
    { "sLabelAction", "Action" },
    { "sLabelActions", "Actions" },
    { "sLabelActive", "Active" },
    { "sLabelAdd", "Add" },
    { "slabelAddExistingItem", "Add Existing Item" },
    { "sLabelAddNewItem", "Add New Item" },
    { "sLabelAddress", "Address" },
    { "sLabelAll", "All" },
    { "sLabelApprovals", "Approvals" },
    { "sLabelAuthorization", "Authorization" },
    { "sLabelBuyer", "Buyer Name" },
    { "sLabelCancel", "Cancel" },
    { "sLabelCCProjectNo", "CC / Project No." },
    { "slabelCity", "" },
    { "sLabelCode", "Code" },
    { "sLabelContactPerson", "Contact Person" },
    { "sLabelCostCenterID", "Cost Center ID" },
    { "sLabelCostCenterName", "Cost Center Name" },
    { "sLabelCostCenterNo", "Cost Center No" },
    { "sLabelCustomerName", "Customer Name" },
    { "sLabelDelete", "Delete" },
    { "sLabelDeleteItem", "Delete Item" },
    { "sLabelDesc", "Description" },
    { "sLabelDetail", "Detail" },
    { "sLabelEdit", "Edit" },
    { "sLabelEmpName", "Employee Name" },
    { "sLabelEmpNo", "Employee No" },
    { "sLabelEndDate", "End Date" },
    { "sLabelFromDate", "From Date" },
    { "sLabelId", "ID" },
    { "sLabelIndustry", "Industry" },
    { "sLabelItemDetails", "Item details" },
    { "slabelLastUpdate", "Last update" },
    { "sLabelLocName", "Location Name" },
    { "sLabelName", "Name" },
    { "sLabelNotActive", "Not Active" },
    { "sLabelNotes", "Notes" },
    { "sLabelOfPage", "of" },
    { "sLabelOr", "or" },
    { "sLabelPage", "Page" },
    { "sLabelPhone", "Phone" },
    { "sLabelPONo", "PO No" },
    { "sLabelPrjID", "Project ID" },
    { "sLabelPrjName", "Project Name" },
    { "sLabelPrjNo", "Project No." },
    { "sLabelPRNo", "PR No." },
    { "sLabelProjectNo", "Project No." },
    { "sLabelPRStatus", "Purchase Requisition Status" },
    { "sLabelQty", "Quantity" },
    { "sLabelRecords", "records" },
    { "sLabelRequestBy", "Requested By" },
    { "sLabelRevision", "Revision" },
    { "sLabelRows", "Rows" },
    { "sLabelSave", "Save" },
    { "sLabelSearch", "Search" },
    { "sLabelSearchText", "Search by" },
    { "sLabelStartDate", "Start Date" },
    { "sLabelStatus", "Status" },
    { "sLabelSubTotal", "Sub Total" },
    { "sLabelTo", "to" },
    { "sLabelTotal", "Total" },
    { "sLabelTotalRecord", "Total :" },
    { "sLabelType", "Type" },
    { "slabelUnitPrice", "Price" },
    { "sLabelUoM", "UoM" },
    { "sLabelUpdatedAt", "Updated At" },
    { "sLabelUpdatedBy", "Updated By" },
    { "sLabelUpdatedDate", "Updated Date" },
    { "sLabelUpdateLogs", "Update Logs" },
    { "sLabelVAT", "VAT" },
    { "sLabelVendorName", "Vendor Name" },
    { "sLabelViewLogs", "View Logs" },
    { "sLoginEmail", "Email" },
    { "sLoginForgotPassword", "Forgot password" },
    { "sLoginPassword", "Password" },
    { "sLoginRememberMe", "Remember me" },
    { "sLoginSignIn", "Sign In" },
    { "sLoginWelcome1", "Welcome Back!" },
    { "sLoginWelcome2", "Please enter your email and password" },
    { "sMsgAddNewConfirm", "Are you sure to Add New data?" },
    { "sMsgAssignConfirm", "Are you sure to assign buyer?" },
    { "sMsgClearAssignConfirm", "Are you sure to clear assign buyer?" },
    { "sMsgDeleteConfirm", "Are you sure to delete this data?" },
    { "sMsgDeleted", "Data has been deleted." },
    { "sMsgDeleteError", "Delete failed." },
    { "sMsgHttpBadRequest", "Bad Request." },
    { "sMsgHttpForbidden", "Forbidden." },
    { "sMsgHttpPageNotFound", "Page Not Found." },
    { "sMsgHttpServerError", "Server Error." },
    { "sMsgHttpUnauthorized", "Unauthorized or session has expired, please re-login." },
    { "sMsgHttpUndefinedClientError", "Undefined client error." },
    { "sMsgHttpUndefinedError", "Udefined Error." },
    { "sMsgOpenConfirm", "Are you sure to Open this data?" },
    { "sMsgReleaseConfirm", "Are you sure to Release this data?" },
    { "sMsgSaveConfirm", "Is the data correct?" },
    { "sMsgSaved", "Data has been saved." },
    { "sMsgSessionExpired", "Session has expired, please re-login." },
};

QList<const ResourceString *> catalogue()
{
    return ResourceStringRepository::instance().strings(QStringLiteral("Custom Resource Strings"));
}

class CountingListener : public Platform::LocalizerListener
{
public:
    void TranslationChanged() override
    {
        ++calls;
        seen = sMsgSaved.text();
    }
    int calls = 0;
    QString seen;
};

} // namespace

class tst_LangRes : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();

    void catalogueLetterForLetter();
    void indonesianForEveryEntryAndListenersTold();
    void everyRegisteredTextHasIndonesian();
};

void tst_LangRes::cleanup()
{
    ComDm->locLang->setLanguageIndex(-1);
}

void tst_LangRes::catalogueLetterForLetter()
{
    const auto strings = catalogue();
    QCOMPARE(strings.size(), int(std::size(Catalogue)));
    QCOMPARE(strings.size(), 128);
    for (qsizetype i = 0; i < strings.size(); ++i) {
        const Entry &e = Catalogue[i];
        QCOMPARE(strings.at(i)->nameText(), QString::fromLatin1(e.name));
        QCOMPARE(strings.at(i)->englishText(), QString::fromUtf8(e.english));
        // no language active: every fetch gives the English text
        QCOMPARE(strings.at(i)->text(), QString::fromUtf8(e.english));
    }
    // the registered entries are the unit's own objects, found by their exact name
    QCOMPARE(strings.constFirst(), &sAppClose);
    QCOMPARE(strings.constLast(), &sMsgSessionExpired);
    QCOMPARE(ResourceStringRepository::instance().find(QStringLiteral("slabelUnitPrice")), &slabelUnitPrice);
    QCOMPARE(ResourceStringRepository::instance().find(QStringLiteral("sLabelUnitPrice")), nullptr);
}

void tst_LangRes::indonesianForEveryEntryAndListenersTold()
{
    Platform::Localizer *loc = ComDm->locLang; // reading the shipped lang.ini
    QCOMPARE(loc->languages(), QStringList { QStringLiteral("id_ID") });
    QCOMPARE(loc->languageName(0), QStringLiteral("Bahasa (ID)"));
    CountingListener listener;
    ResourceStringRepository::instance().addListener(&listener);

    loc->setLanguageIndex(0);
    // the listener is told once, and every fetch is Indonesian by then
    QCOMPARE(listener.calls, 1);
    QCOMPARE(listener.seen, QStringLiteral("Data telah disimpan."));
    QCOMPARE(loc->languageIndex(), 0);
    int differing = 0;
    for (const ResourceString *s : catalogue()) {
        const QString t = loc->translation(0, s->nameText());
        QVERIFY2(!t.isEmpty(), qPrintable(s->nameText()));
        QCOMPARE(s->text(), t);
        if (t != s->englishText())
            ++differing;
    }
    // a few words are the same in both languages (Bank, Status, Total, ID,
    // Email); the rest must really be translated
    QVERIFY2(differing >= 118, qPrintable(QString::number(differing)));
    QCOMPARE(sMsgDeleteConfirm.text(), QStringLiteral("Apakah Anda yakin ingin menghapus data ini?"));
    QCOMPARE(slabelCity.text(), QStringLiteral("Kota"));

    // an index outside the list selects English
    loc->setLanguageIndex(1);
    QCOMPARE(loc->languageIndex(), -1);
    QCOMPARE(listener.calls, 2);
    QCOMPARE(listener.seen, QStringLiteral("Data has been saved."));
    QCOMPARE(slabelCity.text(), QString());

    ResourceStringRepository::instance().removeListener(&listener);
    loc->setLanguageIndex(0);
    QCOMPARE(listener.calls, 2);

    // screens never leave explicitly: a destroyed listener is gone from the list
    {
        auto gone = std::make_unique<CountingListener>();
        ResourceStringRepository::instance().addListener(gone.get());
    }
    loc->setLanguageIndex(-1); // would call into freed memory otherwise
    QCOMPARE(loc->languageIndex(), -1);
}

// Not the catalogue alone: every text any unit registered is translated, and
// a module's name that differs from the file's only in case finds its entry,
// as names do in an INI file.
void tst_LangRes::everyRegisteredTextHasIndonesian()
{
    Platform::Localizer *loc = ComDm->locLang;
    auto &repository = ResourceStringRepository::instance();
    const QStringList products = repository.products();
    QVERIFY(products.contains(QStringLiteral("Custom Resource Strings")));
    QVERIFY(products.contains(QStringLiteral("Common Dialogs Resource Strings")));
    int checked = 0;
    for (const QString &product : products) {
        for (const ResourceString *s : repository.strings(product)) {
            QVERIFY2(!loc->translation(0, s->nameText()).isEmpty(),
                     qPrintable(product + QStringLiteral(": ") + s->nameText()));
            ++checked;
        }
    }
    QVERIFY(checked > 128 + 30);

    // as the crm module names its City caption
    static const ResourceString moduleCity = { "sLabelCity", "City" };
    repository.registerProduct(QStringLiteral("Module Strings"), { &moduleCity });
    loc->setLanguageIndex(0);
    QCOMPARE(moduleCity.text(), QStringLiteral("Kota"));
    QCOMPARE(loc->translation(0, QStringLiteral("SLABELCITY")), QStringLiteral("Kota"));
    QCOMPARE(slabelCity.text(), QStringLiteral("Kota"));
    loc->setLanguageIndex(-1);
    QCOMPARE(moduleCity.text(), QStringLiteral("City"));
    repository.unregisterProduct(QStringLiteral("Module Strings"));
}

QTEST_GUILESS_MAIN(tst_LangRes)
#include "tst_langres.moc"
