#include "LogsFrmU.h"
#include "RecordingPresenter.h"
#include "ResourceStrings.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace Platform;

class tst_LogsFrm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void showsLogsReadOnlyAndClosesWithOk();
};

void tst_LogsFrm::showsLogsReadOnlyAndClosesWithOk()
{
    RecordingPresenter *presenter = RecordingPresenter::install();
    const auto restore = qScopeGuard([] {
        ResourceStringRepository::instance().setTranslations({});
        setDialogPresenter(nullptr);
    });
    ResourceStringRepository::instance().setTranslations(
        { { QStringLiteral("sLabelUpdateLogs"), QStringLiteral("Riwayat Pembaruan") } });
    TLogsFrm frm;
    frm.Header = QStringLiteral("PO-001");
    QCOMPARE(frm.AddLog(QStringLiteral("05/03"), QStringLiteral("andi"), QStringLiteral("Add"), QString()), 0);
    QCOMPARE(frm.AddLog(QStringLiteral("06/03"), QStringLiteral("siti"), QStringLiteral("Edit"), QStringLiteral("6")),
             1);

    QString title, editedCell;
    QStringList captions;
    qsizetype selectedRows = 0, selectedCells = 0;
    presenter->modalScript = [&](QDialog &dialog) {
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog))
            return int(ModalResult::Abort);
        title = frm.lblTitle->text();
        QTableWidget *grid = frm.tvData;
        for (int c = 0; c < grid->columnCount(); ++c)
            captions.append(grid->horizontalHeaderItem(c)->text());
        // a click selects the whole row; nothing is edited in place
        const QPoint cell = grid->visualRect(grid->model()->index(1, TLogsFrm::colAction)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        selectedRows = grid->selectionModel()->selectedRows().size();
        selectedCells = grid->selectionModel()->selectedIndexes().size();
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        QTest::keyClick(grid, Qt::Key_F2);
        QTest::keyClicks(grid, QStringLiteral("x"));
        editedCell = grid->item(1, TLogsFrm::colAction)->text();
        QTest::mouseClick(frm.btnClose, Qt::LeftButton);
        return dialog.isVisible() ? int(ModalResult::None) : dialog.result();
    };
    QCOMPARE(presenter->showModal(frm), int(ModalResult::Ok));
    QCOMPARE(presenter->modals.first().className, QStringLiteral("TLogsFrm"));
    QCOMPARE(title, QStringLiteral("PO-001 Riwayat Pembaruan"));
    QCOMPARE(captions, QStringList({ "Date", "User", "Action", "Data" }));
    QCOMPARE(selectedRows, 1);
    QCOMPARE(selectedCells, 4);
    QCOMPARE(editedCell, QStringLiteral("Edit"));
}

QTEST_MAIN(tst_LogsFrm)
#include "tst_logsfrm.moc"
