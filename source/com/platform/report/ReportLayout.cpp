#include "ReportLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QPainter>
#include <QPaintDevice>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace Platform {

namespace {

const char *const formatName = "zelt-report";
constexpr int formatVersion = 1;
// Far beyond any paper; keeps arithmetic on lengths finite and sane.
constexpr qreal maxLength = 10000.0;

struct NamedPageSize
{
    const char *name;
    QPageSize::PageSizeId id;
};

const NamedPageSize namedPageSizes[] = {
    { "A3", QPageSize::A3 },       { "A4", QPageSize::A4 },         { "A5", QPageSize::A5 },
    { "B5", QPageSize::B5 },       { "Letter", QPageSize::Letter }, { "Legal", QPageSize::Legal },
    { "Folio", QPageSize::Folio },
};

QString quoted(const QString &s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}

QString kindName(QJsonValue::Type type)
{
    switch (type) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("a Boolean");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a string");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    case QJsonValue::Undefined: break;
    }
    return QStringLiteral("nothing");
}

// Line and column (from 1) of a character offset, for parse errors.
QString position(const QByteArray &json, int offset)
{
    int line = 1;
    int column = 1;
    for (int i = 0; i < offset && i < json.size(); ++i) {
        if (json.at(i) == '\n') {
            ++line;
            column = 1;
        } else if ((json.at(i) & 0xC0) != 0x80) { // count characters, not UTF-8 continuation bytes
            ++column;
        }
    }
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

// Reads the members of one JSON object, remembering the first fault with
// the path of the member where it lies. Every read leaves the target as it
// is when the member is absent.
class Reader
{
public:
    explicit Reader(QString &error)
        : m_error(error)
    { }

    bool failed() const { return !m_error.isEmpty(); }

    bool fail(const QString &path, const QString &message)
    {
        if (m_error.isEmpty())
            m_error = path.isEmpty() ? message : path + QStringLiteral(": ") + message;
        return false;
    }

    static QString member(const QString &path, const QString &key)
    {
        return path.isEmpty() ? key : path + QLatin1Char('.') + key;
    }

    bool expect(const QJsonValue &v, QJsonValue::Type type, const QString &path)
    {
        if (v.type() == type)
            return true;
        return fail(path, QStringLiteral("must be %1, not %2").arg(kindName(type), kindName(v.type())));
    }

    bool number(const QJsonObject &o, const QString &path, const char *key, qreal &out, qreal min, qreal max,
                bool required = false)
    {
        const QString k = QLatin1String(key);
        const QString p = member(path, k);
        const QJsonValue v = o.value(k);
        if (v.isUndefined())
            return required ? fail(p, QStringLiteral("is missing")) : true;
        if (!expect(v, QJsonValue::Double, p))
            return false;
        const double d = v.toDouble();
        if (!std::isfinite(d) || d < min || d > max)
            return fail(p, QStringLiteral("must lie between %1 and %2").arg(min).arg(max));
        out = d;
        return true;
    }

    bool boolean(const QJsonObject &o, const QString &path, const char *key, bool &out)
    {
        const QString k = QLatin1String(key);
        const QJsonValue v = o.value(k);
        if (v.isUndefined())
            return true;
        if (!expect(v, QJsonValue::Bool, member(path, k)))
            return false;
        out = v.toBool();
        return true;
    }

    bool string(const QJsonObject &o, const QString &path, const char *key, QString &out, bool required = false)
    {
        const QString k = QLatin1String(key);
        const QString p = member(path, k);
        const QJsonValue v = o.value(k);
        if (v.isUndefined())
            return required ? fail(p, QStringLiteral("is missing")) : true;
        if (!expect(v, QJsonValue::String, p))
            return false;
        out = v.toString();
        return true;
    }

    bool color(const QJsonObject &o, const QString &path, const char *key, QColor &out)
    {
        QString text;
        const QString p = member(path, QLatin1String(key));
        if (!string(o, path, key, text))
            return false;
        if (!o.contains(QLatin1String(key)))
            return true;
        const QColor c = QColor::fromString(text);
        if (!c.isValid())
            return fail(p, QStringLiteral("%1 is not a colour").arg(quoted(text)));
        out = c;
        return true;
    }

    // One of the names; its index in out.
    bool choice(const QJsonObject &o, const QString &path, const char *key, const QStringList &names, int &out)
    {
        QString text;
        if (!string(o, path, key, text))
            return false;
        if (!o.contains(QLatin1String(key)))
            return true;
        const int index = names.indexOf(text);
        if (index < 0) {
            return fail(member(path, QLatin1String(key)),
                        QStringLiteral("%1 is not one of %2").arg(quoted(text), names.join(QStringLiteral(", "))));
        }
        out = index;
        return true;
    }

    bool object(const QJsonObject &o, const QString &path, const char *key, QJsonObject &out)
    {
        const QString k = QLatin1String(key);
        const QJsonValue v = o.value(k);
        if (v.isUndefined())
            return true;
        if (!expect(v, QJsonValue::Object, member(path, k)))
            return false;
        out = v.toObject();
        return true;
    }

private:
    QString &m_error;
};

class LayoutParser
{
public:
    LayoutParser(const QString &baseFolder, QString &error)
        : m_baseFolder(baseFolder)
        , r(error)
    { }

    bool parse(const QJsonObject &root, ReportLayout &layout)
    {
        QString format;
        if (!r.string(root, QString(), "format", format, true))
            return false;
        if (format != QLatin1String(formatName))
            return r.fail(QStringLiteral("format"),
                          QStringLiteral("must be %1").arg(quoted(QLatin1String(formatName))));
        qreal version = 0;
        if (!r.number(root, QString(), "version", version, 0, 1e9, true))
            return false;
        if (version != formatVersion)
            return r.fail(QStringLiteral("version"),
                          QStringLiteral("%1 is not supported (only %2)").arg(version).arg(formatVersion));
        if (!r.string(root, QString(), "title", layout.title))
            return false;

        QJsonObject page;
        if (!r.object(root, QString(), "page", page) || !parsePage(page, layout))
            return false;

        QFont font(QStringLiteral("Arial"));
        font.setStyleHint(QFont::SansSerif);
        // no ligatures, so that the text of a PDF is found as it was typed
        font.setStyleStrategy(QFont::PreferNoShaping);
        font.setPointSizeF(10);
        QJsonObject fontObject;
        if (!r.object(root, QString(), "font", fontObject) || !parseFont(fontObject, QStringLiteral("font"), font))
            return false;
        m_font = font;

        const QJsonValue bands = root.value(QLatin1String("bands"));
        if (bands.isUndefined())
            return r.fail(QStringLiteral("bands"), QStringLiteral("is missing"));
        if (!r.expect(bands, QJsonValue::Array, QStringLiteral("bands")))
            return false;
        const QJsonArray list = bands.toArray();
        layout.bands.reserve(list.size());
        for (qsizetype i = 0; i < list.size(); ++i) {
            ReportObject band;
            if (!parseBand(list.at(i), QStringLiteral("bands[%1]").arg(i), band))
                return false;
            layout.bands.push_back(std::move(band));
        }
        return true;
    }

private:
    bool parsePage(const QJsonObject &page, ReportLayout &layout)
    {
        const QString path = QStringLiteral("page");
        const QJsonValue size = page.value(QLatin1String("size"));
        if (size.isString()) {
            const QString name = size.toString();
            bool found = false;
            for (const NamedPageSize &n : namedPageSizes) {
                if (name.compare(QLatin1String(n.name), Qt::CaseInsensitive) == 0) {
                    layout.pageSize = QPageSize(n.id);
                    found = true;
                }
            }
            if (!found) {
                QStringList names;
                for (const NamedPageSize &n : namedPageSizes)
                    names.append(QLatin1String(n.name));
                return r.fail(QStringLiteral("page.size"),
                              QStringLiteral("%1 is not one of %2 nor {\"width\", \"height\"}")
                                  .arg(quoted(name), names.join(QStringLiteral(", "))));
            }
        } else if (size.isObject()) {
            qreal w = 0, h = 0;
            const QJsonObject o = size.toObject();
            if (!r.number(o, QStringLiteral("page.size"), "width", w, 10, 5000, true)
                || !r.number(o, QStringLiteral("page.size"), "height", h, 10, 5000, true))
                return false;
            // kept upright, as page sizes are; a wide size is read as landscape
            // unless the orientation says otherwise
            layout.pageSize = QPageSize(QSizeF(std::min(w, h), std::max(w, h)), QPageSize::Millimeter, QString(),
                                        QPageSize::ExactMatch);
            if (w > h)
                layout.orientation = QPageLayout::Landscape;
        } else if (!size.isUndefined()) {
            return r.fail(QStringLiteral("page.size"),
                          QStringLiteral("must be a name or an object, not %1").arg(kindName(size.type())));
        }

        int orientation = layout.orientation == QPageLayout::Portrait ? 0 : 1;
        if (!r.choice(page, path, "orientation", { QStringLiteral("portrait"), QStringLiteral("landscape") },
                      orientation))
            return false;
        layout.orientation = orientation == 0 ? QPageLayout::Portrait : QPageLayout::Landscape;

        const QJsonValue margins = page.value(QLatin1String("margins"));
        if (margins.isDouble()) {
            qreal m = 0;
            if (!r.number(page, path, "margins", m, 0, 1000))
                return false;
            layout.margins = QMarginsF(m, m, m, m);
        } else if (margins.isObject()) {
            const QJsonObject o = margins.toObject();
            const QString p = QStringLiteral("page.margins");
            qreal left = layout.margins.left(), top = layout.margins.top(), right = layout.margins.right(),
                  bottom = layout.margins.bottom();
            if (!r.number(o, p, "left", left, 0, 1000) || !r.number(o, p, "top", top, 0, 1000)
                || !r.number(o, p, "right", right, 0, 1000) || !r.number(o, p, "bottom", bottom, 0, 1000))
                return false;
            layout.margins = QMarginsF(left, top, right, bottom);
        } else if (!margins.isUndefined()) {
            return r.fail(QStringLiteral("page.margins"),
                          QStringLiteral("must be a number or an object, not %1").arg(kindName(margins.type())));
        }

        const QRectF printable = layout.printableRect();
        if (printable.width() < 1 || printable.height() < 1)
            return r.fail(QStringLiteral("page.margins"), QStringLiteral("leave no room on the page"));
        return true;
    }

    bool parseFont(const QJsonObject &o, const QString &path, QFont &font)
    {
        QString family;
        if (!r.string(o, path, "family", family))
            return false;
        if (!family.isEmpty())
            font.setFamily(family);
        qreal size = font.pointSizeF();
        if (!r.number(o, path, "size", size, 1, 500))
            return false;
        font.setPointSizeF(size);
        bool bold = font.bold(), italic = font.italic(), underline = font.underline();
        if (!r.boolean(o, path, "bold", bold) || !r.boolean(o, path, "italic", italic)
            || !r.boolean(o, path, "underline", underline))
            return false;
        font.setBold(bold);
        font.setItalic(italic);
        font.setUnderline(underline);
        return true;
    }

    bool parseName(const QJsonObject &o, const QString &path, QString &name)
    {
        if (!r.string(o, path, "name", name))
            return false;
        if (!o.contains(QLatin1String("name")))
            return true;
        const QString p = Reader::member(path, QStringLiteral("name"));
        if (name.trimmed().isEmpty())
            return r.fail(p, QStringLiteral("must not be empty"));
        const QString key = name.toLower();
        if (m_names.contains(key))
            return r.fail(
                p, QStringLiteral("%1 is used twice (names are compared without regard to case)").arg(quoted(name)));
        m_names.insert(key);
        return true;
    }

    bool parseBand(const QJsonValue &value, const QString &path, ReportObject &band)
    {
        if (!r.expect(value, QJsonValue::Object, path))
            return false;
        const QJsonObject o = value.toObject();
        band.kind = ReportObjectKind::Band;
        QString kind;
        if (!r.string(o, path, "kind", kind))
            return false;
        if (o.contains(QLatin1String("kind")) && kind != QLatin1String("band"))
            return r.fail(Reader::member(path, QStringLiteral("kind")), QStringLiteral("must be \"band\" here"));
        qreal height = 0;
        if (!parseName(o, path, band.name) || !r.number(o, path, "height", height, 0, maxLength, true)
            || !r.boolean(o, path, "visible", band.visible))
            return false;
        band.geometry = QRectF(0, 0, 0, height);

        const QJsonValue objects = o.value(QLatin1String("objects"));
        if (objects.isUndefined())
            return true;
        const QString objectsPath = Reader::member(path, QStringLiteral("objects"));
        if (!r.expect(objects, QJsonValue::Array, objectsPath))
            return false;
        const QJsonArray list = objects.toArray();
        band.objects.reserve(list.size());
        for (qsizetype i = 0; i < list.size(); ++i) {
            ReportObject object;
            if (!parseObject(list.at(i), objectsPath + QStringLiteral("[%1]").arg(i), object))
                return false;
            band.objects.push_back(std::move(object));
        }
        return true;
    }

    bool parseBorder(const QJsonObject &o, const QString &path, ReportBorder &border)
    {
        const QJsonValue v = o.value(QLatin1String("border"));
        if (v.isUndefined())
            return true;
        const QString p = Reader::member(path, QStringLiteral("border"));
        if (v.isBool()) {
            border.enabled = v.toBool();
            return true;
        }
        if (!v.isObject())
            return r.fail(p, QStringLiteral("must be a Boolean or an object, not %1").arg(kindName(v.type())));
        const QJsonObject b = v.toObject();
        border.enabled = true;
        if (!parsePen(b, p, border.pen))
            return false;
        QString sides;
        if (!r.string(b, p, "sides", sides))
            return false;
        if (b.contains(QLatin1String("sides"))) {
            Qt::Edges edges;
            for (const QChar c : sides) {
                switch (c.unicode()) {
                case 'l': edges |= Qt::LeftEdge; break;
                case 't': edges |= Qt::TopEdge; break;
                case 'r': edges |= Qt::RightEdge; break;
                case 'b': edges |= Qt::BottomEdge; break;
                default:
                    return r.fail(Reader::member(p, QStringLiteral("sides")),
                                  QStringLiteral("%1 may hold only the letters l, t, r and b").arg(quoted(sides)));
                }
            }
            border.sides = edges;
        }
        return true;
    }

    bool parsePen(const QJsonObject &o, const QString &path, ReportPen &pen)
    {
        return r.number(o, path, "width", pen.width, 0, 100) && r.color(o, path, "color", pen.color);
    }

    bool parsePicture(const QJsonObject &o, const QString &path, ReportObject &object)
    {
        int fit = 0;
        if (!r.choice(o, path, "fit", { QStringLiteral("aspect"), QStringLiteral("stretch"), QStringLiteral("center") },
                      fit))
            return false;
        object.fit = PictureFit(fit);
        QString file, data;
        if (!r.string(o, path, "file", file) || !r.string(o, path, "data", data))
            return false;
        if (!file.isEmpty() && !data.isEmpty())
            return r.fail(path, QStringLiteral("has both \"file\" and \"data\"; give one"));
        if (!file.isEmpty()) {
            const QString p = Reader::member(path, QStringLiteral("file"));
            const QString full = QDir(m_baseFolder).absoluteFilePath(file);
            if (!QFileInfo(full).isFile())
                return r.fail(p, QStringLiteral("picture %1 not found").arg(quoted(QDir::toNativeSeparators(full))));
            QImage image;
            if (!image.load(full))
                return r.fail(p,
                              QStringLiteral("picture %1 cannot be read").arg(quoted(QDir::toNativeSeparators(full))));
            object.picture = image;
        } else if (!data.isEmpty()) {
            const auto decoded =
                QByteArray::fromBase64Encoding(data.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            QImage image;
            if (!decoded || !image.loadFromData(*decoded)) {
                return r.fail(Reader::member(path, QStringLiteral("data")),
                              QStringLiteral("is not a picture in base64"));
            }
            object.picture = image;
        }
        return true;
    }

    bool parseObject(const QJsonValue &value, const QString &path, ReportObject &object)
    {
        if (!r.expect(value, QJsonValue::Object, path))
            return false;
        const QJsonObject o = value.toObject();
        QString kind;
        if (!r.string(o, path, "kind", kind, true))
            return false;
        static const QStringList kinds = { QStringLiteral("memo"), QStringLiteral("picture"), QStringLiteral("line"),
                                           QStringLiteral("rect") };
        const int index = kinds.indexOf(kind);
        if (index < 0) {
            return r.fail(Reader::member(path, QStringLiteral("kind")),
                          QStringLiteral("%1 is not one of %2").arg(quoted(kind), kinds.join(QStringLiteral(", "))));
        }
        // in the order of ReportObjectKind, after Band
        static_assert(int(ReportObjectKind::Memo) == 1 && int(ReportObjectKind::Rect) == 4);
        object.kind = ReportObjectKind(index + 1);

        // A line's end may lie left of or above its start.
        const qreal minSize = object.kind == ReportObjectKind::Line ? -maxLength : 0;
        qreal x = 0, y = 0, w = 0, h = 0;
        if (!parseName(o, path, object.name) || !r.number(o, path, "x", x, -maxLength, maxLength, true)
            || !r.number(o, path, "y", y, -maxLength, maxLength, true)
            || !r.number(o, path, "width", w, minSize, maxLength, true)
            || !r.number(o, path, "height", h, minSize, maxLength, true)
            || !r.boolean(o, path, "visible", object.visible))
            return false;
        object.geometry = QRectF(x, y, w, h);

        switch (object.kind) {
        case ReportObjectKind::Memo: {
            object.font = m_font;
            QJsonObject font;
            int align = 0, valign = 0;
            if (!r.string(o, path, "text", object.text) || !r.object(o, path, "font", font)
                || !parseFont(font, Reader::member(path, QStringLiteral("font")), object.font)
                || !r.color(o, path, "color", object.textColor) || !r.color(o, path, "fill", object.fillColor)
                || !r.choice(o, path, "align",
                             { QStringLiteral("left"), QStringLiteral("center"), QStringLiteral("right"),
                               QStringLiteral("justify") },
                             align)
                || !r.choice(o, path, "valign",
                             { QStringLiteral("top"), QStringLiteral("center"), QStringLiteral("bottom") }, valign)
                || !r.boolean(o, path, "word_wrap", object.wordWrap)
                || !r.boolean(o, path, "expressions", object.expressions)
                || !r.number(o, path, "padding", object.padding, 0, 100) || !parseBorder(o, path, object.border))
                return false;
            static const Qt::Alignment horizontal[] = { Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                                        Qt::AlignJustify };
            static const Qt::Alignment vertical[] = { Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom };
            object.alignment = horizontal[align] | vertical[valign];
            return true;
        }
        case ReportObjectKind::Picture: return parsePicture(o, path, object) && parseBorder(o, path, object.border);
        case ReportObjectKind::Line: {
            QJsonObject pen;
            return r.object(o, path, "pen", pen)
                && parsePen(pen, Reader::member(path, QStringLiteral("pen")), object.pen);
        }
        case ReportObjectKind::Rect:
            // A rect without a border member is outlined all round.
            object.border.enabled = true;
            return r.color(o, path, "fill", object.fillColor) && parseBorder(o, path, object.border);
        case ReportObjectKind::Band: break;
        }
        return true;
    }

    QString m_baseFolder;
    Reader r;
    QFont m_font;
    QSet<QString> m_names;
};

ReportObject *findIn(std::vector<ReportObject> &objects, const QString &name)
{
    for (ReportObject &o : objects) {
        if (!o.name.isEmpty() && o.name.compare(name, Qt::CaseInsensitive) == 0)
            return &o;
        if (ReportObject *inner = findIn(o.objects, name))
            return inner;
    }
    return nullptr;
}

// Painting in device pixels, lengths given in millimetres: fonts keep their
// point sizes because the device's own resolution converts them.
class Painter
{
public:
    explicit Painter(QPainter &painter)
        : p(painter)
    {
        const QPaintDevice *device = painter.device();
        m_dpiX = device ? device->logicalDpiX() : 72;
        m_dpiY = device ? device->logicalDpiY() : 72;
    }

    qreal x(qreal mm) const { return mm * m_dpiX / 25.4; }
    qreal y(qreal mm) const { return mm * m_dpiY / 25.4; }
    QRectF rect(const QRectF &mm) const { return QRectF(x(mm.x()), y(mm.y()), x(mm.width()), y(mm.height())); }

    QPen pen(const ReportPen &pen) const
    {
        QPen result(pen.color);
        result.setWidthF(x(pen.width));
        result.setCapStyle(Qt::FlatCap);
        return result;
    }

    void border(const QRectF &r, const ReportBorder &border)
    {
        if (!border.enabled || border.pen.width <= 0)
            return;
        p.setPen(pen(border.pen));
        if (border.sides.testFlag(Qt::LeftEdge))
            p.drawLine(QLineF(r.topLeft(), r.bottomLeft()));
        if (border.sides.testFlag(Qt::TopEdge))
            p.drawLine(QLineF(r.topLeft(), r.topRight()));
        if (border.sides.testFlag(Qt::RightEdge))
            p.drawLine(QLineF(r.topRight(), r.bottomRight()));
        if (border.sides.testFlag(Qt::BottomEdge))
            p.drawLine(QLineF(r.bottomLeft(), r.bottomRight()));
    }

    void object(const ReportObject &o, const QPointF &origin, const QHash<QString, QString> &variables)
    {
        const QRectF r = rect(o.geometry.translated(origin));
        switch (o.kind) {
        case ReportObjectKind::Memo: {
            if (o.fillColor.isValid())
                p.fillRect(r, o.fillColor);
            const QString text = o.expressions ? ReportLayout::expand(o.text, variables) : o.text;
            if (!text.isEmpty()) {
                p.save();
                // a memo never writes over its neighbours
                p.setClipRect(r, Qt::IntersectClip);
                p.setFont(o.font);
                p.setPen(o.textColor);
                int flags = int(o.alignment);
                if (o.wordWrap)
                    flags |= Qt::TextWordWrap;
                const QRectF inner = r.adjusted(x(o.padding), y(o.padding), -x(o.padding), -y(o.padding));
                p.drawText(inner, flags, text);
                p.restore();
            }
            border(r, o.border);
            break;
        }
        case ReportObjectKind::Picture:
            if (!o.picture.isNull() && r.width() > 0 && r.height() > 0)
                p.drawImage(pictureRect(o, r), o.picture);
            border(r, o.border);
            break;
        case ReportObjectKind::Line:
            if (o.pen.width > 0) {
                p.setPen(pen(o.pen));
                p.drawLine(QLineF(r.topLeft(), r.bottomRight()));
            }
            break;
        case ReportObjectKind::Rect:
            if (o.fillColor.isValid())
                p.fillRect(r.normalized(), o.fillColor);
            border(r, o.border);
            break;
        case ReportObjectKind::Band: break;
        }
    }

private:
    QRectF pictureRect(const ReportObject &o, const QRectF &r) const
    {
        QSizeF size;
        switch (o.fit) {
        case PictureFit::Stretch: return r;
        case PictureFit::Aspect: size = QSizeF(o.picture.size()).scaled(r.size(), Qt::KeepAspectRatio); break;
        case PictureFit::Center: {
            // the picture's own resolution, 96 dpi when it carries none
            const qreal dpmX = o.picture.dotsPerMeterX() > 0 ? o.picture.dotsPerMeterX() : 96 / 0.0254;
            const qreal dpmY = o.picture.dotsPerMeterY() > 0 ? o.picture.dotsPerMeterY() : 96 / 0.0254;
            size = QSizeF(x(o.picture.width() / dpmX * 1000), y(o.picture.height() / dpmY * 1000));
            break;
        }
        }
        QRectF target(QPointF(), size);
        target.moveCenter(r.center());
        return target;
    }

    QPainter &p;
    qreal m_dpiX;
    qreal m_dpiY;
};

} // namespace

std::optional<ReportLayout> ReportLayout::fromJson(const QByteArray &json, const QString &baseFolder, QString *error)
{
    QString message;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        message = position(json, parseError.offset) + QStringLiteral(": ") + parseError.errorString();
    } else if (!document.isObject()) {
        message = QStringLiteral("the layout must be a JSON object");
    } else {
        ReportLayout layout;
        LayoutParser parser(baseFolder, message);
        if (parser.parse(document.object(), layout) && message.isEmpty())
            return layout;
    }
    if (error)
        *error = message;
    return std::nullopt;
}

