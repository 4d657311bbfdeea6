#pragma once

#include "com_global.h"
#include "ResourceStrings.h"

#include <QFlags>
#include <QString>
#include <memory>

class QDialog;
class QWidget;

namespace Platform {

// Modal results, numbered as the forms and the message functions return them.
namespace ModalResult {
enum : int {
    None = 0,
    Ok = 1,
    Cancel = 2,
    Abort = 3,
    Retry = 4,
    Ignore = 5,
    Yes = 6,
    No = 7,
    Close = 8,
    Help = 9,
    TryAgain = 10,
    Continue = 11,
    All = 12,
    NoToAll = 13,
    YesToAll = 14,
};
}

enum class MessageKind { Warning, Error, Information, Confirmation, Custom };

enum class MessageButton : unsigned {
    Yes = 0x1,
    No = 0x2,
    Ok = 0x4,
    Cancel = 0x8,
    Abort = 0x10,
    Retry = 0x20,
    Ignore = 0x40,
    All = 0x80,
    NoToAll = 0x100,
    YesToAll = 0x200,
    Help = 0x400,
    Close = 0x800,
};
Q_DECLARE_FLAGS(MessageButtons, MessageButton)
Q_DECLARE_OPERATORS_FOR_FLAGS(MessageButtons)

// Every message box and every modal form of the client is shown through the
// one presenter, so that tests can see what would be shown and answer it.
class COM_EXPORT DialogPresenter
{
public:
    virtual ~DialogPresenter();

    // Shows text of the given kind with the buttons; returns a ModalResult.
    virtual int showMessage(const QString &text, MessageKind kind, MessageButtons buttons) = 0;
    // Runs the dialog modally; returns its result (a ModalResult).
    virtual int showModal(QDialog &dialog) = 0;
};

// The default: Qt message boxes and QDialog::exec().
class COM_EXPORT WidgetDialogPresenter : public DialogPresenter
{
public:
    int showMessage(const QString &text, MessageKind kind, MessageButtons buttons) override;
    int showModal(QDialog &dialog) override;
};

COM_EXPORT DialogPresenter &dialogPresenter();
// Installs a presenter; nullptr brings the default back.
COM_EXPORT void setDialogPresenter(std::unique_ptr<DialogPresenter> presenter);

COM_EXPORT int modalResultOf(MessageButton button);

// The message boxes' titles and buttons, in the current language.
COM_EXPORT extern const ResourceString sMsgTitleWarning;
COM_EXPORT extern const ResourceString sMsgTitleError;
COM_EXPORT extern const ResourceString sMsgTitleInformation;
COM_EXPORT extern const ResourceString sMsgTitleConfirm;
COM_EXPORT extern const ResourceString sMsgButtonYes;
COM_EXPORT extern const ResourceString sMsgButtonNo;
COM_EXPORT extern const ResourceString sMsgButtonOk;
COM_EXPORT extern const ResourceString sMsgButtonCancel;
COM_EXPORT extern const ResourceString sMsgButtonAbort;
COM_EXPORT extern const ResourceString sMsgButtonRetry;
COM_EXPORT extern const ResourceString sMsgButtonIgnore;
COM_EXPORT extern const ResourceString sMsgButtonAll;
COM_EXPORT extern const ResourceString sMsgButtonNoToAll;
COM_EXPORT extern const ResourceString sMsgButtonYesToAll;
COM_EXPORT extern const ResourceString sMsgButtonHelp;
COM_EXPORT extern const ResourceString sMsgButtonClose;
// All of them, for registering with the repository.
COM_EXPORT QList<const ResourceString *> DialogResourceStrings();

// Gives the keyboard back to `window` once a window over it has gone, unless
// another visible window has it by now. Without a window manager (a bare X
// server) nothing else does; with one, it asks for what the window manager
// is about to do anyway.
COM_EXPORT void returnActivation(QWidget *window);

} // namespace Platform
