#include "SideBar.h"

#include "DialogPresenter.h"
#include "Errors.h"

#include <QFrame>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QStyleOptionButton>
#include <QVBoxLayout>

namespace Platform {

namespace {

constexpr int kSmallIcon = 16;
constexpr int kLargeIcon = 32;
constexpr int kIndent = 14;

const char *const kStyleSheet = R"(
#sideBarScroll, #sideBarContent { background: #f4f6f9; border: none; }
QPushButton[sideBarRole="header"] {
    text-align: left; font-weight: bold; color: #1f3a5f;
    background: #e2e8f1; border: none; border-bottom: 1px solid #c8d2df;
    padding: 7px 26px 7px 8px;
}
QPushButton[sideBarRole="header"]:hover { background: #d5dfec; }
QPushButton[sideBarRole="subheader"] {
    text-align: left; font-weight: bold; color: #33507a;
    background: transparent; border: none; padding: 5px 26px 5px 8px;
}
QPushButton[sideBarRole="subheader"]:hover { background: #e6ecf4; }
QPushButton[sideBarRole="item"] {
    text-align: left; color: #222; background: transparent;
    border: none; border-radius: 3px; padding: 4px 8px;
}
QPushButton[sideBarRole="item"]:hover { background: #dbe7f7; }
QPushButton[sideBarRole="item"]:pressed { background: #c3d6f0; }
QFrame[sideBarRole="separator"] { color: #cfd7e2; margin: 3px 8px; }
)";

// A group caption with a chevron telling whether the group is open.
class GroupHeaderButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPushButton::paintEvent(event);
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPen pen(palette().color(QPalette::ButtonText), 1.6);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        const QPointF c(width() - 14.0, height() / 2.0);
        QPainterPath chevron;
        if (isChecked()) {
            chevron.moveTo(c + QPointF(-4, -2));
            chevron.lineTo(c + QPointF(0, 2));
            chevron.lineTo(c + QPointF(4, -2));
        } else {
            chevron.moveTo(c + QPointF(-2, -4));
            chevron.lineTo(c + QPointF(2, 0));
            chevron.lineTo(c + QPointF(-2, 4));
        }
        p.drawPath(chevron);
    }
};

bool isSeparatorCaption(const QString &caption)
{
    return caption == QLatin1String("-");
}

// Captions are the server's text: an "&" in one is shown, not taken as the
// mark of a keyboard accelerator.
QString buttonText(const QString &caption)
{
    QString text = caption;
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

// ---------------------------------------------------------------- items

SideBarItem::SideBarItem(SideBar *bar)
    : m_bar(bar)
{ }

SideBarItem::~SideBarItem() = default;

int SideBarItem::index() const
{
    return int(m_bar->items().indexOf(const_cast<SideBarItem *>(this)));
}

void SideBarItem::setCaption(const QString &caption)
{
    m_caption = caption;
    m_bar->changed();
}

void SideBarItem::setSmallImageIndex(int index)
{
    m_smallImageIndex = index;
    m_bar->changed();
}

void SideBarItem::setLargeImageIndex(int index)
{
    m_largeImageIndex = index;
    m_bar->changed();
}

void SideBarItem::click()
{
    // The handler may rebuild the side bar and delete this item: work on
    // copies and look before touching the item again.
    QPointer<SideBarItem> self(this);
    QPointer<SideBar> bar(m_bar);
    const ClickHandler handler = m_onClick;
    if (handler)
        handler(this);
    if (!self)
        return;
    Q_EMIT clicked(this);
    if (self && bar)
        Q_EMIT bar->itemClicked(this);
}

// ---------------------------------------------------------------- groups

SideBarGroup::SideBarGroup(SideBar *bar, int id)
    : m_bar(bar)
    , m_id(id)
{ }

SideBarGroup::~SideBarGroup() = default;

int SideBarGroup::index() const
{
    return int(m_bar->groups().indexOf(const_cast<SideBarGroup *>(this)));
}

void SideBarGroup::setCaption(const QString &caption)
{
    m_caption = caption;
    m_bar->changed();
}

void SideBarGroup::setExpanded(bool expanded)
{
    if (m_expanded == expanded)
        return;
    m_expanded = expanded;
    m_bar->groupExpandedChanged(this);
    Q_EMIT expandedChanged(expanded);
}

void SideBarGroup::setLargeImageIndex(int index)
{
    m_largeImageIndex = index;
    m_bar->changed();
}

void SideBarGroup::setShowsLargeImages(bool large)
{
    m_showsLargeImages = large;
    m_bar->changed();
}

void SideBarGroup::setSmallImageIndex(int index)
{
    m_smallImageIndex = index;
    m_bar->changed();
}

void SideBarGroup::setParentGroup(SideBarGroup *parent)
{
    if (parent && parent->m_bar != m_bar)
        throw Error(QStringLiteral("A side bar group can only be moved into a group of its own side bar."));
    for (SideBarGroup *g = parent; g; g = g->m_parent) {
        if (g == this)
            throw Error(QStringLiteral("Side bar group \"%1\" cannot be moved into itself.").arg(m_caption));
    }
    if (m_parent)
        m_parent->m_entries.removeIf([this](const Entry &e) { return e.group == this; });
    m_parent = parent;
    if (parent)
        parent->m_entries.append(Entry { nullptr, this });
    m_bar->changed();
}

void SideBarGroup::addLink(SideBarItem *item)
{
    if (!item || item->sideBar() != m_bar)
        throw Error(QStringLiteral("Only an item of the same side bar can be linked into side bar group \"%1\".")
                        .arg(m_caption));
    m_entries.append(Entry { item, nullptr });
    m_bar->changed();
}

QList<SideBarItem *> SideBarGroup::links() const
{
    QList<SideBarItem *> result;
    for (const Entry &e : m_entries) {
        if (e.item)
            result.append(e.item);
    }
    return result;
}

QList<SideBarGroup *> SideBarGroup::childGroups() const
{
    QList<SideBarGroup *> result;
    for (const Entry &e : m_entries) {
        if (e.group)
            result.append(e.group);
    }
    return result;
}

// ---------------------------------------------------------------- side bar

SideBar::SideBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("sideBar"));
    setMinimumWidth(180);
    setStyleSheet(QString::fromLatin1(kStyleSheet));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("sideBarScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_scroll);
    rebuild();
}

SideBar::~SideBar()
{
    m_destroying = true;
    // The buttons outlive the model for a moment (they go with QWidget);
    // they only hold guarded pointers to it.
    m_groupViews.clear();
    m_itemButtons.clear();
    m_groups.clear();
    m_items.clear();
}

SideBar::UpdateGuard::UpdateGuard(SideBar *bar)
    : m_bar(bar)
{
    if (m_bar)
        m_bar->beginUpdate();
}

SideBar::UpdateGuard::~UpdateGuard()
{
    if (m_bar)
        m_bar->endUpdate();
}

void SideBar::beginUpdate()
{
    ++m_updateCount;
}

void SideBar::endUpdate()
{
    if (m_updateCount == 0)
        return;
    if (--m_updateCount == 0 && m_dirty)
        rebuild();
}

SideBarGroup *SideBar::addGroup(const QString &caption)
{
    m_groups.push_back(std::unique_ptr<SideBarGroup>(new SideBarGroup(this, m_nextGroupId++)));
    SideBarGroup *group = m_groups.back().get();
    group->m_caption = caption;
    changed();
    return group;
}

QList<SideBarGroup *> SideBar::groups() const
{
    QList<SideBarGroup *> result;
    result.reserve(qsizetype(m_groups.size()));
    for (const auto &g : m_groups)
        result.append(g.get());
    return result;
}

SideBarGroup *SideBar::group(int index) const
{
    if (index < 0 || index >= groupCount())
        return nullptr;
    return m_groups[size_t(index)].get();
}

SideBarGroup *SideBar::groupById(int id) const
{
    for (const auto &g : m_groups) {
        if (g->m_id == id)
            return g.get();
    }
    return nullptr;
}

void SideBar::clearGroups()
{
    m_groups.clear();
    m_nextGroupId = 0;
    changed();
}

SideBarItem *SideBar::addItem(const QString &caption)
{
    m_items.push_back(std::unique_ptr<SideBarItem>(new SideBarItem(this)));
    SideBarItem *item = m_items.back().get();
    item->m_caption = caption;
    // The component name is the button's name too.
    connect(item, &QObject::objectNameChanged, this, [this] { changed(); });
    changed();
    return item;
}

QList<SideBarItem *> SideBar::items() const
{
    QList<SideBarItem *> result;
    result.reserve(qsizetype(m_items.size()));
    for (const auto &i : m_items)
        result.append(i.get());
    return result;
}

SideBarItem *SideBar::item(int index) const
{
    if (index < 0 || index >= itemCount())
        return nullptr;
    return m_items[size_t(index)].get();
}

void SideBar::deleteItem(SideBarItem *item)
{
    const auto it = std::find_if(m_items.begin(), m_items.end(), [item](const auto &p) { return p.get() == item; });
    if (it == m_items.end())
        return;
    for (const auto &g : m_groups)
        g->m_entries.removeIf([item](const SideBarGroup::Entry &e) { return e.item == item; });
    m_itemButtons.remove(item);
    m_items.erase(it);
    changed();
}

void SideBar::deleteItemsExceptFirst()
{
    UpdateGuard guard(this);
    while (m_items.size() > 1)
        deleteItem(m_items.back().get());
}

void SideBar::setSmallImages(const QList<QIcon> &images)
{
    m_smallImages = images;
    changed();
}

void SideBar::setLargeImages(const QList<QIcon> &images)
{
    m_largeImages = images;
    changed();
}

QAbstractButton *SideBar::headerButton(const SideBarGroup *group) const
{
    return m_groupViews.value(group).header;
}

QList<QAbstractButton *> SideBar::itemButtons(const SideBarItem *item) const
{
    QList<QAbstractButton *> result;
    // QMultiHash yields the latest insertion first; the view order is wanted.
    const auto buttons = m_itemButtons.values(item);
    for (auto it = buttons.crbegin(); it != buttons.crend(); ++it) {
        if (*it)
            result.append(*it);
    }
    return result;
}

void SideBar::changed()
{
    if (m_destroying)
        return;
    if (m_updateCount > 0)
        m_dirty = true;
    else
        rebuild();
}

QIcon SideBar::imageOf(const QList<QIcon> &images, int index) const
{
    // Indexes come from the server: anything out of range means no image.
    return index >= 0 && index < images.size() ? images.at(index) : QIcon();
}

void SideBar::rebuild()
{
    m_dirty = false;
    m_groupViews.clear();
    m_itemButtons.clear();

    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("sideBarContent"));
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const auto &g : m_groups) {
        if (!g->m_parent)
            buildGroup(g.get(), content, 0);
    }
    layout->addStretch(1);

    // The old buttons may be in the middle of emitting the click that caused
    // this rebuild: let them go once control is back in the event loop.
    if (QWidget *old = m_scroll->takeWidget()) {
        old->hide();
        old->setParent(this);
        old->deleteLater();
    }
    m_scroll->setWidget(content);
}

void SideBar::buildGroup(SideBarGroup *group, QWidget *container, int depth)
{
    // Nesting comes from the server: a cycle cannot be built through
    // setParentGroup, and the depth is bounded by the callers.
    const bool large = group->m_showsLargeImages;
    auto *header = new GroupHeaderButton(container);
    header->setObjectName(QStringLiteral("sideBarGroup%1").arg(group->m_id));
    header->setProperty("sideBarRole", depth == 0 ? "header" : "subheader");
    header->setText(buttonText(group->m_caption));
    header->setToolTip(group->m_caption);
    header->setCheckable(true);
    header->setChecked(group->m_expanded);
    header->setCursor(Qt::PointingHandCursor);
    header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    const QIcon headerIcon =
        large ? imageOf(m_largeImages, group->m_largeImageIndex) : imageOf(m_smallImages, group->m_smallImageIndex);
    header->setIcon(headerIcon);
    header->setIconSize(QSize(large ? kLargeIcon : kSmallIcon, large ? kLargeIcon : kSmallIcon));
    container->layout()->addWidget(header);
    QPointer<SideBarGroup> guarded(group);
    connect(header, &QAbstractButton::clicked, this, [guarded] {
        if (guarded)
            guarded->setExpanded(!guarded->isExpanded());
    });

    auto *body = new QWidget(container);
    body->setObjectName(QStringLiteral("sideBarGroupBody%1").arg(group->m_id));
    auto *bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(depth == 0 ? 4 : kIndent, 2, 2, 4);
    bodyLayout->setSpacing(1);
    for (const SideBarGroup::Entry &e : std::as_const(group->m_entries)) {
        if (e.group) {
            buildGroup(e.group, body, depth + 1);
            continue;
        }
        SideBarItem *item = e.item;
        if (isSeparatorCaption(item->m_caption)) {
            auto *line = new QFrame(body);
            line->setProperty("sideBarRole", "separator");
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Plain);
            bodyLayout->addWidget(line);
            continue;
        }
        const QIcon largeIcon = imageOf(m_largeImages, item->m_largeImageIndex);
        const bool useLarge = large && !largeIcon.isNull();
        auto *button = new QPushButton(body);
        button->setObjectName(item->objectName());
        button->setProperty("sideBarRole", "item");
        button->setText(buttonText(item->m_caption));
        button->setToolTip(item->m_caption);
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setIcon(useLarge ? largeIcon : imageOf(m_smallImages, item->m_smallImageIndex));
        button->setIconSize(QSize(useLarge ? kLargeIcon : kSmallIcon, useLarge ? kLargeIcon : kSmallIcon));
        bodyLayout->addWidget(button);
        m_itemButtons.insert(item, button);
        QPointer<SideBarItem> target(item);
        connect(button, &QAbstractButton::clicked, this, [this, target] { itemButtonClicked(target); });
    }
    body->setVisible(group->m_expanded);
    container->layout()->addWidget(body);
    m_groupViews.insert(group, GroupView { header, body });
}

void SideBar::groupExpandedChanged(SideBarGroup *group)
{
    const GroupView view = m_groupViews.value(group);
    if (view.body)
        view.body->setVisible(group->m_expanded);
    if (view.header)
        view.header->setChecked(group->m_expanded);
}

void SideBar::itemButtonClicked(const QPointer<SideBarItem> &item)
{
    if (!item)
        return;
    // The click comes from the event loop: nothing may be thrown back into it.
    try {
        item->click();
    } catch (const std::exception &e) {
        dialogPresenter().showMessage(messageOf(e), MessageKind::Error, MessageButton::Ok);
    } catch (...) {
        dialogPresenter().showMessage(QStringLiteral("Unknown error"), MessageKind::Error, MessageButton::Ok);
    }
}

} // namespace Platform
