#include "IniFile.h"

#include "Logging.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>

namespace Platform {

IniFile IniFile::fromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        // a missing file gives the defaults; an unreadable one does too, but says so
        if (file.exists())
            qCWarning(Platform::Log::data) << "cannot read" << path << ":" << file.errorString();
        return {};
    }
    return fromDevice(file);
}

IniFile IniFile::fromDevice(QIODevice &device)
{
    return fromText(QString::fromUtf8(device.readAll()));
}

IniFile IniFile::fromText(const QString &text)
{
    IniFile ini;
    QString current;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString raw = lines.at(i);
        if (raw.endsWith(QLatin1Char('\r')))
            raw.chop(1);
        // a trailing newline does not make an extra blank line
        if (i == lines.size() - 1 && raw.isEmpty())
            break;
        Line line;
        line.text = raw;
        const QString trimmed = raw.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            current = trimmed.mid(1, trimmed.size() - 2).trimmed().toLower();
            line.isHeader = true;
        } else if (!trimmed.startsWith(QLatin1Char(';')) && !trimmed.startsWith(QLatin1Char('#'))) {
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

int IniFile::findKey(const QString &section, const QString &key) const
{
    const QString s = section.toLower();
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line &l = m_lines.at(i);
        if (!l.isHeader && !l.key.isEmpty() && l.section == s
            && l.key.compare(key, Qt::CaseInsensitive) == 0)
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
    const int i = findKey(section, key);
    if (i >= 0) {
        Line &l = m_lines[i];
        l.value = value;
        l.text = l.key + QLatin1Char('=') + value;
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
    line.value = value;
    line.text = key + QLatin1Char('=') + value;
    if (insertAt < 0 || !hasSection(section)) {
        if (!m_lines.isEmpty() && !m_lines.constLast().text.trimmed().isEmpty()) {
            Line blank;
            blank.section = m_lines.constLast().section;
            m_lines.append(blank);
        }
        Line header;
        header.isHeader = true;
        header.section = s;
        header.text = QLatin1Char('[') + section + QLatin1Char(']');
        m_lines.append(header);
        m_lines.append(line);
    } else {
        m_lines.insert(insertAt, line);
    }
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
        out += QLatin1Char('\n');
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
    file.write(toText().toUtf8());
    if (!file.commit()) {
        if (errorString)
            *errorString = file.errorString();
        return false;
    }
    return true;
}

} // namespace Platform
