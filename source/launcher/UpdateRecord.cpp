#include "UpdateRecord.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <algorithm>

namespace UpdateRecord {

namespace {

const QLatin1String FileIdKey("file_id");
const QLatin1String FilenameKey("filename");
const QLatin1String PathKey("path");
const QLatin1String AppVersionKey("app_version");
const QLatin1String AppVerNewKey("app_ver_new");
const QLatin1String FilesKey("files");
const QLatin1String StagedKey("staged");

const QStringList &memberOrder()
{
    static const QStringList order = { QStringLiteral("app_ver"),    QStringLiteral("app_ver_new"),
                                       QStringLiteral("app_update"), QStringLiteral("files"),
                                       QStringLiteral("file_id"),    QStringLiteral("filename"),
                                       QStringLiteral("path"),       QStringLiteral("app_version"),
                                       QStringLiteral("action"),     QStringLiteral("staged") };
    return order;
}

bool onlyDotsAndBlanks(const QString &segment)
{
    return std::all_of(segment.begin(), segment.end(),
                       [](QChar c) { return c == QLatin1Char('.') || c == QLatin1Char(' '); });
}

// A scalar as JSON text; Qt escapes it the way it escapes whole documents.
QByteArray scalarText(const QJsonValue &value)
{
    const QByteArray text = QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

// A string as it was read. Qt keeps the UTF-8 of a text but gives it back
// without a leading U+FEFF (it takes it for a byte-order mark), so that
// "\ufeffpath" would come out as "path"; the CBOR form has the bytes. Only
// the marks are taken from there: a text Qt keeps as UTF-16 may hold lone
// surrogates, which its UTF-8 cannot.
QString storedText(const QCborValue &value)
{
    QString text = value.toString();
    const QByteArray cbor = value.toCbor();
    if (cbor.isEmpty() || (uchar(cbor.at(0)) >> 5) != 3)
        return text;
    const uchar info = uchar(cbor.at(0)) & 0x1f;
    qsizetype at = 1;
    if (info >= 24 && info <= 27)
        at += qsizetype(1) << (info - 24);
    else if (info > 27)
        return text;
    qsizetype marks = 0;
    while (cbor.mid(at + 3 * marks, 3) == "\xEF\xBB\xBF")
        ++marks;
    qsizetype kept = 0;
    while (kept < text.size() && text.at(kept) == QChar(0xFEFF))
        ++kept;
    if (marks > kept)
        text.prepend(QString(marks - kept, QChar(0xFEFF)));
    return text;
}

// Leading U+FEFF escaped: written as it is, the next read would drop it.
QByteArray stringText(const QString &text)
{
    qsizetype marks = 0;
    while (marks < text.size() && text.at(marks) == QChar(0xFEFF))
        ++marks;
    QByteArray rest = scalarText(QJsonValue(text.mid(marks)));
    QByteArray escapes;
    for (qsizetype i = 0; i < marks; ++i)
        escapes += "\\ufeff";
    return rest.insert(1, escapes);
}

void appendIndent(QByteArray &out, int level)
{
    out.append(QByteArray(qsizetype(level) * 4, ' '));
}

// Walked in its CBOR form, where every name and text is as read.
void appendValue(QByteArray &out, const QCborValue &value, int level)
{
    if (value.isMap()) {
        const QCborMap object = value.toMap();
        if (object.isEmpty()) {
            out += "{}";
            return;
        }
        QList<QPair<QString, QCborValue>> members;
        for (auto it = object.begin(); it != object.end(); ++it)
            members.append({ storedText(it.key()), it.value() });
        // known members in the record's order, the others by name (Qt's own
        // order is not that for names holding U+0000)
        std::sort(members.begin(), members.end(), [](const auto &a, const auto &b) {
            qsizetype ia = memberOrder().indexOf(a.first);
            qsizetype ib = memberOrder().indexOf(b.first);
            ia = ia < 0 ? memberOrder().size() : ia;
            ib = ib < 0 ? memberOrder().size() : ib;
            return ia != ib ? ia < ib : a.first < b.first;
        });
        out += "{\n";
        for (qsizetype i = 0; i < members.size(); ++i) {
            appendIndent(out, level + 1);
            out += stringText(members.at(i).first) + ": ";
            appendValue(out, members.at(i).second, level + 1);
            out += i + 1 < members.size() ? ",\n" : "\n";
        }
        appendIndent(out, level);
        out += '}';
    } else if (value.isArray()) {
        const QCborArray array = value.toArray();
        if (array.isEmpty()) {
            out += "[]";
            return;
        }
        out += "[\n";
        for (qsizetype i = 0; i < array.size(); ++i) {
            appendIndent(out, level + 1);
            appendValue(out, array.at(i), level + 1);
            out += i + 1 < array.size() ? ",\n" : "\n";
        }
        appendIndent(out, level);
        out += ']';
    } else if (value.isString()) {
        out += stringText(storedText(value));
    } else {
        out += scalarText(value.toJsonValue());
    }
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

bool readString(const QJsonObject &object, QLatin1String key, QString *value, QString *error)
{
    const QJsonValue v = object.value(key);
    if (!v.isString())
        return fail(error, QStringLiteral("member \"%1\" missing or not a string").arg(key));
    *value = storedString(object, key);
    return true;
}

} // namespace

std::optional<QString> safeRelativePath(const QString &path)
{
    QString text = path;
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (text.startsWith(QLatin1Char('/')))
        return std::nullopt;
    for (const QChar c : std::as_const(text)) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QLatin1Char(':'))
            return std::nullopt;
    }
    QStringList segments;
    const QStringList parts = text.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &segment : parts) {
        if (segment == QLatin1String("."))
            continue;
        // "..", and what Windows trims down to it ("...", ".. ")
        if (onlyDotsAndBlanks(segment))
            return std::nullopt;
        segments << segment;
    }
    return segments.join(QLatin1Char('/'));
}

