// The message boxes and the error handler, through the replaceable presenter.
#include "ComDmU.h"
#include "ErrorHandlerU.h"
#include "LangResU.h"
#include "Localizer.h"
#include "MsgDlgU.h"
#include "RecordingPresenter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QMessageBox>
#include <QtTest>

using Platform::MessageButton;
using Platform::MessageButtons;
using Platform::MessageKind;
namespace ModalResult = Platform::ModalResult;

namespace {
const QString BadRequestUndefined = QStringLiteral("Bad Request.\r\nUdefined Error.");

void registerFields(TErrorHandler &AHandler)
{
    AHandler.AddErrMessage(QStringLiteral("code"), QStringLiteral("Code"), QString(), QString(), false);
    AHandler.AddErrMessage(QStringLiteral("name"), QStringLiteral("Vendor Name"), QString(), QString(), false);
}
} // namespace

class tst_Messages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void infoAndConfirmReturnThePresentersAnswer();
    void errStatus_data();
    void errStatus();
    void statusDialogs_data();
    void statusDialogs();
    void envelopes_data();
    void envelopes();
    void validationMessages();
    void boxTitleAndButtonsFollowTheLanguage();
    void noAnswerToldInTheUsersLanguage();
    void keyboardGoesBackToTheWindowUnderTheBox();
    void errorBodies_data();
    void errorBodies();

private:
    RecordingPresenter *m_presenter = nullptr;
};

void tst_Messages::init()
{
    m_presenter = RecordingPresenter::install();
}

void tst_Messages::cleanup()
{
    Platform::setDialogPresenter(nullptr);
    m_presenter = nullptr;
}

void tst_Messages::infoAndConfirmReturnThePresentersAnswer()
{
    const MessageButtons yesNoCancel = MessageButton::Yes | MessageButton::No | MessageButton::Cancel;
    QCOMPARE(MsgInfo(mitSaved), int(ModalResult::Ok));
    m_presenter->queueAnswer(ModalResult::No);
    QCOMPARE(MsgConfirm(mctDelete), int(ModalResult::No));
    m_presenter->queueAnswer(ModalResult::Cancel);
    QCOMPARE(MsgConfirm(QStringLiteral("Close 3 screens?"), yesNoCancel), int(ModalResult::Cancel));
    QCOMPARE(m_presenter->texts(),
             QStringList({ QStringLiteral("Data has been saved."), QStringLiteral("Are you sure to delete this data?"),
                           QStringLiteral("Close 3 screens?") }));
    const auto &m = m_presenter->messages;
    QCOMPARE(m.at(0).kind, MessageKind::Information);
    QCOMPARE(m.at(1).kind, MessageKind::Confirmation);
    QCOMPARE(m.at(1).buttons, MessageButtons(MessageButton::Yes | MessageButton::No));
    QCOMPARE(m.at(2).buttons, yesNoCancel);
}

void tst_Messages::errStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("statusText");
    const QString clientError = QStringLiteral("Undefined client error.");
    const QString undefined = QStringLiteral("Udefined Error.");
    QTest::newRow("400") << 400 << QStringLiteral("Bad Request.");
    QTest::newRow("401") << 401 << QStringLiteral("Unauthorized or session has expired, please re-login.");
    QTest::newRow("403") << 403 << QStringLiteral("Forbidden.");
    QTest::newRow("404") << 404 << QStringLiteral("Page Not Found.");
    QTest::newRow("499") << 499 << clientError;
    QTest::newRow("500") << 500 << QStringLiteral("Server Error.");
    QTest::newRow("0") << 0 << undefined;
    QTest::newRow("600") << 600 << undefined;
}

void tst_Messages::errStatus()
{
    QFETCH(int, status);
    QFETCH(QString, statusText);
    QCOMPARE(HttpStatusText(status), statusText);
    QCOMPARE(MsgErr(status, QStringLiteral("x")), int(ModalResult::Ok));
    QCOMPARE(MsgErr(status, QString()), int(ModalResult::Ok));
    // the detail follows on its own line; without one, the status text alone
    QCOMPARE(m_presenter->texts(), QStringList({ statusText + QStringLiteral("\r\nx"), statusText }));
    for (const auto &m : std::as_const(m_presenter->messages)) {
        QCOMPARE(m.kind, MessageKind::Error);
        QCOMPARE(m.buttons, MessageButtons(MessageButton::Ok));
    }
}

