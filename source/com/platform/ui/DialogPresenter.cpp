#include "DialogPresenter.h"

#include <QDialog>
#include <QMessageBox>
#include <QApplication>

#include <QAbstractButton>
#include <QPointer>

namespace Platform {

namespace {

// Gives the keyboard back, when a modal window closes, to the window that
// had it before (see returnActivation).
class ActivationReturn
{
public:
    explicit ActivationReturn(const QWidget *modal)
        : m_window(windowUnder(modal))
    { }
    ~ActivationReturn() { returnActivation(m_window); }
    ActivationReturn(const ActivationReturn &) = delete;
    ActivationReturn &operator=(const ActivationReturn &) = delete;

private:
    // A window closed just before (a pick list, then the preview) may still
    // count as the active one, or none may yet: the window system has not
    // told that the keyboard went back. The modal window under the new one
    // is where it goes, else the window it is shown over.
    static QWidget *windowUnder(const QWidget *modal)
    {
        QWidget *active = QApplication::activeWindow();
        if (active && active->isVisible())
            return active;
        if (QWidget *below = QApplication::activeModalWidget(); below && below != modal && below->isVisible())
            return below;
        if (const QWidget *parent = modal->parentWidget(); parent && parent->window()->isVisible())
            return parent->window();
        return active;
    }

