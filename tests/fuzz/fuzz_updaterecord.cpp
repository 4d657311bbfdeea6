// "updates.json" and the staging manifest "staged.json", as the client and
// the launcher read and write them: the strict manifest reader never crashes
// and what it accepts is written back to an equal manifest; the record's
// writer keeps every member of any object; the path rules are closed
// (a path they accept is accepted again unchanged, and leads nowhere above
// its root).
//
// Input: the first byte picks the reader, the rest is its text.

#include "FuzzSupport.h"

#include "UpdateRecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

using namespace UpdateRecord;

namespace {

QString describe(const Manifest &m)
{
    QStringList parts { m.appVerNew };
    for (const StagedEntry &e : m.entries)
        parts << e.fileId + QLatin1Char('|') + e.path + QLatin1Char('|') + e.filename + QLatin1Char('|') + e.appVersion
                + QLatin1Char('|') + e.files.join(QLatin1Char(';'));
    return parts.join(QLatin1Char('\n'));
}

void checkPath(const QString &text)
{
    const std::optional<QString> safe = safeRelativePath(text);
    if (!safe)
        return;
    FUZZ_CHECK(safeRelativePath(*safe) == safe, QStringLiteral("\"%1\" -> \"%2\" is not kept").arg(text, *safe));
    FUZZ_CHECK(!safe->startsWith(QLatin1Char('/')) && !safe->contains(QLatin1Char('\\'))
                   && !safe->contains(QLatin1Char(':')) && !safe->contains(QLatin1String("//")),
               QStringLiteral("\"%1\" -> \"%2\"").arg(text, *safe));
    const QStringList segments = safe->split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &segment : segments) {
        bool dotsAndBlanks = true;
        for (QChar c : segment) {
            FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7f,
                       QStringLiteral("control character in \"%1\"").arg(*safe));
            dotsAndBlanks = dotsAndBlanks && (c == QLatin1Char('.') || c == QLatin1Char(' '));
        }
        FUZZ_CHECK(!dotsAndBlanks, QStringLiteral("\"%1\" -> \"%2\" keeps a dots-only segment").arg(text, *safe));
    }
    if (isSafeName(text))
        FUZZ_CHECK(*safe == text && !text.contains(QLatin1Char('/')) && !text.isEmpty(),
                   QStringLiteral("unsafe name \"%1\" accepted").arg(text));
}

void checkManifest(const QByteArray &text)
{
    QString error;
    const std::optional<Manifest> manifest = parseManifest(text, &error);
    if (!manifest) {
        FUZZ_CHECK(!error.isEmpty(), QStringLiteral("refused without a reason"));
        return;
    }
    const QByteArray written = formatManifest(*manifest);
    QString again;
    const std::optional<Manifest> back = parseManifest(written, &again);
    FUZZ_CHECK(back.has_value(), QStringLiteral("written manifest not read: %1").arg(again));
    FUZZ_CHECK(describe(*back) == describe(*manifest),
               QStringLiteral("manifest changed on the way:\n%1\n--\n%2").arg(describe(*manifest), describe(*back)));
    // what the launcher does with each name before it touches a file
    for (const StagedEntry &entry : manifest->entries) {
        checkPath(entry.path);
        checkPath(entry.filename);
        isSafeName(entry.fileId);
        for (const QString &file : entry.files)
            checkPath(file);
    }
}

QString canonical(const QJsonObject &object)
{
    return Fuzz::canonical(QCborValue::fromJsonValue(object));
}

void checkRecord(const QByteArray &text)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        return;
    const QByteArray written = format(doc.object());
    FUZZ_CHECK(written.endsWith('\n'), QStringLiteral("no line break at the end"));
    const QJsonDocument back = QJsonDocument::fromJson(written, &parseError);
    FUZZ_CHECK(parseError.error == QJsonParseError::NoError,
               QStringLiteral("written record is not JSON: %1").arg(parseError.errorString()));
    FUZZ_CHECK(canonical(back.object()) == canonical(doc.object()),
               QStringLiteral("record changed on the way:\n%1").arg(QString::fromUtf8(written)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray text = Fuzz::bytes(data + 1, size - 1);
    switch (data[0] % 3) {
    case 0: checkManifest(text); break;
    case 1: checkRecord(text); break;
    default: checkPath(QString::fromUtf8(text)); break;
    }
    return 0;
}
