#include "AppPaths.h"
#include "RecordingPresenter.h"
#include "ReportTestSupport.h"
#include "TempAppFolder.h"
#include "UFastReport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QtTest>

using namespace Platform;

namespace {

const QByteArray sampleBands = R"([
    {"name": "bndTop", "height": 20, "objects": [
        {"kind": "memo", "name": "memTitle", "x": 0, "y": 0, "width": 80, "height": 8, "text": "Title"},
        {"kind": "picture", "name": "picLogo", "x": 100, "y": 0, "width": 20, "height": 10},
        {"kind": "line", "name": "linRule", "x": 0, "y": 19, "width": 180, "height": 0}]},
    {"name": "bndBody", "height": 200, "objects": [
        {"kind": "memo", "name": "memBody", "x": 0, "y": 0, "width": 80, "height": 8, "text": "Body"}]},
    {"name": "bndTail", "height": 50, "objects": []}])";

QByteArray png(const QColor &color)
{
    QImage image(8, 4, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// What the setters may change, for comparing before and after.
QStringList snapshot(Report &report)
{
    QStringList result;
    for (const char *name : { "bndTop", "memTitle", "picLogo", "linRule", "bndBody", "memBody", "bndTail" }) {
        const ReportObject *o = report.findObject(QLatin1String(name));
        if (!o) {
            result.append(QStringLiteral("%1 missing").arg(QLatin1String(name)));
            continue;
        }
        result.append(
            QStringLiteral("%1 %2 %3 %4 %5")
                .arg(o->name, o->text)
                .arg(o->visible)
                .arg(o->geometry.height())
                .arg(o->picture.isNull() ? QStringLiteral("-") : QString::number(o->picture.pixel(0, 0), 16)));
    }
    return result;
}

} // namespace

class tst_UFastReport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void loadReportFromProgramFolder();
    void loadReportFaultyFile_data();
    void loadReportFaultyFile();
    void settersIgnoreWhatIsNotThere();
    void setVisibleAndHeight();
    void setTextAndPictures();
    void samplePurchaseOrder();

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

void tst_UFastReport::loadReportFromProgramFolder()
{
    // only under reports/ beside the program
    TempAppFolder folder;
    folder.write(QStringLiteral("po.json"), layoutJson(sampleBands));
    Report report;
    QVERIFY(!LoadReport(report, QStringLiteral("po.json")));
    const QString path = QDir::toNativeSeparators(folder.filePath(QStringLiteral("reports/po.json")));
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("File report \"%1\" tidak ditemukan.").arg(path) });
    QCOMPARE(m_presenter->messages.first().kind, MessageKind::Error);
    QCOMPARE(m_presenter->messages.first().buttons, MessageButtons(MessageButton::Ok));
    QVERIFY(report.isEmpty());

    m_presenter->clear();
    folder.write(QStringLiteral("reports/po.json"), layoutJson(sampleBands));
    QVERIFY(LoadReport(report, QStringLiteral("po.json")));
    QVERIFY(m_presenter->messages.isEmpty());
    QVERIFY(report.findObject(QStringLiteral("memTitle")));
    QCOMPARE(report.fileName(), folder.filePath(QStringLiteral("reports/po.json")));
}

void tst_UFastReport::loadReportFaultyFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("asFolder");
    QTest::addColumn<QString>("reason");

    QTest::newRow("truncated") << QByteArray("{\"format\": \"zelt-report\", \"vers") << false
                               << "line 1, column 32: unterminated string";
    QTest::newRow("not a layout") << QByteArray(R"({"hello": "world"})") << false << "format: is missing";
    QTest::newRow("missing picture") << layoutJson(R"([{"height": 10, "objects": [
                                            {"kind": "picture", "x": 0, "y": 0, "width": 1, "height": 1, "file": "logo.png"}]}])")
                                     << false << "picture";
    QTest::newRow("folder") << QByteArray() << true << "not a file";
}

void tst_UFastReport::loadReportFaultyFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, asFolder);
    QFETCH(QString, reason);

    // Given a report holding a good layout
    TempAppFolder folder;
    folder.write(QStringLiteral("reports/good.json"), layoutJson(sampleBands));
    if (asFolder)
        QDir(folder.path()).mkpath(QStringLiteral("reports/po.json"));
    else
        folder.write(QStringLiteral("reports/po.json"), content);
    Report report;
    QVERIFY(LoadReport(report, QStringLiteral("good.json")));

    // When a faulty one is loaded into it
    QVERIFY(!LoadReport(report, QStringLiteral("po.json")));

    // Then one error box names the file and what is wrong with it, and the
    // report is empty rather than holding the old layout
    const QString path = QDir::toNativeSeparators(folder.filePath(QStringLiteral("reports/po.json")));
    QCOMPARE(m_presenter->messages.size(), 1);
    const QString prefix = QStringLiteral("File report \"%1\" tidak valid: ").arg(path);
    const QString text = m_presenter->messages.first().text;
    if (reason == QLatin1String("picture")) {
        QCOMPARE(text,
            prefix
                + QStringLiteral("bands[0].objects[0].file: picture \"%1\" not found")
                      .arg(QDir::toNativeSeparators(folder.filePath(QStringLiteral("reports/logo.png")))));
    } else {
        QCOMPARE(text, prefix + reason);
    }
    QCOMPARE(m_presenter->messages.first().kind, MessageKind::Error);
    QVERIFY(report.isEmpty());
    QCOMPARE(report.findObject(QStringLiteral("memTitle")), nullptr);
}

