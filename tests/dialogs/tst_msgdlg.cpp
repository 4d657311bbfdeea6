#include "ComDmU.h"
#include "Localizer.h"
#include "MsgDlgU.h"
#include "RecordingPresenter.h"
#include "TempAppFolder.h"

#include <QtTest>
#include <climits>
#include <functional>

using Platform::MessageButton;
using Platform::MessageButtons;
using Platform::MessageKind;
namespace ModalResult = Platform::ModalResult;


class tst_MsgDlg : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void fixedMessages();
    void confirmAnswers();
    void confirmCustom();
    void errText();
    void errStatus_data();
    void errStatus();
    void errStatusWithoutMessage();
    void translatedTexts();
    void textsFetchedAtCallTime();

private:
    RecordingPresenter *m_presenter = nullptr;
};

void tst_MsgDlg::init()
{
    m_presenter = RecordingPresenter::install();
}

void tst_MsgDlg::cleanup()
{
    ComDm->locLang->setLanguageIndex(-1);
    Platform::setDialogPresenter(nullptr);
    m_presenter = nullptr;
}

void tst_MsgDlg::fixedMessages()
{
    struct Case
    {
        std::function<int()> show;
        int result;
        QString text;
        MessageKind kind;
        MessageButtons buttons;
    };
    const MessageButtons ok(MessageButton::Ok);
    const MessageButtons yesNo = MessageButton::Yes | MessageButton::No;
    const Case cases[] = {
        { [] { return MsgInfo(mitSaved); }, ModalResult::Ok, QStringLiteral("Data has been saved."), MessageKind::Information, ok },
        { [] { return MsgInfo(mitDeleted); }, ModalResult::Ok, QStringLiteral("Data has been deleted."), MessageKind::Information, ok },
        { [] { return MsgConfirm(mctSave); }, ModalResult::Yes, QStringLiteral("Is the data correct?"), MessageKind::Confirmation, yesNo },
        { [] { return MsgConfirm(mctDelete); }, ModalResult::Yes, QStringLiteral("Are you sure to delete this data?"), MessageKind::Confirmation, yesNo },
        { [] { return MsgConfirm(mctOpen); }, ModalResult::Yes, QStringLiteral("Are you sure to Open this data?"), MessageKind::Confirmation, yesNo },
        { [] { return MsgConfirm(mctRelease); }, ModalResult::Yes, QStringLiteral("Are you sure to Release this data?"), MessageKind::Confirmation, yesNo },
        { [] { return MsgConfirm(mctAddNewData); }, ModalResult::Yes, QStringLiteral("Are you sure to Add New data?"), MessageKind::Confirmation, yesNo },
        { [] { return MsgErr(metSessionExpired); }, ModalResult::Ok, QStringLiteral("Session has expired, please re-login."), MessageKind::Error, ok },
        { [] { return MsgErr(metDelete); }, ModalResult::Ok, QStringLiteral("Delete failed."), MessageKind::Error, ok },
    };
    for (const Case &c : cases) {
        m_presenter->clear();
        QCOMPARE(c.show(), c.result);
        QCOMPARE(m_presenter->messages.size(), 1);
        const auto &m = m_presenter->messages.constFirst();
        QCOMPARE(m.text, c.text);
        QCOMPARE(m.kind, c.kind);
        QCOMPARE(m.buttons, c.buttons);
    }
}

void tst_MsgDlg::confirmAnswers()
{
    m_presenter->queueAnswer(ModalResult::No);
    QCOMPARE(MsgConfirm(mctDelete), int(ModalResult::No));
    m_presenter->queueAnswer(ModalResult::Yes);
    QCOMPARE(MsgConfirm(mctDelete), int(ModalResult::Yes));
}

void tst_MsgDlg::confirmCustom()
{
    const QString text = QStringLiteral("Close 3 screens?\r\n  \"Vendor\" has changes ");
    const MessageButtons buttons = MessageButton::Yes | MessageButton::No | MessageButton::Cancel;
    m_presenter->queueAnswer(ModalResult::Cancel);
    QCOMPARE(MsgConfirm(text, buttons), int(ModalResult::Cancel));
    m_presenter->queueAnswer(ModalResult::No);
    QCOMPARE(MsgConfirm(QString(), MessageButtons(MessageButton::Ok)), int(ModalResult::No));

    QCOMPARE(m_presenter->messages.size(), 2);
    QCOMPARE(m_presenter->messages.at(0).text, text);
    QCOMPARE(m_presenter->messages.at(0).kind, MessageKind::Confirmation);
    QCOMPARE(m_presenter->messages.at(0).buttons, buttons);
    QCOMPARE(m_presenter->messages.at(1).text, QString());
    QCOMPARE(m_presenter->messages.at(1).buttons, MessageButtons(MessageButton::Ok));
}

void tst_MsgDlg::errText()
{
    const QString text = QStringLiteral(" Kode \"X\" sudah dipakai\rline two ");
    QCOMPARE(MsgErr(text), int(ModalResult::Ok));
    QCOMPARE(MsgErr(QString()), int(ModalResult::Ok));
    QCOMPARE(m_presenter->texts(), QStringList({ text, QString() }));
    for (const auto &m : std::as_const(m_presenter->messages)) {
        QCOMPARE(m.kind, MessageKind::Error);
        QCOMPARE(m.buttons, MessageButtons(MessageButton::Ok));
    }
}

