#pragma once

#include "com_global.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QList>
#include <QStringConverter>

#include <optional>

class QIODevice;

namespace Platform {

// An INI text kept line for line, byte for byte, so that writing one key
// leaves every other section, key, comment and blank line exactly as it was:
// line breaks (LF or CR LF, line by line), a UTF-8 byte-order mark and the
// encoding. A text that is not valid UTF-8 is read as Latin-1, so that a
// file saved in a Windows code page comes back unchanged; one that starts
// with a UTF-16 byte-order mark is read and written as UTF-16. Section and key
// names are matched without regard to case; values are trimmed.
class COM_EXPORT IniFile
{
public:
    IniFile() = default;

    // A missing or unreadable file reads as empty; that is not an error.
    static IniFile fromFile(const QString &path);
    static IniFile fromDevice(QIODevice &device);
    static IniFile fromText(const QString &text);
    static IniFile fromBytes(const QByteArray &bytes);

    bool hasSection(const QString &section) const;
    bool hasKey(const QString &section, const QString &key) const;
    QStringList sections() const;
    QStringList keys(const QString &section) const;

    QString readString(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    // Integers are decimal; anything else gives the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // Booleans are stored as integers, non-zero meaning true.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    // Changes the first key of that name in place (keeping what stands before
    // the value), or adds it at the end of its section (creating the section
    // at the end of the file). A value cannot hold a line break: CR and LF
    // are dropped. A value that a Latin-1 file cannot hold turns the whole
    // file into UTF-8, and so does an edit that leaves a Latin-1 file valid
    // UTF-8 (its other bytes would read back as other characters).
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

    // A value read back exactly as written, leading and trailing blanks
    // included: such a value (and one that is itself in double quotes) is
    // written inside double quotes, which reading takes off again. The value
    // must fit on one line.
    QString readExactString(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    void writeExactString(const QString &section, const QString &key, const QString &value);

    QString toText() const;
    // The file as it is to be written: what was read, with the changes.
    QByteArray toBytes() const;
    // Written through a temporary file and renamed over the old one, so a
    // crash never leaves a half-written file. Returns false with a reason.
    // ownerOnly: readable and writable by the file's owner alone (0600 on
    // Unix), for a file that holds sign-in data; otherwise the file keeps
    // the permissions it had.
    bool saveAtomically(const QString &path, QString *errorString = nullptr, bool ownerOnly = false) const;

private:
    struct Line
    {
        QString text; // the line without its line break
        QByteArray raw; // its bytes as read; null once the line is changed or new
        QByteArray eol; // "\n", "\r\n", or empty for a last line without one
        QString section; // section it belongs to, lower-cased ("" before the first)
        QString key; // key of a key=value line (as written), empty otherwise
        QString value; // trimmed value
        bool isHeader = false;
    };
    int findKey(const QString &section, const QString &key) const;
    void insertLine(qsizetype at, Line line);
    QByteArray encoded(const QString &text) const;
    void keepEncodingReadable();

    QList<Line> m_lines;
    QByteArray m_bom; // a UTF-8 byte-order mark the text began with
    QByteArray m_eol = "\n"; // for new lines: the first line break of the text
    bool m_latin1 = false; // not valid UTF-8 when read
    std::optional<QStringConverter::Encoding> m_utf16; // the UTF-16 form the text came in
    QByteArray m_unchanged; // a UTF-16 file as read, until something is written
};

} // namespace Platform
