#include "WaitDlgU.h"

#include "WaitDlgFrmU.h"

#include "RestRequest.h"

#include <QCoreApplication>
#include <QPushButton>

TWaitDlg *WaitDlg = nullptr;

TWaitDlg::TWaitDlg()
    : FWaitDlgFrm(std::make_unique<TWaitDlgFrm>(nullptr))
{
    // Cancel is offered while asynchronous reads that showed the dialog run
    auto &notifier = Platform::RestRequest::notifier();
    QObject::connect(&notifier, &Platform::RestRequestNotifier::cancellableCountChanged, FWaitDlgFrm.get(),
                     [this](int ACount) { FWaitDlgFrm->SetCancellable(ACount > 0); });
    QObject::connect(FWaitDlgFrm->btnCancel, &QPushButton::clicked, FWaitDlgFrm.get(), [] {
        // only the reads go: a write once sent may already be applied
        Platform::RestRequest::cancelReads();
    });
    FWaitDlgFrm->SetCancellable(Platform::RestRequest::cancellableCount() > 0);
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
