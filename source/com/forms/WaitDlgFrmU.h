#pragma once

#include "com_global.h"

#include "ResourceStrings.h"
#include "WaitDlgU.h"

#include <QColor>
#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

COM_EXPORT extern const Platform::ResourceString sWaitCancel;

// A row of dots with a highlight that runs from left to right while the
// indicator is active.
class COM_EXPORT TActivityIndicator : public QWidget
{
    Q_OBJECT
public:
    explicit TActivityIndicator(QWidget *AParent = nullptr);

    void start();
    void stop();
    bool isActive() const;

    QColor dotColor() const { return FDotColor; }
    int dotCount() const { return FDotCount; }
    // Index of the highlighted dot; advances on every tick while active.
    int position() const { return FPosition; }

    QSize sizeHint() const override { return QSize(225, 29); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void tick();

    QTimer *FTimer;
    QColor FDotColor;
    int FDotCount = 7;
    int FPosition = 0;
};

// The "please wait" window: borderless, white, centred on the screen, with
// the logo, the activity indicator and a fixed text. While reads that may be
// cancelled are counted, it grows a Cancel button (btnCancel) below the
// text; otherwise it takes no input.
class COM_EXPORT TWaitDlgFrm : public QWidget, public TWaitDlgView
{
    Q_OBJECT
public:
    explicit TWaitDlgFrm(QWidget *AOwner = nullptr);
    ~TWaitDlgFrm() override;

    QFrame *pnlMain;
    QLabel *imgLogo;
    TActivityIndicator *dxActivityIndicator1;
    QLabel *cxLabel1;
    QPushButton *btnCancel;

    void SetCancellable(bool ACancellable) override;
    QWidget *Window() override { return this; }
    void SetOnCancel(std::function<void()> AOnCancel) override;
    bool IsCancellable() const { return FCancellable; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void FormShow();
    void FormHide();
    void centreOnScreen();

    bool FCancellable = false;
    std::function<void()> FOnCancel;
};

// The wait form of a wait dialog made while the package runs.
COM_EXPORT TWaitDlgFrm *WaitDlgFrmOf(const TWaitDlg *ADlg);