void tst_Messages::statusDialogs_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("shown");
    const QString json = QStringLiteral(R"({"errors":[{"key":"name","message":"name taken"}]})");
    QTest::newRow("401 html") << 401 << QStringLiteral("<html>401</html>")
                              << QStringLiteral("Unauthorized or session has expired, please re-login.");
    // only a 400 is read as an envelope; others show the body as it came
    QTest::newRow("403 raw json") << 403 << json << QStringLiteral("Forbidden.\r\n") + json;
    QTest::newRow("409 raw json") << 409 << json << QStringLiteral("Undefined client error.\r\n") + json;
    QTest::newRow("400 envelope") << 400 << json << QStringLiteral("Vendor Name taken");
    QTest::newRow("400 html") << 400 << QStringLiteral("<html><body>Bad gateway</body></html>") << BadRequestUndefined;
    QTest::newRow("500") << 500 << QStringLiteral("Connection refused")
                         << QStringLiteral("Server Error.\r\nConnection refused");
    // an error page's source means nothing to the user: the status says it
    QTest::newRow("500 error page") << 500 << QStringLiteral("<!DOCTYPE html><html><body>oops</body></html>")
                                    << QStringLiteral("Server Error.");
    QTest::newRow("404 error page") << 404 << QStringLiteral("\r\n  <html><h1>Not Found</h1></html>")
                                    << QStringLiteral("Page Not Found.");
    // no answer, handed on by a caller's error procedure: no server error
    QTest::newRow("500 no connection") << 500 << sMsgNoConnection.text() << sMsgNoConnection.text();
}

void tst_Messages::statusDialogs()
{
    QFETCH(int, status);
    QFETCH(QString, body);
    QFETCH(QString, shown);
    TErrorHandler h;
    registerFields(h);
    h.ShowErrorMessage(status, body);
    QCOMPARE(m_presenter->texts(), QStringList { shown });
    QCOMPARE(m_presenter->messages.constFirst().kind, MessageKind::Error);
    QCOMPARE(m_presenter->messages.constFirst().buttons, MessageButtons(MessageButton::Ok));
}

void tst_Messages::envelopes_data()
{
    // What a 400 carries, well formed or not: shown as far as it can be and
    // never thrown (this runs inside a completion handler on the event loop).
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("shown");
    const QStringList undefined { BadRequestUndefined };
    QTest::newRow("two errors two lines") << QStringLiteral(R"({"errors":[{"key":"code","message":"code is taken"},)"
                                                            R"({"key":"name","message":"name is required"}]})")
                                          << QStringList { QStringLiteral("Code is taken\rVendor Name is required") };
    QTest::newRow("key replaced every time, exact spelling only")
        << QStringLiteral(R"({"errors":[{"key":"CODE","message":"CODE and CODE, not code"}]})")
        << QStringList { QStringLiteral("Code and Code, not code") };
    QTest::newRow("quoted lines")
        << QStringLiteral(R"({"errors":[{"key":"code","message":"code \"A1\" is taken"},{"key":"y","message":"a\rb"},)"
                          R"({"key":"y","message":"plain, with comma"}]})")
        << QStringList { QStringLiteral("\"Code \"\"A1\"\" is taken\"\r\"a\rb\"\rplain, with comma") };
    QTest::newRow("errors win over message")
        << QStringLiteral(R"({"message":"Validation failed","errors":[{"key":"y","message":"bad value"}]})")
        << QStringList { QStringLiteral("bad value") };
    QTest::newRow("message only") << QStringLiteral(R"({"message":"code \"A1\" exists"})")
                                  << QStringList { QStringLiteral("code \"A1\" exists") };
    QTest::newRow("neither") << QStringLiteral(R"({"status":400,"error":"x"})") << QStringList();
    QTest::newRow("html") << QStringLiteral("<!DOCTYPE html><html></html>") << undefined;
    QTest::newRow("truncated") << QStringLiteral(R"({"errors":[{"key":"a","mess)") << undefined;
    QTest::newRow("element without key") << QStringLiteral(R"({"errors":[{"message":"name is required"}]})")
                                         << QStringList { QStringLiteral("name is required") };
    QTest::newRow("element without message") << QStringLiteral(R"({"errors":[{"key":"name"}]})") << undefined;
    QTest::newRow("element not an object")
        << QStringLiteral(R"({"errors":["name is required", 3, null, []]})") << undefined;
    QTest::newRow("good and bad elements")
        << QStringLiteral(R"({"errors":[{"key":"name"},{"key":"name","message":"name is required"},7]})")
        << QStringList { QStringLiteral("Vendor Name is required") };
    QTest::newRow("errors is an object") << QStringLiteral(R"({"errors":{"key":"name"},"message":"Invalid"})")
                                         << QStringList { QStringLiteral("Invalid") };
    const QString deep = QString(100000, QLatin1Char('[')) + QString(100000, QLatin1Char(']'));
    QTest::newRow("nesting beyond the parser") << QStringLiteral("{\"errors\":") + deep + QLatin1Char('}') << undefined;
}

