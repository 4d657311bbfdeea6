#include "WaitDlgU.h"

#include "DialogPresenter.h"
#include "RestRequest.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>

TWaitDlg *WaitDlg = nullptr;

namespace {

TWaitDlgViewFactory &viewFactory()
{
    static TWaitDlgViewFactory factory;
    return factory;
}

} // namespace

TWaitDlgView::~TWaitDlgView() = default;

void TWaitDlg::SetViewFactory(TWaitDlgViewFactory AFactory)
{
    viewFactory() = std::move(AFactory);
}

TWaitDlg::TWaitDlg()
    : FShowTimer(std::make_unique<QTimer>())
{
    if (const TWaitDlgViewFactory &make = viewFactory())
        FView = make();
    if (FView)
        FWindow = FView->Window();
    FShowTimer->setSingleShot(true);
    QObject::connect(FShowTimer.get(), &QTimer::timeout, FShowTimer.get(), [this] {
        // requests that ended before the delay never show anything
        if (FProcessCount <= 0)
            return;
        // A modal window opened since (a read's failure reported before it
        // gave its count back) would be disabled with the main form, and
        // nobody could answer it: wait until it is closed.
        if (QApplication::activeModalWidget() != FModalAtShow) {
            FShowTimer->start(FShowDelay);
            return;
        }
        ShowNow();
    });
    if (!FView)
        return;
    // Cancel is offered while asynchronous reads that showed the dialog run
    auto &notifier = Platform::RestRequest::notifier();
    QObject::connect(&notifier, &Platform::RestRequestNotifier::cancellableCountChanged, FShowTimer.get(),
                     [this](int ACount) { FView->SetCancellable(ACount > 0); });
    FView->SetOnCancel([] {
        // only the reads go: a write once sent may already be applied
        Platform::RestRequest::cancelReads();
    });
    FView->SetCancellable(Platform::RestRequest::cancellableCount() > 0);
}

TWaitDlg::~TWaitDlg() = default;

void TWaitDlg::Show()
{
    if (FShowDelay <= 0) {
        ShowAtOnce();
        return;
    }
    ++FProcessCount;
    // The first showing of a round starts the delay; later ones join it.
    if (!IsFormVisible() && !FShowTimer->isActive()) {
        FModalAtShow = QApplication::activeModalWidget();
        FShowTimer->start(FShowDelay);
    }
}

void TWaitDlg::ShowAtOnce()
{
    ++FProcessCount;
    FShowTimer->stop();
    ShowNow();
    // Let the window paint before the caller goes on. Clicks and keys wait,
    // the main window is disabled anyway.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TWaitDlg::ShowNow()
{
    if (FMainFrm && FMainFrm->isEnabled()) {
        // disabling moves the focus off the control the user works in
        FMainFocus = FMainFrm->window()->focusWidget();
        FActiveAtShow = QApplication::activeWindow();
        FDialogFocus = QApplication::focusWidget();
        if (FDialogFocus == FMainFocus)
            FDialogFocus = nullptr;
        FMainFrm->setEnabled(false);
    }
    if (FWindow) {
        FWindow->show();
        // shown again, it keeps its old place in the stack: a dialog opened
        // since (a contact form over its customer) would hide it and its Cancel
        FWindow->raise();
    }
}

void TWaitDlg::Hide(bool ACheckCounter)
{
    --FProcessCount;
    if (ACheckCounter && FProcessCount > 0)
        return;
    FShowTimer->stop();
    if (FWindow)
        FWindow->hide();
    if (FMainFrm && !FMainFrm->isEnabled()) {
        FMainFrm->setEnabled(true);
        // the main form's first: a window not active keeps it for later
        for (QWidget *focus : { FMainFocus.data(), FDialogFocus.data() })
            if (focus && focus->isEnabled() && focus->isVisible())
                focus->setFocus(Qt::OtherFocusReason);
        // where the wait window took the keyboard (a window manager may
        // activate it as it shows) it goes back to where it was
        Platform::returnActivation(FActiveAtShow);
    }
    FMainFocus = nullptr;
    FDialogFocus = nullptr;
    FActiveAtShow = nullptr;
}

void TWaitDlg::SetShowDelay(int AMs)
{
    FShowDelay = qMax(0, AMs);
    // a showing already pending comes at once rather than never
    if (FShowDelay == 0 && FShowTimer->isActive()) {
        FShowTimer->stop();
        if (FProcessCount > 0)
            ShowNow();
    }
}

bool TWaitDlg::IsShowPending() const
{
    return FShowTimer->isActive();
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
    return FWindow && FWindow->isVisible();
}
