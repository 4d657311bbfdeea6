#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QFile>

// The text pdftotext finds in a PDF, pages separated by form feeds; empty
// when the tool fails. pdftotextPath() is empty when the tool is missing.
inline QString pdftotextPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
}

inline QString pdfText(const QByteArray &pdf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
        return QString();
    file.close();
    QProcess tool;
    tool.start(pdftotextPath(), { QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-") });
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
        return QString();
    return QString::fromUtf8(tool.readAllStandardOutput());
}

// A minimal layout around the given bands (a JSON array text).
inline QByteArray layoutJson(const QByteArray &bands, const QByteArray &page = QByteArray())
{
    QByteArray json = "{\"format\": \"zelt-report\", \"version\": 1, \"title\": \"Test\", ";
    if (!page.isEmpty())
        json += "\"page\": " + page + ", ";
    json += "\"bands\": " + bands + "}";
    return json;
}
