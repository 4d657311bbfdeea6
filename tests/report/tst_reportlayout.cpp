#include "RecordingPresenter.h"
#include "Report.h"
#include "ReportLayout.h"
#include "ReportTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace Platform;

namespace {

std::optional<ReportLayout> parse(const QByteArray &json, QString *error = nullptr, const QString &folder = QString())
{
    return ReportLayout::fromJson(json, folder, error);
}

QByteArray pngBytes(const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// 10 pixels to the millimetre, white paper.
QImage paint(const ReportLayout &layout, int page = 0, const QHash<QString, QString> &variables = {})
{
    const QSizeF mm = layout.paperSize();
    QImage image(qRound(mm.width() * 10), qRound(mm.height() * 10), QImage::Format_RGB32);
    image.setDotsPerMeterX(10000);
    image.setDotsPerMeterY(10000);
    image.fill(Qt::white);
    QPainter painter(&image);
    layout.renderPage(painter, page, variables);
    return image;
}

QColor at(const QImage &image, qreal xMm, qreal yMm)
{
    return image.pixelColor(qRound(xMm * 10), qRound(yMm * 10));
}

QStringList bandNames(const QList<PlacedBand> &page)
{
    QStringList names;
    for (const PlacedBand &b : page)
        names.append(b.band->name + QLatin1Char('@') + QString::number(b.top));
    return names;
}

} // namespace

class tst_ReportLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();

    void defaults();
    void readsEveryMember();
    void invalidLayouts_data();
    void invalidLayouts();
    void parseErrorsGivePosition();
    void picturesFromFiles();
    void findObjectByName();
    void pagination();
    void renderGeometry();
    void expandVariables_data();
    void expandVariables();

    void loadFromFile();
    void pdfHoldsVisibleTextOnly();
    void pdfToFileIsAtomic();
    void emptyReportRefusesOutput();
    void previewThroughPresenter();
};

void tst_ReportLayout::cleanup()
{
    setDialogPresenter(nullptr);
}

void tst_ReportLayout::defaults()
{
    const auto layout = parse(layoutJson("[]"));
    QVERIFY(layout);
    QCOMPARE(layout->pageSize.id(), QPageSize::A4);
    QCOMPARE(layout->orientation, QPageLayout::Portrait);
    QCOMPARE(layout->margins, QMarginsF(10, 10, 10, 10));
    QCOMPARE(layout->printableRect(), QRectF(10, 10, 190, 277));
    // an empty layout still prints one blank page
    QCOMPARE(layout->pages().size(), 1);
    QVERIFY(layout->pages().first().isEmpty());

    const auto memo = parse(layoutJson(R"([{"height": 10, "objects": [
        {"kind": "memo", "name": "m", "x": 1, "y": 2, "width": 3, "height": 4}]}])"));
    QVERIFY(memo);
    const ReportObject *m = memo->findObject(QStringLiteral("m"));
    QVERIFY(m);
    QCOMPARE(m->geometry, QRectF(1, 2, 3, 4));
    QVERIFY(m->visible);
    QVERIFY(m->wordWrap);
    QVERIFY(m->expressions);
    QVERIFY(!m->border.enabled);
    QVERIFY(!m->fillColor.isValid());
    QCOMPARE(m->alignment, Qt::AlignLeft | Qt::AlignTop);
    QCOMPARE(m->font.pointSizeF(), 10.0);

    // a rect is outlined unless told otherwise
    const auto rect = parse(layoutJson(R"([{"height": 10, "objects": [
        {"kind": "rect", "name": "r", "x": 0, "y": 0, "width": 3, "height": 4}]}])"));
    QVERIFY(rect);
    QVERIFY(rect->findObject(QStringLiteral("r"))->border.enabled);
}