void tst_Messages::envelopes()
{
    QFETCH(QString, body);
    QFETCH(QStringList, shown);
    TErrorHandler h;
    registerFields(h);
    // both forms: the body alone, and the body of a 400
    h.ShowErrorMessage(body);
    QCOMPARE(m_presenter->texts(), shown);
    m_presenter->clear();
    h.ShowErrorMessage(400, body);
    QCOMPARE(m_presenter->texts(), shown);
    for (const auto &m : std::as_const(m_presenter->messages))
        QCOMPARE(m.kind, MessageKind::Error);
}

// Given a screen that registers its fields and rules once, when a save finds
// empty and malformed fields, then one error box lists a line per failure,
// captions and rule texts as registered, and the next save starts afresh.
void tst_Messages::validationMessages()
{
    TErrorHandler h;
    h.AddErrMessage(QStringLiteral("partner_code"), QStringLiteral("Code"), QStringLiteral("empty"),
                    QStringLiteral("cannot be empty."), false);
    h.AddErrMessage(QStringLiteral("partner_name"), QStringLiteral("Customer Name"), QStringLiteral("email"),
                    QStringLiteral("is not a valid e-mail address."), true);
    h.AddErrMessage(QStringLiteral("email"), QStringLiteral("\"Billing\" E-mail"), QString(), QString(), false);
    // registered again: the first registration keeps winning
    h.AddErrMessage(QStringLiteral("PARTNER_CODE"), QStringLiteral("Other"), QStringLiteral("EMPTY"),
                    QStringLiteral("other rule."), true);
    QCOMPARE(h.KeyFieldIndex(), 0); // the first pair named partner_code

    QCOMPARE(h.GetErrMessage(QStringLiteral("Partner_Name"), QStringLiteral("Empty")),
             QStringLiteral("Customer Name cannot be empty."));
    QCOMPARE(h.GetErrMessage(QStringLiteral("unknown"), QStringLiteral("empty")), QStringLiteral(" cannot be empty."));
    QCOMPARE(h.GetErrMessage(QStringLiteral("partner_code"), QStringLiteral("unknown")), QStringLiteral("Code "));

    h.ClearValidationErrors();
    QCOMPARE(h.ValidationErrors(), QString());
    h.ValidationErrorsAdd(QStringLiteral("partner_code"), QStringLiteral("empty"));
    h.ValidationErrorsAdd(QStringLiteral("partner_name"), QStringLiteral("empty"));
    h.ValidationErrorsAdd(QStringLiteral("email"), QStringLiteral("email"));
    MsgErr(h.ValidationErrors());
    // one carriage return between lines, and no double quote anywhere
    QCOMPARE(m_presenter->texts(),
             QStringList { QStringLiteral("Code cannot be empty.\rCustomer Name cannot be empty.\r"
                                          "Billing E-mail is not a valid e-mail address.") });

    // the next save: the registries stay, the list starts empty
    h.ClearValidationErrors();
    QCOMPARE(h.ValidationErrors(), QString());
    h.ValidationErrorsAdd(QStringLiteral("email"), QStringLiteral("empty"));
    QCOMPARE(h.ValidationErrors(), QStringLiteral("Billing E-mail cannot be empty."));
}

// The real message box, not the recorder: its title and its buttons are in
// the user's language as its text is.
void tst_Messages::boxTitleAndButtonsFollowTheLanguage()
{
    Platform::setDialogPresenter(nullptr);
    struct Seen
    {
        QString title;
        QStringList buttons;
    };
    const auto show = [](const std::function<int()> &AShow, Seen &ASeen, const QString &APress) {
        auto press = std::make_shared<std::function<void()>>();
        *press = [&ASeen, APress, press] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) {
                QTimer::singleShot(10, *press);
                return;
            }
            ASeen.title = box->windowTitle();
            for (QAbstractButton *b : box->buttons())
                ASeen.buttons.append(b->text());
            ASeen.buttons.sort();
            for (QAbstractButton *b : box->buttons()) {
                if (b->text() == APress) {
                    b->click();
                    return;
                }
            }
            box->done(0); // nothing to press: never leave the test waiting
        };
        QTimer::singleShot(0, *press);
        const int result = AShow();
        *press = nullptr;
        return result;
    };
    ComDm->locLang->setLanguageIndex(0);
    Seen confirm, error;
    const int answer = show([] { return MsgConfirm(mctDelete); }, confirm, QStringLiteral("&Tidak"));
    show([] { return MsgErr(QStringLiteral("x")); }, error, QStringLiteral("OK"));
    ComDm->locLang->setLanguageIndex(-1);
    QCOMPARE(answer, int(ModalResult::No));
    QCOMPARE(confirm.title, QStringLiteral("Konfirmasi"));
    QCOMPARE(confirm.buttons, QStringList({ "&Tidak", "&Ya" }));
    QCOMPARE(error.title, QStringLiteral("Kesalahan"));
    QCOMPARE(error.buttons, QStringList({ "OK" }));

    Seen english;
    QCOMPARE(show([] { return MsgConfirm(mctSave); }, english, QStringLiteral("&Yes")), int(ModalResult::Yes));
    QCOMPARE(english.title, QStringLiteral("Confirm"));
    QCOMPARE(english.buttons, QStringList({ "&No", "&Yes" }));
}

