#pragma once

#include "MasterPickListFrmU.h"

// Picks an employee from the lookup list.
class COM_EXPORT TEmpListFrm : public TMasterPickListFrm
{
    Q_OBJECT
public:
    explicit TEmpListFrm(QWidget *AParent = nullptr);

    void LoadData() override;

protected:
    void FormShow() override;
};
