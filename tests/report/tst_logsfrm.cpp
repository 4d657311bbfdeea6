#include "LangResU.h"
#include "LogsFrmU.h"
#include "RecordingPresenter.h"
#include "ResourceStrings.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace Platform;

class tst_LogsFrm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();

    void titleFollowsHeaderOnEveryShow();
    void closeEndsWithOk();
    void gridIsReadOnlyWithWholeRows();
    void rowsGrowWithTheirText();
};

void tst_LogsFrm::cleanup()
{
    ResourceStringRepository::instance().setTranslations({});
    setDialogPresenter(nullptr);
}

void tst_LogsFrm::titleFollowsHeaderOnEveryShow()
{
    TLogsFrm frm;
    frm.show();
    QCOMPARE(frm.lblTitle->text(), QStringLiteral(" Update Logs"));
    frm.hide();
    frm.Header = QStringLiteral("PO-001");
    frm.show();
    QCOMPARE(frm.lblTitle->text(), QStringLiteral("PO-001 Update Logs"));
    QCOMPARE(frm.windowTitle(), QStringLiteral("Update Logs"));
    frm.hide();
    frm.Header = QStringLiteral("PR-007");
    ResourceStringRepository::instance().setTranslations(
        { { QStringLiteral("sLabelUpdateLogs"), QStringLiteral("Riwayat Pembaruan") } });
    frm.show();
    QCOMPARE(frm.lblTitle->text(), QStringLiteral("PR-007 Riwayat Pembaruan"));
}

void tst_LogsFrm::closeEndsWithOk()
{
    RecordingPresenter *presenter = RecordingPresenter::install();
    TLogsFrm frm;
    frm.Header = QStringLiteral("PO-001");
    presenter->modalScript = [](QDialog &dialog) {
        dialog.show();
        auto &logs = static_cast<TLogsFrm &>(dialog);
        QTest::mouseClick(logs.btnClose, Qt::LeftButton);
        return dialog.isVisible() ? int(ModalResult::None) : dialog.result();
    };
    QCOMPARE(presenter->showModal(frm), int(ModalResult::Ok));
    QCOMPARE(presenter->modals.first().className, QStringLiteral("TLogsFrm"));
    QCOMPARE(presenter->modals.first().title, QStringLiteral("Update Logs"));
    QCOMPARE(frm.btnClose->text(), QStringLiteral("Close"));
}

void tst_LogsFrm::gridIsReadOnlyWithWholeRows()
{
    TLogsFrm frm;
    QCOMPARE(frm.AddLog(QStringLiteral("2024-03-05 09:30"), QStringLiteral("andi"), QStringLiteral("Add"),
                 QStringLiteral("{\"po_no\": \"PO-001\"}")),
        0);
    QCOMPARE(frm.AddLog(QStringLiteral("2024-03-06 10:00"), QStringLiteral("siti"), QStringLiteral("Edit"),
                 QStringLiteral("qty 5 -> 6")),
        1);
    QCOMPARE(
        frm.AddLog(QStringLiteral("2024-03-07 11:15"), QStringLiteral("budi"), QStringLiteral("Release"), QString()),
        2);
    frm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frm));

    QTableWidget *grid = frm.tvData;
    QStringList captions;
    for (int c = 0; c < grid->columnCount(); ++c)
        captions.append(grid->horizontalHeaderItem(c)->text());
    QCOMPARE(captions, QStringList({ "Date", "User", "Action", "Data" }));
    QCOMPARE(grid->item(1, TLogsFrm::colUser)->text(), QStringLiteral("siti"));
    QCOMPARE(grid->item(0, TLogsFrm::colData)->text(), QStringLiteral("{\"po_no\": \"PO-001\"}"));

    // a click selects the whole row; Ctrl adds another
    auto cellCentre
        = [grid](int row, int column) { return grid->visualRect(grid->model()->index(row, column)).center(); };
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(0, TLogsFrm::colUser));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(2, TLogsFrm::colData));
    const QModelIndexList rows = grid->selectionModel()->selectedRows();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(grid->selectionModel()->selectedIndexes().size(), 8);

    // nothing is edited in place
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(1, TLogsFrm::colAction));
    QTest::keyClick(grid, Qt::Key_F2);
    QTest::keyClicks(grid, QStringLiteral("x"));
    QCOMPARE(grid->item(1, TLogsFrm::colAction)->text(), QStringLiteral("Edit"));
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void tst_LogsFrm::rowsGrowWithTheirText()
{
    TLogsFrm frm;
    const QString longData = QStringLiteral("changed ").repeated(80);
    frm.AddLog(QStringLiteral("2024-03-05"), QStringLiteral("andi"), QStringLiteral("Edit"), QStringLiteral("short"));
    frm.AddLog(QStringLiteral("2024-03-05"), QStringLiteral("andi"), QStringLiteral("Edit"), longData);
    frm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frm));
    QCoreApplication::processEvents();

    QTableWidget *grid = frm.tvData;
    // the Data column takes the width the other columns leave
    const int dataWidth = grid->columnWidth(TLogsFrm::colData);
    int used = 0;
    for (int c = 0; c < grid->columnCount(); ++c)
        used += grid->columnWidth(c);
    QCOMPARE(used, grid->viewport()->width());
    const int shortHeight = grid->rowHeight(0);
    const int wrappedHeight = grid->rowHeight(1);
    QVERIFY2(
        wrappedHeight > 3 * shortHeight, qPrintable(QStringLiteral("%1 vs %2").arg(wrappedHeight).arg(shortHeight)));

    // a wider window gives the text more room per line
    frm.resize(frm.width() * 2, frm.height());
    QTRY_VERIFY(grid->columnWidth(TLogsFrm::colData) > dataWidth);
    QTRY_VERIFY(grid->rowHeight(1) < wrappedHeight);
    QCOMPARE(grid->rowHeight(0), shortHeight);
}

QTEST_MAIN(tst_LogsFrm)
#include "tst_logsfrm.moc"
