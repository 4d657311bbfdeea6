#pragma once

#include "com_global.h"

#include <QJsonArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class QObject;

namespace Platform {
class SideBar;
class SideBarGroup;
class SideBarItem;
} // namespace Platform

// One menu entry: what a side-bar item opens. Every screen holds the entry
// that opened it.
class COM_EXPORT TMenuData
{
public:
    int MenuId = 0;
    QString MenuTitle;
    QString FormClass;
    QString BreadCrumbs;
    QString Params;
    QString TrCode;
    QString TrGroupId;
    // 1: a child window, one instance reused; anything else: a modal dialog.
    int ShowType = 0;

    // Params split at every comma (blanks and empty items kept), the item at
    // AIndex without surrounding blanks. Empty when Params is empty; raises
    // Platform::Error for an index outside the items.
    QString GetParams(int AIndex) const;
};

using TNotifyEvent = std::function<void(QObject *Sender)>;

// The menu entries of the signed-in user by menu id, and the side bar they
// are shown in. Entry 0, the welcome screen, is always there.
class COM_EXPORT TMenuList
{
public:
    TMenuList();
    ~TMenuList();
    TMenuList(const TMenuList &) = delete;
    TMenuList &operator=(const TMenuList &) = delete;

    // The host's side bar; not owned. Its first item belongs to the host,
    // survives Clear() and is what "-" nodes link to.
    void SetSideBar(Platform::SideBar *ASideBar);
    Platform::SideBar *SideBar() const;

    // Given to every side-bar item created from here on; the sender is the
    // clicked Platform::SideBarItem, whose tag is the menu id.
    void SetOnMenuClick(TNotifyEvent AHandler) { FOnMenuClick = std::move(AHandler); }
    const TNotifyEvent &OnMenuClick() const { return FOnMenuClick; }

    // Raises Platform::DuplicateKeyError when AMenuId is taken; nothing is
    // kept then.
    void Append(int AMenuId, const QString &AMenuTitle, const QString &AFormClass, const QString &ABreadCrumbs,
                const QString &ATrCode, const QString &ATrGroupId, const QString &AParams, int AShowType);
    // Raises Platform::NotFoundError when AMenuId is not held.
    TMenuData *Find(int AMenuId) const;

    // Adds the menu nodes of AData, recursively, as groups and items of the
    // side bar (into AParentGroup when given) and as entries. A node lacking
    // a member its kind needs raises Platform::JsonMemberError naming the
    // member and the node; a repeated menu id raises DuplicateKeyError; a
    // non-header node at the top level raises Platform::Error. What was
    // added before the failing node stays: Clear() takes it away.
    void LoadMenus(const QJsonArray &AData, Platform::SideBarGroup *AParentGroup);

    // Drops every entry but the welcome entry, every group of the side bar
    // and every item but its first, so that the tree can be loaded again.
    // No screen opened from a dropped entry may be open.
    void Clear();

    int Count() const { return int(FMenuList.size()); }
    bool Contains(int AMenuId) const { return FMenuList.count(AMenuId) != 0; }
    QList<int> MenuIds() const;

private:
    void LoadNodes(const QJsonArray &AData, Platform::SideBarGroup *AParentGroup, const QString &APath, int ADepth);

    std::map<int, std::unique_ptr<TMenuData>> FMenuList;
    QPointer<Platform::SideBar> FSideBar;
    TNotifyEvent FOnMenuClick;
    // The items made here, to cut their handlers when the list goes.
    QList<QPointer<Platform::SideBarItem>> FItems;
};
