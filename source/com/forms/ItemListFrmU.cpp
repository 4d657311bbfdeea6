#include "ItemListFrmU.h"

#include "LangResU.h"

#include <QComboBox>
#include <QLineEdit>

using FT = Platform::MemTable::FieldType;

TItemListFrm::TItemListFrm(QWidget *AParent)
    : TMasterPickListFrm(sHeaderItemList, QSize(786, 444), true, true, AParent)
{
    setObjectName(QStringLiteral("ItemListFrm"));
    defineData({ { QStringLiteral("item_type_name"), FT::String, 255 },
                 { QStringLiteral("item_id"), FT::LargeInt, 0 },
                 { QStringLiteral("item_code"), FT::String, 30 },
                 { QStringLiteral("item_name"), FT::String, 255 },
                 { QStringLiteral("item_cat_name"), FT::String, 255 },
                 { QStringLiteral("material"), FT::String, 100 },
                 { QStringLiteral("spec"), FT::Memo, 0 },
                 { QStringLiteral("uom_id"), FT::SmallInt, 0 },
                 { QStringLiteral("uom_name"), FT::String, 50 } },
               { { QStringLiteral("item_type_name"), &sLabelType },
                 { QStringLiteral("item_id"), nullptr },
                 { QStringLiteral("item_code"), &sLabelCode },
                 { QStringLiteral("item_name"), &sLabelItemName },
                 { QStringLiteral("uom_name"), &sLabelUnitOfMaterials },
                 { QStringLiteral("item_cat_name"), &sLabelCategory },
                 { QStringLiteral("material"), &sLabelMaterial },
                 { QStringLiteral("spec"), &sLabelSpecification } });
}

void TItemListFrm::LoadData()
{
    pagedLoad(QStringLiteral("/prc/v1/master/items"));
}

void TItemListFrm::FormShow()
{
    edtSearch->clear();
    {
        const QSignalBlocker b1(cboPage), b2(cboRowPerPage);
        cboPage->setEditText(QStringLiteral("1"));
        cboRowPerPage->setCurrentText(QStringLiteral("20"));
    }
    LoadData();
}
