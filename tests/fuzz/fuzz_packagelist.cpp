// The package list of the signed-in user: any JSON value loads without
// raising, shows at most one error, keeps com's own entry first and never
// reaches outside the application folder. The folder here is empty but for
// one file that is no library, so the failing load is reached as well.

#include "FuzzSupport.h"

#include "PackageListU.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::application<QCoreApplication>();
    static const QString folder = [] {
        const QString f = Fuzz::emptyApplicationFolder();
        QFile junk(f + QStringLiteral("libjunk.so"));
        if (junk.open(QIODevice::WriteOnly))
            junk.write("not a library");
        return f;
    }();
    Q_UNUSED(folder);
    Fuzz::QuietPresenter &presenter = Fuzz::QuietPresenter::install();
    presenter.clear();

    const QJsonDocument doc = QJsonDocument::fromJson(Fuzz::bytes(data, size));
    const QJsonValue value = doc.isArray() ? QJsonValue(doc.array())
        : doc.isObject()                   ? doc.object().value(QLatin1String("packages"))
                                           : QJsonValue(QJsonValue::Undefined);

    TPackageList list;
    try {
        list.LoadPackageData(value);
    } catch (...) {
        FUZZ_CHECK(false, QStringLiteral("LoadPackageData raised"));
    }
    FUZZ_CHECK(presenter.texts.size() <= 1, QStringLiteral("%1 messages for one list").arg(presenter.texts.size()));
    FUZZ_CHECK(list.Count() >= 1 && list.Items(0)->PackageId == QLatin1String("com"),
               QStringLiteral("com's entry is not first"));
    FUZZ_CHECK(!list.Items(-1) && !list.Items(list.Count()), QStringLiteral("an entry outside the list"));
    const qsizetype offered = value.isArray() ? value.toArray().size() : 0;
    FUZZ_CHECK(list.Count() <= offered + 1, QStringLiteral("%1 entries of %2").arg(list.Count()).arg(offered));
    if (presenter.texts.isEmpty() && value.isArray())
        FUZZ_CHECK(list.Count() == offered + 1, QStringLiteral("entries lost without a message"));
    for (int i = 0; i < list.Count(); ++i) {
        const TAppPackage *package = list.Items(i);
        FUZZ_CHECK(!package->IsLoad, QStringLiteral("\"%1\" loaded from an empty folder").arg(package->PackageFile));
        const QString file = TPackageList::LibraryFileName(package->PackageFile);
        if (!package->PackageFile.endsWith(QLatin1String(".bpl"), Qt::CaseInsensitive))
            FUZZ_CHECK(file == package->PackageFile, QStringLiteral("\"%1\" renamed").arg(file));
    }
    try {
        list.UnloadPackageData();
    } catch (...) {
        FUZZ_CHECK(false, QStringLiteral("nothing loaded, yet unloading raised"));
    }
    return 0;
}
