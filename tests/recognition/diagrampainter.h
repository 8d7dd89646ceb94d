#pragma once

// Pictures of small ER diagrams painted for the recognition tests: boxes
// with a title band and attribute rows, and right-angled connectors between
// box sides.

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <algorithm>

struct PaintedEntity
{
    QString title;
    QStringList rows;   // "name type"
    QRect box;          // filled in by paintDiagram
};

struct PaintedDiagram
{
    QList<PaintedEntity> entities;
    QList<QPair<int, int>> links;  // entity indexes, connected box side to box side
};

struct PaintOptions
{
    QString family = QStringLiteral("Liberation Sans");
    int pixelSize = 14;
    bool antialias = true;
    bool dark = false;
    bool gapInOutlines = false;   // one-pixel breaks in every box outline
    int columns = 3;
};

// The embedded fonts, registered from the source tree; their families.
inline QStringList registerEmbeddedFonts()
{
    QStringList families;
    for (const char* file : {"Manrope-Regular.ttf", "NotoSerif-Regular.ttf", "Hack-Regular.ttf"}) {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(QUILLMAP_TEST_DATA_DIR "/../../resources/fonts/")
                                                         + QLatin1String(file));
        families += QFontDatabase::applicationFontFamilies(id);
    }
    return families;
}

inline QImage paintDiagram(PaintedDiagram& diagram, const PaintOptions& options)
{
    QFont font(options.family);
    font.setPixelSize(options.pixelSize);
    font.setStyleStrategy(options.antialias ? QFont::PreferAntialias : QFont::NoAntialias);
    QFont titleFont = font;
    titleFont.setBold(true);
    const QFontMetrics metrics(font);
    const int lineHeight = metrics.height() + options.pixelSize / 2;
    const int pad = 10;

    // Boxes on a grid, each wide enough for its longest line.
    int widest = 0, tallest = 0;
    for (PaintedEntity& e : diagram.entities) {
        int w = QFontMetrics(titleFont).horizontalAdvance(e.title);
        for (const QString& row : e.rows)
            w = std::max(w, metrics.horizontalAdvance(row));
        e.box = QRect(0, 0, w + 2 * pad + 20, lineHeight * (int(e.rows.size()) + 1) + pad);
        widest = std::max(widest, e.box.width());
        tallest = std::max(tallest, e.box.height());
    }
    const int cellW = widest + 120, cellH = tallest + 100;
    for (int i = 0; i < diagram.entities.size(); ++i)
        diagram.entities[i].box.moveTo(60 + (i % options.columns) * cellW, 60 + (i / options.columns) * cellH);
    const int rows = (int(diagram.entities.size()) + options.columns - 1) / options.columns;
    QImage image(120 + options.columns * cellW, 120 + rows * cellH, QImage::Format_RGB32);
    const QColor paper = options.dark ? QColor(30, 30, 34) : Qt::white;
    const QColor ink = options.dark ? QColor(225, 225, 225) : QColor(20, 20, 20);
    image.fill(paper);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, options.antialias);
    p.setRenderHint(QPainter::TextAntialiasing, options.antialias);
    p.setPen(QPen(ink, 2));
    for (const auto& link : diagram.links) {
        const QRect a = diagram.entities.at(link.first).box;
        const QRect b = diagram.entities.at(link.second).box;
        const QPoint from = a.center().x() < b.left() ? QPoint(a.right(), a.center().y())
            : a.center().x() > b.right()             ? QPoint(a.left(), a.center().y())
            : a.center().y() < b.top()               ? QPoint(a.center().x(), a.bottom())
                                                     : QPoint(a.center().x(), a.top());
        const QPoint to = b.center().x() > a.right() ? QPoint(b.left(), b.center().y())
            : b.center().x() < a.left()             ? QPoint(b.right(), b.center().y())
            : b.center().y() > a.bottom()           ? QPoint(b.center().x(), b.top())
                                                    : QPoint(b.center().x(), b.bottom());
        const int midX = (from.x() + to.x()) / 2;
        if (from.y() == to.y() || from.x() == a.right() || from.x() == a.left())
            p.drawPolyline(QPolygon{from, QPoint(midX, from.y()), QPoint(midX, to.y()), to});
        else
            p.drawPolyline(QPolygon{from, QPoint(from.x(), (from.y() + to.y()) / 2),
                                    QPoint(to.x(), (from.y() + to.y()) / 2), to});
    }
    for (const PaintedEntity& e : diagram.entities) {
        p.setPen(QPen(ink, 2));
        p.setBrush(paper);
        p.drawRect(e.box);
        p.drawLine(e.box.left(), e.box.top() + lineHeight, e.box.right(), e.box.top() + lineHeight);
        p.setFont(titleFont);
        p.drawText(QRect(e.box.left(), e.box.top(), e.box.width(), lineHeight), Qt::AlignCenter, e.title);
        p.setFont(font);
        for (int r = 0; r < e.rows.size(); ++r)
            p.drawText(QRect(e.box.left() + pad, e.box.top() + lineHeight * (r + 1) + pad / 2,
                             e.box.width() - 2 * pad, lineHeight),
                       Qt::AlignLeft | Qt::AlignVCenter, e.rows.at(r));
        if (options.gapInOutlines) {
            p.setPen(QPen(paper, 1));
            p.drawLine(e.box.left() - 2, e.box.bottom() - 8, e.box.left() + 2, e.box.bottom() - 8);
            p.drawLine(e.box.right() - 12, e.box.top() - 2, e.box.right() - 12, e.box.top() + 2);
        }
    }
    return image;
}

// The diagram the raster tests draw: six entities, five links.
inline PaintedDiagram shopDiagram()
{
    PaintedDiagram d;
    d.entities = {
        {QStringLiteral("Customer"), {QStringLiteral("id uuid"), QStringLiteral("email varchar(80)"),
                                      QStringLiteral("full_name text")}, {}},
        {QStringLiteral("Orders"), {QStringLiteral("id uuid"), QStringLiteral("customer_id uuid"),
                                    QStringLiteral("placed timestamp")}, {}},
        {QStringLiteral("Product"), {QStringLiteral("id int"), QStringLiteral("title text"),
                                     QStringLiteral("price decimal")}, {}},
        {QStringLiteral("Invoice"), {QStringLiteral("id int"), QStringLiteral("order_id uuid")}, {}},
        {QStringLiteral("Shipment"), {QStringLiteral("id int"), QStringLiteral("order_id uuid"),
                                      QStringLiteral("carrier text")}, {}},
        {QStringLiteral("Category"), {QStringLiteral("id int"), QStringLiteral("label text")}, {}},
    };
    d.links = {{0, 1}, {1, 2}, {1, 4}, {2, 5}, {3, 4}};
    return d;
}