// What happened when no answer came, in the language of the user; only a
// failure of no known kind keeps its own text.
void tst_Messages::noAnswerToldInTheUsersLanguage()
{
    using Platform::TransportFailure;
    const QString detail = QStringLiteral("Connection refused: http://127.0.0.1:1/x");
    QCOMPARE(TransportFailureText(TransportFailure::NoConnection, detail),
             QStringLiteral("Cannot connect to the server. Check the network connection and try again."));
    QCOMPARE(TransportFailureText(TransportFailure::Timeout, detail),
             QStringLiteral("The server did not answer in time. Please try again."));
    QCOMPARE(TransportFailureText(TransportFailure::BrokenAnswer, detail),
             QStringLiteral("The server failed to give a complete answer. Please try again."));
    QCOMPARE(TransportFailureText(TransportFailure::Other, detail), detail);

    Platform::Localizer *loc = ComDm->locLang; // the shipped lang.ini
    loc->setLanguageIndex(0);
    const QString none = TransportFailureText(TransportFailure::NoConnection, detail);
    const QString late = TransportFailureText(TransportFailure::Timeout, detail);
    const QString broken = TransportFailureText(TransportFailure::BrokenAnswer, detail);
    const QString nothing = sMsgNothingToSave.text();
    TErrorHandler h;
    h.ShowErrorMessage(500, late);
    loc->setLanguageIndex(-1);
    QCOMPARE(none, QStringLiteral("Tidak dapat terhubung ke server. Periksa koneksi jaringan lalu coba lagi."));
    QCOMPARE(late, QStringLiteral("Server tidak menjawab tepat waktu. Silakan coba lagi."));
    QCOMPARE(broken, QStringLiteral("Server gagal memberikan jawaban yang lengkap. Silakan coba lagi."));
    QCOMPARE(nothing, QStringLiteral("Tidak ada data untuk disimpan."));
    QCOMPARE(m_presenter->texts(), QStringList { late });
}

// A refusal whose body may be the error envelope, or anything else.
void tst_Messages::errorBodies_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("shown");
    QTest::newRow("envelope message") << 500 << QStringLiteral(R"({"message":"db down"})") << "db down";
    QTest::newRow("envelope errors") << 422 << QStringLiteral(R"({"errors":[{"key":"name","message":"name taken"}]})")
                                     << "Vendor Name taken";
    QTest::newRow("404 error page") << 404 << QStringLiteral("<html>404</html>") << "Page Not Found.";
    QTest::newRow("400 error page") << 400 << QStringLiteral("<html>400</html>") << "Bad Request.";
    QTest::newRow("404 plain") << 404 << QStringLiteral("no route") << "Page Not Found.\r\nno route";
    QTest::newRow("401") << 401 << QStringLiteral("<html>401</html>")
                         << "Unauthorized or session has expired, please re-login.";
}

void tst_Messages::errorBodies()
{
    QFETCH(int, status);
    QFETCH(QString, body);
    QFETCH(QString, shown);
    TErrorHandler h;
    registerFields(h);
    h.ShowErrorBody(status, body);
    QCOMPARE(m_presenter->texts(), QStringList { shown });
}

// A message box or a modal dialog closed, the user types on: the keys go to
// the window it came up over (no window manager, as on a bare X server,
// gives the keyboard back by itself). Also when a pick list closed and the
// print preview opened at once (the card of a customer): the window system
// had not yet told that the keyboard was back under the first.
void tst_Messages::keyboardGoesBackToTheWindowUnderTheBox()
{
    Platform::setDialogPresenter(nullptr);
    QWidget window;
    auto *edit = new QLineEdit(&window);
    (new QVBoxLayout(&window))->addWidget(edit);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    const auto closeWhenUp = [] {
        QTimer::singleShot(0, [] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->done(QDialog::Accepted);
        });
    };
    const auto typedArrives = [&] {
        edit->clear();
        QTRY_COMPARE(QApplication::activeWindow(), &window);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ABC"));
        QCOMPARE(edit->text(), QStringLiteral("ABC"));
    };

    closeWhenUp();
    MsgErr(QStringLiteral("Customer Code cannot be empty."));
    typedArrives();
    if (QTest::currentTestFailed())
        return;

    {
        QDialog pick(&window);
        closeWhenUp();
        Platform::dialogPresenter().showModal(pick);
    }
    QDialog preview(&window);
    closeWhenUp();
    Platform::dialogPresenter().showModal(preview);
    typedArrives();
}

QTEST_MAIN(tst_Messages)
#include "tst_messages.moc"
