// "updates.json" as the launcher's apply reads it, beside a complete staging
// of one file (file id "F1", build "2", lib/a.txt). Whatever the record
// holds, the apply either fails and leaves the installation and the record
// byte for byte as they were, or puts the staged file in place when an entry
// asks for it and writes a record in which only what the apply sets has
// changed: "app_ver", "app_update", and "action" and "app_version" of the
// entries it applied.
//
// Input: the record's text.

#include "FuzzSupport.h"

#include "StagedUpdate.h"
#include "UpdateRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

QByteArray nameOf(const char *name)
{
    return QCborValue(QString::fromLatin1(name)).toCbor();
}

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void writeFile(const QString &fileName, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(fileName).path());
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        Fuzz::fail(__FILE__, __LINE__, "writeFile", QStringLiteral("cannot write %1").arg(fileName));
}

// A string member, found by its bytes (see Fuzz::canonical).
QCborValue member(const QCborMap &object, const char *name)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key().toCbor() == nameOf(name))
            return it.value();
    }
    return QCborValue(QCborValue::Undefined);
}

bool isString(const QCborValue &value, const char *text)
{
    return value.toCbor() == nameOf(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // on tmpfs where there is one: the apply flushes every file it writes
    static QTemporaryDir root(QDir(QStringLiteral("/dev/shm")).exists()
                                  ? QStringLiteral("/dev/shm/zelt-fuzz-XXXXXX")
                                  : QDir::tempPath() + QStringLiteral("/zelt-fuzz-XXXXXX"));
    static const QByteArray manifest = UpdateRecord::formatManifest({ QStringLiteral("2"),
                                                                      { { QStringLiteral("F1"),
                                                                          QStringLiteral("lib/"),
                                                                          QStringLiteral("a.zip"),
                                                                          QStringLiteral("9"),
                                                                          { QStringLiteral("a.txt") } } } });
    const QString app = root.path() + QStringLiteral("/app/");
    QDir(app).removeRecursively();
    const QByteArray record = Fuzz::bytes(data, size);
    writeFile(app + QStringLiteral("lib/a.txt"), "old");
    writeFile(app + QStringLiteral("updates/lib/extract/a.txt"), "new");
    writeFile(app + QStringLiteral("updates/staged.json"), manifest);
    writeFile(app + QStringLiteral("updates.json"), record);

    const StagedUpdate::Result result = StagedUpdate::apply(app);
    using Outcome = StagedUpdate::Result::Outcome;
    const QByteArray installed = readAll(app + QStringLiteral("lib/a.txt"));
    const QByteArray written = readAll(app + QStringLiteral("updates.json"));
    if (qEnvironmentVariableIsSet("ZELT_FUZZ_VERBOSE"))
        std::fprintf(stderr, "outcome %d: %s\n", int(result.outcome), qPrintable(result.message));
    FUZZ_CHECK(result.outcome == Outcome::Failed || result.outcome == Outcome::Applied,
               QStringLiteral("outcome %1: %2").arg(int(result.outcome)).arg(result.message));
    if (result.outcome == Outcome::Failed) {
        FUZZ_CHECK(!result.message.isEmpty(), QStringLiteral("failed without a reason"));
        FUZZ_CHECK(written == record, QStringLiteral("failed (%1), but the record changed").arg(result.message));
        FUZZ_CHECK(
            installed == "old",
            QStringLiteral("failed (%1), but lib/a.txt is \"%2\"").arg(result.message, QString::fromUtf8(installed)));
        FUZZ_CHECK(!QFileInfo::exists(app + QStringLiteral("updates/journal.json")),
                   QStringLiteral("failed (%1), journal left").arg(result.message));
        return 0;
    }

    // applied: the record was an object with "app_ver_new" "2" and "files"
    QJsonParseError error;
    const QJsonDocument before = QJsonDocument::fromJson(record, &error);
    FUZZ_CHECK(error.error == QJsonParseError::NoError && before.isObject(),
               QStringLiteral("applied a record that is no object"));
    const QJsonDocument after = QJsonDocument::fromJson(written, &error);
    FUZZ_CHECK(error.error == QJsonParseError::NoError && after.isObject(),
               QStringLiteral("written record is no JSON object: %1").arg(error.errorString()));
    const QCborMap old = QCborValue::fromJsonValue(before.object()).toMap();
    const QCborMap now = QCborValue::fromJsonValue(after.object()).toMap();
    const QList<QByteArray> set = { nameOf("app_ver"), nameOf("app_update"), nameOf("files") };
    FUZZ_CHECK(Fuzz::canonical(old, set) == Fuzz::canonical(now, set),
               QStringLiteral("members the apply does not set changed:\n%1").arg(QString::fromUtf8(written)));
    FUZZ_CHECK(isString(member(old, "app_ver_new"), "2"), QStringLiteral("applied a record of another build"));
    FUZZ_CHECK(isString(member(now, "app_ver"), "2") && isString(member(now, "app_update"), "0"),
               QStringLiteral("\"app_ver\" or \"app_update\" not set:\n%1").arg(QString::fromUtf8(written)));

    const QCborArray oldFiles = member(old, "files").toArray();
    const QCborArray newFiles = member(now, "files").toArray();
    FUZZ_CHECK(member(now, "files").isArray() && oldFiles.size() == newFiles.size(),
               QStringLiteral("entries of \"files\" lost or added"));
    bool pending = false;
    const QList<QByteArray> setInEntry = { nameOf("action"), nameOf("app_version") };
    for (qsizetype i = 0; i < oldFiles.size(); ++i) {
        const QCborMap entry = oldFiles.at(i).toMap();
        const bool applied = oldFiles.at(i).isMap() && isString(member(entry, "action"), "1");
        if (!applied) {
            FUZZ_CHECK(Fuzz::canonical(oldFiles.at(i)) == Fuzz::canonical(newFiles.at(i)),
                       QStringLiteral("entry %1, not applied, changed").arg(i));
            continue;
        }
        pending = true;
        const QCborMap done = newFiles.at(i).toMap();
        FUZZ_CHECK(isString(member(entry, "file_id"), "F1"), QStringLiteral("entry %1 of another file applied").arg(i));
        FUZZ_CHECK(Fuzz::canonical(entry, setInEntry) == Fuzz::canonical(done, setInEntry)
                       && isString(member(done, "action"), "0") && isString(member(done, "app_version"), "9"),
                   QStringLiteral("entry %1 not recorded as applied:\n%2").arg(i).arg(QString::fromUtf8(written)));
    }
    FUZZ_CHECK(installed == (pending ? "new" : "old"),
               QStringLiteral("lib/a.txt is \"%1\", %2 entry pending")
                   .arg(QString::fromUtf8(installed), pending ? "an" : "no"));
    return 0;
}
