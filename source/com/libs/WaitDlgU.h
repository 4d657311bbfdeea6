#pragma once

#include "com_global.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QTimer;
// What the wait dialog puts up: a window that can offer a Cancel button.
// The package start-up sets the factory (the wait form); without one the
// dialog only counts.
class COM_EXPORT TWaitDlgView
{
public:
    virtual ~TWaitDlgView();
    virtual QWidget *Window() = 0;
    virtual void SetCancellable(bool ACancellable) = 0;
    // Called when the user presses Cancel.
    virtual void SetOnCancel(std::function<void()> AOnCancel) = 0;
};
using TWaitDlgViewFactory = std::function<std::unique_ptr<TWaitDlgView>()>;

// The one "please wait" window of the process. It disables the main window
// while it is up and counts overlapping showings, so that the first request
// to end does not take it away from the others (see Hide).
class COM_EXPORT TWaitDlg
{
public:
    TWaitDlg();
    ~TWaitDlg();
    TWaitDlg(const TWaitDlg &) = delete;
    TWaitDlg &operator=(const TWaitDlg &) = delete;

    // The Cancel button shows while asynchronous reads that showed the window
    // may be cancelled; it aborts those reads (Platform::RestRequest).
    // Counts one up. Without a delay it disables the main window, shows the
    // wait window and processes pending events once so that the window
    // paints. With a delay (SetShowDelay) both wait until the delay has
    // passed and only happen if the count is still above 0 then; nothing is
    // processed here.
    void Show();
    // Show as without a delay: for a caller that blocks the UI thread next
    // (a synchronous request), where a delayed showing could never come.
    void ShowAtOnce();
    // Counts one down (also below 0). With ACheckCounter and other showings
    // still open the window stays; otherwise it goes (a pending showing with
    // it) and the main window is enabled again.
    void Hide(bool ACheckCounter);
    void ResetCounter();
    // 0 (the default) shows at once. The application sets a delay so that
    // quick requests do not flash the window nor block the main window.
    void SetShowDelay(int AMs);
    int ShowDelay() const { return FShowDelay; }
    // Counted, but the window is not up yet: the delay runs.
    bool IsShowPending() const;
    void SetActiveWindow(WId AWindow);
    // Not owned; forgotten when it is destroyed.
    void SetMainForm(QWidget *AMainFrm);

    int ProcessCount() const { return FProcessCount; }
    bool IsFormVisible() const;
    WId ActiveWindow() const { return FActiveWindow; }
    // The window put up; nullptr when no view factory was set.
    TWaitDlgView *View() const { return FView.get(); }
    // For the dialogs made from now on.
    static void SetViewFactory(TWaitDlgViewFactory AFactory);

    // What the application sets (SetShowDelay).
    static constexpr int AppShowDelayMs = 300;

private:
    void ShowNow();

    std::unique_ptr<TWaitDlgView> FView;
    QPointer<QWidget> FWindow;
    std::unique_ptr<QTimer> FShowTimer;
    WId FActiveWindow = 0;
    QPointer<QWidget> FMainFrm;
    // where the keyboard was in the main window before it was disabled
    QPointer<QWidget> FMainFocus;
    // the control with the keyboard when that is in a dialog over the main
    // form, which disabling the main form takes along, and its window
    QPointer<QWidget> FDialogFocus;
    QPointer<QWidget> FActiveAtShow;
    // the modal window the delayed showing was asked for under
    QPointer<QWidget> FModalAtShow;
    int FProcessCount = 0;
    int FShowDelay = 0;
};

// Created by the application controller's Init; nullptr before that.
COM_EXPORT extern TWaitDlg *WaitDlg;
