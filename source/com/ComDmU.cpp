#include "ComDmU.h"

#include "Localizer.h"

TComDm *ComDm = nullptr;

TComDm::TComDm(QObject *AOwner)
    : QObject(AOwner)
    , locLang(new Platform::Localizer(this))
{
    setObjectName(QStringLiteral("ComDm"));
    locLang->setObjectName(QStringLiteral("locLang"));
    locLang->setFileName(QStringLiteral("lang.ini"));
    locLang->setActive(true);
}

TComDm::~TComDm() = default;
