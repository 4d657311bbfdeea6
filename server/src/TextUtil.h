#pragma once

#include <QDateTime>
#include <QString>

// Lower-cased text that customer searches match against: code, name, city
// and e-mail joined with a separator no search text can span.
QString customerSearchKey(const QString &code, const QString &name, const QString &city, const QString &email);

// "%text%" for a LIKE with ESCAPE '\', so that % and _ typed by a user match
// themselves.
QString containsPattern(const QString &text);

// Time stamps as the client reads them: local time, "yyyy-MM-ddTHH:mm:ss".
QString timestampText(const QDateTime &when);
QString nowText();
