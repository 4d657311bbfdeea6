// The list reader against QJsonDocument on any bytes: the same rows, value
// types, skipped elements, other members and verdict, or a crash report.

#include "../support/JsonReaderDifferential.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // a body with its bytes copied, so that the padding path runs as well as
    // the in-place one
    const QByteArray exact(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray padded;
    padded.reserve(qsizetype(size) + 64);
    padded.append(exact);
    for (const QByteArray *body : { &exact, const_cast<const QByteArray *>(&padded) }) {
        bool direct = false;
        const QString diff = JsonReaderDifferential::difference(*body, &direct);
        if (!diff.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(diff));
            std::abort();
        }
    }
    return 0;
}
