#include "ComDmU.h"
#include "Localizer.h"
#include "MsgDlgU.h"
#include "RecordingPresenter.h"
#include "TempAppFolder.h"

#include <QtTest>
#include <climits>

using Platform::MessageButton;
using Platform::MessageButtons;
using Platform::MessageKind;
namespace ModalResult = Platform::ModalResult;

Q_DECLARE_METATYPE(TMsgInfoType)
Q_DECLARE_METATYPE(TMsgConfirmType)
Q_DECLARE_METATYPE(TMsgErrorType)

class tst_MsgDlg : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void enumOrder();
    void info_data();
    void info();
    void confirm_data();
    void confirm();
    void confirmAnswers_data();
    void confirmAnswers();
    void confirmCustom();
    void errByType_data();
    void errByType();
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

void tst_MsgDlg::enumOrder()
{
    QCOMPARE(int(mitSaved), 0);
    QCOMPARE(int(mitDeleted), 1);
    QCOMPARE(int(mctSave), 0);
    QCOMPARE(int(mctDelete), 1);
    QCOMPARE(int(mctOpen), 2);
    QCOMPARE(int(mctRelease), 3);
    QCOMPARE(int(mctAddNewData), 4);
    QCOMPARE(int(metSessionExpired), 0);
    QCOMPARE(int(metDelete), 1);
}

void tst_MsgDlg::info_data()
{
    QTest::addColumn<TMsgInfoType>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("saved") << mitSaved << QStringLiteral("Data has been saved.");
    QTest::newRow("deleted") << mitDeleted << QStringLiteral("Data has been deleted.");
}

void tst_MsgDlg::info()
{
    QFETCH(TMsgInfoType, type);
    QFETCH(QString, text);
    QCOMPARE(MsgInfo(type), int(ModalResult::Ok));
    QCOMPARE(m_presenter->messages.size(), 1);
    const auto &m = m_presenter->messages.constFirst();
    QCOMPARE(m.text, text);
    QCOMPARE(m.kind, MessageKind::Information);
    QCOMPARE(m.buttons, MessageButtons(MessageButton::Ok));
}

void tst_MsgDlg::confirm_data()
{
    QTest::addColumn<TMsgConfirmType>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("save") << mctSave << QStringLiteral("Is the data correct?");
    QTest::newRow("delete") << mctDelete << QStringLiteral("Are you sure to delete this data?");
    QTest::newRow("open") << mctOpen << QStringLiteral("Are you sure to Open this data?");
    QTest::newRow("release") << mctRelease << QStringLiteral("Are you sure to Release this data?");
    QTest::newRow("add new") << mctAddNewData << QStringLiteral("Are you sure to Add New data?");
}

void tst_MsgDlg::confirm()
{
    QFETCH(TMsgConfirmType, type);
    QFETCH(QString, text);
    QCOMPARE(MsgConfirm(type), int(ModalResult::Yes));
    QCOMPARE(m_presenter->messages.size(), 1);
    const auto &m = m_presenter->messages.constFirst();
    QCOMPARE(m.text, text);
    QCOMPARE(m.kind, MessageKind::Confirmation);
    QCOMPARE(m.buttons, MessageButton::Yes | MessageButton::No);
}

void tst_MsgDlg::confirmAnswers_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("yes") << int(ModalResult::Yes);
    QTest::newRow("no") << int(ModalResult::No);
}

void tst_MsgDlg::confirmAnswers()
{
    QFETCH(int, answer);
    m_presenter->queueAnswer(answer);
    QCOMPARE(MsgConfirm(mctDelete), answer);
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

void tst_MsgDlg::errByType_data()
{
    QTest::addColumn<TMsgErrorType>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("session expired") << metSessionExpired << QStringLiteral("Session has expired, please re-login.");
    QTest::newRow("delete") << metDelete << QStringLiteral("Delete failed.");
}

void tst_MsgDlg::errByType()
{
    QFETCH(TMsgErrorType, type);
    QFETCH(QString, text);
    QCOMPARE(MsgErr(type), int(ModalResult::Ok));
    QCOMPARE(m_presenter->messages.size(), 1);
    QCOMPARE(m_presenter->messages.constFirst().text, text);
    QCOMPARE(m_presenter->messages.constFirst().kind, MessageKind::Error);
    QCOMPARE(m_presenter->messages.constFirst().buttons, MessageButtons(MessageButton::Ok));
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
    QTest::newRow("418") << 418 << clientError;
    QTest::newRow("422") << 422 << clientError;
    QTest::newRow("499") << 499 << clientError;
    QTest::newRow("500") << 500 << serverError;
    QTest::newRow("503") << 503 << serverError;
    QTest::newRow("599") << 599 << serverError;
    QTest::newRow("0") << 0 << undefined;
    QTest::newRow("200") << 200 << undefined;
    QTest::newRow("302") << 302 << undefined;
    QTest::newRow("399") << 399 << undefined;
    QTest::newRow("600") << 600 << undefined;
    QTest::newRow("1000") << 1000 << undefined;
    QTest::newRow("-1") << -1 << undefined;
    QTest::newRow("-404") << -404 << undefined;
    QTest::newRow("INT_MIN") << INT_MIN << undefined;
    QTest::newRow("INT_MAX") << INT_MAX << undefined;
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
