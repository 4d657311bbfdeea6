#include "AppPaths.h"
#include "PdfText.h"
#include "RecordingPresenter.h"
#include "TempAppFolder.h"
#include "UFastReport.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace Platform;

namespace {

const QByteArray goodLayout = R"({"format": "zelt-report", "version": 1, "title": "Test", "bands": [
    {"name": "bndTop", "height": 20, "objects": [
        {"kind": "memo", "name": "memTitle", "x": 0, "y": 0, "width": 80, "height": 8, "text": "Title"},
        {"kind": "picture", "name": "picLogo", "x": 100, "y": 0, "width": 20, "height": 10}]}]})";

} // namespace

class tst_UFastReport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void faultyLayoutIsTold_data();
    void faultyLayoutIsTold();
    void pictureFileThatIsNoPicture();
    void samplePurchaseOrder();
    void printFromPreviewThatFailsIsTold();
    void printsThePagesChosen();

private:
    RecordingPresenter *m_presenter = nullptr;
};

void tst_UFastReport::init()
{
    m_presenter = RecordingPresenter::install();
}

void tst_UFastReport::cleanup()
{
    setDialogPresenter(nullptr);
}

void tst_UFastReport::faultyLayoutIsTold_data()
{
    QTest::addColumn<QString>("file"); // written under reports/; empty: a folder
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message"); // %1: the file's path, %2: the folder's
    const QString invalid = QStringLiteral("File report \"%1\" tidak valid: ");
    QTest::newRow("beside the program only") << "../po.json" << goodLayout << "File report \"%1\" tidak ditemukan.";
    QTest::newRow("truncated") << "po.json" << QByteArray("{\"format\": \"zelt-report\", \"vers")
                               << invalid + "line 1, column 32: unterminated string";
    QTest::newRow("not a layout") << "po.json" << QByteArray(R"({"hello": "world"})") << invalid + "format: is missing";
    QTest::newRow("missing picture")
        << "po.json" << QByteArray(R"({"format": "zelt-report", "version": 1, "bands": [{"height": 10, "objects": [
               {"kind": "picture", "x": 0, "y": 0, "width": 1, "height": 1, "file": "logo.png"}]}]})")
        << invalid + "bands[0].objects[0].file: picture \"%2logo.png\" not found";
    QTest::newRow("folder") << QString() << QByteArray() << invalid + "not a file";
}

void tst_UFastReport::faultyLayoutIsTold()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    TempAppFolder folder;
    folder.write(QStringLiteral("reports/good.json"), goodLayout);
    if (file.isEmpty())
        QDir(folder.path()).mkpath(QStringLiteral("reports/po.json"));
    else
        folder.write(QStringLiteral("reports/") + file, content);
    Report report;
    QVERIFY(LoadReport(report, QStringLiteral("good.json")));

    QVERIFY(!LoadReport(report, QStringLiteral("po.json")));
    const QString reports = folder.filePath(QStringLiteral("reports/")); // one box names the file and the fault
    message.replace(QLatin1String("%1"), QDir::toNativeSeparators(reports + QStringLiteral("po.json")))
        .replace(QLatin1String("%2"), QDir::toNativeSeparators(reports));
    QCOMPARE(m_presenter->texts(), QStringList { message });
    QCOMPARE(m_presenter->messages.first().kind, MessageKind::Error);
    QVERIFY(report.isEmpty()); // rather than holding the old layout
    QCOMPARE(report.findObject(QStringLiteral("memTitle")), nullptr);
}

void tst_UFastReport::pictureFileThatIsNoPicture()
{
    TempAppFolder folder;
    folder.write(QStringLiteral("reports/po.json"), goodLayout);
    folder.write(QStringLiteral("broken.png"), "GIF89a and then nothing");
    QImage blue(8, 4, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    Report report;
    QVERIFY(LoadReport(report, QStringLiteral("po.json")));
    SetPicture(report, QStringLiteral("PICLOGO"), blue);

    const QString broken = QDir::toNativeSeparators(folder.filePath(QStringLiteral("broken.png")));
    LoadPicture(report, QStringLiteral("picLogo"), broken); // told, and the picture stays
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("File gambar \"%1\" tidak valid.").arg(broken) });
    QCOMPARE(m_presenter->messages.first().kind, MessageKind::Error);
    QCOMPARE(report.findObject(QStringLiteral("picLogo"))->picture, blue);
}

