#pragma once

// What the CRM screen tests share: the module loaded as the client loads
// it, a recording server with the REST client pointed at it, the screens
// created by class name, and customer rows as the server sends them.

#include "AppPaths.h"
#include "BaseChildFrmU.h"
#include "ClassRegistry.h"
#include "MemTable.h"
#include "PackageListU.h"
#include "RecordingPresenter.h"
#include "TestHttpServer.h"
#include "ZeltRestClientU.h"

#include <QDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>
#include <QtTest>
#include <memory>

namespace CrmTest {

const QString ListClass = QStringLiteral("TCustomerListFrm");
const QString EntryClass = QStringLiteral("TCustomerEntryFrm");
const QString CustomersPath = QStringLiteral("/crm/v1/master/customers");
const QByteArray Token = "crm-test-token";

// libcrm from the build's program folder, listed as the server lists it.
inline std::unique_ptr<TPackageList> loadCrmModule()
{
    Platform::setApplicationFolder(QStringLiteral(CRM_PLUGIN_DIR));
    auto packages = std::make_unique<TPackageList>();
    packages->LoadPackageData(QJsonArray { QJsonObject { { QStringLiteral("package_id"), QStringLiteral("crm") },
                                                         { QStringLiteral("package_file"), QStringLiteral("crm.bpl") } } });
    return packages;
}

inline std::unique_ptr<TBaseChildFrm> createScreen(const QString &AClassName, QWidget *AOwner = nullptr)
{
    QWidget *widget = Platform::ClassRegistry::instance().get(AClassName).create(AOwner);
    auto *screen = qobject_cast<TBaseChildFrm *>(widget);
    if (!screen)
        delete widget;
    return std::unique_ptr<TBaseChildFrm>(screen);
}

// A named control of a screen; a missing one fails the test at once.
template<typename T>
T *control(const QObject *AParent, const char *AName)
{
    T *found = AParent->findChild<T *>(QLatin1String(AName));
    if (!found)
        qFatal("control %s not found", AName);
    return found;
}

inline QJsonObject customer(int AId)
{
    return QJsonObject {
        { QStringLiteral("partner_id"), AId },
        { QStringLiteral("partner_code"), QStringLiteral("C%1").arg(AId, 4, 10, QLatin1Char('0')) },
        { QStringLiteral("partner_name"), QStringLiteral("Customer %1").arg(AId) },
        { QStringLiteral("industry"), QStringLiteral("Retail") },
        { QStringLiteral("address"), QStringLiteral("Jl. Sudirman %1").arg(AId) },
        { QStringLiteral("city"), QStringLiteral("Jakarta") },
        { QStringLiteral("phone"), QStringLiteral("021-555-%1").arg(AId) },
        { QStringLiteral("email"), QStringLiteral("c%1@example.co.id").arg(AId) },
        { QStringLiteral("website"), QStringLiteral("https://c%1.example.co.id").arg(AId) },
        { QStringLiteral("is_active"), AId % 10 != 0 },
        { QStringLiteral("updated_at"), QStringLiteral("2024-06-01T10:00:00") },
        { QStringLiteral("updated_by"), QStringLiteral("sarah@zelt.local") },
    };
}

// One page of ACount customers (ids from 1), cut as the server cuts it.
inline Reply customerPage(const RecordedRequest &ARequest, int ACount)
{
    const int page = qMax(1, ARequest.queryValue(QStringLiteral("page")).toInt());
    const int rows = qMax(1, ARequest.queryValue(QStringLiteral("page_rows")).toInt());
    QJsonArray data;
    for (int id = (page - 1) * rows + 1; id <= qMin(ACount, page * rows); ++id)
        data.append(customer(id));
    const QJsonObject pages { { QStringLiteral("page"), page },
                              { QStringLiteral("page_rows"), rows },
                              { QStringLiteral("page_count"), (ACount + rows - 1) / rows },
                              { QStringLiteral("rec_count"), ACount } };
    return Reply::json(QJsonDocument(QJsonObject { { QStringLiteral("data"), data }, { QStringLiteral("pages"), pages } })
                           .toJson(QJsonDocument::Compact));
}

inline Reply detailReply(int AId)
{
    QJsonObject record = customer(AId);
    // the detail carries more than the entry screen edits
    record.insert(QStringLiteral("contacts"), QJsonArray { QJsonObject { { QStringLiteral("contact_id"), 7 } } });
    record.insert(QStringLiteral("active_status"), QStringLiteral("Active"));
    return Reply::json(QJsonDocument(QJsonObject { { QStringLiteral("data"), record } }).toJson(QJsonDocument::Compact));
}

inline QJsonObject bodyOf(const RecordedRequest &ARequest)
{
    return QJsonDocument::fromJson(ARequest.body).object();
}

inline QList<RecordedRequest> requestsTo(const TestHttpServer &AServer, const QByteArray &AMethod,
                                         const QString &APath)
{
    QList<RecordedRequest> result;
    const QList<RecordedRequest> all = AServer.requests();
    for (const RecordedRequest &r : all) {
        if (r.method == AMethod && r.path == APath)
            result.append(r);
    }
    return result;
}

// The REST client of a signed-in user, pointed at the test server.
inline void connectRestClient(const TestHttpServer &AServer)
{
    delete RestClient;
    RestClient = new TZeltRestClient(AServer.url(), 2000, 2000);
    RestClient->SetHeaderData(QString::fromLatin1(Token), QStringLiteral("refresh"), QStringLiteral("en_US"));
}

inline void disconnectRestClient()
{
    delete RestClient;
    RestClient = nullptr;
}

} // namespace CrmTest
