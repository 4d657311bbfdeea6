#pragma once

#include "com_global.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

class QPainter;

namespace Platform {

// The report layouts under reports/: JSON files that describe a page (size,
// orientation, margins) and the bands printed on it, top to bottom; each band
// holds absolutely placed objects (memo, picture, line, rect). Every length is
// in millimetres, font sizes in points. The format is described in README.md.

enum class ReportObjectKind { Band, Memo, Picture, Line, Rect };

enum class PictureFit {
    Aspect, // as large as fits, keeping the proportions, centred
    Stretch, // fills the object
    Center, // natural size (at the picture's own resolution), centred
};

struct COM_EXPORT ReportPen
{
    qreal width = 0.2; // mm
    QColor color = Qt::black;
};

struct COM_EXPORT ReportBorder
{
    bool enabled = false;
    ReportPen pen;
    Qt::Edges sides = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge;
};

// One named part of a layout. A band uses name, height, visible and objects;
// the other kinds use the members their comments name.
struct COM_EXPORT ReportObject
{
    QString name; // may be empty; then the object cannot be found by name
    ReportObjectKind kind = ReportObjectKind::Memo;
    // Inside its band, from the band's top-left corner. A line runs from
    // topLeft() to bottomRight(), so its width or height may be negative.
    QRectF geometry;
    bool visible = true;

    // memo
    QString text;
    QFont font;
    QColor textColor = Qt::black;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    bool wordWrap = true;
    bool expressions = true; // [name] in the text is replaced by the variable
    qreal padding = 0.5; // mm between the border and the text

    // memo, rect (fill), memo, rect, picture (border)
    QColor fillColor; // invalid: not filled
    ReportBorder border;

    // picture
    QImage picture;
    PictureFit fit = PictureFit::Aspect;

    // line
    ReportPen pen;

    // band
    std::vector<ReportObject> objects;
};

// A band placed on a page: its top in millimetres from the printable area's top.
struct COM_EXPORT PlacedBand
{
    const ReportObject *band = nullptr;
    qreal top = 0;
};

class COM_EXPORT ReportLayout
{
public:
    // Reads a layout. Pictures named by file are read relative to
    // baseFolder. On failure returns nothing and, when error is given, sets
    // it to what is wrong and where ("bands[1].objects[0].width: ...").
    static std::optional<ReportLayout> fromJson(const QByteArray &json, const QString &baseFolder,
                                                QString *error = nullptr);

    QString title;
    QPageSize pageSize = QPageSize(QPageSize::A4);
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins = QMarginsF(10, 10, 10, 10); // mm
    std::vector<ReportObject> bands;

    // A band or an object of a band, by name without regard to case;
    // nullptr when there is none. Valid until bands or objects are added or
    // removed.
    ReportObject *findObject(const QString &name);
    const ReportObject *findObject(const QString &name) const;

    // The page with no margins: the layout places everything itself.
    QPageLayout pageLayout() const;
    QSizeF paperSize() const; // mm, turned to the orientation
    QRectF printableRect() const; // mm, on the paper

    // Visible bands, page by page: a band that does not fit below the ones
    // before it starts a new page; a band taller than a page gets a page of
    // its own and is cut at its bottom. At least one page, maybe empty.
    QList<QList<PlacedBand>> pages() const;

    // Paints page pageIndex (from 0) on a painter whose origin is the
    // paper's top-left corner, at its device's resolution. Text in [name]
    // is replaced by variables (names without regard to case), "Page" and
    // "TotalPages" included; other brackets stay as they are.
    void renderPage(QPainter &painter, int pageIndex, const QHash<QString, QString> &variables = {}) const;

    // Text with [name] replaced where variables has the name in lower case.
    static QString expand(const QString &text, const QHash<QString, QString> &variables);
};

} // namespace Platform
