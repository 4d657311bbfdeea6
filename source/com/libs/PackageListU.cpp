#include "PackageListU.h"

#include "AppPaths.h"
#include "ClassRegistry.h"
#include "Errors.h"
#include "Json.h"
#include "Logging.h"
#include "ModuleInterface.h"
#include "MsgDlgU.h"
#include "RestRequest.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QLibrary>
#include <algorithm>

namespace {

constexpr int kMessageSize = 1024;
// How long an unload waits for aborted requests to let go of their work.
constexpr int kDrainTimeoutMs = 5000;

// The server names a file in the application folder; a path could make the
// client run code from anywhere.
bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QLatin1Char(':'))
        && !name.contains(QChar(0));
}

// The library a package file stands for, as the loader sees it: names that
// lead to one file are one library.
QString libraryPath(const QString &packageFile)
{
    const QFileInfo info(Platform::applicationFolder() + TPackageList::LibraryFileName(packageFile));
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QString messageFrom(const char *buffer)
{
    const QString message = QString::fromUtf8(buffer).trimmed();
    return message.isEmpty() ? QStringLiteral("no reason given") : message;
}

} // namespace

// ---------------------------------------------------------------- TAppPackage

TAppPackage::TAppPackage(const QString &APackageId, const QString &APackageFile)
    : PackageId(APackageId)
    , PackageFile(APackageFile)
{ }

TAppPackage::~TAppPackage() = default;

// ---------------------------------------------------------------- TPackageList

TPackageList::TPackageList() = default;

TPackageList::~TPackageList()
{
    // Shut-down: unload as much as can be unloaded, one failure stops nothing.
    const bool drained = DrainRequests();
    for (size_t i = 0; i < FPackageList.size(); ++i) {
        try {
            UnloadEntry(*FPackageList[i], i > 0, drained);
        } catch (...) {
            qCWarning(Platform::Log::packages).noquote()
                << "package" << FPackageList[i]->PackageId
                << "not unloaded at shut-down:" << Platform::messageOf(std::current_exception());
        }
    }
}

bool TPackageList::DrainRequests()
{
    bool modules = false;
    for (size_t i = 1; i < FPackageList.size(); ++i)
        modules = modules || FPackageList[i]->IsLoad;
    if (!modules || Platform::RestRequest::liveCount() == 0)
        return true;
    // A request's callbacks may be closures of a module: every request ends
    // (its callbacks destroyed) before any module's code goes.
    Platform::RestRequest::abortAll();
    if (Platform::RestRequest::waitUntilIdle(kDrainTimeoutMs))
        return true;
    qCWarning(Platform::Log::packages, "REST requests still running after %d ms: module libraries are left loaded",
              kDrainTimeoutMs);
    return false;
}

void TPackageList::Append(const QString &APackageId, const QString &APackageFile)
{
    FPackageList.push_back(std::make_unique<TAppPackage>(APackageId, APackageFile));
}

const TAppPackage *TPackageList::Items(int AIndex) const
{
    if (AIndex < 0 || AIndex >= Count())
        return nullptr;
    return FPackageList[size_t(AIndex)].get();
}

QString TPackageList::LibraryFileName(const QString &APackageFile)
{
    static const QLatin1String packageSuffix(".bpl");
    if (!APackageFile.endsWith(packageSuffix, Qt::CaseInsensitive) || APackageFile.size() == packageSuffix.size())
        return APackageFile;
    const QString base = APackageFile.chopped(packageSuffix.size());
#if defined(Q_OS_WIN)
    return base + QStringLiteral(".dll");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("lib") + base + QStringLiteral(".dylib");
#else
    return QStringLiteral("lib") + base + QStringLiteral(".so");
#endif
}

void TPackageList::LoadPackageData(const QJsonValue &AData)
{
    // a bad entry is reported; the packages before it stay loaded
    GuardUserAction([&] {
        // Each load starts from an empty list: a package still loaded from
        // an earlier one would otherwise start twice.
        UnloadPackageData();
        FPackageList.clear();

        Append(QStringLiteral("com"), QStringLiteral("com.bpl"));
        LoadEntry(*FPackageList.back(), false);

        if (AData.isUndefined() || AData.isNull())
            return;
        if (!AData.isArray())
            throw Platform::JsonMemberError(QStringLiteral("The package list is not a JSON array."));
        const QJsonArray packages = AData.toArray();
        for (qsizetype i = 0; i < packages.size(); ++i) {
            const QJsonValue element = packages.at(i);
            if (!element.isObject())
                throw Platform::JsonMemberError(QStringLiteral("Package entry %1 is not a JSON object.").arg(i));
            QString id, file;
            try {
                id = Platform::Json::getString(element, QStringLiteral("package_id"));
                file = Platform::Json::getString(element, QStringLiteral("package_file"));
            } catch (const Platform::JsonMemberError &e) {
                throw Platform::JsonMemberError(e.message() + QStringLiteral(" in package entry ") + QString::number(i)
                                                + QStringLiteral("."));
            }
            // A package granted twice is loaded once: its second start would
            // fail on its own classes and end the loading there.
            const bool loaded = std::any_of(FPackageList.cbegin(), FPackageList.cend(), [&](const auto &p) {
                return p->IsLoad && isPlainFileName(file) && libraryPath(p->PackageFile) == libraryPath(file);
            });
            Append(id, file);
            if (!loaded)
                LoadEntry(*FPackageList.back(), true);
        }
    });
}

