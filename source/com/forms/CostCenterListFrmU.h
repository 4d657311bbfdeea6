#pragma once

#include "MasterPickListFrmU.h"

// Picks a cost centre from the paged list.
class COM_EXPORT TCostCenterListFrm : public TMasterPickListFrm
{
    Q_OBJECT
public:
    explicit TCostCenterListFrm(QWidget *AParent = nullptr);

    void LoadData() override;

protected:
    void FormShow() override;
};
