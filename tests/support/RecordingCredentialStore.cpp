#include "RecordingCredentialStore.h"

#include <QTimer>

using Platform::CredentialResult;

RecordingCredentialStore::RecordingCredentialStore() = default;
RecordingCredentialStore::~RecordingCredentialStore() = default;

RecordingCredentialStore *RecordingCredentialStore::install()
{
    auto store = std::make_unique<RecordingCredentialStore>();
    RecordingCredentialStore *raw = store.get();
    Platform::setCredentialStore(std::move(store));
    return raw;
}

void RecordingCredentialStore::answer(std::function<CredentialResult()> work, Done done)
{
    // the mode that counts is the one when the answer is given
    auto send = [this, work = std::move(work), done = std::move(done)] {
        CredentialResult result;
        if (mode == Mode::Refuse)
            result = CredentialResult { CredentialResult::Status::Failed, {}, QStringLiteral("Access denied") };
        else if (mode == Mode::Locked)
            result =
                CredentialResult { CredentialResult::Status::Failed, {}, QStringLiteral("The collection is locked") };
        else
            result = work();
        if (done)
            done(result);
    };
    if (hold)
        m_held.append(std::move(send));
    else
        QTimer::singleShot(0, &m_context, std::move(send));
}

void RecordingCredentialStore::release()
{
    const QList<std::function<void()>> held = std::exchange(m_held, {});
    for (const auto &send : held)
        QTimer::singleShot(0, &m_context, send);
}

void RecordingCredentialStore::read(const QString &service, const QString &key, Done done)
{
    calls.append(Call { Op::Read, service, key, {} });
    answer(
        [this, id = entry(service, key)] {
            const auto it = entries.constFind(id);
            if (it == entries.constEnd())
                return CredentialResult { CredentialResult::Status::NotFound, {}, {} };
            return CredentialResult { CredentialResult::Status::Ok, it.value(), {} };
        },
        std::move(done));
}

void RecordingCredentialStore::write(const QString &service, const QString &key, const QString &secret, Done done)
{
    calls.append(Call { Op::Write, service, key, secret });
    answer(
        [this, id = entry(service, key), secret] {
            entries.insert(id, secret);
            return CredentialResult { CredentialResult::Status::Ok, {}, {} };
        },
        std::move(done));
}

void RecordingCredentialStore::remove(const QString &service, const QString &key, Done done)
{
    calls.append(Call { Op::Remove, service, key, {} });
    answer(
        [this, id = entry(service, key)] {
            entries.remove(id);
            return CredentialResult { CredentialResult::Status::Ok, {}, {} };
        },
        std::move(done));
}

QList<RecordingCredentialStore::Call> RecordingCredentialStore::callsOf(Op op) const
{
    QList<Call> result;
    for (const Call &c : calls) {
        if (c.op == op)
            result.append(c);
    }
    return result;
}
