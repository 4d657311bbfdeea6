// app.conf and lang.ini: read, change one key, write. Read and written
// unchanged, the file comes back byte for byte; with one key changed only
// that key's line differs (or, for a new key, lines are only added), the
// key reads back as written and every other key keeps its value. A
// byte-order mark or CR LF line breaks change nothing that is read.
//
// Input: one byte choosing the edit, then the file.

#include "FuzzSupport.h"

#include "IniFile.h"

#include <QStringDecoder>
#include <algorithm>
#include <optional>

using Platform::IniFile;

namespace {

QList<QByteArray> splitLines(const QByteArray &file)
{
    QList<QByteArray> lines;
    qsizetype from = 0;
    while (from < file.size()) {
        const qsizetype nl = file.indexOf('\n', from);
        const qsizetype end = nl < 0 ? file.size() : nl + 1;
        lines << file.mid(from, end - from);
        from = end;
    }
    return lines;
}

bool validUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

// A file with a UTF-16 byte-order mark is read as UTF-16 text; it is
// compared by that text, in UTF-8.
std::optional<QStringConverter::Encoding> utf16Of(const QByteArray &file)
{
    if (file.startsWith("\xFF\xFE"))
        return QStringConverter::Utf16LE;
    if (file.startsWith("\xFE\xFF"))
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

QString utf16Text(const QByteArray &file, QStringConverter::Encoding encoding)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(file.mid(2));
}

// Every section/key pair and its value.
QList<QStringList> contents(const IniFile &ini)
{
    QList<QStringList> all;
    for (const QString &section : ini.sections()) {
        for (const QString &key : ini.keys(section))
            all << QStringList { section.toLower(), key.toLower(), ini.readString(section, key) };
    }
    return all;
}

const QStringList values = { QStringLiteral("1"),
                             QString(),
                             QStringLiteral("user@zelt.local"),
                             QStringLiteral(" padded "),
                             QStringLiteral("a=b;c#d"),
                             QStringLiteral("x]"),
                             QStringLiteral("Zo\u00eb"),
                             QStringLiteral("\u65e5\u672c"),
                             QStringLiteral("two\r\nlines"),
                             QStringLiteral("[Evil]") };

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t choice = data[0];
    const QByteArray file = Fuzz::bytes(data + 1, size - 1);

    const IniFile ini = IniFile::fromBytes(file);
    FUZZ_CHECK(ini.toBytes() == file, QStringLiteral("unchanged file not written back as read"));
    const QList<QStringList> before = contents(ini);

    // what a byte-order mark or CR LF line breaks do to the reading: nothing
    if (!file.startsWith("\xEF\xBB\xBF") && validUtf8(file)) {
        const QList<QStringList> withBom = contents(IniFile::fromBytes(QByteArray("\xEF\xBB\xBF") + file));
        FUZZ_CHECK(withBom == before, QStringLiteral("a byte-order mark changes what is read"));
    }
    const std::optional<QStringConverter::Encoding> utf16 = utf16Of(file);
    if (utf16) {
        QString text = utf16Text(file, *utf16);
        if (!text.contains(QLatin1Char('\r'))) {
            text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
            QStringEncoder encoder(*utf16, QStringEncoder::Flag::Stateless);
            const QByteArray crlf = file.left(2) + QByteArray(encoder.encode(text));
            FUZZ_CHECK(contents(IniFile::fromBytes(crlf)) == before, QStringLiteral("CR LF changes what is read"));
        }
    } else if (!file.contains('\r')) {
        QByteArray crlf = file;
        crlf.replace("\n", "\r\n");
        FUZZ_CHECK(contents(IniFile::fromBytes(crlf)) == before, QStringLiteral("CR LF changes what is read"));
    }

    // the edit: a key that is there, a new key of a section that is there,
    // or a new section
    const QStringList sections = ini.sections();
    QString section = QStringLiteral("SignIn");
    QString key = QStringLiteral("SavedEmail");
    const int kind = choice % 3;
    if (kind != 2 && !sections.isEmpty()) {
        section = sections.at((choice >> 2) % sections.size());
        const QStringList keys = ini.keys(section);
        if (kind == 0 && !keys.isEmpty())
            key = keys.at((choice >> 4) % keys.size());
        else
            key = QStringLiteral("NewKey");
    }
    const bool existed = ini.hasKey(section, key);
    const QString value = values.at((choice >> 1) % values.size());

