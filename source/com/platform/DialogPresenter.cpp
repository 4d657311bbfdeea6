#include "DialogPresenter.h"

#include <QDialog>
#include <QMessageBox>
#include <QApplication>

namespace Platform {

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
};

constexpr ButtonMap buttonMap[] = {
    { MessageButton::Yes, QMessageBox::Yes },
    { MessageButton::No, QMessageBox::No },
    { MessageButton::Ok, QMessageBox::Ok },
    { MessageButton::Cancel, QMessageBox::Cancel },
    { MessageButton::Abort, QMessageBox::Abort },
    { MessageButton::Retry, QMessageBox::Retry },
    { MessageButton::Ignore, QMessageBox::Ignore },
    { MessageButton::All, QMessageBox::YesToAll }, // Qt has no plain "All"
    { MessageButton::NoToAll, QMessageBox::NoToAll },
    { MessageButton::YesToAll, QMessageBox::YesToAll },
    { MessageButton::Help, QMessageBox::Help },
    { MessageButton::Close, QMessageBox::Close },
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
        title = QStringLiteral("Warning");
        break;
    case MessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        title = QStringLiteral("Error");
        break;
    case MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        title = QStringLiteral("Information");
        break;
    case MessageKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        title = QStringLiteral("Confirm");
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
    if (!qtButtons)
        qtButtons = QMessageBox::Ok;
    box.setStandardButtons(qtButtons);
    const int pressed = box.exec();
    for (const ButtonMap &m : buttonMap) {
        if (pressed == m.qt && buttons.testFlag(m.ours))
            return modalResultOf(m.ours);
    }
    return pressed == QMessageBox::Ok ? ModalResult::Ok : ModalResult::Cancel;
}

int WidgetDialogPresenter::showModal(QDialog &dialog)
{
    return dialog.exec();
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
