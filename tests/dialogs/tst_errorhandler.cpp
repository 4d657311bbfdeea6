#include "ComDmU.h"
#include "ErrorHandlerU.h"
#include "Localizer.h"
#include "RecordingPresenter.h"
#include "TempAppFolder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using Platform::MessageButton;
using Platform::MessageButtons;
using Platform::MessageKind;

namespace {
const QString BadRequestUndefined = QStringLiteral("Bad Request.\r\nUdefined Error.");
}

class tst_ErrorHandler : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    // registries and validation messages
    void getErrMessageLookups();
    void keyFieldIndexFollowsKeyFlag();
    void validationErrors();

    // status dispatch
    void statusDialogs_data();
    void statusDialogs();
    void status400GoesToEnvelope();
    void otherStatusesNeedNoRegistry();

    // the error envelope
    void envelopes_data();
    void envelopes();
    void keyReplacedEveryTimeAndCaseSensitive();
    void joinedLinesQuoteAsDelimitedList();
    void notAnObject_data();
    void notAnObject();
    void malformedEnvelopes_data();
    void malformedEnvelopes();
    void largeAndDeepBodies();
    void undefinedLineFollowsLanguage();

private:
    RecordingPresenter *m_presenter = nullptr;
};

void tst_ErrorHandler::init()
{
    m_presenter = RecordingPresenter::install();
}

void tst_ErrorHandler::cleanup()
{
    ComDm->locLang->setLanguageIndex(-1);
    Platform::setDialogPresenter(nullptr);
    m_presenter = nullptr;
}

void tst_ErrorHandler::getErrMessageLookups()
{
    TErrorHandler h;
    h.AddErrMessage(QStringLiteral("vendor_name"), QStringLiteral("Vendor Name"), QStringLiteral("empty"),
                    QStringLiteral("cannot be empty."), false);
    h.AddErrMessage(QStringLiteral("VENDOR_NAME"), QStringLiteral("Second Caption"), QStringLiteral("Empty"),
                    QStringLiteral("second rule"), false);
    // names and rules without regard to case, the first registration wins
    QCOMPARE(h.GetErrMessage(QStringLiteral("Vendor_Name"), QStringLiteral("EMPTY")),
             QStringLiteral("Vendor Name cannot be empty."));
    // unregistered names give empty parts
    QCOMPARE(h.GetErrMessage(QStringLiteral("unknown"), QStringLiteral("empty")), QStringLiteral(" cannot be empty."));
    QCOMPARE(h.GetErrMessage(QStringLiteral("unknown"), QStringLiteral("unknown")), QStringLiteral(" "));
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_ErrorHandler::keyFieldIndexFollowsKeyFlag()
{
    TErrorHandler h;
    QCOMPARE(h.KeyFieldIndex(), 0);
    h.AddErrMessage(QStringLiteral("a"), QStringLiteral("A"), QString(), QString(), false);
    h.AddErrMessage(QStringLiteral("b"), QStringLiteral("B"), QString(), QString(), false);
    QCOMPARE(h.KeyFieldIndex(), 0);
    h.AddErrMessage(QStringLiteral("c"), QStringLiteral("C"), QString(), QString(), true);
    QCOMPARE(h.KeyFieldIndex(), 2);
    // a second registration of a name points at its first pair
    h.AddErrMessage(QStringLiteral("B"), QStringLiteral("B2"), QString(), QString(), true);
    QCOMPARE(h.KeyFieldIndex(), 1);
}

void tst_ErrorHandler::validationErrors()
{
    TErrorHandler h;
    QCOMPARE(h.ValidationErrors(), QString());
    h.AddErrMessage(QStringLiteral("code"), QStringLiteral("Code"), QStringLiteral("empty"),
                    QStringLiteral("cannot be empty."), false);
    h.AddErrMessage(QStringLiteral("q"), QStringLiteral("\"Quoted\" Field"), QStringLiteral("r"),
                    QStringLiteral("must be \"\"set\"\"."), false);
    h.AddErrMessage(QStringLiteral("m"), QStringLiteral("Multi\rLine"), QStringLiteral("plain"),
                    QStringLiteral("is wrong."), false);
    h.ValidationErrorsAdd(QStringLiteral("code"), QStringLiteral("empty"));
    QCOMPARE(h.ValidationErrors(), QStringLiteral("Code cannot be empty."));
    // joined with a carriage return, double quotes dropped, unknown names empty
    h.ValidationErrorsAdd(QStringLiteral("q"), QStringLiteral("r"));
    h.ValidationErrorsAdd(QStringLiteral("m"), QStringLiteral("plain"));
    h.ValidationErrorsAdd(QStringLiteral("nothing"), QStringLiteral("nothing"));
    QCOMPARE(h.ValidationErrors(),
             QStringLiteral("Code cannot be empty.\rQuoted Field must be set.\rMulti\rLine is wrong.\r "));
    QVERIFY(m_presenter->messages.isEmpty());

    // clearing keeps the registries
    h.ClearValidationErrors();
    QCOMPARE(h.ValidationErrors(), QString());
    h.ValidationErrorsAdd(QStringLiteral("code"), QStringLiteral("empty"));
    QCOMPARE(h.ValidationErrors(), QStringLiteral("Code cannot be empty."));
}

void tst_ErrorHandler::statusDialogs_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("shown");
    const QString json = QStringLiteral("{\"message\":\"token expired\"}");
    QTest::newRow("401 html") << 401 << QStringLiteral("<html>401</html>")
                              << QStringLiteral("Unauthorized or session has expired, please re-login.");
    QTest::newRow("404 text") << 404 << QStringLiteral("no route /x")
                              << QStringLiteral("Page Not Found.\r\nno route /x");
    QTest::newRow("404 empty") << 404 << QString() << QStringLiteral("Page Not Found.");
    QTest::newRow("403 raw json") << 403 << json << QStringLiteral("Forbidden.\r\n") + json;
    QTest::newRow("422 raw json") << 422 << json << QStringLiteral("Undefined client error.\r\n") + json;
    QTest::newRow("500 exception") << 500 << QStringLiteral("Connection refused")
                                   << QStringLiteral("Server Error.\r\nConnection refused");
    QTest::newRow("0") << 0 << QStringLiteral("Host not found") << QStringLiteral("Udefined Error.\r\nHost not found");
    QTest::newRow("-1 empty") << -1 << QString() << QStringLiteral("Udefined Error.");
}

