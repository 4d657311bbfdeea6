#include "LocationListFrmU.h"

#include "LangResU.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using FT = Platform::MemTable::FieldType;

TLocationListFrm::TLocationListFrm(QWidget *AParent)
    : TMasterPickListFrm(sHeaderLocationList, QSize(680, 508), false, false, AParent)
{
    setObjectName(QStringLiteral("LocationListFrm"));
    auto *row = new QHBoxLayout;
    lblType = new QLabel(QStringLiteral("Location Type"), this);
    row->addWidget(lblType);
    cboType = new QComboBox(this);
    cboType->setObjectName(QStringLiteral("cboType"));
    cboType->addItems({ QStringLiteral("Building"), QStringLiteral("Project"), QStringLiteral("Vendor") });
    row->addWidget(cboType, 1);
    filterArea()->addLayout(row);
    defineData({ { QStringLiteral("loc_det_id"), FT::Integer, 0 },
                 { QStringLiteral("loc_det_name"), FT::String, 255 },
                 { QStringLiteral("loc_det_desc"), FT::String, 255 },
                 { QStringLiteral("loc_id"), FT::Integer, 0 },
                 { QStringLiteral("loc_name"), FT::String, 255 } },
               { { QStringLiteral("loc_name"), &sLabelLocName },
                 { QStringLiteral("loc_det_name"), &sLabelLocDetName },
                 { QStringLiteral("loc_det_desc"), &sLabelLocDetDesc } });
    connect(cboType, &QComboBox::currentIndexChanged, this, [this] { safely([this] { LoadData(); }); });
}

void TLocationListFrm::LoadData()
{
    auto params = std::make_unique<THttpParams>();
    params->AddParam(QStringLiteral("mode"), QStringLiteral("lookup"), pdtString, ptQuery);
    params->AddParam(QStringLiteral("q"), cboType->currentIndex() + 1, pdtInteger, ptQuery);
    // written without the leading slash; the client joins it to the base
    lookupLoad(QStringLiteral("prc/v1/master/locations"), std::move(params));
}

void TLocationListFrm::TranslateCaptions()
{
    TMasterPickListFrm::TranslateCaptions();
    lblType->setText(sLabelLocationType.text());
    // the items are renamed in place: the chosen type stays chosen
    const QSignalBlocker block(cboType);
    cboType->setItemText(0, sLabelBuilding.text());
    cboType->setItemText(1, sLabelProject.text());
    cboType->setItemText(2, sLabelVendor.text());
}

void TLocationListFrm::FormShow()
{
    {
        const QSignalBlocker block(cboType);
        cboType->setCurrentIndex(0);
    }
    LoadData();
}