void tst_ReportLayout::readsEveryMember()
{
    const QByteArray json = R"({"format": "zelt-report", "version": 1, "title": "T",
        "page": {"size": {"width": 100, "height": 50}, "orientation": "landscape",
                 "margins": {"left": 1, "top": 2, "right": 3, "bottom": 4}},
        "font": {"family": "DejaVu Serif", "size": 12, "italic": true},
        "bands": [{"name": "b", "height": 20, "visible": false, "objects": [
            {"kind": "memo", "name": "m", "x": 0, "y": 0, "width": 10, "height": 5, "text": "t",
             "font": {"size": 8, "bold": true}, "color": "#102030", "fill": "#405060", "align": "right",
             "valign": "bottom", "word_wrap": false, "expressions": false, "padding": 1.5,
             "border": {"width": 0.7, "color": "#FF0000", "sides": "tb"}, "visible": false},
            {"kind": "line", "name": "l", "x": 5, "y": 5, "width": -5, "height": -3, "pen": {"width": 1, "color": "#00FF00"}},
            {"kind": "picture", "name": "p", "x": 0, "y": 0, "width": 4, "height": 4, "fit": "stretch", "border": true}]}]})";
    QString error;
    const auto layout = parse(json, &error);
    QVERIFY2(layout, qPrintable(error));
    QCOMPARE(layout->title, QStringLiteral("T"));
    QCOMPARE(layout->paperSize(), QSizeF(100, 50));
    QCOMPARE(layout->pageLayout().fullRect(QPageLayout::Millimeter), QRectF(0, 0, 100, 50));
    QCOMPARE(layout->margins, QMarginsF(1, 2, 3, 4));
    // a wide custom size is landscape unless told otherwise
    QCOMPARE(parse(layoutJson("[]", R"({"size": {"width": 100, "height": 50}})"))->paperSize(), QSizeF(100, 50));
    QCOMPARE(
        parse(layoutJson("[]", R"({"size": {"width": 100, "height": 50}, "orientation": "portrait"})"))->paperSize(),
        QSizeF(50, 100));
    QCOMPARE(parse(layoutJson("[]", R"({"size": "a5", "orientation": "landscape"})"))->paperSize(), QSizeF(210, 148));

    const ReportObject *band = layout->findObject(QStringLiteral("b"));
    QCOMPARE(band->kind, ReportObjectKind::Band);
    QVERIFY(!band->visible);
    QCOMPARE(band->geometry.height(), 20.0);

    const ReportObject *m = layout->findObject(QStringLiteral("m"));
    QCOMPARE(m->font.family(), QStringLiteral("DejaVu Serif")); // the layout's font, then the memo's
    QCOMPARE(m->font.pointSizeF(), 8.0);
    QVERIFY(m->font.bold());
    QVERIFY(m->font.italic());
    QCOMPARE(m->textColor, QColor(0x10, 0x20, 0x30));
    QCOMPARE(m->fillColor, QColor(0x40, 0x50, 0x60));
    QCOMPARE(m->alignment, Qt::AlignRight | Qt::AlignBottom);
    QVERIFY(!m->wordWrap);
    QVERIFY(!m->expressions);
    QCOMPARE(m->padding, 1.5);
    QVERIFY(m->border.enabled);
    QCOMPARE(m->border.pen.width, 0.7);
    QCOMPARE(m->border.pen.color, QColor(Qt::red));
    QCOMPARE(m->border.sides, Qt::TopEdge | Qt::BottomEdge);
    QVERIFY(!m->visible);

    const ReportObject *l = layout->findObject(QStringLiteral("l"));
    QCOMPARE(l->geometry, QRectF(5, 5, -5, -3));
    QCOMPARE(l->pen.width, 1.0);
    QCOMPARE(l->pen.color, QColor(Qt::green));

    const ReportObject *p = layout->findObject(QStringLiteral("p"));
    QCOMPARE(p->fit, PictureFit::Stretch);
    QVERIFY(p->border.enabled);
    QVERIFY(p->picture.isNull());
}

