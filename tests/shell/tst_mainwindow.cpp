// The host's main window: its captions follow the user's language.
#include "AppControllerU.h"
#include "ComDmU.h"
#include "GlobalTypeU.h"
#include "GlobalVarsU.h"
#include "Localizer.h"
#include "LoginFrmU.h"
#include "MainWindow.h"
#include "RecordingPresenter.h"
#include "ResourceStrings.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QtTest>

class tst_MainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void captionsSwitchWithTheLanguage();
    void signedOutUserNotShownDuringTheNextSignIn();
};

void tst_MainWindow::captionsSwitchWithTheLanguage()
{
    GlobalVarsU_Initialize();
    UserInfo = new TUserInfo;
    UserInfo->UserFullName = QStringLiteral("Sarah Mitchell");
    IsLogin = true;
    struct Captions
    {
        QStringList texts;
        explicit Captions(const MainWindow &AWindow)
        {
            texts << AWindow.findChild<QLabel *>(QStringLiteral("sideBarTitle"))->text()
                  << AWindow.findChild<QMenu *>(QStringLiteral("mnuFile"))->title();
            for (const char *name : { "actHome", "actSignOut", "actExit", "actCascade", "actTile", "actCloseAll" })
                texts << AWindow.findChild<QAction *>(QLatin1String(name))->text();
            texts << AWindow.windowsMenu()->title() << AWindow.userLabel()->text();
        }
    };
    {
        MainWindow window;
        QCOMPARE(Captions(window).texts,
                 QStringList({ "Navigation", "&File", "&Home", "Sign &Out", "E&xit", "&Cascade", "&Tile", "C&lose All",
                               "&Window", "Signed in as Sarah Mitchell" }));
        ComDm->locLang->setLanguageIndex(0);
        QCOMPARE(Captions(window).texts,
                 QStringList({ "Navigasi", "&Berkas", "&Beranda", "&Keluar", "&Tutup Aplikasi", "&Bertingkat", "&Ubin",
                               "Tutup &Semua", "&Jendela", "Masuk sebagai Sarah Mitchell" }));
        // and the window's own texts, every one, are in the language file
        const auto &repository = Platform::ResourceStringRepository::instance();
        const QList<const Platform::ResourceString *> own = repository.strings(QStringLiteral("Host Resource Strings"));
        QCOMPARE(own.size(), 10);
        for (const Platform::ResourceString *s : own)
            QVERIFY2(!ComDm->locLang->translation(0, s->nameText()).isEmpty(), qPrintable(s->nameText()));
        ComDm->locLang->setLanguageIndex(-1);
        QCOMPARE(Captions(window).texts.constFirst(), QStringLiteral("Navigation"));
        QCOMPARE(window.userLabel()->text(), QStringLiteral("Signed in as Sarah Mitchell"));
    }
    // gone with the window
    QVERIFY(!Platform::ResourceStringRepository::instance().hasProduct(QStringLiteral("Host Resource Strings")));
    IsLogin = false;
    delete UserInfo;
    UserInfo = nullptr;
}

// Signed out, the next sign-in form is up: the status bar names nobody, also
// when the form sets the language as it opens.
void tst_MainWindow::signedOutUserNotShownDuringTheNextSignIn()
{
    GlobalVarsU_Initialize();
    TLoginFrm::SetFullScreen(false);
    RecordingPresenter *presenter = RecordingPresenter::install();
    MainWindow window;
    auto *customer = window.findChild<QLabel *>(QStringLiteral("CustomerLabel"));
    {
        TAppController controller;
        controller.Init();
        window.attach(&controller);
        UserInfo->UserFullName = QStringLiteral("Sarah Mitchell");
        CustName = QStringLiteral("Zelt Demo");
        IsLogin = true;
        ComDm->locLang->setLanguageIndex(0);
        QCOMPARE(window.userLabel()->text(), QStringLiteral("Masuk sebagai Sarah Mitchell"));
        QStringList shownDuringSignIn;
        presenter->modalScript = [&](QDialog &) {
            shownDuringSignIn << window.userLabel()->text() << customer->text();
            return int(Platform::ModalResult::Cancel);
        };
        window.signOut();
        QCOMPARE(presenter->modals.size(), 1);
        QCOMPARE(shownDuringSignIn, QStringList({ QString(), QString() }));
        QVERIFY(!IsLogin);
        QVERIFY(window.userLabel()->text().isEmpty());
    }
    Platform::setDialogPresenter(nullptr);
    CustName.clear();
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
