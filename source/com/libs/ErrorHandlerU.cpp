#include "ErrorHandlerU.h"

#include "LangResU.h"
#include "MsgDlgU.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QChar CR(u'\r');
const QChar Quote(u'"');

// Joins lines as a carriage-return delimited list does: a line holding the
// delimiter or a double quote is quoted, its own quotes doubled.
QString joinDelimited(const QStringList &lines)
{
    QString result;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            result += CR;
        const QString &line = lines.at(i);
        if (line.contains(CR) || line.contains(Quote)) {
            QString doubled = line;
            doubled.replace(Quote, QStringLiteral("\"\""));
            result += Quote + doubled + Quote;
        } else {
            result += line;
        }
    }
    return result;
}

void showUndefinedBadRequest()
{
    MsgErr(400, sMsgHttpUndefinedError.text());
}

// An error page of a web server or proxy: its source means nothing to the user.
bool isMarkup(const QString &ABody)
{
    for (const QChar c : ABody) {
        if (!c.isSpace())
            return c == u'<';
    }
    return false;
}

bool isTransportFailureText(const QString &AText)
{
    for (const Platform::ResourceString *s : { &sMsgNoConnection, &sMsgNoAnswerInTime, &sMsgServerFailed,
                                               &sMsgWriteNoAnswerInTime, &sMsgWriteServerFailed }) {
        if (AText == s->text())
            return true;
    }
    return false;
}

} // namespace

TErrorHandler::TErrorHandler() = default;

TErrorHandler::~TErrorHandler() = default;

qsizetype TErrorHandler::indexOfName(const Pairs &APairs, const QString &AName)
{
    for (qsizetype i = 0; i < APairs.size(); ++i) {
        if (APairs.at(i).first.compare(AName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString TErrorHandler::valueOf(const Pairs &APairs, const QString &AName)
{
    const qsizetype i = indexOfName(APairs, AName);
    return i < 0 ? QString() : APairs.at(i).second;
}

void TErrorHandler::AddErrMessage(const QString &AField, const QString &AFieldCaption, const QString &AType,
                                  const QString &AMessage, const bool AKey)
{
    FField.append({ AField, AFieldCaption });
    if (AKey)
        FKeyFieldIndex = int(indexOfName(FField, AField));
    FErrMsg.append({ AType, AMessage });
}

QString TErrorHandler::GetErrMessage(const QString &AField, const QString &AType) const
{
    return valueOf(FField, AField) + QLatin1Char(' ') + valueOf(FErrMsg, AType);
}

void TErrorHandler::ValidationErrorsAdd(const QString &AField, const QString &AType)
{
    FValidationErrors.append(GetErrMessage(AField, AType));
}

QString TErrorHandler::ValidationErrors() const
{
    QString text = joinDelimited(FValidationErrors);
    text.remove(Quote);
    return text;
}

void TErrorHandler::ClearValidationErrors()
{
    FValidationErrors.clear();
}

void TErrorHandler::ShowErrorMessage(int AStatusCode, const QString &AMessage)
{
    switch (AStatusCode) {
    case 400: ShowErrorMessage(AMessage); break;
    case 401:
        // only the status text; the body means nothing to the user
        MsgErr(401, QString());
        break;
    default:
        // a request that got no answer, passed on by a caller's error
        // procedure: it says what happened, it is no server error
        if (AStatusCode == 500 && isTransportFailureText(AMessage))
            MsgErr(AMessage);
        else
            MsgErr(AStatusCode, isMarkup(AMessage) ? QString() : AMessage);
        break;
    }
}

bool TErrorHandler::IsErrorEnvelope(const QString &ABody)
{
    const QJsonDocument doc = QJsonDocument::fromJson(ABody.toUtf8());
    if (!doc.isObject())
        return false;
    const QJsonObject body = doc.object();
    return body.value(QLatin1String("errors")).isArray() || body.value(QLatin1String("message")).isString();
}

void TErrorHandler::ShowErrorBody(int AStatusCode, const QString &ABody)
{
    if (IsErrorEnvelope(ABody))
        ShowErrorMessage(ABody);
    else if (AStatusCode == 400)
        MsgErr(400, isMarkup(ABody) ? QString() : ABody);
    else
        ShowErrorMessage(AStatusCode, ABody);
}

QString TransportFailureText(Platform::TransportFailure AKind, const QString &ADetail)
{
    switch (AKind) {
    case Platform::TransportFailure::NoConnection: return sMsgNoConnection.text();
    case Platform::TransportFailure::Timeout: return sMsgNoAnswerInTime.text();
    case Platform::TransportFailure::BrokenAnswer: return sMsgServerFailed.text();
    case Platform::TransportFailure::Other: break;
    }
    return ADetail;
}

QString WriteFailureText(Platform::TransportFailure AKind, const QString &ADetail)
{
    switch (AKind) {
    case Platform::TransportFailure::Timeout: return sMsgWriteNoAnswerInTime.text();
    case Platform::TransportFailure::BrokenAnswer: return sMsgWriteServerFailed.text();
    default: return TransportFailureText(AKind, ADetail);
    }
}

void TErrorHandler::ShowErrorMessage(const QString &AJsonStr)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(AJsonStr.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        showUndefinedBadRequest();
        return;
    }
    const QJsonObject body = doc.object();

    const QJsonValue errors = body.value(QLatin1String("errors"));
    if (errors.isArray()) {
        const QJsonArray items = errors.toArray();
        QStringList lines;
        for (const QJsonValue &item : items) {
            // This runs in a request's completion handler on the event loop,
            // where nothing may throw: an element without a text "message"
            // is left out, one without a text "key" keeps its message as is.
            const QJsonObject element = item.toObject();
            const QJsonValue message = element.value(QLatin1String("message"));
            if (!message.isString())
                continue;
            QString line = message.toString();
            const QJsonValue key = element.value(QLatin1String("key"));
            // an empty key would put the caption between every character
            if (key.isString() && !key.toString().isEmpty())
                line.replace(key.toString(), valueOf(FField, key.toString()), Qt::CaseSensitive);
            lines.append(line);
        }
        if (lines.isEmpty() && !items.isEmpty()) {
            // nothing usable in what the server sent: still tell the user
            showUndefinedBadRequest();
            return;
        }
        MsgErr(joinDelimited(lines));
        return;
    }

    const QJsonValue message = body.value(QLatin1String("message"));
    if (message.isUndefined())
        return;
    if (message.isString())
        MsgErr(message.toString());
    else
        showUndefinedBadRequest();
}
