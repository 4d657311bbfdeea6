#pragma once

#include "MasterPickListFrmU.h"

// Picks a location detail of the chosen location type.
class COM_EXPORT TLocationListFrm : public TMasterPickListFrm
{
    Q_OBJECT
public:
    explicit TLocationListFrm(QWidget *AParent = nullptr);
    QLabel *lblType = nullptr;
    QComboBox *cboType = nullptr;
    void LoadData() override;

protected:
    void FormShow() override;
    void TranslateCaptions() override;
};
