// The menu tree of the signed-in user: any JSON either loads into the side
// bar and the menu list or raises Platform::Error (nothing else), and what
// was loaded is consistent: each item's tag is a menu id that is held, the
// welcome entry stays, and Clear() brings the list back to it alone.

#include "FuzzSupport.h"

#include "Errors.h"
#include "MenuListU.h"
#include "SideBar.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::application<QApplication>();
    // one side bar for the whole run, its first item the host's, as in the
    // main window
    static Platform::SideBar *bar = [] {
        auto *b = new Platform::SideBar; // lives as long as the process
        b->addItem(QStringLiteral("Welcome"));
        return b;
    }();

    const QJsonDocument doc = QJsonDocument::fromJson(Fuzz::bytes(data, size));
    const QJsonArray menus = doc.isArray() ? doc.array() : QJsonArray { doc.object() };

    TMenuList list;
    list.SetSideBar(bar);
    try {
        list.LoadMenus(menus, nullptr);
    } catch (const Platform::Error &e) {
        FUZZ_CHECK(!e.message().isEmpty(), QStringLiteral("raised without a reason"));
    }

    FUZZ_CHECK(list.Contains(0), QStringLiteral("the welcome entry is gone"));
    const QList<int> ids = list.MenuIds();
    FUZZ_CHECK(ids.size() == list.Count(), QStringLiteral("%1 ids for %2 entries").arg(ids.size()).arg(list.Count()));
    FUZZ_CHECK(bar->itemCount() == list.Count(),
               QStringLiteral("%1 items for %2 entries").arg(bar->itemCount()).arg(list.Count()));
    for (int i = 1; i < bar->itemCount(); ++i) {
        const int tag = int(bar->item(i)->tag());
        FUZZ_CHECK(list.Contains(tag), QStringLiteral("item %1 opens menu %2, which is not held").arg(i).arg(tag));
    }
    for (int id : ids) {
        const TMenuData *menu = list.Find(id);
        FUZZ_CHECK(menu && menu->MenuId == id, QStringLiteral("menu %1 not found by its id").arg(id));
        const int count = menu->Params.isEmpty() ? 0 : int(menu->Params.count(QLatin1Char(','))) + 1;
        for (int p = -1; p <= count; ++p) {
            bool raised = false;
            try {
                menu->GetParams(p);
            } catch (const Platform::Error &) {
                raised = true;
            }
            FUZZ_CHECK(raised == (count > 0 && (p < 0 || p >= count)),
                       QStringLiteral("parameter %1 of \"%2\"").arg(p).arg(menu->Params));
        }
    }

    list.Clear();
    FUZZ_CHECK(list.Count() == 1 && list.Contains(0), QStringLiteral("Clear() left %1 entries").arg(list.Count()));
    FUZZ_CHECK(bar->itemCount() == 1 && bar->groupCount() == 0,
               QStringLiteral("Clear() left %1 items and %2 groups").arg(bar->itemCount()).arg(bar->groupCount()));
    Fuzz::settle();
    return 0;
}
