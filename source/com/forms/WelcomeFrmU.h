#pragma once

#include "com_global.h"
#include "BaseChildFrmU.h"

// The first screen the user sees once the menus are loaded, opened through
// the built-in menu entry 0: a plain white page filling the main window's
// child area, without a frame. Closing it releases it.
class COM_EXPORT TWelcomeFrm : public TBaseChildFrm
{
    Q_OBJECT
public:
    explicit TWelcomeFrm(QWidget *AOwner = nullptr);
    ~TWelcomeFrm() override;

    // No captions of its own to translate.
    void TranslationChanged() override;

protected:
    void FormClose(TCloseAction &AAction) override;
};