void tst_UFastReport::samplePurchaseOrder()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is not installed");
    // The layout shipped in bin/reports/, read from the program's folder as a module screen would.
    const std::pair<const char *, QString> memos[] = {
        { "memPONo", QStringLiteral("PO-2024-0042") },
        // data is printed as it is, brackets and all: only the layout's own text is expanded
        { "memVendorName", QStringLiteral("ACME [Page] [TotalPages]") },
        { "memTglTrans", QStringLiteral("05/03/2024") },
        { "memTerbilang", QStringLiteral("Dua juta lima ratus ribu rupiah") },
        { "memPrintedBy", QStringLiteral("Printed by Rina Kartika") },
        { "memNamaPegawai1", QStringLiteral("Andi Wijaya") },
        { "memNIP3", QStringLiteral("NIP 19750303") },
    };
    Report report;
    QVERIFY(LoadReport(report, QStringLiteral("purchase-order.json")));
    for (const auto &[name, text] : memos)
        SetMemoText(report, QLatin1String(name), text);
    SetVisible(report, QStringLiteral("memCopy"), false);
    SetVisible(report, QStringLiteral("bndNotes"), false);
    LoadPicture(report, QStringLiteral("picLogo"), applicationFolder() + QStringLiteral("reports/zelt-logo-bw.png"));
    QVERIFY(m_presenter->messages.isEmpty());

    // Every text set shows, with the layout's own captions, and nothing hidden does.
    const QString text = pdfText(report);
    for (const auto &[name, expected] : memos)
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" missing from:\n") + text));
    for (const char *caption : { "PURCHASE ORDER", "Prepared by,", "Approved by,", "Amount in words", "Page 1 of 1" })
        QVERIFY2(text.contains(QLatin1String(caption)), caption);
    QVERIFY2(!text.contains(QStringLiteral("COPY")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("Notes")));
    QCOMPARE(text.count(QStringLiteral("[Page]")), 1); // the vendor's, not the page number's

    // A copy shows its mark once the screen makes it visible.
    SetVisible(report, QStringLiteral("memCopy"), true);
    QVERIFY(pdfText(report).contains(QStringLiteral("COPY")));
}

// Print in the preview hands the chosen printer to the report; a printer it
// cannot paint on (here a PDF file in a folder that does not exist) must not
// pass for a printed report.
void tst_UFastReport::printFromPreviewThatFailsIsTold()
{
    TempAppFolder folder;
    folder.write(QStringLiteral("reports/po.json"), goodLayout);
    Report report;
    QVERIFY(LoadReport(report, QStringLiteral("po.json")));
    m_presenter->modalScript = [&](QDialog &ADialog) {
        auto *preview = qobject_cast<QPrintPreviewDialog *>(&ADialog);
        if (!preview)
            return int(ModalResult::Cancel);
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder.filePath(QStringLiteral("missing/card.pdf")));
        Q_EMIT preview->paintRequested(&printer);
        return int(ModalResult::Ok);
    };
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("QPainter::begin")));
    report.showPreview();
    QCOMPARE(m_presenter->modals.size(), 1);
    QCOMPARE(m_presenter->messages.size(), 1);
    QCOMPARE(m_presenter->messages.first().kind, MessageKind::Error);
    QVERIFY2(m_presenter->texts().first().contains(QStringLiteral("cannot be painted")),
             qPrintable(m_presenter->texts().first()));
}

// The print dialog offers a page range; a printer set to one prints those pages only.
void tst_UFastReport::printsThePagesChosen()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is not installed");
    QByteArray layout = R"({"format": "zelt-report", "version": 1, "bands": [)";
    for (const char *page : { "First", "Second", "Third", "Fourth" }) {
        layout +=
            QByteArray(R"({"height": 200, "objects": [{"kind": "memo", "x": 0, "y": 0, "width": 80, "height": 8,)")
            + R"("text": "Page )" + page + R"( of [TotalPages]"}]},)";
    }
    layout.chop(1);
    layout += "]}";
    Report report;
    QBuffer buffer(&layout);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QCOMPARE(report.load(buffer, QString()), Report::LoadStatus::Loaded);
    QCOMPARE(report.pageCount(), 4);

    QTemporaryDir dir;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("pages.pdf")));
    QPageRanges ranges;
    ranges.addRange(2, 3);
    printer.setPageRanges(ranges);
    QVERIFY(report.print(printer));
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), { printer.outputFileName(), QStringLiteral("-") });
    QVERIFY(tool.waitForFinished(30000));
    const QStringList pages =
        QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QCOMPARE(pages.size(), 2);
    QCOMPARE(pages.at(0).trimmed(), QStringLiteral("Page Second of 4"));
    QCOMPARE(pages.at(1).trimmed(), QStringLiteral("Page Third of 4"));
}

QTEST_MAIN(tst_UFastReport)
#include "tst_ufastreport.moc"