void tst_MsgDlg::errStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("statusText");
    const QString badRequest = QStringLiteral("Bad Request.");
    const QString unauthorized = QStringLiteral("Unauthorized or session has expired, please re-login.");
    const QString clientError = QStringLiteral("Undefined client error.");
    const QString forbidden = QStringLiteral("Forbidden.");
    const QString notFound = QStringLiteral("Page Not Found.");
    const QString serverError = QStringLiteral("Server Error.");
    const QString undefined = QStringLiteral("Udefined Error.");

    QTest::newRow("400") << 400 << badRequest;
    QTest::newRow("401") << 401 << unauthorized;
    QTest::newRow("402") << 402 << clientError;
    QTest::newRow("403") << 403 << forbidden;
    QTest::newRow("404") << 404 << notFound;
    QTest::newRow("405") << 405 << clientError;
    QTest::newRow("499") << 499 << clientError;
    QTest::newRow("500") << 500 << serverError;
    QTest::newRow("599") << 599 << serverError;
    QTest::newRow("0") << 0 << undefined;
    QTest::newRow("399") << 399 << undefined;
    QTest::newRow("600") << 600 << undefined;
    QTest::newRow("-1") << -1 << undefined;
    QTest::newRow("INT_MIN") << INT_MIN << undefined;
}

void tst_MsgDlg::errStatus()
{
    QFETCH(int, status);
    QFETCH(QString, statusText);
    QCOMPARE(HttpStatusText(status), statusText);

    QCOMPARE(MsgErr(status, QStringLiteral("x")), int(ModalResult::Ok));
    QCOMPARE(MsgErr(status, QString()), int(ModalResult::Ok));
    QCOMPARE(m_presenter->messages.size(), 2);
    // carriage return and line feed between the status text and the detail
    QCOMPARE(m_presenter->messages.at(0).text, statusText + QStringLiteral("\r\nx"));
    QCOMPARE(m_presenter->messages.at(1).text, statusText);
    for (const auto &m : std::as_const(m_presenter->messages)) {
        QCOMPARE(m.kind, MessageKind::Error);
        QCOMPARE(m.buttons, MessageButtons(MessageButton::Ok));
    }
}

void tst_MsgDlg::errStatusWithoutMessage()
{
    // a detail of blanks is not empty and is shown as it came
    MsgErr(404, QStringLiteral(" "));
    MsgErr(500, QStringLiteral("Connection refused\r\nat 127.0.0.1"));
    QCOMPARE(m_presenter->texts(),
             QStringList({ QStringLiteral("Page Not Found.\r\n "),
                           QStringLiteral("Server Error.\r\nConnection refused\r\nat 127.0.0.1") }));
}

void tst_MsgDlg::translatedTexts()
{
    TempAppFolder folder;
    folder.write(QStringLiteral("lang.ini"),
                 QStringLiteral("[id_ID]\nLanguageName=Bahasa (ID)\n"
                                "sMsgSaved=Data telah disimpan.\n"
                                "sMsgDeleteConfirm=Apakah Anda yakin ingin menghapus data ini?\n"
                                "sMsgHttpPageNotFound=Halaman tidak ditemukan.\n"
                                "sMsgHttpUndefinedError=Kesalahan yang tidak diketahui.\n"
                                "sMsgSessionExpired=Sesi telah berakhir, silakan login kembali.\n")
                     .toUtf8());
    ComDm->locLang->reload();
    ComDm->locLang->setLanguageIndex(0);
    QCOMPARE(ComDm->locLang->languageIndex(), 0);

    MsgInfo(mitSaved);
    MsgConfirm(mctDelete);
    MsgErr(metSessionExpired);
    MsgErr(404, QStringLiteral("x"));
    MsgErr(0, QString());
    // not in the file: the English text
    MsgInfo(mitDeleted);
    MsgErr(500, QString());
    QCOMPARE(m_presenter->texts(),
             QStringList({ QStringLiteral("Data telah disimpan."),
                           QStringLiteral("Apakah Anda yakin ingin menghapus data ini?"),
                           QStringLiteral("Sesi telah berakhir, silakan login kembali."),
                           QStringLiteral("Halaman tidak ditemukan.\r\nx"),
                           QStringLiteral("Kesalahan yang tidak diketahui."), QStringLiteral("Data has been deleted."),
                           QStringLiteral("Server Error.") }));
}

void tst_MsgDlg::textsFetchedAtCallTime()
{
    TempAppFolder folder;
    folder.write(QStringLiteral("lang.ini"), "[id_ID]\nsMsgSaved=Data telah disimpan.\n");
    ComDm->locLang->reload();

    MsgInfo(mitSaved);
    ComDm->locLang->setLanguageIndex(0);
    MsgInfo(mitSaved);
    ComDm->locLang->setLanguageIndex(-1);
    MsgInfo(mitSaved);
    QCOMPARE(m_presenter->texts(),
             QStringList({ QStringLiteral("Data has been saved."), QStringLiteral("Data telah disimpan."),
                           QStringLiteral("Data has been saved.") }));
}

QTEST_GUILESS_MAIN(tst_MsgDlg)
#include "tst_msgdlg.moc"
