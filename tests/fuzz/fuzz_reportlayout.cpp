// Report layouts (reports/*.json): any text either reads as a layout or is
// refused with a reason; a layout read lays out into pages whose bands fit
// the printable area (or have a page of their own), and every page paints.

#include "FuzzSupport.h"

#include "ReportLayout.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

using Platform::ReportLayout;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::application<QGuiApplication>();
    // pictures named by file are looked for here: a folder of its own with
    // the one picture the shipped layouts name
    static const QString folder = [] {
        const QString f = Fuzz::emptyApplicationFolder();
        QImage logo(8, 4, QImage::Format_RGB32);
        logo.fill(Qt::darkBlue);
        logo.save(f + QStringLiteral("zelt-logo.png"));
        return f;
    }();

    QString error;
    const std::optional<ReportLayout> layout = ReportLayout::fromJson(Fuzz::bytes(data, size), folder, &error);
    if (!layout) {
        if (qEnvironmentVariableIsSet("ZELT_FUZZ_VERBOSE"))
            std::fprintf(stderr, "refused: %s\n", qPrintable(error));
        FUZZ_CHECK(!error.isEmpty(), QStringLiteral("refused without a reason"));
        return 0;
    }

    const QRectF printable = layout->printableRect();
    FUZZ_CHECK(printable.width() >= 1 && printable.height() >= 1, QStringLiteral("no room on the page"));
    const QList<QList<Platform::PlacedBand>> pages = layout->pages();
    FUZZ_CHECK(!pages.isEmpty(), QStringLiteral("no page at all"));
    for (const QList<Platform::PlacedBand> &page : pages) {
        for (const Platform::PlacedBand &placed : page) {
            FUZZ_CHECK(placed.band && placed.band->visible, QStringLiteral("an invisible band placed"));
            const bool fits =
                placed.top >= 0 && placed.top + placed.band->geometry.height() <= printable.height() + 1e-6;
            FUZZ_CHECK(
                fits || (page.size() == 1 && placed.top == 0),
                QStringLiteral("band \"%1\" at %2 mm runs off a shared page").arg(placed.band->name).arg(placed.top));
        }
    }

    // a coarse raster (about 20 dpi) keeps painting cheap; the first pages only
    const QSizeF paper = layout->paperSize();
    QImage image(qMax(1, int(paper.width() / 1.27)), qMax(1, int(paper.height() / 1.27)), QImage::Format_RGB32);
    image.setDotsPerMeterX(787);
    image.setDotsPerMeterY(787);
    const QHash<QString, QString> variables { { QStringLiteral("name"), QStringLiteral("[name]") } };
    for (int p = 0; p < pages.size() && p < 3; ++p) {
        image.fill(Qt::white);
        QPainter painter(&image);
        layout->renderPage(painter, p, variables);
    }
    return 0;
}
