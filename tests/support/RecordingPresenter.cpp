#include "RecordingPresenter.h"

#include <QDialog>

using namespace Platform;

RecordingPresenter *RecordingPresenter::install()
{
    auto presenter = std::make_unique<RecordingPresenter>();
    RecordingPresenter *raw = presenter.get();
    setDialogPresenter(std::move(presenter));
    return raw;
}

int RecordingPresenter::showMessage(const QString &text, MessageKind kind, MessageButtons buttons)
{
    messages.append(Message { text, kind, buttons });
    if (onMessage)
        onMessage(messages.constLast());
    if (!m_answers.empty()) {
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    if (buttons.testFlag(MessageButton::Ok) || !buttons)
        return ModalResult::Ok;
    if (buttons.testFlag(MessageButton::Yes))
        return ModalResult::Yes;
    for (unsigned bit = 1; bit <= unsigned(MessageButton::Close); bit <<= 1) {
        if (buttons.testFlag(MessageButton(bit)))
            return modalResultOf(MessageButton(bit));
    }
    return ModalResult::None;
}

int RecordingPresenter::showModal(QDialog &dialog)
{
    Modal m { QString::fromLatin1(dialog.metaObject()->className()), dialog.objectName(), dialog.windowTitle(), 0 };
    m.result = modalScript ? modalScript(dialog) : ModalResult::Cancel;
    modals.append(m);
    return m.result;
}

QStringList RecordingPresenter::texts() const
{
    QStringList result;
    for (const Message &m : messages)
        result.append(m.text);
    return result;
}

void RecordingPresenter::clear()
{
    messages.clear();
    modals.clear();
    m_answers.clear();
}
