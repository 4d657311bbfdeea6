#pragma once

#include "com_global.h"
#include "Errors.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Turns a refused REST request into the error dialog and composes the
// client-side validation messages of one screen from two registries filled
// once: the captions of its input fields and the text of each kind of rule.
// Look-ups by name ignore letter case and the first registration wins.
class COM_EXPORT TErrorHandler
{
public:
    TErrorHandler();
    ~TErrorHandler();
    TErrorHandler(const TErrorHandler &) = delete;
    TErrorHandler &operator=(const TErrorHandler &) = delete;

    // Registers AField = AFieldCaption and AType = AMessage. Empty strings
    // make empty pairs.
    void AddErrMessage(const QString &AField, const QString &AFieldCaption, const QString &AType,
                       const QString &AMessage, const bool AKey);
    // The caption of AField, one blank, the message of AType; an unknown name
    // gives an empty part, the blank is always there.
    QString GetErrMessage(const QString &AField, const QString &AType) const;
    void ValidationErrorsAdd(const QString &AField, const QString &AType);
    // The lines joined with a carriage return, without any double quote.
    QString ValidationErrors() const;
    void ClearValidationErrors();

    // AMessage is the response body, or the exception text with status 500.
    // A body of markup (an HTML error page) is not shown: the status text
    // says it.
    void ShowErrorMessage(int AStatusCode, const QString &AMessage);
    // A refused request whose body may or may not be the error envelope:
    // the envelope is shown as the server wrote it, anything else as the
    // status dialog above.
    void ShowErrorBody(int AStatusCode, const QString &ABody);
    // Shows the error envelope of a refused request ("errors" with "key" and
    // "message", or "message"). Never throws on any input.
    void ShowErrorMessage(const QString &AJsonStr);

    int KeyFieldIndex() const { return FKeyFieldIndex; }

    // True when ABody carries the error envelope ("errors" array or a text
    // "message").
    static bool IsErrorEnvelope(const QString &ABody);

private:
    using Pairs = QList<QPair<QString, QString>>;
    static qsizetype indexOfName(const Pairs &APairs, const QString &AName);
    static QString valueOf(const Pairs &APairs, const QString &AName);

    int FKeyFieldIndex = 0;
    Pairs FField;
    Pairs FErrMsg;
    QStringList FValidationErrors;
};

// What to tell the user when a request got no answer: the kind in the
// current language; the technical text only when the kind says nothing.
COM_EXPORT QString TransportFailureText(Platform::TransportFailure AKind, const QString &ADetail);
// The same for a write (POST, PATCH, PUT, DELETE): once sent, it may have
// been applied, so the user checks before sending it again.
COM_EXPORT QString WriteFailureText(Platform::TransportFailure AKind, const QString &ADetail);
