// The signed-in user's menu tree and module packages (GET /sys/v1/app/menus)
// and the typed configuration entries (GET /sys/v1/config).
#include "Database.h"
#include "Paging.h"
#include "Router.h"
#include "ServerContext.h"

#include <QJsonArray>
#include <QMap>

#include <vector>

namespace {

struct MenuNode
{
    qint64 id = 0;
    qint64 parentId = 0; // 0: top level
    bool isHeader = false;
    int level = 0;
    int iconIndex = -1;
    QString title;
    QString formClass;
    QString trCode;
    QString trGroupId;
    QString params;
    int formPos = 1;
};

QJsonObject nodeJson(const MenuNode &node, const QMap<qint64, std::vector<const MenuNode *>> &children, int depth)
{
    if (node.isHeader) {
        QJsonArray kids;
        // the tree is stored by parent id; a cycle in the table must not
        // recurse for ever
        if (depth < 16) {
            const auto it = children.constFind(node.id);
            if (it != children.constEnd()) {
                for (const MenuNode *child : *it)
                    kids.append(nodeJson(*child, children, depth + 1));
            }
        }
        return QJsonObject { { QStringLiteral("is_header"), true },
                             { QStringLiteral("menu_title"), node.title },
                             { QStringLiteral("level"), node.level },
                             { QStringLiteral("icon_index"), node.iconIndex },
                             { QStringLiteral("children"), kids } };
    }
    if (node.title == QLatin1String("-"))
        return QJsonObject { { QStringLiteral("is_header"), false }, { QStringLiteral("menu_title"), node.title } };
    return QJsonObject { { QStringLiteral("is_header"), false },
                         { QStringLiteral("menu_id"), node.id },
                         { QStringLiteral("menu_title"), node.title },
                         { QStringLiteral("icon_index"), node.iconIndex },
                         { QStringLiteral("form_class"), node.formClass },
                         { QStringLiteral("tr_code"), node.trCode },
                         { QStringLiteral("tr_group_id"), node.trGroupId },
                         { QStringLiteral("params"), node.params },
                         { QStringLiteral("form_pos"), node.formPos } };
}

Response menus(ServerContext &ctx, const Request &request)
{
    const Principal &who = request.principal;
    const bool indonesian = who.langCode == QLatin1String("id_ID");
    QSqlQuery q = ctx.db.exec(
        QStringLiteral("SELECT m.menu_id, COALESCE(m.parent_id, 0), m.is_header, m.level, m.icon_index,"
                       " m.title_en, m.title_id, m.form_class, m.tr_code, m.tr_group_id, m.params, m.form_pos"
                       " FROM menus m JOIN role_menus rm ON rm.menu_id = m.menu_id"
                       " WHERE rm.role_id = ? ORDER BY m.sort_order, m.menu_id"),
        { who.roleId });
    std::vector<MenuNode> nodes;
    while (q.next()) {
        MenuNode n;
        n.id = q.value(0).toLongLong();
        n.parentId = q.value(1).toLongLong();
        n.isHeader = q.value(2).toInt() != 0;
        n.level = q.value(3).toInt();
        n.iconIndex = q.value(4).toInt();
        n.title = indonesian ? q.value(6).toString() : q.value(5).toString();
        n.formClass = q.value(7).toString();
        n.trCode = q.value(8).toString();
        n.trGroupId = q.value(9).toString();
        n.params = q.value(10).toString();
        n.formPos = q.value(11).toInt();
        nodes.push_back(std::move(n));
    }

    QMap<qint64, std::vector<const MenuNode *>> children;
    for (const MenuNode &n : nodes)
        children[n.parentId].push_back(&n);

    QJsonArray tree;
    // the top level holds headers only: that is where the side bar has groups
    for (const MenuNode *n : children.value(0)) {
        if (n->isHeader)
            tree.append(nodeJson(*n, children, 0));
    }

    QJsonArray packages;
    QSqlQuery p = ctx.db.exec(QStringLiteral("SELECT p.package_id, p.package_file FROM packages p"
                                             " JOIN role_packages rp ON rp.package_id = p.package_id"
                                             " WHERE rp.role_id = ? ORDER BY rp.sort_order, p.package_id"),
                              { who.roleId });
    while (p.next()) {
        packages.append(QJsonObject { { QStringLiteral("package_id"), p.value(0).toString() },
                                      { QStringLiteral("package_file"), p.value(1).toString() } });
    }
    return Response::json(200,
                          QJsonObject { { QStringLiteral("response"),
                                          QJsonObject { { QStringLiteral("menus"), tree },
                                                        { QStringLiteral("packages"), packages } } } });
}

Response config(ServerContext &ctx, const Request &request)
{
    const QString configId = request.queryValue(QStringLiteral("config_id")).trimmed();
    QString sql = QStringLiteral("SELECT config_id, config_value, data_type, description FROM config");
    QVariantList binds;
    if (!configId.isEmpty()) {
        sql += QStringLiteral(" WHERE config_id = ?");
        binds << configId;
    }
    sql += QStringLiteral(" ORDER BY config_id");
    static const Columns columns = { { QStringLiteral("config_id"), ColType::Text },
                                     { QStringLiteral("config_value"), ColType::Text },
                                     { QStringLiteral("data_type"), ColType::Text },
                                     { QStringLiteral("description"), ColType::Text } };
    QSqlQuery q = ctx.db.exec(sql, binds);
    QJsonArray rows;
    while (q.next())
        rows.append(rowToJson(q, columns));
    return Response::json(
        200,
        QJsonObject { { QStringLiteral("data"), rows }, { QStringLiteral("pages"), singlePageMeta(rows.size()) } });
}

} // namespace

void registerSysRoutes(Router &router, ServerContext &ctx)
{
    router.add("GET", QStringLiteral("/sys/v1/app/menus"), Access::User, [&ctx](Request &r) { return menus(ctx, r); });
    router.add("GET", QStringLiteral("/sys/v1/config"), Access::User, [&ctx](Request &r) { return config(ctx, r); });
}