void tst_ReportLayout::invalidLayouts_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");

    auto object = [](const QByteArray &members) {
        return layoutJson(
            R"([{"height": 10, "objects": [{"kind": "memo", "name": "m", "x": 0, "y": 0, "width": 5, "height": 5, )"
            + members + "}]}]");
    };

    QTest::newRow("array") << QByteArray("[]") << "the layout must be a JSON object";
    QTest::newRow("no format") << QByteArray(R"({"version": 1, "bands": []})") << "format: is missing";
    QTest::newRow("other format") << QByteArray(R"({"format": "frx", "version": 1, "bands": []})")
                                  << R"(format: must be "zelt-report")";
    QTest::newRow("version") << QByteArray(R"({"format": "zelt-report", "version": 2, "bands": []})")
                             << "version: 2 is not supported (only 1)";
    QTest::newRow("no bands") << QByteArray(R"({"format": "zelt-report", "version": 1})") << "bands: is missing";
    QTest::newRow("bands kind") << layoutJson("{}") << "bands: must be an array, not an object";
    QTest::newRow("band kind") << layoutJson("[3]") << "bands[0]: must be an object, not a number";
    QTest::newRow("band height missing") << layoutJson("[{}]") << "bands[0].height: is missing";
    QTest::newRow("band height negative")
        << layoutJson(R"([{"height": -1}])") << "bands[0].height: must lie between 0 and 10000";
    QTest::newRow("unknown kind") << layoutJson(
        R"([{"height": 1}, {"height": 1, "objects": [{"kind": "rect", "x": 0, "y": 0, "width": 1, "height": 1},
                                                                     {"kind": "circle"}]}])")
                                  << R"(bands[1].objects[1].kind: "circle" is not one of memo, picture, line, rect)";
    QTest::newRow("negative width") << object(R"("text": "a", "width": -2)")
                                    << "bands[0].objects[0].width: must lie between 0 and 10000";
    QTest::newRow("duplicate names")
        << layoutJson(R"([{"name": "A", "height": 1}, {"name": "a", "height": 1}])")
        << R"(bands[1].name: "a" is used twice (names are compared without regard to case))";
    QTest::newRow("colour") << object(R"("color": "bluish")")
                            << R"(bands[0].objects[0].color: "bluish" is not a colour)";
    QTest::newRow("font size") << object(R"("font": {"size": 0})")
                               << "bands[0].objects[0].font.size: must lie between 1 and 500";
    QTest::newRow("border sides")
        << object(R"("border": {"sides": "lx"})")
        << R"(bands[0].objects[0].border.sides: "lx" may hold only the letters l, t, r and b)";
    QTest::newRow("page size name")
        << layoutJson("[]", R"({"size": "A9"})")
        << R"(page.size: "A9" is not one of A3, A4, A5, B5, Letter, Legal, Folio nor {"width", "height"})";
    QTest::newRow("orientation") << layoutJson("[]", R"({"orientation": "upright"})")
                                 << R"(page.orientation: "upright" is not one of portrait, landscape)";
    QTest::newRow("margins fill page") << layoutJson("[]", R"({"size": "A5", "margins": {"left": 80, "right": 80}})")
                                       << "page.margins: leave no room on the page";
    QTest::newRow("picture data") << layoutJson(
        R"([{"height": 1, "objects": [{"kind": "picture", "x": 0, "y": 0, "width": 1, "height": 1, "data": "bm90IGEgcGljdHVyZQ=="}]}])")
                                  << "bands[0].objects[0].data: is not a picture in base64";
    QTest::newRow("picture file and data") << layoutJson(
        R"([{"height": 1, "objects": [{"kind": "picture", "x": 0, "y": 0, "width": 1, "height": 1, "file": "a.png", "data": "AA=="}]}])")
                                           << R"(bands[0].objects[0]: has both "file" and "data"; give one)";
}

void tst_ReportLayout::invalidLayouts()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);
    QString message = QStringLiteral("unchanged");
    QVERIFY(!parse(json, &message));
    QCOMPARE(message, error);
}

