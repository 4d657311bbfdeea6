#include "WaitDlgU.h"

#include "WaitDlgFrmU.h"

#include <QCoreApplication>

TWaitDlg *WaitDlg = nullptr;

TWaitDlg::TWaitDlg()
    : FWaitDlgFrm(std::make_unique<TWaitDlgFrm>(nullptr))
{
}

TWaitDlg::~TWaitDlg() = default;

void TWaitDlg::Show()
{
    if (FMainFrm)
        FMainFrm->setEnabled(false);
    FWaitDlgFrm->show();
    ++FProcessCount;
    // Let the window paint before the caller goes on. Clicks and keys wait,
    // the main window is disabled anyway.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TWaitDlg::Hide(bool ACheckCounter)
{
    --FProcessCount;
    if (ACheckCounter && FProcessCount > 0)
        return;
    FWaitDlgFrm->hide();
    if (FMainFrm)
        FMainFrm->setEnabled(true);
}

void TWaitDlg::ResetCounter()
{
    FProcessCount = 0;
}

void TWaitDlg::SetActiveWindow(WId AWindow)
{
    FActiveWindow = AWindow;
}

void TWaitDlg::SetMainForm(QWidget *AMainFrm)
{
    FMainFrm = AMainFrm;
}

bool TWaitDlg::IsFormVisible() const
{
    return FWaitDlgFrm->isVisible();
}
