#include "Router.h"

namespace {

QStringList splitPath(const QString &path)
{
    return path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

bool matchSegments(const QStringList &pattern, const QStringList &segments, QHash<QString, QString> *params)
{
    if (pattern.size() != segments.size())
        return false;
    QHash<QString, QString> captured;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QString &p = pattern.at(i);
        if (p.startsWith(QLatin1Char('{')) && p.endsWith(QLatin1Char('}'))) {
            captured.insert(p.mid(1, p.size() - 2), segments.at(i));
        } else if (p != segments.at(i)) {
            return false;
        }
    }
    if (params)
        *params = std::move(captured);
    return true;
}

} // namespace

Route &Router::add(const QByteArray &method, const QString &pattern, Access access, Handler handler)
{
    m_routes.push_back(Route { method, splitPath(pattern), access, std::move(handler), {}, false });
    return m_routes.back();
}

RouteMatch Router::match(const QByteArray &method, const QString &path) const
{
    RouteMatch result;
    const QStringList segments = splitPath(path);
    for (const Route &route : m_routes) {
        QHash<QString, QString> params;
        if (!matchSegments(route.segments, segments, &params))
            continue;
        if (route.method == method) {
            result.route = &route;
            result.params = std::move(params);
            return result;
        }
        result.pathKnown = true;
    }
    return result;
}

QString Router::normalisePath(const QString &path)
{
    const QStringList segments = splitPath(path);
    return QLatin1Char('/') + segments.join(QLatin1Char('/'));
}