ReportObject *ReportLayout::findObject(const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    return findIn(bands, name);
}

const ReportObject *ReportLayout::findObject(const QString &name) const
{
    return const_cast<ReportLayout *>(this)->findObject(name);
}

QPageLayout ReportLayout::pageLayout() const
{
    return QPageLayout(pageSize, orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

QSizeF ReportLayout::paperSize() const
{
    const QSizeF size = pageSize.size(QPageSize::Millimeter);
    const QSizeF upright(std::min(size.width(), size.height()), std::max(size.width(), size.height()));
    return orientation == QPageLayout::Landscape ? upright.transposed() : upright;
}

QRectF ReportLayout::printableRect() const
{
    return QRectF(QPointF(0, 0), paperSize()).marginsRemoved(margins);
}

QList<QList<PlacedBand>> ReportLayout::pages() const
{
    const qreal pageHeight = printableRect().height();
    QList<QList<PlacedBand>> result(1);
    qreal top = 0;
    for (const ReportObject &band : bands) {
        if (!band.visible)
            continue;
        const qreal height = std::max<qreal>(0, band.geometry.height());
        // a band starts a new page unless it is the first on its page, so a
        // band taller than a page still moves on
        if (top + height > pageHeight && !result.last().isEmpty()) {
            result.append(QList<PlacedBand>());
            top = 0;
        }
        result.last().append(PlacedBand { &band, top });
        top += height;
    }
    return result;
}

void ReportLayout::renderPage(QPainter &painter, int pageIndex, const QHash<QString, QString> &variables) const
{
    const QList<QList<PlacedBand>> all = pages();
    if (pageIndex < 0 || pageIndex >= all.size())
        return;
    QHash<QString, QString> vars;
    for (auto it = variables.cbegin(); it != variables.cend(); ++it)
        vars.insert(it.key().toLower(), it.value());
    vars.insert(QStringLiteral("page"), QString::number(pageIndex + 1));
    vars.insert(QStringLiteral("totalpages"), QString::number(all.size()));

    Painter p(painter);
    const QRectF printable = printableRect();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const PlacedBand &placed : all.at(pageIndex)) {
        const QPointF origin(printable.left(), printable.top() + placed.top);
        // a band taller than the page is cut at the page's bottom margin
        painter.save();
        painter.setClipRect(p.rect(QRectF(0, printable.top(), paperSize().width(), printable.height())),
                            Qt::IntersectClip);
        for (const ReportObject &object : placed.band->objects) {
            if (object.visible)
                p.object(object, origin, vars);
        }
        painter.restore();
    }
    painter.restore();
}

QString ReportLayout::expand(const QString &text, const QHash<QString, QString> &variables)
{
    if (!text.contains(QLatin1Char('[')))
        return text;
    static const QRegularExpression name(QStringLiteral("\\[([A-Za-z_][A-Za-z0-9_.]*)\\]"));
    QString result;
    qsizetype last = 0;
    QRegularExpressionMatchIterator it = name.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const auto found = variables.constFind(m.captured(1).toLower());
        if (found == variables.cend())
            continue;
        result += QStringView(text).mid(last, m.capturedStart() - last);
        result += found.value();
        last = m.capturedEnd();
    }
    result += QStringView(text).mid(last);
    return result;
}

} // namespace Platform
