#pragma once

#include "HttpTypes.h"

#include <QJsonObject>
#include <QString>

#include <optional>

// The body of a write as a JSON object; anything else is a 400 with a
// "message" that says what was wrong.
QJsonObject parseObjectBody(const QByteArray &body);

// Reads the members of a write body and collects one error per offending
// member, so that the client learns about every field at once.
class FieldReader
{
public:
    enum class Mode {
        Create, // required members must be present and not empty
        Update, // members may be left out; a member sent must be valid
    };

    FieldReader(const QJsonObject &object, Mode mode, QString rowLabel = {});

    // Present and not null.
    bool has(const QString &key) const;

    // Text member, trimmed unless asked not to. nullopt when absent (or on error).
    std::optional<QString> string(const QString &key, bool required, int maxLength, bool trim = true);
    // Whole number (a JSON number without fraction). nullopt when absent,
    // null, or on error.
    std::optional<qint64> integer(const QString &key, bool required, qint64 min, qint64 max);
    // true/false, or the numbers 1/0.
    std::optional<bool> boolean(const QString &key, bool required);

    void fail(const QString &key, const QString &message);
    bool failed(const QString &key) const;
    bool ok() const { return m_errors.isEmpty(); }
    const QJsonArray &errors() const { return m_errors; }
    // Throws ValidationError with everything collected so far.
    void throwIfErrors() const;

private:
    bool requiredMissing(const QString &key, bool required);

    QJsonObject m_object;
    Mode m_mode;
    QString m_rowLabel;
    QJsonArray m_errors;
};

// {"errors": [...], "message": "..."}: the field errors and, for clients
// that read only "message", the same texts joined.
Response validationResponse(const QJsonArray &errors);
