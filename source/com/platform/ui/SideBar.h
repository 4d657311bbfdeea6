#pragma once

#include "com_global.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QAbstractButton;
class QScrollArea;

namespace Platform {

class SideBar;
class SideBarGroup;

// One entry of the side bar. An item is shown wherever it is linked into a
// group; the same item may be linked into several groups (the host's first
// item serves every separator). Its objectName is its component name.
class COM_EXPORT SideBarItem : public QObject
{
    Q_OBJECT
public:
    using ClickHandler = std::function<void(QObject *sender)>;

    ~SideBarItem() override;

    SideBar *sideBar() const { return m_bar; }
    // Position in the side bar's item collection.
    int index() const;

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    // Indexes into the side bar's image lists; -1 for none.
    int smallImageIndex() const { return m_smallImageIndex; }
    void setSmallImageIndex(int index);
    int largeImageIndex() const { return m_largeImageIndex; }
    void setLargeImageIndex(int index);

    // Called with the item as sender when the item is clicked.
    ClickHandler onClick() const { return m_onClick; }
    void setOnClick(ClickHandler handler) { m_onClick = std::move(handler); }

    // What a click on one of its buttons does: the handler, then clicked()
    // and SideBar::itemClicked(). The item may be deleted by the handler.
    void click();

Q_SIGNALS:
    void clicked(Platform::SideBarItem *item);

private:
    friend class SideBar;
    explicit SideBarItem(SideBar *bar);

    SideBar *m_bar;
    QString m_caption;
    int m_tag = 0;
    int m_smallImageIndex = -1;
    int m_largeImageIndex = -1;
    ClickHandler m_onClick;
};

// A caption that folds its contents: links to items and child groups, shown
// in the order they were added. Groups live in one flat collection of the
// side bar; a group with a parent is shown inside that parent.
class COM_EXPORT SideBarGroup : public QObject
{
    Q_OBJECT
public:
    // One line of a group's contents: either a link to an item or a child group.
    struct Entry
    {
        SideBarItem *item = nullptr;
        SideBarGroup *group = nullptr;
    };

    ~SideBarGroup() override;

    SideBar *sideBar() const { return m_bar; }
    // Identifier in the group collection: unique among the side bar's groups
    // until clearGroups() starts the numbering again.
    int id() const { return m_id; }
    // Position in the group collection.
    int index() const;

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    int largeImageIndex() const { return m_largeImageIndex; }
    void setLargeImageIndex(int index);
    // A group showing large images uses the large image list for its caption
    // and items; otherwise the small one.
    bool showsLargeImages() const { return m_showsLargeImages; }
    void setShowsLargeImages(bool large);
    int smallImageIndex() const { return m_smallImageIndex; }
    void setSmallImageIndex(int index);

    SideBarGroup *parentGroup() const { return m_parent; }
    // Moves the group to the end of parent's contents (nullptr: top level).
    // Raises Platform::Error when parent is this group or one inside it.
    void setParentGroup(SideBarGroup *parent);

    // Adds a link to the item at the end of the contents. The item must
    // belong to the same side bar.
    void addLink(SideBarItem *item);

    QList<Entry> entries() const { return m_entries; }
    QList<SideBarItem *> links() const;
    QList<SideBarGroup *> childGroups() const;

Q_SIGNALS:
    void expandedChanged(bool expanded);

private:
    friend class SideBar;
    SideBarGroup(SideBar *bar, int id);

    SideBar *m_bar;
    int m_id;
    QString m_caption;
    bool m_expanded = true;
    int m_largeImageIndex = -1;
    bool m_showsLargeImages = false;
    int m_smallImageIndex = -1;
    SideBarGroup *m_parent = nullptr;
    QList<Entry> m_entries;
};

// The navigation bar at the side of the main window: folding groups of
// clickable items, nested to any depth. Changes made between beginUpdate()
// and the matching endUpdate() are shown once, at the end.
class COM_EXPORT SideBar : public QWidget
{
    Q_OBJECT
public:
    explicit SideBar(QWidget *parent = nullptr);
    ~SideBar() override;

    // Counted: the view is rebuilt when the last endUpdate() comes.
    void beginUpdate();
    void endUpdate();
    bool isUpdating() const { return m_updateCount > 0; }

    // beginUpdate() for the lifetime of the object, exception-safe.
    class UpdateGuard
    {
    public:
        explicit UpdateGuard(SideBar *bar);
        ~UpdateGuard();
        UpdateGuard(const UpdateGuard &) = delete;
        UpdateGuard &operator=(const UpdateGuard &) = delete;

    private:
        QPointer<SideBar> m_bar;
    };

    // Groups, in one flat collection.
    SideBarGroup *addGroup(const QString &caption = QString());
    QList<SideBarGroup *> groups() const;
    int groupCount() const { return int(m_groups.size()); }
    SideBarGroup *group(int index) const;
    SideBarGroup *groupById(int id) const;
    // Deletes every group and with them every link; items stay.
    void clearGroups();

    // Items, in one flat collection.
    SideBarItem *addItem(const QString &caption = QString());
    QList<SideBarItem *> items() const;
    int itemCount() const { return int(m_items.size()); }
    SideBarItem *item(int index) const;
    // Deletes the item and every link to it.
    void deleteItem(SideBarItem *item);
    // Deletes all items but the one at the first position, last first.
    void deleteItemsExceptFirst();

    void setSmallImages(const QList<QIcon> &images);
    QList<QIcon> smallImages() const { return m_smallImages; }
    void setLargeImages(const QList<QIcon> &images);
    QList<QIcon> largeImages() const { return m_largeImages; }

    // The buttons now on screen, for tests and the host's styling.
    QAbstractButton *headerButton(const SideBarGroup *group) const;
    QList<QAbstractButton *> itemButtons(const SideBarItem *item) const;

Q_SIGNALS:
    void itemClicked(Platform::SideBarItem *item);

private:
    friend class SideBarItem;
    friend class SideBarGroup;

    void changed();
    void rebuild();
    void buildGroup(SideBarGroup *group, QWidget *container, int depth);
    void groupExpandedChanged(SideBarGroup *group);
    void itemButtonClicked(const QPointer<SideBarItem> &item);
    QIcon imageOf(const QList<QIcon> &images, int index) const;

    struct GroupView
    {
        QPointer<QAbstractButton> header;
        QPointer<QWidget> body;
    };

    std::vector<std::unique_ptr<SideBarGroup>> m_groups;
    std::vector<std::unique_ptr<SideBarItem>> m_items;
    QList<QIcon> m_smallImages;
    QList<QIcon> m_largeImages;
    int m_nextGroupId = 0;
    int m_updateCount = 0;
    bool m_dirty = false;
    bool m_destroying = false;

    QScrollArea *m_scroll = nullptr;
    QHash<const SideBarGroup *, GroupView> m_groupViews;
    QMultiHash<const SideBarItem *, QPointer<QAbstractButton>> m_itemButtons;
};

} // namespace Platform