void tst_ErrorHandler::statusDialogs()
{
    QFETCH(int, status);
    QFETCH(QString, body);
    QFETCH(QString, shown);
    TErrorHandler h;
    h.ShowErrorMessage(status, body);
    QCOMPARE(m_presenter->messages.size(), 1);
    QCOMPARE(m_presenter->messages.constFirst().text, shown);
    QCOMPARE(m_presenter->messages.constFirst().kind, MessageKind::Error);
    QCOMPARE(m_presenter->messages.constFirst().buttons, MessageButtons(MessageButton::Ok));
}

void tst_ErrorHandler::status400GoesToEnvelope()
{
    TErrorHandler h;
    h.AddErrMessage(QStringLiteral("name"), QStringLiteral("Vendor Name"), QString(), QString(), false);
    h.ShowErrorMessage(400, QStringLiteral(R"({"errors":[{"key":"name","message":"name must be filled"}]})"));
    h.ShowErrorMessage(400, QStringLiteral(R"({"message":"Duplicate code"})"));
    h.ShowErrorMessage(400, QStringLiteral("<html><body>Bad gateway</body></html>"));
    h.ShowErrorMessage(400, QStringLiteral(R"({"status":"fail"})"));
    QCOMPARE(m_presenter->texts(),
             QStringList({ QStringLiteral("Vendor Name must be filled"), QStringLiteral("Duplicate code"),
                           BadRequestUndefined }));
    for (const auto &m : std::as_const(m_presenter->messages)) {
        QCOMPARE(m.kind, MessageKind::Error);
        QCOMPARE(m.buttons, MessageButtons(MessageButton::Ok));
    }
}

void tst_ErrorHandler::otherStatusesNeedNoRegistry()
{
    TErrorHandler h;
    h.ShowErrorMessage(409, QStringLiteral(R"({"errors":[{"key":"name","message":"name taken"}]})"));
    QCOMPARE(m_presenter->texts(),
             QStringList({ QStringLiteral("Undefined client error.\r\n{\"errors\":[{\"key\":\"name\",\"message\":"
                                          "\"name taken\"}]}") }));
}

void tst_ErrorHandler::envelopes_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("two errors two lines")
        << QStringLiteral(R"({"errors":[{"key":"code","message":"code is taken"},{"key":"name","message":"name is required"}]})")
        << QStringList { QStringLiteral("Code is taken\rName is required") };
    QTest::newRow("key without caption vanishes") << QStringLiteral(R"({"errors":[{"key":"x","message":"x is required"}]})")
                                                  << QStringList { QStringLiteral(" is required") };
    QTest::newRow("errors win over message")
        << QStringLiteral(R"({"message":"Validation failed","errors":[{"key":"y","message":"bad value"}]})")
        << QStringList { QStringLiteral("bad value") };
    QTest::newRow("empty errors, empty dialog") << QStringLiteral(R"({"errors":[],"message":"ignored"})")
                                                << QStringList { QString() };
    // no key replacement on a general message
    QTest::newRow("message only") << QStringLiteral(R"({"message":"code \"A1\" exists"})")
                                  << QStringList { QStringLiteral("code \"A1\" exists") };
    QTest::newRow("neither") << QStringLiteral(R"({"status":400,"error":"x"})") << QStringList();
    QTest::newRow("empty object") << QStringLiteral(" { } ") << QStringList();
}