void tst_UFastReport::settersIgnoreWhatIsNotThere()
{
    TempAppFolder folder;
    folder.write(QStringLiteral("reports/po.json"), layoutJson(sampleBands));
    folder.write(QStringLiteral("red.png"), png(Qt::red));
    Report report;
    QVERIFY(LoadReport(report, QStringLiteral("po.json")));
    const QStringList before = snapshot(report);

    SetMemoText(report, QStringLiteral("memNothing"), QStringLiteral("x"));
    SetVisible(report, QStringLiteral("memNothing"), false);
    SetHeight(report, QStringLiteral("memNothing"), 3);
    SetPicture(report, QStringLiteral("picNothing"), QImage(2, 2, QImage::Format_RGB32));
    LoadPicture(report, QStringLiteral("picNothing"), folder.filePath(QStringLiteral("red.png")));
    SetMemoText(report, QString(), QStringLiteral("x"));
    // setters of the wrong kind of object change nothing either
    SetMemoText(report, QStringLiteral("picLogo"), QStringLiteral("x"));
    SetMemoText(report, QStringLiteral("bndTop"), QStringLiteral("x"));
    SetPicture(report, QStringLiteral("memTitle"), QImage(2, 2, QImage::Format_RGB32));
    LoadPicture(report, QStringLiteral("memTitle"), folder.filePath(QStringLiteral("red.png")));

    QCOMPARE(snapshot(report), before);

    // nor on a report with nothing loaded
    Report empty;
    SetMemoText(empty, QStringLiteral("memTitle"), QStringLiteral("x"));
    SetVisible(empty, QStringLiteral("memTitle"), false);
    SetHeight(empty, QStringLiteral("memTitle"), 1);
    SetPicture(empty, QStringLiteral("picLogo"), QImage());
    LoadPicture(empty, QStringLiteral("picLogo"), QStringLiteral("/nonexistent.png"));
    QVERIFY(empty.isEmpty());
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_UFastReport::setVisibleAndHeight()
{
    TempAppFolder folder;
    folder.write(QStringLiteral("reports/po.json"), layoutJson(sampleBands));
    Report report;
    QVERIFY(LoadReport(report, QStringLiteral("po.json")));
    // 20 + 200 + 50 mm of bands on 277 mm: one page
    QCOMPARE(report.pageCount(), 1);

    SetHeight(report, QStringLiteral("bndBody"), 250.5f);
    QCOMPARE(report.findObject(QStringLiteral("bndBody"))->geometry.height(), 250.5);
    QCOMPARE(report.pageCount(), 2);

    SetVisible(report, QStringLiteral("bndTail"), false);
    QVERIFY(!report.findObject(QStringLiteral("bndTail"))->visible);
    QCOMPARE(report.pageCount(), 1);
    SetVisible(report, QStringLiteral("bndtail"), true);
    QCOMPARE(report.pageCount(), 2);

    SetVisible(report, QStringLiteral("memTitle"), false);
    QVERIFY(!report.findObject(QStringLiteral("memTitle"))->visible);

    // a height below 0 is no height; a line's height is where it ends
    SetHeight(report, QStringLiteral("memTitle"), -5);
    QCOMPARE(report.findObject(QStringLiteral("memTitle"))->geometry.height(), 0.0);
    SetHeight(report, QStringLiteral("linRule"), -5);
    QCOMPARE(report.findObject(QStringLiteral("linRule"))->geometry.height(), -5.0);
    SetHeight(report, QStringLiteral("memTitle"), std::numeric_limits<float>::quiet_NaN());
    QCOMPARE(report.findObject(QStringLiteral("memTitle"))->geometry.height(), 0.0);
}

void tst_UFastReport::setTextAndPictures()
{
    TempAppFolder folder;
    folder.write(QStringLiteral("reports/po.json"), layoutJson(sampleBands));
    folder.write(QStringLiteral("blue.png"), png(Qt::blue));
    folder.write(QStringLiteral("broken.png"), "GIF89a and then nothing");
    Report report;
    QVERIFY(LoadReport(report, QStringLiteral("po.json")));
    auto logo = [&] { return report.findObject(QStringLiteral("picLogo"))->picture; };

    // names in any letter case; the picture is a copy
    SetMemoText(report, QStringLiteral("MEMTITLE"), QStringLiteral("Purchase Order"));
    QCOMPARE(report.findObject(QStringLiteral("memTitle"))->text, QStringLiteral("Purchase Order"));
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::green);
    SetPicture(report, QStringLiteral("PICLOGO"), image);
    image.fill(Qt::red);
    QCOMPARE(logo().pixelColor(1, 1), QColor(Qt::green));

    LoadPicture(report, QStringLiteral("picLogo"), folder.filePath(QStringLiteral("blue.png")));
    QCOMPARE(logo().size(), QSize(8, 4));
    QCOMPARE(logo().pixelColor(0, 0), QColor(Qt::blue));

    // a file that is not there leaves the picture, silently
    LoadPicture(report, QStringLiteral("picLogo"), folder.filePath(QStringLiteral("gone.png")));
    QCOMPARE(logo().pixelColor(0, 0), QColor(Qt::blue));
    QVERIFY(m_presenter->messages.isEmpty());

    // a file that is there but no picture is told, and leaves the picture too
    LoadPicture(report, QStringLiteral("picLogo"), folder.filePath(QStringLiteral("broken.png")));
    QCOMPARE(logo().pixelColor(0, 0), QColor(Qt::blue));
    QCOMPARE(m_presenter->texts(),
        QStringList { QStringLiteral("File gambar \"%1\" tidak valid.")
                          .arg(QDir::toNativeSeparators(folder.filePath(QStringLiteral("broken.png")))) });
    QCOMPARE(m_presenter->messages.first().kind, MessageKind::Error);

    // a folder is no file
    m_presenter->clear();
    LoadPicture(report, QStringLiteral("picLogo"), folder.path());
    QCOMPARE(logo().pixelColor(0, 0), QColor(Qt::blue));
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_UFastReport::samplePurchaseOrder()
{
    if (pdftotextPath().isEmpty())
        QSKIP("pdftotext is not installed");
    // The layout shipped in bin/reports/, read from the program's folder as
    // a module screen would.
    QVERIFY(QFileInfo::exists(applicationFolder() + QStringLiteral("reports/purchase-order.json")));

    // Given the texts a purchase order screen sets
    const std::pair<const char *, QString> memos[] = {
        { "memPONo", QStringLiteral("PO-2024-0042") },
        { "memVendorName", QStringLiteral("CV Sumber Makmur") },
        { "memTglTrans", QDateTime(QDate(2024, 3, 5), QTime(9, 30)).toString(QStringLiteral("dd/MM/yyyy")) },
        { "memPeriode", QStringLiteral("Maret 2024") },
        { "memMetodeBayar", QStringLiteral("Transfer 30 hari") },
        { "memTerbilang", QStringLiteral("Dua juta lima ratus ribu rupiah") },
        { "memSecCode", QStringLiteral("SC-7731-QX") },
        { "memPrintedBy", QStringLiteral("Printed by Rina Kartika") },
        { "memNamaPegawai1", QStringLiteral("Andi Wijaya") },
        { "memJabatan1", QStringLiteral("Purchasing Staff") },
        { "memNIP1", QStringLiteral("NIP 19870101") },
        { "memNamaPegawai2", QStringLiteral("Siti Rahma") },
        { "memJabatan2", QStringLiteral("Purchasing Manager") },
        { "memNIP2", QStringLiteral("NIP 19800202") },
        { "memNamaPegawai3", QStringLiteral("Bambang Susilo") },
        { "memJabatan3", QStringLiteral("Finance Director") },
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

    // When it is rendered to PDF
    QByteArray pdf;
    QBuffer out(&pdf);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QVERIFY2(report.exportPdf(out), qPrintable(report.errorString()));
    const QString text = pdfText(pdf);

    // Then every text set shows, with the layout's own captions, and nothing hidden does
    for (const auto &[name, expected] : memos)
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" missing from:\n") + text));
    for (const QString &caption : { QStringLiteral("PURCHASE ORDER"), QStringLiteral("Prepared by,"),
             QStringLiteral("Approved by,"), QStringLiteral("Amount in words"), QStringLiteral("Page 1 of 1") })
        QVERIFY2(text.contains(caption), qPrintable(caption));
    QVERIFY2(!text.contains(QStringLiteral("COPY")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("Notes")));
    QVERIFY(!text.contains(QStringLiteral("[Page]")));

    // And a copy shows its mark once the screen makes it visible
    SetVisible(report, QStringLiteral("memCopy"), true);
    QByteArray copyPdf;
    QBuffer copyOut(&copyPdf);
    QVERIFY(copyOut.open(QIODevice::WriteOnly));
    QVERIFY(report.exportPdf(copyOut));
    QVERIFY(pdfText(copyPdf).contains(QStringLiteral("COPY")));
}

QTEST_MAIN(tst_UFastReport)
#include "tst_ufastreport.moc"