QString windowsAliasReason(const QString &path)
{
    const QStringList segments = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &segment : segments) {
        if (segment.endsWith(QLatin1Char('.')) || segment.endsWith(QLatin1Char(' ')))
            return QStringLiteral("\"%1\" ends in a dot or a blank, which Windows drops").arg(segment);
        for (const QChar c : segment) {
            if (QStringLiteral("<>:\"|?*").contains(c))
                return QStringLiteral("\"%1\" holds a character Windows refuses").arg(segment);
        }
        for (qsizetype i = segment.indexOf(QLatin1Char('~')); i >= 0 && i + 1 < segment.size();
             i = segment.indexOf(QLatin1Char('~'), i + 1)) {
            if (segment.at(i + 1).isDigit())
                return QStringLiteral("\"%1\" may be the short name of another file on Windows").arg(segment);
        }
        // the device name counts without extension and trailing blanks
        const QString stem = segment.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
        static const QStringList devices = { QStringLiteral("CON"),    QStringLiteral("PRN"),
                                             QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                             QStringLiteral("CONIN$"), QStringLiteral("CONOUT$"),
                                             QStringLiteral("CLOCK$") };
        const bool numbered = stem.size() == 4
            && (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT")))
            && (stem.at(3).isDigit() || stem.at(3) == QChar(0xb9) || stem.at(3) == QChar(0xb2)
                || stem.at(3) == QChar(0xb3));
        if (devices.contains(stem) || numbered)
            return QStringLiteral("\"%1\" is a device name on Windows").arg(segment);
    }
    return QString();
}

bool isSafeName(const QString &name)
{
    const std::optional<QString> safe = safeRelativePath(name);
    return safe && !safe->isEmpty() && *safe == name && !name.contains(QLatin1Char('/'));
}