void tst_ErrorHandler::envelopes()
{
    QFETCH(QString, body);
    QFETCH(QStringList, shown);
    TErrorHandler h;
    h.AddErrMessage(QStringLiteral("code"), QStringLiteral("Code"), QString(), QString(), false);
    h.AddErrMessage(QStringLiteral("name"), QStringLiteral("Name"), QString(), QString(), false);
    h.ShowErrorMessage(body);
    QCOMPARE(m_presenter->texts(), shown);
    for (const auto &m : std::as_const(m_presenter->messages))
        QCOMPARE(m.kind, MessageKind::Error);
}

void tst_ErrorHandler::keyReplacedEveryTimeAndCaseSensitive()
{
    TErrorHandler h;
    h.AddErrMessage(QStringLiteral("qty"), QStringLiteral("Quantity"), QString(), QString(), false);
    h.ShowErrorMessage(QStringLiteral(R"({"errors":[{"key":"qty","message":"qty must not exceed max qty"}]})"));
    // the caption is found whatever the case of the key, but only the exact
    // spelling is replaced in the message
    h.ShowErrorMessage(QStringLiteral(R"({"errors":[{"key":"qty","message":"Qty is required"}]})"));
    h.ShowErrorMessage(QStringLiteral(R"({"errors":[{"key":"QTY","message":"QTY and qty"}]})"));
    QCOMPARE(m_presenter->texts(),
             QStringList({ QStringLiteral("Quantity must not exceed max Quantity"), QStringLiteral("Qty is required"),
                           QStringLiteral("Quantity and qty") }));
}

void tst_ErrorHandler::joinedLinesQuoteAsDelimitedList()
{
    // a line holding a double quote or a carriage return is quoted, its own
    // quotes doubled; other lines stay as they are
    TErrorHandler h;
    h.AddErrMessage(QStringLiteral("code"), QStringLiteral("Code"), QString(), QString(), false);
    QJsonArray errors;
    errors.append(QJsonObject { { QStringLiteral("key"), QStringLiteral("code") },
                                { QStringLiteral("message"), QStringLiteral("code \"A1\" is taken") } });
    errors.append(QJsonObject { { QStringLiteral("key"), QStringLiteral("x") },
                                { QStringLiteral("message"), QStringLiteral("first\rsecond") } });
    errors.append(QJsonObject { { QStringLiteral("key"), QStringLiteral("y") },
                                { QStringLiteral("message"), QStringLiteral("plain, with comma") } });
    h.ShowErrorMessage(QString::fromUtf8(QJsonDocument(QJsonObject { { QStringLiteral("errors"), errors } }).toJson()));
    QCOMPARE(m_presenter->texts(),
             QStringList({ QStringLiteral("\"Code \"\"A1\"\" is taken\"\r\"first\rsecond\"\rplain, with comma") }));
}

void tst_ErrorHandler::notAnObject_data()
{
    QTest::addColumn<QString>("body");
    QTest::newRow("html") << QStringLiteral("<!DOCTYPE html><html><head><title>502</title></head></html>");
    QTest::newRow("empty") << QString();
    QTest::newRow("array") << QStringLiteral(R"([{"message":"x"}])");
    QTest::newRow("string") << QStringLiteral("\"error\"");
    QTest::newRow("null") << QStringLiteral("null");
    QTest::newRow("truncated") << QStringLiteral(R"({"errors":[{"key":"a","mess)");
    QTest::newRow("plain text") << QStringLiteral("Internal error");
}

void tst_ErrorHandler::notAnObject()
{
    QFETCH(QString, body);
    TErrorHandler h;
    h.ShowErrorMessage(body);
    h.ShowErrorMessage(400, body);
    QCOMPARE(m_presenter->texts(), QStringList({ BadRequestUndefined, BadRequestUndefined }));
    QCOMPARE(m_presenter->messages.constFirst().kind, MessageKind::Error);
}

