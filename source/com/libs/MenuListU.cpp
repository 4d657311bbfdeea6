#include "MenuListU.h"

#include "Errors.h"
#include "Json.h"
#include "SideBar.h"

#include <QJsonObject>
#include <QStringList>

using Platform::SideBar;
using Platform::SideBarGroup;
using Platform::SideBarItem;

namespace {

// The server's tree is a few levels deep; a far deeper one is broken input
// and would only build an unusable side bar (and a deep recursion).
constexpr int kMaxMenuDepth = 32;

const QString kSeparatorTitle = QStringLiteral("-");

} // namespace

// ---------------------------------------------------------------- TMenuData

QString TMenuData::GetParams(int AIndex) const
{
    if (Params.isEmpty())
        return QString();
    const QStringList items = Params.split(QLatin1Char(','), Qt::KeepEmptyParts);
    if (AIndex < 0 || AIndex >= items.size())
        throw Platform::Error(QStringLiteral("Parameter index %1 is out of bounds: menu %2 has %3 parameters.")
                                  .arg(AIndex)
                                  .arg(MenuId)
                                  .arg(items.size()));
    return items.at(AIndex).trimmed();
}

// ---------------------------------------------------------------- TMenuList

TMenuList::TMenuList()
{
    Append(0, QStringLiteral("Welcome"), QStringLiteral("TWelcomeFrm"), QStringLiteral("Welcome"), QString(), QString(),
           QString(), 1);
}

TMenuList::~TMenuList()
{
    // The side bar is the host's and may outlive this list: its items must not
    // call a handler whose owner is gone.
    for (const QPointer<SideBarItem> &item : std::as_const(FItems)) {
        if (item)
            item->setOnClick(nullptr);
    }
}

void TMenuList::SetSideBar(Platform::SideBar *ASideBar)
{
    FSideBar = ASideBar;
}

Platform::SideBar *TMenuList::SideBar() const
{
    return FSideBar.data();
}

void TMenuList::Append(int AMenuId, const QString &AMenuTitle, const QString &AFormClass, const QString &ABreadCrumbs,
                       const QString &ATrCode, const QString &ATrGroupId, const QString &AParams, int AShowType)
{
    if (FMenuList.count(AMenuId))
        throw Platform::DuplicateKeyError(
            QStringLiteral("Menu id %1 (\"%2\") is already in the menu list.").arg(AMenuId).arg(AMenuTitle));
    auto data = std::make_unique<TMenuData>();
    data->MenuId = AMenuId;
    data->MenuTitle = AMenuTitle;
    data->FormClass = AFormClass;
    data->BreadCrumbs = ABreadCrumbs;
    data->Params = AParams;
    data->TrCode = ATrCode;
    data->TrGroupId = ATrGroupId;
    data->ShowType = AShowType;
    FMenuList.emplace(AMenuId, std::move(data));
}

TMenuData *TMenuList::Find(int AMenuId) const
{
    const auto it = FMenuList.find(AMenuId);
    if (it == FMenuList.end())
        throw Platform::NotFoundError(QStringLiteral("Menu id %1 is not in the menu list.").arg(AMenuId));
    return it->second.get();
}

QList<int> TMenuList::MenuIds() const
{
    QList<int> ids;
    ids.reserve(qsizetype(FMenuList.size()));
    for (const auto &entry : FMenuList)
        ids.append(entry.first);
    return ids;
}

void TMenuList::Clear()
{
    for (auto it = FMenuList.begin(); it != FMenuList.end();) {
        if (it->first == 0)
            ++it;
        else
            it = FMenuList.erase(it);
    }
    FItems.clear();
    if (FSideBar) {
        SideBar::UpdateGuard guard(FSideBar);
        FSideBar->clearGroups();
        FSideBar->deleteItemsExceptFirst();
    }
}

void TMenuList::LoadMenus(const QJsonArray &AData, Platform::SideBarGroup *AParentGroup)
{
    if (!FSideBar)
        throw Platform::Error(QStringLiteral("The menu list has no side bar to show the menus in."));
    if (AParentGroup && AParentGroup->sideBar() != FSideBar)
        throw Platform::Error(QStringLiteral("The parent group belongs to another side bar than the menu list's."));
    int depth = 0;
    for (SideBarGroup *g = AParentGroup; g; g = g->parentGroup())
        ++depth;
    FItems.removeIf([](const QPointer<SideBarItem> &item) { return item.isNull(); });
    // One rebuild of the view at the end, also when a node fails half-way.
    SideBar::UpdateGuard guard(FSideBar);
    LoadNodes(AData, AParentGroup, QStringLiteral("menus"), depth);
}

