#include "IniFile.h"

#include "Logging.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace Platform {

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

} // namespace

IniFile IniFile::fromFile(const QString &path)
{
    QFile file(path);
    // not as text: line breaks are kept as they are
    if (!file.open(QIODevice::ReadOnly)) {
        // a missing file gives the defaults; an unreadable one does too, but says so
        if (file.exists())
            qCWarning(Platform::Log::data) << "cannot read" << path << ":" << file.errorString();
        return {};
    }
    return fromDevice(file);
}

IniFile IniFile::fromDevice(QIODevice &device)
{
    return fromBytes(device.readAll());
}

IniFile IniFile::fromText(const QString &text)
{
    return fromBytes(text.toUtf8());
}

IniFile IniFile::fromBytes(const QByteArray &bytes)
{
    // Notepad's "Unicode": read as text, written back in the same form
    const bool utf16le = bytes.startsWith("\xFF\xFE");
    if (utf16le || bytes.startsWith("\xFE\xFF")) {
        const auto encoding = utf16le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        // every U+FEFF of the text is a character of it
        QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString text = decoder.decode(QByteArrayView(bytes).sliced(2));
        IniFile ini = fromBytes(text.toUtf8());
        // the text is written from now on: with the U+FEFF that reading
        // UTF-8 takes off the start of a line
        QStringDecoder utf8(QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        for (Line &l : ini.m_lines) {
            l.text = utf8.decode(l.raw);
            l.raw = QByteArray();
        }
        if (!ini.m_bom.isEmpty()) {
            // a text of nothing but U+FEFF has no line yet to hold it
            if (ini.m_lines.isEmpty())
                ini.m_lines.append(Line());
            ini.m_lines.first().text.prepend(QChar(0xFEFF));
        }
        ini.m_bom = bytes.left(2);
        ini.m_utf16 = encoding;
        // what a damaged file holds beyond its text stays until a change
        ini.m_unchanged = bytes;
        return ini;
    }
    IniFile ini;
    QByteArray body = bytes;
    if (body.startsWith(Utf8Bom)) {
        ini.m_bom = Utf8Bom;
        body.remove(0, Utf8Bom.size());
    }
    ini.m_latin1 = !isValidUtf8(body);
    QString current;
    bool eolSeen = false;
    qsizetype from = 0;
    while (from < body.size()) {
        const qsizetype nl = body.indexOf('\n', from);
        Line line;
        if (nl < 0) {
            line.raw = body.mid(from);
            from = body.size();
        } else {
            line.raw = body.mid(from, nl - from);
            line.eol = "\n";
            if (line.raw.endsWith('\r')) {
                line.raw.chop(1);
                line.eol = "\r\n";
            }
            from = nl + 1;
            if (!eolSeen) {
                ini.m_eol = line.eol;
                eolSeen = true;
            }
        }
        line.text = ini.m_latin1 ? QString::fromLatin1(line.raw) : QString::fromUtf8(line.raw);
        const QString trimmed = line.text.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            current = trimmed.mid(1, trimmed.size() - 2).trimmed().toLower();
            line.isHeader = true;
        } else if (!trimmed.startsWith(QLatin1Char(';')) && !trimmed.startsWith(QLatin1Char('#'))
                   && !trimmed.startsWith(QLatin1Char('['))) {
            // a key never starts with '[': written back with a value ending
            // in ']' it would read as a section header
            const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
            if (eq > 0) {
                line.key = trimmed.left(eq).trimmed();
                line.value = trimmed.mid(eq + 1).trimmed();
            }
        }
        line.section = current;
        ini.m_lines.append(line);
    }
    return ini;
}

QByteArray IniFile::encoded(const QString &text) const
{
    return m_latin1 ? text.toLatin1() : text.toUtf8();
}

void IniFile::keepEncodingReadable()
{
    if (!m_latin1)
        return;
    // A Latin-1 file reads as Latin-1 only while it is not valid UTF-8. When
    // the line changed held its only invalid bytes, the bytes kept elsewhere
    // would read back as other characters: the whole file becomes UTF-8.
    QByteArray body;
    bool high = false;
    for (const Line &l : std::as_const(m_lines)) {
        body += l.raw.isNull() ? encoded(l.text) : l.raw;
        body += l.eol;
    }
    for (const char c : std::as_const(body))
        high = high || (uchar(c) & 0x80);
    if (high && isValidUtf8(body)) {
        m_latin1 = false;
        for (Line &l : m_lines)
            l.raw = QByteArray();
    }
}

void IniFile::insertLine(qsizetype at, Line line)
{
    line.raw = QByteArray();
    line.eol = m_eol;
    if (at == m_lines.size() && !m_lines.isEmpty() && m_lines.constLast().eol.isEmpty()) {
        // the last line had no line break: it gets one, the new last line none
        m_lines.last().eol = m_eol;
        line.eol = QByteArray();
    }
    m_lines.insert(at, line);
}

