#pragma once

#include "MasterPickListFrmU.h"

// Picks items from the paged list.
class COM_EXPORT TItemListFrm : public TMasterPickListFrm
{
    Q_OBJECT
public:
    explicit TItemListFrm(QWidget *AParent = nullptr);

    void LoadData() override;

protected:
    void FormShow() override;
};