    IniFile edited = ini;
    edited.writeString(section, key, value);
    const QByteArray written = edited.toBytes();
    if (utf16)
        FUZZ_CHECK(written.startsWith(file.left(2)) && utf16Of(written) == utf16,
                   QStringLiteral("UTF-16 file not written back as UTF-16"));
    const QByteArray out = utf16 ? utf16Text(written, *utf16).toUtf8() : written;
    const IniFile reread = IniFile::fromBytes(written);
    QString expected = value;
    expected.remove(QLatin1Char('\r'));
    expected.remove(QLatin1Char('\n'));
    expected = expected.trimmed();
    const QString what = QStringLiteral("[%1] %2=%3").arg(section, key, value);
    FUZZ_CHECK(reread.hasKey(section, key), QStringLiteral("%1: key not found after writing").arg(what));
    FUZZ_CHECK(reread.readString(section, key) == expected,
               QStringLiteral("%1: reads back as \"%2\"").arg(what, reread.readString(section, key)));

    // written exactly (in double quotes where blanks or quotes would be
    // lost), it reads back exactly, blanks included
    {
        IniFile exact = ini;
        exact.writeExactString(section, key, value);
        QString clean = value;
        clean.remove(QLatin1Char('\r'));
        clean.remove(QLatin1Char('\n'));
        const QString back = IniFile::fromBytes(exact.toBytes()).readExactString(section, key);
        FUZZ_CHECK(back == clean, QStringLiteral("%1: reads back exactly as \"%2\"").arg(what, back));
    }

    // every other key keeps its value
    for (const QStringList &entry : before) {
        if (entry.at(0) == section.toLower() && entry.at(1) == key.toLower())
            continue;
        FUZZ_CHECK(reread.readString(entry.at(0), entry.at(1)) == entry.at(2),
                   QStringLiteral("%1: [%2] %3 changed").arg(what, entry.at(0), entry.at(1)));
    }

    // and every other line its bytes (a UTF-16 file: its text), unless the
    // file had to become UTF-8:
    // for a value Latin-1 cannot hold, or when the edit took the only bytes
    // that kept a Latin-1 file from reading as UTF-8 (checked below)
    const QByteArray read = utf16 ? utf16Text(file, *utf16).toUtf8() : file;
    const bool bom = read.startsWith("\xEF\xBB\xBF");
    FUZZ_CHECK(out.startsWith("\xEF\xBB\xBF") == bom, QStringLiteral("%1: byte-order mark changed").arg(what));
    const bool latin1 = !validUtf8(bom ? read.mid(3) : read);
    bool wide = false;
    for (QChar c : value)
        wide = wide || c.unicode() > 0xFF;
    const auto high = [](const QByteArray &bytes) {
        return std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; });
    };
    const bool reencoded = latin1 && validUtf8(bom ? out.mid(3) : out) && high(bom ? out.mid(3) : out);
    const QList<QByteArray> original = splitLines(bom ? read.mid(3) : read);
    QList<QByteArray> a = original;
    QList<QByteArray> b = splitLines(bom ? out.mid(3) : out);
    if (reencoded) {
        for (QByteArray &line : a)
            line = QString::fromLatin1(line).toUtf8();
    }
    qsizetype prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a.at(prefix) == b.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix
           && a.at(a.size() - 1 - suffix) == b.at(b.size() - 1 - suffix))
        ++suffix;
    const qsizetype changedOld = a.size() - prefix - suffix;
    const qsizetype changedNew = b.size() - prefix - suffix;
    if (existed) {
        FUZZ_CHECK(changedOld <= 1 && changedNew == changedOld,
                   QStringLiteral("%1: %2 lines became %3").arg(what).arg(changedOld).arg(changedNew));
    }
    if (reencoded && !wide) {
        // only when the bytes kept would have read as UTF-8
        bool needed = existed && changedOld == 1;
        if (needed) {
            QList<QByteArray> kept = original;
            kept[prefix] = QString::fromUtf8(b.at(prefix)).toLatin1();
            const QByteArray joined = kept.join();
            needed = validUtf8(joined) && high(joined);
        }
        FUZZ_CHECK(needed, QStringLiteral("%1: Latin-1 file turned into UTF-8 for no reason").arg(what));
    }
    if (!existed) {
        // lines added; the one before them may only gain a line break
        FUZZ_CHECK(changedOld <= 1, QStringLiteral("%1: %2 old lines changed").arg(what).arg(changedOld));
        if (changedOld == 1) {
            FUZZ_CHECK(prefix + 1 == a.size() && !a.constLast().endsWith('\n')
                           && (b.at(prefix) == a.constLast() + "\n" || b.at(prefix) == a.constLast() + "\r\n"),
                       QStringLiteral("%1: line %2 changed").arg(what).arg(prefix + 1));
        }
        FUZZ_CHECK(changedNew >= 1 && changedNew <= 4, QStringLiteral("%1: %2 lines added").arg(what).arg(changedNew));
    }
    return 0;
}