bool staysInside(const QString &root, const QString &path)
{
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    if (canonicalRoot.isEmpty() || QDir::isRelativePath(path))
        return false;
    // resolve the part that exists; what is still to be created cannot be a link
    QString existing = QDir::cleanPath(path);
    QStringList tail;
    while (!QFileInfo::exists(existing)) {
        if (QFileInfo(existing).isSymLink())
            return false; // dangling: it would lead wherever it points
        const QFileInfo info(existing);
        const QString parent = info.path();
        if (parent == existing)
            return false;
        tail.prepend(info.fileName());
        existing = parent;
    }
    QString resolved = QFileInfo(existing).canonicalFilePath();
    if (resolved.isEmpty())
        return false;
    if (!tail.isEmpty())
        resolved = QDir::cleanPath(resolved + QLatin1Char('/') + tail.join(QLatin1Char('/')));
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    const QString prefix = canonicalRoot.endsWith(QLatin1Char('/')) ? canonicalRoot : canonicalRoot + QLatin1Char('/');
    return resolved.size() > prefix.size() && resolved.startsWith(prefix, cs);
}

QString storedString(const QJsonObject &object, QLatin1String name)
{
    return storedText(QCborValue::fromJsonValue(object).toMap().value(name));
}

QByteArray format(const QJsonObject &object)
{
    QByteArray out;
    appendValue(out, QCborValue::fromJsonValue(object), 0);
    out += '\n';
    return out;
}

bool writeAtomically(const QString &fileName, const QByteArray &text, QString *error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString()));
    if (file.write(text) != text.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(error, QStringLiteral("Cannot write \"%1\": %2").arg(fileName, reason));
    }
    if (!file.commit())
        return fail(error, QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString()));
    return true;
}

QByteArray formatManifest(const Manifest &manifest)
{
    QJsonArray files;
    for (const StagedEntry &entry : manifest.entries) {
        files.append(QJsonObject { { FileIdKey, entry.fileId },
                                   { FilenameKey, entry.filename },
                                   { PathKey, entry.path },
                                   { AppVersionKey, entry.appVersion },
                                   { StagedKey, QJsonArray::fromStringList(entry.files) } });
    }
    return format(QJsonObject { { AppVerNewKey, manifest.appVerNew }, { FilesKey, files } });
}

std::optional<Manifest> parseManifest(const QByteArray &text, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        fail(error, QStringLiteral("not a JSON object"));
        return std::nullopt;
    }
    const QJsonObject root = doc.object();
    Manifest manifest;
    if (!readString(root, AppVerNewKey, &manifest.appVerNew, error))
        return std::nullopt;
    if (!root.value(FilesKey).isArray()) {
        fail(error, QStringLiteral("member \"files\" missing or not an array"));
        return std::nullopt;
    }
    const QJsonArray files = root.value(FilesKey).toArray();
    for (const QJsonValue &value : files) {
        if (!value.isObject()) {
            fail(error, QStringLiteral("an entry of \"files\" is not an object"));
            return std::nullopt;
        }
        const QJsonObject object = value.toObject();
        StagedEntry entry;
        if (!readString(object, FileIdKey, &entry.fileId, error) || !readString(object, PathKey, &entry.path, error)
            || !readString(object, FilenameKey, &entry.filename, error)
            || !readString(object, AppVersionKey, &entry.appVersion, error))
            return std::nullopt;
        if (!object.value(StagedKey).isArray()) {
            fail(error, QStringLiteral("member \"staged\" missing or not an array"));
            return std::nullopt;
        }
        // in CBOR form, which keeps every text as read (see storedString)
        const QCborArray staged = QCborValue::fromJsonValue(object.value(StagedKey)).toArray();
        for (const QCborValue &file : staged) {
            if (!file.isString()) {
                fail(error, QStringLiteral("a staged file name is not a string"));
                return std::nullopt;
            }
            entry.files << storedText(file);
        }
        manifest.entries << entry;
    }
    return manifest;
}

} // namespace UpdateRecord
