#include "ComDmU.h"

#include "Localizer.h"

TComDm *ComDm = nullptr;

TComDm::TComDm(QObject *AOwner)
    : QObject(AOwner)
    , EditStyleController1(QStringLiteral("QLineEdit, QComboBox { padding: 2px 4px; }"))
    , stlGridHeader(QStringLiteral("QHeaderView::section { font-weight: bold; padding: 3px; }"))
    , stlGridOddRow(QStringLiteral("QTableView { alternate-background-color: #f3f6fa; }"))
    , locLang(new Platform::Localizer(this))
{
    setObjectName(QStringLiteral("ComDm"));
    locLang->setObjectName(QStringLiteral("locLang"));
    locLang->setFileName(QStringLiteral("lang.ini"));
    locLang->setActive(true);
}

TComDm::~TComDm() = default;
