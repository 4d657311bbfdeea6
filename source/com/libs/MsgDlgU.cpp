#include "MsgDlgU.h"

#include "Errors.h"
#include "LangResU.h"

using Platform::MessageButton;
using Platform::MessageButtons;
using Platform::MessageKind;

namespace {

int show(const QString &text, MessageKind kind, MessageButtons buttons)
{
    return Platform::dialogPresenter().showMessage(text, kind, buttons);
}

} // namespace

int MsgInfo(TMsgInfoType AMsgInfoType)
{
    QString text;
    switch (AMsgInfoType) {
    case mitSaved: text = sMsgSaved.text(); break;
    case mitDeleted: text = sMsgDeleted.text(); break;
    }
    return show(text, MessageKind::Information, MessageButton::Ok);
}

int MsgConfirm(TMsgConfirmType AMsgConfirmType)
{
    QString text;
    switch (AMsgConfirmType) {
    case mctSave: text = sMsgSaveConfirm.text(); break;
    case mctDelete: text = sMsgDeleteConfirm.text(); break;
    case mctOpen: text = sMsgOpenConfirm.text(); break;
    case mctRelease: text = sMsgReleaseConfirm.text(); break;
    case mctAddNewData: text = sMsgAddNewConfirm.text(); break;
    }
    return show(text, MessageKind::Confirmation, MessageButton::Yes | MessageButton::No);
}

int MsgConfirm(const QString &AMsg, MessageButtons AButtons)
{
    return show(AMsg, MessageKind::Confirmation, AButtons);
}

int MsgErr(TMsgErrorType AMsgErrorType)
{
    QString text;
    switch (AMsgErrorType) {
    case metSessionExpired: text = sMsgSessionExpired.text(); break;
    case metDelete: text = sMsgDeleteError.text(); break;
    }
    return show(text, MessageKind::Error, MessageButton::Ok);
}

int MsgErr(const QString &AMsg)
{
    return show(AMsg, MessageKind::Error, MessageButton::Ok);
}

bool GuardUserAction(const std::function<void()> &AAction)
{
    try {
        AAction();
        return true;
    } catch (const std::exception &e) {
        MsgErr(Platform::messageOf(e));
    } catch (...) {
        MsgErr(sMsgHttpUndefinedError.text());
    }
    return false;
}

QString HttpStatusText(int AStatusCode)
{
    switch (AStatusCode) {
    case 400: return sMsgHttpBadRequest.text();
    case 401: return sMsgHttpUnauthorized.text();
    case 402: return sMsgHttpUndefinedClientError.text();
    case 403: return sMsgHttpForbidden.text();
    case 404: return sMsgHttpPageNotFound.text();
    default: break;
    }
    if (AStatusCode >= 405 && AStatusCode <= 499)
        return sMsgHttpUndefinedClientError.text();
    if (AStatusCode >= 500 && AStatusCode <= 599)
        return sMsgHttpServerError.text();
    return sMsgHttpUndefinedError.text();
}

int MsgErr(int AStatusCode, const QString &AMessage)
{
    QString text = HttpStatusText(AStatusCode);
    if (!AMessage.isEmpty())
        text += QStringLiteral("\r\n") + AMessage;
    return show(text, MessageKind::Error, MessageButton::Ok);
}
