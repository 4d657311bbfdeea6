#pragma once

#include "com_global.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class TWaitDlgFrm;

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
    // Disables the main window, shows the wait window, counts one up and
    // processes pending events once so that the window paints.
    void Show();
    // Counts one down (also below 0). With ACheckCounter and other showings
    // still open the window stays; otherwise it goes and the main window is
    // enabled again.
    void Hide(bool ACheckCounter);
    void ResetCounter();
    void SetActiveWindow(WId AWindow);
    // Not owned; forgotten when it is destroyed.
    void SetMainForm(QWidget *AMainFrm);

    int ProcessCount() const { return FProcessCount; }
    bool IsFormVisible() const;
    WId ActiveWindow() const { return FActiveWindow; }
    TWaitDlgFrm *WaitDlgFrm() const { return FWaitDlgFrm.get(); }

private:
    std::unique_ptr<TWaitDlgFrm> FWaitDlgFrm;
    WId FActiveWindow = 0;
    QPointer<QWidget> FMainFrm;
    int FProcessCount = 0;
};

// Created by the application controller's Init; nullptr before that.
COM_EXPORT extern TWaitDlg *WaitDlg;
