#pragma once

#include "CredentialStore.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// A credential store in memory that records every call and answers as the
// test scripts it: at once (on the next turn of the event loop), refusing,
// locked, or held back until release().
class RecordingCredentialStore : public Platform::CredentialStore
{
public:
    enum class Op { Read, Write, Remove };
    enum class Mode {
        Answer, // does what was asked
        Refuse, // fails with "Access denied"
        Locked, // fails as a locked collection does
    };
    struct Call
    {
        Op op;
        QString service;
        QString key;
        QString secret; // of a write
    };

    RecordingCredentialStore();
    ~RecordingCredentialStore() override;

    // Installs a new store as the process's store and returns it.
    static RecordingCredentialStore *install();

    void read(const QString &service, const QString &key, Done done) override;
    void write(const QString &service, const QString &key, const QString &secret, Done done) override;
    void remove(const QString &service, const QString &key, Done done) override;

    // What the store holds, by service and key.
    QHash<QString, QString> entries;
    QList<Call> calls;
    Mode mode = Mode::Answer;
    // Answers wait for release() (a slow store).
    bool hold = false;
    // Sends the held answers, in order.
    void release();
    int heldCount() const { return int(m_held.size()); }

    static QString entry(const QString &service, const QString &key) { return service + QLatin1Char('\n') + key; }
    QList<Call> callsOf(Op op) const;

private:
    void answer(std::function<Platform::CredentialResult()> work, Done done);

    QObject m_context; // answers die with the store
    QList<std::function<void()>> m_held;
};
