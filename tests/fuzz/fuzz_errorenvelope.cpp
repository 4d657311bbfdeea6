// The error envelope of a refused request (status 400), as TErrorHandler
// shows it: never throws, shows at most one error message per response, and
// one whenever the body is not a JSON object or carries a usable "errors"
// array or a text "message".

#include "FuzzSupport.h"

#include "ErrorHandlerU.h"
#include "LangResU.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::application<QCoreApplication>();
    Fuzz::QuietPresenter &presenter = Fuzz::QuietPresenter::install();
    presenter.clear();

    // captions that hold their own key, are empty, or differ only in case
    static TErrorHandler handler;
    static const bool registered = [] {
        handler.AddErrMessage(QStringLiteral("name"), QStringLiteral("Customer name"), QStringLiteral("required"),
                              QStringLiteral("must be filled"), true);
        handler.AddErrMessage(QStringLiteral("a"), QStringLiteral("aa"), QStringLiteral("r"), QString(), false);
        handler.AddErrMessage(QStringLiteral("Name"), QStringLiteral("ignored: first wins"), QString(), QString(),
                              false);
        handler.AddErrMessage(QStringLiteral("\""), QStringLiteral("\"\r\""), QString(), QString(), false);
        return true;
    }();
    Q_UNUSED(registered);

    const QByteArray body = Fuzz::bytes(data, size);
    const QString text = QString::fromUtf8(body);
    try {
        handler.ShowErrorMessage(400, text);
    } catch (...) {
        FUZZ_CHECK(false, QStringLiteral("ShowErrorMessage threw on %1").arg(text));
    }
    FUZZ_CHECK(presenter.texts.size() <= 1, QStringLiteral("%1 messages for one response").arg(presenter.texts.size()));
    FUZZ_CHECK(presenter.modals == 0, QStringLiteral("a modal dialog for an error"));

    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    const bool object = error.error == QJsonParseError::NoError && doc.isObject();
    const QString undefined = sMsgHttpUndefinedError.text();
    if (!object) {
        FUZZ_CHECK(presenter.texts.size() == 1 && presenter.texts.constFirst().contains(undefined),
                   QStringLiteral("not an object, yet no \"%1\" dialog: %2").arg(undefined, text));
        return 0;
    }
    const QJsonObject root = doc.object();
    const QJsonValue errors = root.value(QLatin1String("errors"));
    if (errors.isArray()) {
        FUZZ_CHECK(presenter.texts.size() == 1, QStringLiteral("an errors array shows nothing: %1").arg(text));
        // every text message shows up, with the captions in place of the keys
        for (const QJsonValue &item : errors.toArray()) {
            const QJsonObject element = item.toObject();
            if (element.value(QLatin1String("message")).isString() && !element.contains(QLatin1String("key"))) {
                const QString message = element.value(QLatin1String("message")).toString();
                if (!message.contains(QLatin1Char('"')) && !message.contains(QLatin1Char('\r')))
                    FUZZ_CHECK(presenter.texts.constFirst().contains(message),
                               QStringLiteral("message \"%1\" lost from %2").arg(message, text));
            }
        }
    } else if (root.value(QLatin1String("message")).isString()) {
        FUZZ_CHECK(presenter.texts.size() == 1
                       && presenter.texts.constFirst().contains(root.value(QLatin1String("message")).toString()),
                   QStringLiteral("message not shown: %1").arg(text));
    } else if (root.contains(QLatin1String("message"))) {
        FUZZ_CHECK(presenter.texts.size() == 1,
                   QStringLiteral("a message that is no text shows nothing: %1").arg(text));
    } else {
        FUZZ_CHECK(presenter.texts.isEmpty(), QStringLiteral("shown without errors or message: %1").arg(text));
    }
    return 0;
}