void tst_ErrorHandler::malformedEnvelopes_data()
{
    // What the server should never send but might: shown as far as it can be,
    // never thrown (this runs inside a completion handler on the event loop).
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("shown");
    const QStringList undefined { BadRequestUndefined };
    QTest::newRow("element without key") << QStringLiteral(R"({"errors":[{"message":"name is required"}]})")
                                         << QStringList { QStringLiteral("name is required") };
    QTest::newRow("key not a string") << QStringLiteral(R"({"errors":[{"key":5,"message":"5 is wrong"}]})")
                                      << QStringList { QStringLiteral("5 is wrong") };
    QTest::newRow("empty key") << QStringLiteral(R"({"errors":[{"key":"","message":"abc"}]})")
                               << QStringList { QStringLiteral("abc") };
    QTest::newRow("element without message") << QStringLiteral(R"({"errors":[{"key":"name"}]})") << undefined;
    QTest::newRow("message not a string") << QStringLiteral(R"({"errors":[{"key":"a","message":{"x":1}}]})")
                                          << undefined;
    QTest::newRow("element not an object") << QStringLiteral(R"({"errors":["name is required", 3, null, []]})")
                                           << undefined;
    QTest::newRow("good and bad elements")
        << QStringLiteral(R"({"errors":[{"key":"name"},{"key":"name","message":"name is required"},7]})")
        << QStringList { QStringLiteral("Vendor Name is required") };
    QTest::newRow("errors is an object") << QStringLiteral(R"({"errors":{"key":"name"},"message":"Invalid"})")
                                         << QStringList { QStringLiteral("Invalid") };
    QTest::newRow("errors is a string") << QStringLiteral(R"({"errors":"bad"})") << QStringList();
    QTest::newRow("top message a number") << QStringLiteral(R"({"message":404})") << undefined;
    QTest::newRow("top message an array") << QStringLiteral(R"({"message":["a","b"]})") << undefined;
}

void tst_ErrorHandler::malformedEnvelopes()
{
    QFETCH(QString, body);
    QFETCH(QStringList, shown);
    TErrorHandler h;
    h.AddErrMessage(QStringLiteral("name"), QStringLiteral("Vendor Name"), QString(), QString(), false);
    h.ShowErrorMessage(400, body);
    QCOMPARE(m_presenter->texts(), shown);
}

void tst_ErrorHandler::largeAndDeepBodies()
{
    TErrorHandler h;
    h.AddErrMessage(QStringLiteral("f"), QStringLiteral("Field"), QString(), QString(), false);

    QJsonArray errors;
    for (int i = 0; i < 20000; ++i)
        errors.append(QJsonObject { { QStringLiteral("key"), QStringLiteral("f") },
                                    { QStringLiteral("message"), QStringLiteral("f %1 bad").arg(i) } });
    h.ShowErrorMessage(400, QString::fromUtf8(QJsonDocument(QJsonObject { { QStringLiteral("errors"), errors } })
                                                  .toJson(QJsonDocument::Compact)));
    QCOMPARE(m_presenter->messages.size(), 1);
    const QStringList lines = m_presenter->messages.constFirst().text.split(QLatin1Char('\r'));
    QCOMPARE(lines.size(), 20000);
    QCOMPARE(lines.constFirst(), QStringLiteral("Field 0 bad"));
    QCOMPARE(lines.constLast(), QStringLiteral("Field 19999 bad"));

    // nesting far beyond what the parser accepts
    m_presenter->clear();
    const QString deep = QString(100000, QLatin1Char('[')) + QString(100000, QLatin1Char(']'));
    h.ShowErrorMessage(400, QStringLiteral("{\"errors\":") + deep + QLatin1Char('}'));
    h.ShowErrorMessage(400, deep);
    QCOMPARE(m_presenter->texts(), QStringList({ BadRequestUndefined, BadRequestUndefined }));
}

void tst_ErrorHandler::undefinedLineFollowsLanguage()
{
    TempAppFolder folder;
    folder.write(QStringLiteral("lang.ini"),
                 QStringLiteral("[id_ID]\nsMsgHttpBadRequest=Permintaan tidak valid.\n"
                                "sMsgHttpUndefinedError=Kesalahan yang tidak diketahui.\n"
                                "sMsgHttpUnauthorized=Sesi telah berakhir.\n")
                     .toUtf8());
    ComDm->locLang->reload();
    ComDm->locLang->setLanguageIndex(0);
    TErrorHandler h;
    h.ShowErrorMessage(400, QStringLiteral("<html/>"));
    h.ShowErrorMessage(401, QStringLiteral("{}"));
    QCOMPARE(m_presenter->texts(),
             QStringList({ QStringLiteral("Permintaan tidak valid.\r\nKesalahan yang tidak diketahui."),
                           QStringLiteral("Sesi telah berakhir.") }));
}

QTEST_GUILESS_MAIN(tst_ErrorHandler)
#include "tst_errorhandler.moc"
