#include "BaseChildFrmU.h"
#include "ClassRegistry.h"
#include "ComPackageU.h"
#include "MenuListU.h"
#include "OpenedFormsU.h"
#include "RecordingPresenter.h"
#include "WelcomeFrmU.h"

#include <QMainWindow>
#include <QMdiArea>
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
    void closingReleasesItAndNextOneIsNew();

private:
    TBaseChildFrm *create();

    std::unique_ptr<QMainWindow> m_main;
    QMdiArea *m_area = nullptr;
    RecordingPresenter *m_presenter = nullptr;
    TMenuData m_entry;
};

void tst_WelcomeFrm::init()
{
    m_presenter = RecordingPresenter::install();
    m_main = std::make_unique<QMainWindow>();
    m_area = new QMdiArea(m_main.get());
    m_main->setCentralWidget(m_area);
    m_main->resize(1000, 700);
    m_main->show();
    m_entry.MenuId = 0;
    m_entry.MenuTitle = "Welcome";
    m_entry.FormClass = "TWelcomeFrm";
    m_entry.ShowType = 1;
}

void tst_WelcomeFrm::cleanup()
{
    m_main.reset();
    Platform::setDialogPresenter(nullptr);
}

// The way the controller makes a screen of a menu entry.
TBaseChildFrm *tst_WelcomeFrm::create()
{
    const Platform::ClassRegistry::Entry &entry = Platform::ClassRegistry::instance().get(m_entry.FormClass);
    auto *frm = qobject_cast<TBaseChildFrm *>(entry.create(m_main.get()));
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
    std::unique_ptr<QWidget> widget(entry.create(m_main.get()));
    auto *frm = qobject_cast<TWelcomeFrm *>(widget.get());
    QVERIFY(frm);

    QCOMPARE(frm->windowTitle(), QString("Welcome"));
    QCOMPARE(frm->font().family(), QString("Tahoma"));
    QCOMPARE(frm->parentWidget(), m_main.get());
    QVERIFY(frm->isHidden());
    QCOMPARE(frm->DataMode(), dmBrowse);
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

void tst_WelcomeFrm::closingReleasesItAndNextOneIsNew()
{
    // Given a welcome screen opened and registered the controller's way
    TOpenedForms forms;
    QPointer<TBaseChildFrm> first = create();
    forms.Add(first);
    first->ShowChild();
    QCOMPARE(forms.Find(0), first.data());

    // When the user closes it
    QVERIFY(first->Close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Then it is released, without a question, and leaves the registry
    QVERIFY(first.isNull());
    QVERIFY(m_area->subWindowList().isEmpty());
    QCOMPARE(forms.Find(0), nullptr);
    QVERIFY(m_presenter->messages.isEmpty());

    // and opening entry 0 again makes a new one
    TBaseChildFrm *second = create();
    forms.Add(second);
    second->ShowChild();
    QCOMPARE(forms.Find(0), second);
    QCOMPARE(m_area->subWindowList().size(), 1);
}

QTEST_MAIN(tst_WelcomeFrm)
#include "tst_welcomefrm.moc"
