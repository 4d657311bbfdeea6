#pragma once

// The text pdftotext finds in a report's PDF, pages separated by form feeds;
// a text in angle brackets says what failed instead.

#include "Report.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

inline QString pdfText(Platform::Report &AReport)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    if (!AReport.exportPdf(path))
        return QStringLiteral("<export failed: %1>").arg(AReport.errorString());
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"),
               { QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-") });
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
        return QStringLiteral("<pdftotext failed>");
    return QString::fromUtf8(tool.readAllStandardOutput());
}
