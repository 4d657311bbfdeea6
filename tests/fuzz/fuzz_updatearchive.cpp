// An update archive as the downloader fetches and unpacks it: any bytes the
// service sends for "/v1/download/F1" either stage the entry (every file it
// leaves lies in the entry's extract folder and is named in Staged, the
// archive kept beside) or fail it with a reason and leave no file at all
// under "updates/". Nothing is ever written beside the application folder.
//
// Input: the archive's bytes.

#include "FuzzSupport.h"

#include "TestHttpServer.h"
#include "UpdaterU.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace {

// The thread body, run on the caller's thread: one input, one download.
class Downloader : public TZeltDownloader
{
public:
    using TZeltDownloader::Execute;
    using TZeltDownloader::TZeltDownloader;
};

// Every file and link under root, relative to it.
QStringList filesUnder(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (!info.isDir() || info.isSymLink())
            files << QDir(root).relativeFilePath(info.filePath());
    }
    files.sort();
    return files;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::application<QCoreApplication>();
    // the application folder is "app/" of a folder of its own, so that
    // anything written beside it shows
    static QTemporaryDir root;
    static const QString app = [] {
        const QString folder = root.path() + QStringLiteral("/app/");
        QDir().mkpath(folder);
        Platform::setApplicationFolder(folder);
        return Platform::applicationFolder();
    }();
    static TestHttpServer server;

    Reply reply = Reply::text(Fuzz::bytes(data, size));
    reply.contentType = "application/zip";
    server.clear();
    server.enqueue(reply);

    const QJsonObject list { { QStringLiteral("app_ver"), QStringLiteral("1") },
                             { QStringLiteral("files"),
                               QJsonArray { QJsonObject { { QStringLiteral("file_id"), QStringLiteral("F1") },
                                                          { QStringLiteral("filename"), QStringLiteral("lib/a.txt") },
                                                          { QStringLiteral("path"), QStringLiteral("mod/") } } } } };
    QStringList staged;
    bool ok = false;
    QString error;
    {
        Downloader downloader(server.url(), list, QStringLiteral("token"), nullptr);
        FUZZ_CHECK(downloader.StagingFolder() == app + QStringLiteral("updates/"),
                   QStringLiteral("staging in %1").arg(downloader.StagingFolder()));
        downloader.SetLimits(1 << 20, 4 << 20, 64);
        downloader.SetReadTimeOut(5000);
        downloader.Execute();
        const QList<TZeltDownloader::TFileResult> results = downloader.Results();
        FUZZ_CHECK(results.size() == 1, QStringLiteral("%1 results for one entry").arg(results.size()));
        ok = results.constFirst().Ok;
        error = results.constFirst().Error;
        staged = results.constFirst().Staged;
    }

    FUZZ_CHECK(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
                   == QStringList { QStringLiteral("app") },
               QStringLiteral("written beside the application folder"));
    FUZZ_CHECK(QDir(app).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
                   == QStringList { QStringLiteral("updates") },
               QStringLiteral("written into the application folder"));
    const QStringList files = filesUnder(app + QStringLiteral("updates"));
    if (qEnvironmentVariableIsSet("ZELT_FUZZ_VERBOSE"))
        std::fprintf(stderr, "%s: %s [%s]\n", ok ? "staged" : "failed", qPrintable(error),
                     qPrintable(files.join(u' ')));
    if (!ok) {
        FUZZ_CHECK(!error.isEmpty(), QStringLiteral("failed without a reason"));
        FUZZ_CHECK(staged.isEmpty(), QStringLiteral("failed (%1), yet %2 staged").arg(error, staged.join(u' ')));
        FUZZ_CHECK(files.isEmpty(), QStringLiteral("failed (%1), yet left %2").arg(error, files.join(u' ')));
        return 0;
    }
    FUZZ_CHECK(error.isEmpty(), QStringLiteral("staged with an error: %1").arg(error));
    FUZZ_CHECK(!staged.isEmpty(), QStringLiteral("staged, but no file"));
    QStringList expected { QStringLiteral("mod/zip/F1.zip") };
    for (const QString &file : std::as_const(staged)) {
        FUZZ_CHECK(file.startsWith(QLatin1String("lib/")), QStringLiteral("\"%1\" outside lib/").arg(file));
        const QString path = QStringLiteral("mod/extract/") + file;
        FUZZ_CHECK(!expected.contains(path), QStringLiteral("\"%1\" staged twice").arg(file));
        expected << path;
    }
    expected.sort();
    FUZZ_CHECK(files == expected, QStringLiteral("files %1, staged %2").arg(files.join(u' '), expected.join(u' ')));
    return 0;
}