void TPackageList::UnloadPackageData()
{
    const bool drained = DrainRequests();
    for (size_t i = 0; i < FPackageList.size(); ++i)
        UnloadEntry(*FPackageList[i], i > 0, drained);
}

void TPackageList::LoadEntry(TAppPackage &APackage, bool AIsModule)
{
    if (APackage.IsLoad)
        return;
    if (!isPlainFileName(APackage.PackageFile))
        throw Platform::Error(QStringLiteral("Package file \"%1\" is not a file name in the application folder.")
                                  .arg(APackage.PackageFile));
    const QString path = Platform::applicationFolder() + LibraryFileName(APackage.PackageFile);
    if (!QFileInfo::exists(path))
        return;

    auto library = std::make_unique<QLibrary>(path);
    if (!library->load())
        throw Platform::Error(library->errorString());

    if (AIsModule) {
        const auto version = reinterpret_cast<ZeltModuleApiVersionFunction>(library->resolve("ZeltModuleApiVersion"));
        const auto initialize = reinterpret_cast<ZeltModuleEntryFunction>(library->resolve("ZeltModuleInitialize"));
        const auto finalize = reinterpret_cast<ZeltModuleEntryFunction>(library->resolve("ZeltModuleFinalize"));
        if (!version || !initialize || !finalize) {
            library->unload();
            throw Platform::Error(QStringLiteral("Package %1 is not a ZeltERP module: %2 does not export the module "
                                                 "entry points.")
                                      .arg(APackage.PackageFile, path));
        }
        if (const int built = version(); built != ZELT_MODULE_API_VERSION) {
            library->unload();
            throw Platform::Error(QStringLiteral("Package %1 was built for module interface %2; this client "
                                                 "needs interface %3.")
                                      .arg(APackage.PackageFile)
                                      .arg(built)
                                      .arg(ZELT_MODULE_API_VERSION));
        }

        // What the module registers is learnt by looking before and after.
        auto &registry = Platform::ClassRegistry::instance();
        const QStringList before = registry.names();
        char message[kMessageSize] = {};
        const int status = initialize(message, kMessageSize);
        QList<TAppPackage::RegisteredClass> added;
        for (const QString &name : registry.names()) {
            if (!before.contains(name))
                added.append({ name, registry.find(name)->metaObject });
        }
        if (status != 0) {
            // Whatever it registered before failing points into code about
            // to be unloaded.
            for (const auto &c : std::as_const(added))
                registry.unregisterClass(c.name);
            library->unload();
            throw Platform::Error(
                QStringLiteral("Package %1 failed to start: %2").arg(APackage.PackageFile, messageFrom(message)));
        }
        APackage.Classes = added;
    }

    APackage.HModule = std::move(library);
    APackage.IsLoad = true;
}

void TPackageList::UnloadEntry(TAppPackage &APackage, bool AIsModule, bool AMayUnmap)
{
    if (!APackage.IsLoad)
        return;
    QString failure;
    if (AIsModule && APackage.HModule) {
        const auto finalize =
            reinterpret_cast<ZeltModuleEntryFunction>(APackage.HModule->resolve("ZeltModuleFinalize"));
        char message[kMessageSize] = {};
        if (finalize && finalize(message, kMessageSize) != 0)
            failure = messageFrom(message);
    }

    // A class the module left registered would keep a factory in code that
    // is about to go. Only the module's own registration is removed: the
    // name may have been taken since by another.
    auto &registry = Platform::ClassRegistry::instance();
    for (const auto &c : std::as_const(APackage.Classes)) {
        const auto *entry = registry.find(c.name);
        if (entry && entry->metaObject == c.metaObject)
            registry.unregisterClass(c.name);
    }
    APackage.Classes.clear();
    APackage.IsLoad = false;

    if (!failure.isNull()) {
        // A module that could not stop may still have code in use (timers,
        // threads): it stays mapped; dropping the QLibrary does not unload.
        APackage.HModule.reset();
        throw Platform::Error(QStringLiteral("Package %1 failed to stop: %2").arg(APackage.PackageFile, failure));
    }
    // Code of a module that a request may still run stays mapped; dropping
    // the QLibrary does not unload it.
    if (APackage.HModule && (AMayUnmap || !AIsModule))
        APackage.HModule->unload();
    APackage.HModule.reset();
}
