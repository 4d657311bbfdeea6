#pragma once

#include "com_global.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>

namespace Platform {
class Localizer;
}

// Shared non-visual parts that screens bind to: small icons, the common look
// of edits and grids, and the localizer that translates captions.
class COM_EXPORT TComDm : public QObject
{
    Q_OBJECT
public:
    explicit TComDm(QObject *AOwner = nullptr);
    ~TComDm() override;

    QList<QIcon> ilSmall;
    // Style sheets for edits, grid headers and odd grid rows.
    QString EditStyleController1;
    QString stlGridHeader;
    QString stlGridOddRow;
    // Reads "lang.ini" from the program's folder; index 0 is Indonesian.
    Platform::Localizer *locLang = nullptr;
};

COM_EXPORT extern TComDm *ComDm;