void tst_ReportLayout::parseErrorsGivePosition()
{
    QString error;
    QVERIFY(!parse("{\n  \"format\": \"zelt-report\",\n  \"version\": 1 x\n}", &error));
    QVERIFY2(error.startsWith(QStringLiteral("line 3, column ")), qPrintable(error));
    QVERIFY(!parse(QByteArray(), &error));
    QVERIFY2(error.startsWith(QStringLiteral("line 1, column 1: ")), qPrintable(error));
}

void tst_ReportLayout::picturesFromFiles()
{
    QTemporaryDir dir;
    const QByteArray png = pngBytes(QSize(20, 10), Qt::blue);
    QDir(dir.path()).mkpath(QStringLiteral("img"));
    QFile f(dir.filePath(QStringLiteral("img/logo.png")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(png);
    f.close();
    QFile bad(dir.filePath(QStringLiteral("bad.png")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture");
    bad.close();

    auto withFile = [](const QByteArray &file) {
        return layoutJson(
            R"([{"height": 1, "objects": [{"kind": "picture", "name": "p", "x": 0, "y": 0, "width": 1, "height": 1, "file": ")"
            + file + "\"}]}]");
    };
    QString error;
    auto layout = parse(withFile("img/logo.png"), &error, dir.path());
    QVERIFY2(layout, qPrintable(error));
    QCOMPARE(layout->findObject(QStringLiteral("p"))->picture.size(), QSize(20, 10));

    const QByteArray embedded
        = R"([{"height": 1, "objects": [{"kind": "picture", "name": "p", "x": 0, "y": 0, "width": 1, "height": 1, "data": ")"
        + png.toBase64() + "\"}]}]";
    layout = parse(layoutJson(embedded), &error);
    QVERIFY2(layout, qPrintable(error));
    QCOMPARE(layout->findObject(QStringLiteral("p"))->picture.pixelColor(0, 0), QColor(Qt::blue));

    QVERIFY(!parse(withFile("img/gone.png"), &error, dir.path()));
    QCOMPARE(error,
        QStringLiteral("bands[0].objects[0].file: picture \"%1\" not found")
            .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("img/gone.png")))));
    QVERIFY(!parse(withFile("bad.png"), &error, dir.path()));
    QCOMPARE(error,
        QStringLiteral("bands[0].objects[0].file: picture \"%1\" cannot be read")
            .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("bad.png")))));
}

void tst_ReportLayout::findObjectByName()
{
    auto layout = parse(layoutJson(R"([{"name": "bndTop", "height": 10, "objects": [
        {"kind": "memo", "x": 0, "y": 0, "width": 1, "height": 1, "text": "unnamed"}]},
        {"height": 10, "objects": [{"kind": "memo", "name": "memVendor", "x": 0, "y": 0, "width": 1, "height": 1}]}])"));
    QVERIFY(layout);
    ReportObject *vendor = layout->findObject(QStringLiteral("MEMVENDOR"));
    QVERIFY(vendor);
    QCOMPARE(vendor->name, QStringLiteral("memVendor"));
    QCOMPARE(layout->findObject(QStringLiteral("bndtop"))->kind, ReportObjectKind::Band);
    QCOMPARE(layout->findObject(QStringLiteral("memVendo")), nullptr);
    QCOMPARE(layout->findObject(QString()), nullptr); // unnamed objects are not found by an empty name
}

