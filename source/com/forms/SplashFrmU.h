#pragma once

#include "com_global.h"

#include <QWidget>

class QGroupBox;
class QLabel;

// The window shown with a status text while the client loads the user's
// menus and module packages after sign-in: borderless, white, 613 by 307,
// centred on the screen. Not kept above other windows, so that an error box
// raised while loading is never hidden behind it.
class COM_EXPORT TSplashFrm : public QWidget
{
    Q_OBJECT
public:
    explicit TSplashFrm(QWidget *AOwner = nullptr);
    ~TSplashFrm() override;

    QGroupBox *grpMain;
    QLabel *imgLogo;
    QLabel *lblStatus;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void centreOnScreen();
};

// Left empty: the application controller owns its own splash.
COM_EXPORT extern TSplashFrm *SplashFrm;
