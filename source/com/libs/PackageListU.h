#pragma once

#include "com_global.h"

#include <QJsonValue>
#include <QString>
#include <QList>
#include <memory>
#include <vector>

class QLibrary;
struct QMetaObject;

// One package the server assigned to the user: a module plugin (see
// ModuleInterface.h), or com itself as the first entry.
class COM_EXPORT TAppPackage
{
public:
    TAppPackage(const QString &APackageId, const QString &APackageFile);
    ~TAppPackage();
    TAppPackage(const TAppPackage &) = delete;
    TAppPackage &operator=(const TAppPackage &) = delete;

    QString PackageId;
    // As the server names it, e.g. "crm.bpl"; see TPackageList::LibraryFileName.
    QString PackageFile;
    // The loaded library; empty until loaded.
    std::unique_ptr<QLibrary> HModule;
    bool IsLoad = false;
    // The screen classes the module registered while it started.
    struct RegisteredClass
    {
        QString name;
        const QMetaObject *metaObject = nullptr;
    };
    QList<RegisteredClass> Classes;
};

// The packages loaded for the signed-in user, in the server's order after
// com's own entry.
class COM_EXPORT TPackageList
{
public:
    TPackageList();
    // Unloads what is still loaded; errors are swallowed here.
    ~TPackageList();
    TPackageList(const TPackageList &) = delete;
    TPackageList &operator=(const TPackageList &) = delete;

    void Append(const QString &APackageId, const QString &APackageFile);
    int Count() const { return int(FPackageList.size()); }
    // nullptr outside 0..Count()-1.
    const TAppPackage *Items(int AIndex) const;

    // Starts from an empty list (unloading what an earlier load left), adds
    // com's own entry, then loads every "package_id"/"package_file" element
    // of the array AData in order. A file missing from the application
    // folder is skipped silently; the first failure (a library that does not
    // load or start, a bad element) is shown once through MsgErr and ends
    // the loading. An absent or null AData loads com's entry only.
    void LoadPackageData(const QJsonValue &AData);
    // Unloads every loaded entry in list order; the entries stay. The first
    // failure raises Platform::Error and ends the walk. When a module is
    // loaded, every REST request is aborted first and waited for (up to
    // 5 s); a library whose code a request may still run stays mapped.
    void UnloadPackageData();

    // The library file that a package file stands for on this platform:
    // "crm.bpl" gives "libcrm.so" (Linux), "crm.dll" (Windows) or
    // "libcrm.dylib" (macOS); any other name is kept.
    static QString LibraryFileName(const QString &APackageFile);

private:
    void LoadEntry(TAppPackage &APackage, bool AIsModule);
    // AMayUnmap false leaves a module's library mapped (its code may still run).
    void UnloadEntry(TAppPackage &APackage, bool AIsModule, bool AMayUnmap = true);
    // Aborts every REST request and waits (bounded) until each has let go
    // of its work; false when some did not, and is logged.
    bool DrainRequests();

    std::vector<std::unique_ptr<TAppPackage>> FPackageList;
};
