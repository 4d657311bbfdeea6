#include "CostCenterListFrmU.h"

#include "LangResU.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

using FT = Platform::MemTable::FieldType;

TCostCenterListFrm::TCostCenterListFrm(QWidget *AParent)
    : TMasterPickListFrm(sHeaderCostCenterList, QSize(611, 508), true, true, AParent)
{
    setObjectName(QStringLiteral("CostCenterListFrm"));
    defineData({ { QStringLiteral("cc_id"), FT::Integer, 0 },
                 { QStringLiteral("cc_code"), FT::String, 255 },
                 { QStringLiteral("cc_name"), FT::String, 255 },
                 { QStringLiteral("cc_type_desc"), FT::String, 0 } },
               { { QStringLiteral("cc_id"), nullptr },
                 { QStringLiteral("cc_code"), &sLabelCode },
                 { QStringLiteral("cc_type_desc"), &sLabelType },
                 { QStringLiteral("cc_name"), &sLabelCostCenter } });
    edtSearchButton->setVisible(true);
    connect(edtSearchButton, &QToolButton::clicked, this, [this] { safely([this] { Search(); }); });
}

void TCostCenterListFrm::LoadData()
{
    pagedLoad(QStringLiteral("/acf/v1/master/cost-centers"));
}

void TCostCenterListFrm::FormShow()
{
    edtSearch->clear();
    {
        const QSignalBlocker b1(cboPage), b2(cboRowPerPage);
        cboPage->setEditText(QStringLiteral("1"));
        cboRowPerPage->setCurrentText(QStringLiteral("20"));
    }
    LoadData();
}
