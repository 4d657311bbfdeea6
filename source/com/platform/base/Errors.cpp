#include "Errors.h"

namespace Platform {

Error::Error(QString message)
    : m_message(std::move(message))
    , m_utf8(m_message.toUtf8())
{ }

Error::~Error() = default;

QString messageOf(const std::exception &e)
{
    if (auto *err = dynamic_cast<const Error *>(&e))
        return err->message();
    return QString::fromUtf8(e.what());
}

QString messageOf(const std::exception_ptr &e)
{
    if (!e)
        return {};
    try {
        std::rethrow_exception(e);
    } catch (const std::exception &ex) {
        return messageOf(ex);
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

} // namespace Platform
