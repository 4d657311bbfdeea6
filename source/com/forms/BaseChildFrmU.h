#pragma once

#include "com_global.h"
#include "GlobalTypeU.h"
#include "ResourceStrings.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

class QDialog;
class QMdiArea;
class QMdiSubWindow;
class TAccessDetails;
class TChildDialog;
class TChildSubWindow;
class TErrorHandler;
class TMenuData;

// What becomes of a screen the user closes: stays open, is hidden (and can
// be shown again), or is released.
enum TCloseAction : std::uint8_t { caNone, caHide, caFree };

// Asked before a screen holding unsaved changes is closed by the user.
COM_EXPORT extern const Platform::ResourceString sMsgCloseUnsavedConfirm;

// The base of every business screen. A screen carries the menu entry that
// opened it (Data), a data mode that its registered controls follow (through
// AccessDetails), and a needs-saving test used before screens are closed
// together.
//
// Showing. A screen is constructed hidden, as a window of its own owned by
// AOwner, and is shown one of two ways:
//  - ShowChild() puts it in a sub-window of the owner's QMdiArea (created on
//    the first call; later calls show it again and bring it to the front);
//  - ShowModal() puts it in a dialog run through the dialog presenter, and
//    takes it back out, hidden, when the dialog ends; the caller releases it.
// Releasing a screen (delete) also removes its sub-window.
//
// Closing. Close(), the sub-window's or dialog's close button and Escape in
// the dialog ask FormCloseQuery (by default: confirm when IsNeedSaving), then,
// for a child window, FormClose decides what becomes of it (caFree by
// default). Releasing a screen directly asks nothing.
class COM_EXPORT TBaseChildFrm : public QWidget, public Platform::LocalizerListener
{
    Q_OBJECT
public:
    explicit TBaseChildFrm(QWidget *AOwner = nullptr);
    ~TBaseChildFrm() override;

    // The menu entry that opened the screen; set by the controller right
    // after construction. Not owned: the menu list owns it.
    TMenuData *Data = nullptr;
    // True from creation until the screen says otherwise.
    bool IsModified = true;
    bool IsLoading = false;
    bool IsInitLoad = false;
    // Created by the concrete screen when it needs one; released with the
    // screen.
    std::unique_ptr<TErrorHandler> ErrorHandler;

    // DataMode is dmAdd or dmEdit and IsModified is set.
    bool IsNeedSaving() const;
    // The mode held by the access details; setting it switches every
    // registered control at once.
    TDataMode DataMode() const;
    void SetDataMode(TDataMode AValue);
    TAccessDetails *AccessDetails() const { return FAccessDetails.get(); }

    // Read through Data each time; empty while Data is not set.
    QString TrCode() const;
    QString TrGroupId() const;
    // Item AIndex of the menu entry's comma-separated Params, trimmed; empty
    // when Params is empty (or Data not set). An index outside the items
    // raises Platform::Error.
    QString GetParams(int AIndex) const;

    // Shows the screen as a child window of AMdiArea, or of the first
    // QMdiArea found in the owner when none is given, and brings it to the
    // front, restored when minimized. Without any area it shows as a window
    // of its own. Does nothing while the screen is shown modally.
    void ShowChild(QMdiArea *AMdiArea = nullptr);
    void BringToFront();
    // Runs the screen modally; returns the modal result (Platform::
    // ModalResult). Closing without a result gives Cancel. A screen already
    // shown (child window or modal) is not shown again: ModalResult::None.
    int ShowModal();
    // Ends a modal showing with AModalResult, without asking FormCloseQuery:
    // the screen itself decided. Ignored when not shown modally.
    void SetModalResult(int AModalResult);
    // Closes the screen the way the user would; false when it stays open.
    bool Close();

    QWidget *Owner() const { return FOwner; }
    QMdiSubWindow *SubWindow() const;
    QDialog *ModalDialog() const;

    // Re-applies the screen's captions in the current language.
    void TranslationChanged() override = 0;

Q_SIGNALS:
    // The screen became the active window or the active child window.
    void FormActivate(TBaseChildFrm *ASender);
    // Emitted first thing while the screen is being released: Data and the
    // data mode can still be read.
    void FormDestroy(TBaseChildFrm *ASender);

protected:
    // By default refuses when IsNeedSaving and the user does not answer Yes
    // to sMsgCloseUnsavedConfirm.
    virtual void FormCloseQuery(bool &ACanClose);
    // AAction comes in as caFree.
    virtual void FormClose(TCloseAction &AAction);

    void closeEvent(QCloseEvent *AEvent) override;
    bool event(QEvent *AEvent) override;

    // How the child window is shown: without a frame, filling the area.
    bool FBorderless = false;
    bool FMaximized = false;

private:
    friend class TChildDialog;
    friend class TChildSubWindow;

    void FormCreate();
    // FormCloseQuery with errors shown instead of passed on.
    bool QueryClose();
    QMdiArea *FindMdiArea() const;

    QPointer<QWidget> FOwner;
    std::unique_ptr<TAccessDetails> FAccessDetails;
    TChildSubWindow *FSubWindow = nullptr;
    TChildDialog *FDialog = nullptr;
};

// What the open-screen registry (OpenedFormsU) asks of a screen: the menu id
// it was opened for (none while Data is not set) and whether it is the
// active one (its sub-window is the area's active one, or, shown as a
// window of its own, it is the active window).
COM_EXPORT std::optional<int> OpenedScreenMenuId(const TBaseChildFrm &AForm);
COM_EXPORT bool IsActiveScreen(const TBaseChildFrm &AForm);
