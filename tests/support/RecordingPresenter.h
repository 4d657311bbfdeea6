#pragma once

#include "DialogPresenter.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

// Records every message and modal dialog instead of showing it, and answers
// from a script. Install it with RecordingPresenter::install(); the returned
// pointer stays valid until another presenter is installed.
class RecordingPresenter : public Platform::DialogPresenter
{
public:
    struct Message
    {
        QString text;
        Platform::MessageKind kind;
        Platform::MessageButtons buttons;
    };
    struct Modal
    {
        QString className;
        QString objectName;
        QString title;
        int result = 0;
    };

    static RecordingPresenter *install();

    int showMessage(const QString &text, Platform::MessageKind kind, Platform::MessageButtons buttons) override;
    int showModal(QDialog &dialog) override;

    // Answers for the next messages, in order. Without one, a message is
    // answered with Ok when offered, else Yes, else the first button.
    void queueAnswer(int modalResult) { m_answers.push_back(modalResult); }
    // Drives a modal dialog (fill edits, click buttons, wait for requests)
    // and returns its result; without one, a modal dialog returns Cancel.
    // A script that leaves the dialog closed with a result returns that.
    std::function<int(QDialog &)> modalScript;
    // Runs as each message arrives, before it is answered (to see the state
    // of the screen behind it).
    std::function<void(const Message &)> onMessage;

    QList<Message> messages;
    QList<Modal> modals;
    QStringList texts() const;
    void clear();

private:
    std::deque<int> m_answers;
};
