// Replays a fuzz target's corpus without libFuzzer: every file named, and
// every file of every folder named (in name order), goes once through
// LLVMFuzzerTestOneInput. A broken property aborts, which fails the test.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo info(QString::fromLocal8Bit(argv[i]));
        if (info.isDir()) {
            const QFileInfoList entries = QDir(info.filePath()).entryInfoList(QDir::Files, QDir::Name);
            for (const QFileInfo &entry : entries)
                files << entry.filePath();
        } else if (info.isFile()) {
            files << info.filePath();
        } else {
            std::fprintf(stderr, "%s: no such file or folder\n", argv[i]);
            return 2;
        }
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "usage: %s CORPUS-FOLDER-OR-FILE...  (nothing to replay)\n", argv[0]);
        return 2;
    }
    for (const QString &name : std::as_const(files)) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "%s: cannot read\n", qPrintable(name));
            return 2;
        }
        const QByteArray data = file.readAll();
        std::fprintf(stderr, "replaying %s\n", qPrintable(name));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()));
    }
    std::printf("replayed %lld inputs\n", static_cast<long long>(files.size()));
    return 0;
}
