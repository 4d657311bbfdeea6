#include "BaseChildFrmU.h"
#include "ClassRegistry.h"
#include "ComPackageU.h"
#include "MenuListU.h"
#include "RecordingPresenter.h"
#include "ScreenFixtures.h"
#include "WelcomeFrmU.h"

#include <QMdiSubWindow>
#include <QtTest>
#include <memory>

class tst_WelcomeFrm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void findableByNameRightAfterLibraryStart();
    void createdByNameIsPlainWhiteWelcomeScreen();
    void showsFramelessFillingChildArea();

private:
    TBaseChildFrm *create();

    std::unique_ptr<MdiHost> m_host;
    QMainWindow *m_main = nullptr;
    QMdiArea *m_area = nullptr;
    RecordingPresenter *m_presenter = nullptr;
    TMenuData m_entry;
};

void tst_WelcomeFrm::init()
{
    m_presenter = RecordingPresenter::install();
    m_host = std::make_unique<MdiHost>();
    m_main = m_host->main();
    m_area = m_host->area();
    m_entry.MenuId = 0;
    m_entry.MenuTitle = "Welcome";
    m_entry.FormClass = "TWelcomeFrm";
    m_entry.ShowType = 1;
}

void tst_WelcomeFrm::cleanup()
{
    m_host.reset();
    Platform::setDialogPresenter(nullptr);
}

// The way the controller makes a screen of a menu entry.
TBaseChildFrm *tst_WelcomeFrm::create()
{
    const Platform::ClassRegistry::Entry &entry = Platform::ClassRegistry::instance().get(m_entry.FormClass);
    auto *frm = qobject_cast<TBaseChildFrm *>(entry.create(m_main));
    if (frm) {
        frm->Data = &m_entry;
        frm->setWindowTitle(m_entry.MenuTitle);
    }
    return frm;
}

void tst_WelcomeFrm::findableByNameRightAfterLibraryStart()
{
    QVERIFY(ComPackageStartedUnits().contains("ComPackageU"));
    const Platform::ClassRegistry::Entry *entry = Platform::ClassRegistry::instance().find("TWelcomeFrm");
    QVERIFY(entry);
    QCOMPARE(entry->metaObject, &TWelcomeFrm::staticMetaObject);
    QVERIFY(entry->metaObject->inherits(&TBaseChildFrm::staticMetaObject));
}

void tst_WelcomeFrm::createdByNameIsPlainWhiteWelcomeScreen()
{
    const Platform::ClassRegistry::Entry &entry = Platform::ClassRegistry::instance().get("TWelcomeFrm");
    std::unique_ptr<QWidget> widget(entry.create(m_main));
    auto *frm = qobject_cast<TWelcomeFrm *>(widget.get());
    QVERIFY(frm);

    QCOMPARE(frm->windowTitle(), QString("Welcome"));
    QVERIFY(!frm->IsNeedSaving());
    // nothing on it but its background
    QVERIFY(frm->findChildren<QWidget *>().isEmpty());
    QVERIFY(frm->autoFillBackground());
    QCOMPARE(frm->palette().color(QPalette::Window), QColor(Qt::white));
    frm->resize(200, 100);
    const QImage image = frm->grab().toImage();
    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::white));
    QCOMPARE(image.pixelColor(100, 50), QColor(Qt::white));
    QCOMPARE(image.pixelColor(199, 99), QColor(Qt::white));
    // no captions to translate
    frm->TranslationChanged();
    QCOMPARE(frm->windowTitle(), QString("Welcome"));
}

void tst_WelcomeFrm::showsFramelessFillingChildArea()
{
    TBaseChildFrm *frm = create();
    QVERIFY(frm);

    frm->ShowChild();

    QMdiSubWindow *sub = frm->SubWindow();
    QVERIFY(sub);
    QCOMPARE(sub->mdiArea(), m_area);
    QVERIFY(sub->isMaximized());
    QVERIFY(sub->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(m_area->activeSubWindow(), sub);
    QCOMPARE(sub->geometry(), m_area->viewport()->rect());
    QCOMPARE(frm->geometry(), sub->rect());
}

QTEST_MAIN(tst_WelcomeFrm)
#include "tst_welcomefrm.moc"
