#include "CostCenterListFrmU.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

using FT = Platform::MemTable::FieldType;

TCostCenterListFrm::TCostCenterListFrm(QWidget *AParent)
    : TMasterPickListFrm(QStringLiteral("Cost Center List"), QSize(611, 508), true, true, AParent)
{
    setObjectName(QStringLiteral("CostCenterListFrm"));
    defineData({ { QStringLiteral("cc_id"), FT::Integer, 0 },
                 { QStringLiteral("cc_code"), FT::String, 255 },
                 { QStringLiteral("cc_name"), FT::String, 255 },
                 { QStringLiteral("cc_type_desc"), FT::String, 0 } },
               { { QStringLiteral("cc_id"), QString() },
                 { QStringLiteral("cc_code"), QStringLiteral("Code") },
                 { QStringLiteral("cc_type_desc"), QStringLiteral("Type") },
                 { QStringLiteral("cc_name"), QStringLiteral("Cost Center") } });
    edtSearchButton->setVisible(true);
    connect(edtSearchButton, &QToolButton::clicked, this, [this] { safely([this] { LoadData(); }); });
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
