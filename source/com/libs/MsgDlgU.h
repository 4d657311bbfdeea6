#pragma once

#include "com_global.h"
#include "DialogPresenter.h"

#include <QString>
#include <functional>

// The standard messages of the client. Every text is fetched in the current
// language at the moment of the call; every function shows one modal
// message through the dialog presenter and returns its modal result
// (Platform::ModalResult: Ok 1, Yes 6, No 7).

enum TMsgInfoType : int { mitSaved, mitDeleted };
enum TMsgConfirmType : int { mctSave, mctDelete, mctOpen, mctRelease, mctAddNewData };
enum TMsgErrorType : int { metSessionExpired, metDelete };

// "Data has been saved." / "Data has been deleted."; information, OK.
COM_EXPORT int MsgInfo(TMsgInfoType AMsgInfoType);
// The confirmation of AMsgConfirmType; confirmation, Yes and No.
COM_EXPORT int MsgConfirm(TMsgConfirmType AMsgConfirmType);
// AMsg unchanged with the buttons given; confirmation.
COM_EXPORT int MsgConfirm(const QString &AMsg, Platform::MessageButtons AButtons);
// "Session has expired, please re-login." / "Delete failed."; error, OK.
COM_EXPORT int MsgErr(TMsgErrorType AMsgErrorType);
// AMsg unchanged; error, OK.
COM_EXPORT int MsgErr(const QString &AMsg);
// The text of the HTTP status, then CR LF and AMessage when AMessage is not
// empty; error, OK.
COM_EXPORT int MsgErr(int AStatusCode, const QString &AMessage);

// Runs what a user action does (a click, a key, an edit). Whatever it
// raises is shown in an error box: the message of a std::exception, the
// current-language sMsgHttpUndefinedError for anything else. Nothing may
// escape into Qt's event loop, which cannot carry it. False when it failed.
COM_EXPORT bool GuardUserAction(const std::function<void()> &AAction);

// The current-language status text that MsgErr(AStatusCode, ...) shows.
COM_EXPORT QString HttpStatusText(int AStatusCode);