int IniFile::findKey(const QString &section, const QString &key) const
{
    const QString s = section.toLower();
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line &l = m_lines.at(i);
        if (!l.isHeader && !l.key.isEmpty() && l.section == s && l.key.compare(key, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

bool IniFile::hasSection(const QString &section) const
{
    const QString s = section.toLower();
    for (const Line &l : m_lines) {
        if (l.isHeader && l.section == s)
            return true;
    }
    return false;
}

bool IniFile::hasKey(const QString &section, const QString &key) const
{
    return findKey(section, key) >= 0;
}

QStringList IniFile::sections() const
{
    QStringList result;
    for (const Line &l : m_lines) {
        if (l.isHeader) {
            const QString t = l.text.trimmed();
            const QString name = t.mid(1, t.size() - 2).trimmed();
            if (!result.contains(name, Qt::CaseInsensitive))
                result.append(name);
        }
    }
    return result;
}

QStringList IniFile::keys(const QString &section) const
{
    const QString s = section.toLower();
    QStringList result;
    for (const Line &l : m_lines) {
        if (!l.isHeader && !l.key.isEmpty() && l.section == s && !result.contains(l.key, Qt::CaseInsensitive))
            result.append(l.key);
    }
    return result;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const int i = findKey(section, key);
    return i < 0 ? defaultValue : m_lines.at(i).value;
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const int i = findKey(section, key);
    if (i < 0)
        return defaultValue;
    bool ok = false;
    const int v = m_lines.at(i).value.toInt(&ok);
    return ok ? v : defaultValue;
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    m_unchanged = QByteArray();
    QString clean = value;
    clean.remove(QLatin1Char('\r'));
    clean.remove(QLatin1Char('\n'));
    if (m_latin1) {
        for (QChar c : std::as_const(clean)) {
            if (c.unicode() > 0xFF) {
                // re-encoded as UTF-8 on output; nothing else can keep the text
                m_latin1 = false;
                for (Line &l : m_lines)
                    l.raw = QByteArray();
                break;
            }
        }
    }
    const int i = findKey(section, key);
    if (i >= 0) {
        Line &l = m_lines[i];
        // what stands before the value (indentation, key, '=', blanks) stays
        const qsizetype eq = l.text.indexOf(QLatin1Char('='));
        qsizetype valueAt = eq + 1;
        while (valueAt < l.text.size() && l.text.at(valueAt).isSpace())
            ++valueAt;
        l.text = l.text.left(valueAt) + clean;
        l.value = clean.trimmed();
        l.raw = QByteArray();
        keepEncodingReadable();
        return;
    }
    const QString s = section.toLower();
    qsizetype insertAt = -1;
    for (qsizetype j = 0; j < m_lines.size(); ++j) {
        if (m_lines.at(j).section == s && (m_lines.at(j).isHeader || !m_lines.at(j).text.trimmed().isEmpty()))
            insertAt = j + 1;
    }
    Line line;
    line.section = s;
    line.key = key;
    line.value = clean.trimmed();
    line.text = key + QLatin1Char('=') + clean;
    if (insertAt < 0 || !hasSection(section)) {
        if (!m_lines.isEmpty() && !m_lines.constLast().text.trimmed().isEmpty()) {
            Line blank;
            blank.section = m_lines.constLast().section;
            insertLine(m_lines.size(), blank);
        }
        Line header;
        header.isHeader = true;
        header.section = s;
        header.text = QLatin1Char('[') + section + QLatin1Char(']');
        insertLine(m_lines.size(), header);
        insertLine(m_lines.size(), line);
    } else {
        insertLine(insertAt, line);
    }
    keepEncodingReadable();
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeInteger(section, key, value ? 1 : 0);
}

namespace {

bool isQuoted(const QString &value)
{
    return value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'));
}

} // namespace

QString IniFile::readExactString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const int i = findKey(section, key);
    if (i < 0)
        return defaultValue;
    const QString &value = m_lines.at(i).value;
    return isQuoted(value) ? value.mid(1, value.size() - 2) : value;
}

void IniFile::writeExactString(const QString &section, const QString &key, const QString &value)
{
    const bool quote = value.trimmed().size() != value.size() || isQuoted(value);
    writeString(section, key, quote ? QLatin1Char('"') + value + QLatin1Char('"') : value);
}

QString IniFile::toText() const
{
    QString out;
    for (const Line &l : m_lines) {
        out += l.text;
        out += QLatin1String(l.eol);
    }
    return out;
}

QByteArray IniFile::toBytes() const
{
    if (m_utf16) {
        if (!m_unchanged.isNull())
            return m_unchanged;
        QStringEncoder encoder(*m_utf16, QStringEncoder::Flag::Stateless);
        return m_bom + QByteArray(encoder.encode(toText()));
    }
    QByteArray out = m_bom;
    for (const Line &l : m_lines) {
        out += l.raw.isNull() ? encoded(l.text) : l.raw;
        out += l.eol;
    }
    return out;
}

bool IniFile::saveAtomically(const QString &path, QString *errorString, bool ownerOnly) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (errorString)
            *errorString = file.errorString();
        return false;
    }
    // set on the temporary file before anything is written into it
    if (ownerOnly && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        if (errorString)
            *errorString = file.errorString();
        file.cancelWriting();
        return false;
    }
    file.write(toBytes());
    if (!file.commit()) {
        if (errorString)
            *errorString = file.errorString();
        return false;
    }
    return true;
}

} // namespace Platform