void tst_ReportLayout::pagination()
{
    // A4 with 10 mm margins: 277 mm for bands
    auto layout = parse(layoutJson(R"([{"name": "a", "height": 100}, {"name": "b", "height": 100},
                                       {"name": "c", "height": 100}, {"name": "d", "height": 77}])"));
    QVERIFY(layout);
    auto pages = layout->pages();
    QCOMPARE(pages.size(), 2);
    QCOMPARE(bandNames(pages[0]), QStringList({ "a@0", "b@100" }));
    QCOMPARE(bandNames(pages[1]), QStringList({ "c@0", "d@100" }));

    // a hidden band takes no room
    layout->findObject(QStringLiteral("b"))->visible = false;
    pages = layout->pages();
    QCOMPARE(pages.size(), 1);
    QCOMPARE(bandNames(pages[0]), QStringList({ "a@0", "c@100", "d@200" }));

    // a band exactly filling the rest stays; one taller than a page gets a page of its own
    layout->findObject(QStringLiteral("a"))->geometry.setHeight(500);
    pages = layout->pages();
    QCOMPARE(pages.size(), 2);
    QCOMPARE(bandNames(pages[0]), QStringList({ "a@0" }));
    QCOMPARE(bandNames(pages[1]), QStringList({ "c@0", "d@100" }));

    layout->findObject(QStringLiteral("c"))->geometry.setHeight(900);
    pages = layout->pages();
    QCOMPARE(pages.size(), 3);
    QCOMPARE(bandNames(pages[2]), QStringList({ "d@0" }));
}

void tst_ReportLayout::renderGeometry()
{
    // 60 x 50 mm paper, 5 mm margins: the printable area starts at (5, 5)
    const QByteArray png = pngBytes(QSize(20, 10), Qt::blue);
    const QByteArray json = layoutJson(R"([
        {"name": "top", "height": 20, "objects": [
            {"kind": "rect", "name": "red", "x": 10, "y": 10, "width": 10, "height": 5, "fill": "#FF0000", "border": false},
            {"kind": "rect", "name": "hidden", "x": 30, "y": 0, "width": 10, "height": 10, "fill": "#00FF00", "visible": false}]},
        {"name": "second", "height": 15, "objects": [
            {"kind": "picture", "name": "pic", "x": 0, "y": 0, "width": 10, "height": 10, "data": ")"
            + png.toBase64() + R"("},
            {"kind": "line", "x": 20, "y": 5, "width": 20, "height": 0, "pen": {"width": 1, "color": "#000000"}}]}])",
        R"({"size": {"width": 60, "height": 50}, "margins": 5})");
    QString error;
    auto layout = parse(json, &error);
    QVERIFY2(layout, qPrintable(error));
    QCOMPARE(layout->pages().size(), 1);
    QImage image = paint(*layout);

    QCOMPARE(at(image, 20, 17.5), QColor(Qt::red)); // 5 + 10 + 5, 5 + 10 + 2.5
    QCOMPARE(at(image, 14, 17.5), QColor(Qt::white));
    QCOMPARE(at(image, 40, 10), QColor(Qt::white)); // the hidden rect
    // the second band starts 20 mm below the first; the 2:1 picture is fit
    // into 10 x 10 mm keeping its proportions, so it is 5 mm high, centred
    QCOMPARE(at(image, 10, 30), QColor(Qt::blue));
    QCOMPARE(at(image, 10, 26.5), QColor(Qt::white));
    QCOMPARE(at(image, 10, 33.5), QColor(Qt::white));
    QCOMPARE(at(image, 35, 30), QColor(Qt::black)); // the line at 5 + 20 + 5
    QCOMPARE(at(image, 35, 31), QColor(Qt::white));

    // hiding the first band moves the second up to the top of the page
    layout->findObject(QStringLiteral("top"))->visible = false;
    image = paint(*layout);
    QCOMPARE(at(image, 20, 17.5), QColor(Qt::white));
    QCOMPARE(at(image, 10, 10), QColor(Qt::blue));
}

void tst_ReportLayout::expandVariables_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expanded");

    QTest::newRow("one") << "PO [pono]."
                         << "PO PO-001.";
    QTest::newRow("case") << "PO [PONo]"
                          << "PO PO-001";
    QTest::newRow("unknown stays") << "[nothing] [pono]"
                                   << "[nothing] PO-001";
    QTest::newRow("not a name") << "[1] [a b] ["
                                << "[1] [a b] [";
    QTest::newRow("nested") << "[[pono]]"
                            << "[PO-001]";
    QTest::newRow("value not expanded again") << "[loop]"
                                              << "[pono]";
}

