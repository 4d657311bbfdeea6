// The page meta of a list response ("pages"): any JSON value is shown
// without raising, the page list holds the pages the count allows (never
// more than the cap), the labels carry the numbers shown, and no reload is
// asked for while it is painted.

#include "FuzzSupport.h"

#include "Errors.h"
#include "PaginationU.h"

#include <QApplication>
#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <cmath>

namespace {

// What the meta says, read the way the screen documents it.
bool isInt(const QJsonObject &meta, const char *name)
{
    const QJsonValue v = meta.value(QLatin1String(name));
    const double d = v.toDouble();
    return v.isDouble() && std::isfinite(d) && d == std::floor(d) && d >= -2147483648.0 && d <= 2147483647.0;
}

int intOr(const QJsonObject &meta, const char *name, int fallback)
{
    return isInt(meta, name) ? int(meta.value(QLatin1String(name)).toDouble()) : fallback;
}

struct Screen
{
    QWidget form;
    QComboBox *pageSize = new QComboBox(&form);
    QComboBox *page = new QComboBox(&form);
    QPushButton *first = new QPushButton(&form);
    QPushButton *prev = new QPushButton(&form);
    QPushButton *next = new QPushButton(&form);
    QPushButton *last = new QPushButton(&form);
    QLabel *pages = new QLabel(&form);
    QLabel *records = new QLabel(&form);
    std::unique_ptr<TPagination> pagination;
    int reloads = 0;

    Screen()
    {
        pageSize->addItems({ QStringLiteral("25"), QStringLiteral("50"), QStringLiteral("100") });
        page->setEditable(true);
        pagination = std::make_unique<TPagination>(pageSize, page, first, prev, next, last, pages, records);
        pagination->SetOnPageDataChange([this] { ++reloads; });
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::application<QApplication>();
    static Screen *screen = new Screen; // lives as long as the process

    const QByteArray bytes = Fuzz::bytes(data, size);
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    const QJsonValue value = doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(QString::fromUtf8(bytes));
    const QJsonObject meta = value.toObject();

    // the last input's queued page change runs first, as the event loop would
    Fuzz::settle();
    screen->reloads = 0;
    try {
        screen->pagination->Paginate(value);
    } catch (...) {
        FUZZ_CHECK(false, QStringLiteral("Paginate raised"));
    }
    FUZZ_CHECK(screen->reloads == 0, QStringLiteral("painting asked for %1 reloads").arg(screen->reloads));
    FUZZ_CHECK(!screen->pagination->IsLoading(), QStringLiteral("still painting"));

    // the bar shows no more pages than it can list, and a page beyond the
    // last as the last
    const int pageCount = qMin(intOr(meta, "page_count", 0), TPagination::MaxListedPages);
    int page = isInt(meta, "page_count") ? intOr(meta, "page", 1) : 1;
    if (pageCount > 0 && page > pageCount)
        page = pageCount;
    const int records = intOr(meta, "rec_count", 0);
    const int listed = qBound(0, pageCount, TPagination::MaxListedPages);
    FUZZ_CHECK(screen->page->count() == listed,
               QStringLiteral("%1 pages listed for a count of %2").arg(screen->page->count()).arg(pageCount));
    FUZZ_CHECK(screen->page->currentText() == QString::number(page),
               QStringLiteral("page \"%1\" shown for %2").arg(screen->page->currentText()).arg(page));
    FUZZ_CHECK(screen->pages->text().endsWith(QLatin1Char(' ') + QString::number(pageCount)),
               QStringLiteral("label \"%1\" for %2 pages").arg(screen->pages->text()).arg(pageCount));
    FUZZ_CHECK(screen->records->text().contains(QLatin1Char(' ') + QString::number(records) + QLatin1Char(' ')),
               QStringLiteral("label \"%1\" for %2 records").arg(screen->records->text()).arg(records));

    // a step after painting asks for one reload at most, and never raises
    // anything but the documented conversion error
    QPushButton *buttons[] = { screen->first, screen->prev, screen->next, screen->last };
    QPushButton *button = buttons[size % 4];
    try {
        screen->pagination->OnButtonClick(button);
    } catch (const Platform::Error &) { }
    FUZZ_CHECK(screen->reloads <= 1, QStringLiteral("one click, %1 reloads").arg(screen->reloads));
    return 0;
}
