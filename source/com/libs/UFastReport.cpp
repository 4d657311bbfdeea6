#include "UFastReport.h"

#include "AppPaths.h"
#include "MsgDlgU.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

using Platform::ReportObject;
using Platform::ReportObjectKind;

namespace {
QString quotedPath(const QString &path)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
}
} // namespace

bool LoadReport(Platform::Report &ARep, const QString &AFileName)
{
    const QString path = Platform::applicationFolder() + QStringLiteral("reports/") + AFileName;
    switch (ARep.load(path)) {
    case Platform::Report::LoadStatus::Loaded: return true;
    case Platform::Report::LoadStatus::FileNotFound:
        MsgErr(QStringLiteral("File report ") + quotedPath(path) + QStringLiteral(" tidak ditemukan."));
        return false;
    case Platform::Report::LoadStatus::Invalid:
        // the file is there but is no layout: saying "not found" would mislead
        MsgErr(QStringLiteral("File report ") + quotedPath(path) + QStringLiteral(" tidak valid: ")
               + ARep.errorString());
        return false;
    }
    return false;
}

void SetMemoText(Platform::Report &ARep, const QString &AName, const QString &AValue)
{
    ReportObject *object = ARep.findObject(AName);
    if (object && object->kind == ReportObjectKind::Memo) {
        object->text = AValue;
        // data, not layout: a customer named "ACME [Page]" prints as named
        object->expressions = false;
    }
}

void SetVisible(Platform::Report &ARep, const QString &AName, bool AValue)
{
    if (ReportObject *object = ARep.findObject(AName))
        object->visible = AValue;
}

void SetHeight(Platform::Report &ARep, const QString &AName, float AValue)
{
    ReportObject *object = ARep.findObject(AName);
    if (!object || std::isnan(AValue))
        return;
    // a line's height is where it ends, so it may go up
    if (object->kind == ReportObjectKind::Line)
        object->geometry.setHeight(qBound(-10000.0, double(AValue), 10000.0));
    else
        object->geometry.setHeight(qBound(0.0, double(AValue), 10000.0));
}

void SetPicture(Platform::Report &ARep, const QString &AName, const QImage &AValue)
{
    ReportObject *object = ARep.findObject(AName);
    if (object && object->kind == ReportObjectKind::Picture)
        object->picture = AValue; // implicitly shared: later changes to AValue do not reach it
}

void LoadPicture(Platform::Report &ARep, const QString &AName, const QString &AFileName)
{
    ReportObject *object = ARep.findObject(AName);
    if (!object || object->kind != ReportObjectKind::Picture || !QFileInfo(AFileName).isFile())
        return;
    QImage image;
    if (!image.load(AFileName)) {
        MsgErr(QStringLiteral("File gambar ") + quotedPath(AFileName) + QStringLiteral(" tidak valid."));
        return;
    }
    object->picture = image;
}