    QPointer<QWidget> m_window;
};

} // namespace

const ResourceString sMsgTitleWarning = { "sMsgTitleWarning", "Warning" };
const ResourceString sMsgTitleError = { "sMsgTitleError", "Error" };
const ResourceString sMsgTitleInformation = { "sMsgTitleInformation", "Information" };
const ResourceString sMsgTitleConfirm = { "sMsgTitleConfirm", "Confirm" };
const ResourceString sMsgButtonYes = { "sMsgButtonYes", "&Yes" };
const ResourceString sMsgButtonNo = { "sMsgButtonNo", "&No" };
const ResourceString sMsgButtonOk = { "sMsgButtonOk", "OK" };
const ResourceString sMsgButtonCancel = { "sMsgButtonCancel", "Cancel" };
const ResourceString sMsgButtonAbort = { "sMsgButtonAbort", "&Abort" };
const ResourceString sMsgButtonRetry = { "sMsgButtonRetry", "&Retry" };
const ResourceString sMsgButtonIgnore = { "sMsgButtonIgnore", "&Ignore" };
const ResourceString sMsgButtonAll = { "sMsgButtonAll", "&All" };
const ResourceString sMsgButtonNoToAll = { "sMsgButtonNoToAll", "N&o to All" };
const ResourceString sMsgButtonYesToAll = { "sMsgButtonYesToAll", "Yes to &All" };
const ResourceString sMsgButtonHelp = { "sMsgButtonHelp", "&Help" };
const ResourceString sMsgButtonClose = { "sMsgButtonClose", "&Close" };

QList<const ResourceString *> DialogResourceStrings()
{
    return { &sMsgTitleWarning,  &sMsgTitleError,     &sMsgTitleInformation, &sMsgTitleConfirm,
             &sMsgButtonYes,     &sMsgButtonNo,       &sMsgButtonOk,         &sMsgButtonCancel,
             &sMsgButtonAbort,   &sMsgButtonRetry,    &sMsgButtonIgnore,     &sMsgButtonAll,
             &sMsgButtonNoToAll, &sMsgButtonYesToAll, &sMsgButtonHelp,       &sMsgButtonClose };
}

namespace {

std::unique_ptr<DialogPresenter> &installedPresenter()
{
    static std::unique_ptr<DialogPresenter> presenter;
    return presenter;
}

struct ButtonMap
{
    MessageButton ours;
    QMessageBox::StandardButton qt;
    const ResourceString *caption;
};

const ButtonMap buttonMap[] = {
    { MessageButton::Yes, QMessageBox::Yes, &sMsgButtonYes },
    { MessageButton::No, QMessageBox::No, &sMsgButtonNo },
    { MessageButton::Ok, QMessageBox::Ok, &sMsgButtonOk },
    { MessageButton::Cancel, QMessageBox::Cancel, &sMsgButtonCancel },
    { MessageButton::Abort, QMessageBox::Abort, &sMsgButtonAbort },
    { MessageButton::Retry, QMessageBox::Retry, &sMsgButtonRetry },
    { MessageButton::Ignore, QMessageBox::Ignore, &sMsgButtonIgnore },
    { MessageButton::All, QMessageBox::YesToAll, &sMsgButtonAll }, // Qt has no plain "All"
    { MessageButton::NoToAll, QMessageBox::NoToAll, &sMsgButtonNoToAll },
    { MessageButton::YesToAll, QMessageBox::YesToAll, &sMsgButtonYesToAll },
    { MessageButton::Help, QMessageBox::Help, &sMsgButtonHelp },
    { MessageButton::Close, QMessageBox::Close, &sMsgButtonClose },
};

} // namespace

DialogPresenter::~DialogPresenter() = default;

int modalResultOf(MessageButton button)
{
    switch (button) {
    case MessageButton::Yes: return ModalResult::Yes;
    case MessageButton::No: return ModalResult::No;
    case MessageButton::Ok: return ModalResult::Ok;
    case MessageButton::Cancel: return ModalResult::Cancel;
    case MessageButton::Abort: return ModalResult::Abort;
    case MessageButton::Retry: return ModalResult::Retry;
    case MessageButton::Ignore: return ModalResult::Ignore;
    case MessageButton::All: return ModalResult::All;
    case MessageButton::NoToAll: return ModalResult::NoToAll;
    case MessageButton::YesToAll: return ModalResult::YesToAll;
    case MessageButton::Help: return ModalResult::Help;
    case MessageButton::Close: return ModalResult::Close;
    }
    return ModalResult::None;
}

int WidgetDialogPresenter::showMessage(const QString &text, MessageKind kind, MessageButtons buttons)
{
    QMessageBox box(QApplication::activeWindow());
    QString title;
    switch (kind) {
    case MessageKind::Warning:
        box.setIcon(QMessageBox::Warning);
        title = sMsgTitleWarning.text();
        break;
    case MessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        title = sMsgTitleError.text();
        break;
    case MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        title = sMsgTitleInformation.text();
        break;
    case MessageKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        title = sMsgTitleConfirm.text();
        break;
    case MessageKind::Custom:
        box.setIcon(QMessageBox::NoIcon);
        title = QApplication::applicationDisplayName();
        break;
    }
    box.setWindowTitle(title);
    // The texts use a bare carriage return between lines.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(shown);
    QMessageBox::StandardButtons qtButtons;
    for (const ButtonMap &m : buttonMap) {
        if (buttons.testFlag(m.ours))
            qtButtons |= m.qt;
    }
    if (!qtButtons) {
        qtButtons = QMessageBox::Ok;
        buttons = MessageButton::Ok;
    }
    box.setStandardButtons(qtButtons);
    // the toolkit's own captions follow the system, ours the user's language
    for (const ButtonMap &m : buttonMap) {
        if (buttons.testFlag(m.ours))
            if (QAbstractButton *b = box.button(m.qt))
                b->setText(m.caption->text());
    }
    const ActivationReturn activation(&box);
    const int pressed = box.exec();
    for (const ButtonMap &m : buttonMap) {
        if (pressed == m.qt && buttons.testFlag(m.ours))
            return modalResultOf(m.ours);
    }
    return pressed == QMessageBox::Ok ? ModalResult::Ok : ModalResult::Cancel;
}

int WidgetDialogPresenter::showModal(QDialog &dialog)
{
    const ActivationReturn activation(&dialog);
    return dialog.exec();
}

void returnActivation(QWidget *window)
{
    const QWidget *now = QApplication::activeWindow();
    if (window && window->isVisible() && (!now || !now->isVisible()))
        window->activateWindow();
}

DialogPresenter &dialogPresenter()
{
    auto &p = installedPresenter();
    if (!p)
        p = std::make_unique<WidgetDialogPresenter>();
    return *p;
}

void setDialogPresenter(std::unique_ptr<DialogPresenter> presenter)
{
    installedPresenter() = std::move(presenter);
}

} // namespace Platform