void tst_ReportLayout::expandVariables()
{
    QFETCH(QString, text);
    QFETCH(QString, expanded);
    const QHash<QString, QString> variables { { QStringLiteral("pono"), QStringLiteral("PO-001") },
        { QStringLiteral("user"), QStringLiteral("Ani") }, { QStringLiteral("loop"), QStringLiteral("[pono]") } };
    QCOMPARE(ReportLayout::expand(text, variables), expanded);
}

void tst_ReportLayout::loadFromFile()
{
    QTemporaryDir dir;
    Report report;
    QCOMPARE(report.load(dir.filePath(QStringLiteral("none.json"))), Report::LoadStatus::FileNotFound);
    QCOMPARE(report.errorString(), QStringLiteral("file not found"));
    QVERIFY(report.isEmpty());

    QCOMPARE(report.load(dir.path()), Report::LoadStatus::Invalid);
    QCOMPARE(report.errorString(), QStringLiteral("not a file"));

    QFile file(dir.filePath(QStringLiteral("r.json")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(layoutJson(
        R"([{"height": 10, "objects": [{"kind": "memo", "name": "m", "x": 0, "y": 0, "width": 1, "height": 1}]}])"));
    file.close();
    QCOMPARE(report.load(file.fileName()), Report::LoadStatus::Loaded);
    QVERIFY(!report.isEmpty());
    QCOMPARE(report.fileName(), file.fileName());
    QCOMPARE(report.pageCount(), 1);
    QVERIFY(report.findObject(QStringLiteral("M")));

    // a faulty layout loaded over it leaves nothing stale to print; the
    // variables stay (that the report is emptied is also UFastReport's test)
    report.setVariable(QStringLiteral("User"), QStringLiteral("Ani"));
    QBuffer bad;
    bad.setData(R"({"format": "zelt-report", "version": 1, "bands": [{"height": "tall"}]})");
    bad.open(QIODevice::ReadOnly);
    QCOMPARE(report.load(bad, QString()), Report::LoadStatus::Invalid);
    QCOMPARE(report.errorString(), QStringLiteral("bands[0].height: must be a number, not a string"));
    QVERIFY(report.isEmpty());
    QCOMPARE(report.pageCount(), 0);
    QCOMPARE(report.variable(QStringLiteral("user")), QStringLiteral("Ani"));

    // a huge file is refused without being read whole
    QByteArray huge = layoutJson("[]");
    huge.append(QByteArray(33 * 1024 * 1024, ' '));
    QBuffer buffer(&huge);
    buffer.open(QIODevice::ReadOnly);
    QCOMPARE(report.load(buffer, dir.path()), Report::LoadStatus::Invalid);
    QCOMPARE(report.errorString(), QStringLiteral("larger than 32 MiB"));
}

void tst_ReportLayout::pdfHoldsVisibleTextOnly()
{
    if (pdftotextPath().isEmpty())
        QSKIP("pdftotext is not installed");
    QBuffer layoutFile;
    layoutFile.setData(layoutJson(R"([
        {"height": 200, "objects": [
            {"kind": "memo", "name": "shown", "x": 0, "y": 0, "width": 100, "height": 10, "text": "Shown to [User]"},
            {"kind": "memo", "name": "literal", "x": 0, "y": 20, "width": 100, "height": 10, "text": "Kept [User]", "expressions": false},
            {"kind": "memo", "name": "hidden", "x": 0, "y": 40, "width": 100, "height": 10, "text": "Secret", "visible": false}]},
        {"name": "hiddenBand", "visible": false, "height": 10, "objects": [
            {"kind": "memo", "x": 0, "y": 0, "width": 100, "height": 10, "text": "Concealed"}]},
        {"height": 200, "objects": [
            {"kind": "memo", "x": 0, "y": 0, "width": 100, "height": 10, "text": "Page [Page] of [TotalPages]"}]}])"));
    layoutFile.open(QIODevice::ReadOnly);
    Report report;
    QCOMPARE(report.load(layoutFile, QString()), Report::LoadStatus::Loaded);
    report.setVariable(QStringLiteral("user"), QStringLiteral("Budi"));
    QCOMPARE(report.pageCount(), 2);

    QByteArray pdf;
    QBuffer out(&pdf);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QVERIFY2(report.exportPdf(out), qPrintable(report.errorString()));
    QVERIFY(pdf.startsWith("%PDF"));

    const QString text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("Shown to Budi")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Kept [User]")));
    QVERIFY(text.contains(QStringLiteral("Page 2 of 2")));
    QVERIFY(!text.contains(QStringLiteral("Secret")));
    QVERIFY(!text.contains(QStringLiteral("Concealed")));
    QCOMPARE(text.split(QLatin1Char('\f'), Qt::SkipEmptyParts).size(), 2);
    QVERIFY(text.split(QLatin1Char('\f')).at(0).contains(QStringLiteral("Shown to Budi")));
}

void tst_ReportLayout::pdfToFileIsAtomic()
{
    QTemporaryDir dir;
    QBuffer layoutFile;
    layoutFile.setData(layoutJson(R"([{"height": 10}])"));
    layoutFile.open(QIODevice::ReadOnly);
    Report report;
    QCOMPARE(report.load(layoutFile, QString()), Report::LoadStatus::Loaded);

    const QString path = dir.filePath(QStringLiteral("out.pdf"));
    QVERIFY(report.exportPdf(path));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().startsWith("%PDF"));

    const QString nowhere = dir.filePath(QStringLiteral("missing/folder/out.pdf"));
    QVERIFY(!report.exportPdf(nowhere));
    QVERIFY(!report.errorString().isEmpty());
    QVERIFY(!QFileInfo::exists(nowhere));
}

void tst_ReportLayout::emptyReportRefusesOutput()
{
    RecordingPresenter *presenter = RecordingPresenter::install();
    Report report;
    QByteArray pdf;
    QBuffer out(&pdf);
    out.open(QIODevice::WriteOnly);
    QVERIFY(!report.exportPdf(out));
    QCOMPARE(report.errorString(), QStringLiteral("No report layout is loaded."));
    QVERIFY(pdf.isEmpty());

    QCOMPARE(report.showPreview(), int(ModalResult::Cancel));
    QCOMPARE(presenter->texts(), QStringList { QStringLiteral("No report layout is loaded.") });
    QCOMPARE(presenter->messages.first().kind, MessageKind::Error);
    QVERIFY(presenter->modals.isEmpty());
}

void tst_ReportLayout::previewThroughPresenter()
{
    RecordingPresenter *presenter = RecordingPresenter::install();
    QBuffer layoutFile;
    layoutFile.setData(layoutJson(R"([{"height": 200}, {"height": 200}])"));
    layoutFile.open(QIODevice::ReadOnly);
    Report report;
    QCOMPARE(report.load(layoutFile, QString()), Report::LoadStatus::Loaded);

    int previewPages = -1;
    presenter->modalScript = [&](QDialog &dialog) {
        auto *preview = dialog.findChild<QPrintPreviewWidget *>();
        if (!preview)
            return int(ModalResult::Abort);
        preview->updatePreview();
        previewPages = preview->pageCount();
        return int(ModalResult::Ok);
    };
    QCOMPARE(report.showPreview(), int(ModalResult::Ok));
    QCOMPARE(previewPages, 2);
    QCOMPARE(presenter->modals.size(), 1);
    QCOMPARE(presenter->modals.first().className, QStringLiteral("QPrintPreviewDialog"));
    QCOMPARE(presenter->modals.first().title, QStringLiteral("Test"));
    QVERIFY(presenter->messages.isEmpty());
}

QTEST_MAIN(tst_ReportLayout)
#include "tst_reportlayout.moc"
