#pragma once

#include "com_global.h"

#include <QObject>

namespace Platform {
class Localizer;
}

// Shared non-visual parts that screens bind to: the localizer that
// translates captions. (Icons and the look of edits and grids belong to the
// screens and the host's style; nothing here would be read.)
class COM_EXPORT TComDm : public QObject
{
    Q_OBJECT
public:
    explicit TComDm(QObject *AOwner = nullptr);
    ~TComDm() override;

    // Reads "lang.ini" from the program's folder; index 0 is Indonesian.
    Platform::Localizer *locLang = nullptr;
};

COM_EXPORT extern TComDm *ComDm;