void TMenuList::LoadNodes(const QJsonArray &AData, Platform::SideBarGroup *AParentGroup, const QString &APath,
                          int ADepth)
{
    if (ADepth > kMaxMenuDepth)
        throw Platform::Error(
            QStringLiteral("The menu tree is nested deeper than %1 levels at %2.").arg(kMaxMenuDepth).arg(APath));

    for (qsizetype i = 0; i < AData.size(); ++i) {
        const QString path = APath + QLatin1Char('[') + QString::number(i) + QLatin1Char(']');
        const QJsonValue node = AData.at(i);
        if (!node.isObject())
            throw Platform::JsonMemberError(QStringLiteral("Menu node %1 is not a JSON object.").arg(path));

        // Every member a node needs is read before anything is added, so a
        // node with a member missing leaves no trace of its own.
        struct
        {
            bool isHeader = false;
            QString title;
            int level = 0;
            int iconIndex = -1;
            int menuId = 0;
            QString formClass, trCode, trGroupId, params;
            int formPos = 0;
        } n;
        try {
            using namespace Platform::Json;
            n.isHeader = getBool(node, QStringLiteral("is_header"));
            n.title = getString(node, QStringLiteral("menu_title"));
            if (n.isHeader) {
                n.level = getInt(node, QStringLiteral("level"));
                if (n.level == 1)
                    n.iconIndex = getInt(node, QStringLiteral("icon_index"));
            } else if (n.title != kSeparatorTitle) {
                n.menuId = getInt(node, QStringLiteral("menu_id"));
                n.formClass = getString(node, QStringLiteral("form_class"));
                n.trCode = getString(node, QStringLiteral("tr_code"));
                n.trGroupId = getString(node, QStringLiteral("tr_group_id"));
                n.params = getString(node, QStringLiteral("params"));
                n.formPos = getInt(node, QStringLiteral("form_pos"));
                n.iconIndex = getInt(node, QStringLiteral("icon_index"));
            }
        } catch (const Platform::JsonMemberError &e) {
            throw Platform::JsonMemberError(e.message() + QStringLiteral(" in menu node ") + path
                                            + QStringLiteral("."));
        }

        if (n.isHeader) {
            SideBarGroup *group = FSideBar->addGroup(n.title);
            group->setExpanded(false);
            if (n.level == 1) {
                group->setLargeImageIndex(n.iconIndex);
                group->setShowsLargeImages(true);
            }
            if (AParentGroup)
                group->setParentGroup(AParentGroup);
            const QJsonValue children = node.toObject().value(QStringLiteral("children"));
            // Absent or not an array: an empty group.
            if (children.isArray())
                LoadNodes(children.toArray(), group, path + QStringLiteral(".children"), ADepth + 1);
            continue;
        }

        // Only a group can hold an item or a separator.
        if (!AParentGroup)
            throw Platform::Error(QStringLiteral("Menu node %1 (\"%2\") is not a header; the top level of the menu "
                                                 "tree holds header nodes only.")
                                      .arg(path, n.title));

        if (n.title == kSeparatorTitle) {
            // The host's first item stands for every separator; without one
            // there is nothing to show.
            if (SideBarItem *first = FSideBar->item(0))
                AParentGroup->addLink(first);
            continue;
        }

        Append(n.menuId, n.title, n.formClass, QString(), n.trCode, n.trGroupId, n.params, n.formPos);
        SideBarItem *item = FSideBar->addItem(n.title);
        item->setTag(n.menuId);
        item->setOnClick(FOnMenuClick);
        // The group id alone followed by the position could repeat
        // ("1" + "12" and "11" + "2"): an underscore keeps names unique.
        item->setObjectName(QStringLiteral("ItemName%1_%2").arg(AParentGroup->id()).arg(i));
        item->setSmallImageIndex(n.iconIndex);
        item->setLargeImageIndex(-1);
        AParentGroup->addLink(item);
        FItems.append(item);
    }
}
