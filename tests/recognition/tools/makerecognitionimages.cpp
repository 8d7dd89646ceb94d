// Writes the painted test pictures of tests/data/recognition with their
// truth beside them (<name>.json): tables in several faces and looks, the
// way diagram tools export them. Run from the build tree:
//   make_recognition_images <tests/data/recognition> <resources/fonts>

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdio>

namespace {

struct Table
{
    QString title;
    QStringList rows;   // "name type" or "key name type"
    QRect box;
};

struct Diagram
{
    QList<Table> tables;
    QList<QPair<int, int>> links;
    QList<QPair<int, int>> grid;   // column and row of each table
};

struct Look
{
    QString family = QStringLiteral("Liberation Sans");
    int pixelSize = 13;
    QColor paper = Qt::white;
    bool transparent = false;
    QColor fill = Qt::white, header = Qt::white, headerText = Qt::black, text = QColor(30, 30, 30);
    QColor typeText = QColor(30, 30, 30), border = Qt::black, separator = Qt::transparent, line = Qt::black;
    double borderWidth = 1;
    double radius = 0;
    bool typesRight = false;    // the type in its own column at the right
    bool keyColumn = false;     // rows start with a key cell
    bool headerRule = true;     // a rule under the title
    QStringList headerColours;  // one per table, cycling
    QString lineLabel;          // written in the middle of every connector
    int cellWidth = 300, cellHeight = 260;
    int gapX = 0;               // when set, tables stand this far apart in a row
};

QJsonObject truth(const Diagram& d)
{
    QJsonArray entities, links;
    for (const Table& t : d.tables) {
        QJsonArray names;
        for (const QString& row : t.rows) {
            const QStringList words = row.split(QLatin1Char(' '));
            names.append(words.size() == 3 ? words.at(1) : words.at(0));
        }
        entities.append(QJsonObject{{"title", t.title},
                                    {"attributes", names},
                                    {"box", QJsonArray{t.box.x(), t.box.y(), t.box.width(), t.box.height()}}});
    }
    for (const auto& l : d.links)
        links.append(QJsonArray{l.first, l.second});
    return QJsonObject{{"entities", entities}, {"links", links}};
}

QImage paint(Diagram& d, const Look& look)
{
    QFont font(look.family);
    font.setPixelSize(look.pixelSize);
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics fm(font), bm(bold);
    const int rowH = fm.height() + 10, headH = bm.height() + 14, pad = 10;
    int maxCol = 0, maxRow = 0;
    for (int i = 0; i < d.tables.size(); ++i) {
        Table& t = d.tables[i];
        int nameW = 0, typeW = 0, keyW = look.keyColumn ? fm.horizontalAdvance(QStringLiteral("PK")) + 2 * pad : 0;
        for (const QString& row : t.rows) {
            QStringList words = row.split(QLatin1Char(' '));
            if (words.size() == 3)
                words.removeFirst();
            nameW = std::max(nameW, fm.horizontalAdvance(words.value(0)));
            typeW = std::max(typeW, fm.horizontalAdvance(words.value(1)));
        }
        const int width = std::max(bm.horizontalAdvance(t.title) + 2 * pad,
                                   keyW + nameW + typeW + 3 * pad + (look.typesRight ? 30 : fm.horizontalAdvance(' ')));
        const QPair<int, int> at = d.grid.value(i, {i % 3, i / 3});
        maxCol = std::max(maxCol, at.first);
        maxRow = std::max(maxRow, at.second);
        t.box = QRect(40 + at.first * look.cellWidth, 40 + at.second * look.cellHeight, width,
                      headH + rowH * int(t.rows.size()) + 6);
    }
    if (look.gapX > 0) {
        for (int i = 1; i < d.tables.size(); ++i) {
            const Table& previous = d.tables.at(i - 1);
            Table& t = d.tables[i];
            if (d.grid.value(i).second == d.grid.value(i - 1).second)
                t.box.moveLeft(previous.box.right() + 1 + look.gapX);
        }
    }
    int right = 0, bottom = 0;
    for (const Table& t : d.tables) {
        right = std::max(right, t.box.right());
        bottom = std::max(bottom, t.box.bottom());
    }
    QImage image(right + 60, bottom + 60, QImage::Format_ARGB32);
    image.fill(look.transparent ? QColor(Qt::transparent) : look.paper);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // Connectors: right-angled, from side to side.
    p.setPen(QPen(look.line, 1.5));
    for (const auto& l : d.links) {
        const QRect a = d.tables.at(l.first).box, b = d.tables.at(l.second).box;
        QPolygonF path;
        if (b.left() > a.right()) {
            const double mx = (a.right() + b.left()) / 2.0;
            path << QPointF(a.right() + 1, a.top() + headH + rowH / 2.0) << QPointF(mx, a.top() + headH + rowH / 2.0)
                 << QPointF(mx, b.top() + headH + rowH / 2.0) << QPointF(b.left() - 1, b.top() + headH + rowH / 2.0);
        } else if (a.left() > b.right()) {
            const double mx = (b.right() + a.left()) / 2.0;
            path << QPointF(a.left() - 1, a.center().y()) << QPointF(mx, a.center().y()) << QPointF(mx, b.center().y())
                 << QPointF(b.right() + 1, b.center().y());
        } else {
            const QRect& up = a.top() < b.top() ? a : b;
            const QRect& down = a.top() < b.top() ? b : a;
            const double my = (up.bottom() + down.top()) / 2.0;
            const double x = (std::max(up.left(), down.left()) + std::min(up.right(), down.right())) / 2.0;
            path << QPointF(x, up.bottom() + 1) << QPointF(x, my) << QPointF(x, down.top() - 1);
        }
        p.drawPolyline(path);
        // A crow's foot at the second end.
        const QPointF end = path.last(), before = path.at(path.size() - 2);
        const QPointF dir = (end - before) / std::max(1.0, std::hypot(end.x() - before.x(), end.y() - before.y()));
        const QPointF normal(-dir.y(), dir.x());
        const QPointF base = end - dir * 10;
        p.drawLine(base, end + normal * 6);
        p.drawLine(base, end - normal * 6);
        if (!look.lineLabel.isEmpty() && path.size() >= 3) {
            const QPointF mid = (path.at(1) + path.at(2)) / 2;
            const QRectF label(mid.x() - 16, mid.y() - 9, 32, 18);
            p.fillRect(label, look.transparent ? QColor(Qt::white) : look.paper);
            p.setFont(font);
            p.setPen(look.text);
            p.drawText(label, Qt::AlignCenter, look.lineLabel);
            p.setPen(QPen(look.line, 1.5));
        }
    }
    for (int i = 0; i < d.tables.size(); ++i) {
        const Table& t = d.tables.at(i);
        const QRectF box = QRectF(t.box).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath outline;
        outline.addRoundedRect(box, look.radius, look.radius);
        p.fillPath(outline, look.fill);
        const QColor header = look.headerColours.isEmpty() ? look.header
                                                            : QColor(look.headerColours.at(i % look.headerColours.size()));
        QPainterPath band;
        band.addRect(QRectF(box.left(), box.top(), box.width(), headH));
        p.fillPath(band.intersected(outline), header);
        p.setPen(QPen(look.border, look.borderWidth));
        p.setBrush(Qt::NoBrush);
        p.drawPath(outline);
        if (look.headerRule)
            p.drawLine(QPointF(box.left(), box.top() + headH), QPointF(box.right(), box.top() + headH));
        p.setFont(bold);
        p.setPen(look.headerText);
        p.drawText(QRectF(box.left(), box.top(), box.width(), headH), Qt::AlignCenter, t.title);
        p.setFont(font);
        const int keyW = look.keyColumn ? fm.horizontalAdvance(QStringLiteral("PK")) + 2 * pad : 0;
        for (int r = 0; r < t.rows.size(); ++r) {
            const double y = box.top() + headH + 3 + r * rowH;
            if (look.separator.alpha() > 0 && r > 0) {
                p.setPen(QPen(look.separator, 1));
                p.drawLine(QPointF(box.left() + 1, y), QPointF(box.right() - 1, y));
            }
            QStringList words = t.rows.at(r).split(QLatin1Char(' '));
            QString key;
            if (words.size() == 3)
                key = words.takeFirst();
            const QRectF rowRect(box.left() + pad + keyW, y, box.width() - 2 * pad - keyW, rowH);
            p.setPen(look.text);
            if (look.keyColumn && !key.isEmpty() && key != QLatin1String("-"))
                p.drawText(QRectF(box.left() + pad, y, keyW, rowH), Qt::AlignLeft | Qt::AlignVCenter, key);
            if (look.typesRight) {
                p.drawText(rowRect, Qt::AlignLeft | Qt::AlignVCenter, words.at(0));
                p.setPen(look.typeText);
                p.drawText(rowRect, Qt::AlignRight | Qt::AlignVCenter, words.value(1));
            } else {
                p.drawText(rowRect, Qt::AlignLeft | Qt::AlignVCenter, words.join(QLatin1Char(' ')));
            }
        }
    }
    p.end();
    return image;
}

Diagram shop()
{
    Diagram d;
    d.tables = {
        {"customers", {"id uuid", "full_name varchar(120)", "email varchar(255)", "created_at timestamp"}, {}},
        {"orders", {"id bigint", "customer_id uuid", "placed_on date", "total_2 decimal(12,2)"}, {}},
        {"order_items", {"order_id bigint", "product_id int", "quantity int"}, {}},
        {"products", {"id int", "sku varchar(40)", "unit_price numeric", "is_active boolean"}, {}},
        {"categories", {"id int", "parent_id int", "label text"}, {}},
        {"invoices", {"id int", "order_id bigint", "due_on date"}, {}},
    };
    d.grid = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {1, 1}, {0, 1}};
    d.links = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {1, 5}};
    return d;
}

Diagram keyed()
{
    Diagram d = shop();
    for (Table& t : d.tables) {
        for (QString& row : t.rows) {
            const QString name = row.section(QLatin1Char(' '), 0, 0);
            row.prepend(name == QLatin1String("id") ? QStringLiteral("PK ")
                        : name.endsWith(QLatin1String("_id")) ? QStringLiteral("FK ") : QStringLiteral("- "));
        }
    }
    return d;
}

bool save(const QImage& image, const Diagram& d, const QString& dir, const QString& name, int quality = -1)
{
    QImageWriter writer(dir + QLatin1Char('/') + name);
    if (quality > 0)
        writer.setQuality(quality);
    if (!writer.write(image)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(writer.errorString()));
        return false;
    }
    QFile json(dir + QLatin1Char('/') + name.section(QLatin1Char('.'), 0, -2) + QStringLiteral(".json"));
    return json.open(QIODevice::WriteOnly)
        && json.write(QJsonDocument(truth(d)).toJson(QJsonDocument::Indented)) > 0;
}

Diagram scaled(Diagram d, double factor)
{
    for (Table& t : d.tables)
        t.box = QRect(QPoint(qRound(t.box.left() * factor), qRound(t.box.top() * factor)),
                      QSize(qRound(t.box.width() * factor), qRound(t.box.height() * factor)));
    return d;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_recognition_images <data dir> <fonts dir>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const int manrope = QFontDatabase::addApplicationFont(QString::fromLocal8Bit(argv[2]) + "/Manrope-Regular.ttf");
    const QString manropeFamily = QFontDatabase::applicationFontFamilies(manrope).value(0);
    bool ok = true;

    {   // Light one-pixel outlines on light tinted fills.
        Look look;
        look.pixelSize = 13;
        look.fill = QColor("#f3f6fb");
        look.header = QColor("#e1e8f4");
        look.border = QColor("#c3cddc");
        look.line = QColor("#8a94a6");
        Diagram d = shop();
        const QImage image = paint(d, look);
        ok &= save(image, d, out, "painted-light-outlines.png");
        // The same drawn on nothing: transparent paper.
        look.transparent = true;
        Diagram t = shop();
        ok &= save(paint(t, look), t, out, "painted-transparent.png");
        // Rendered at twice the size, then reduced to three quarters and
        // compressed.
        Diagram s = scaled(d, 0.75);
        ok &= save(image.scaled(image.size() * 0.75, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32), s, out, "painted-light-outlines-075.jpg", 80);
    }
    {   // Dark theme, DejaVu Sans.
        Look look;
        look.family = QStringLiteral("DejaVu Sans");
        look.pixelSize = 12;
        look.paper = QColor("#1e1f24");
        look.fill = QColor("#2a2c33");
        look.header = QColor("#3a3e4a");
        look.headerText = QColor("#f0f0f0");
        look.text = look.typeText = QColor("#d8d8d8");
        look.border = QColor("#6b7180");
        look.line = QColor("#9aa0ad");
        look.typesRight = true;
        Diagram d = shop();
        ok &= save(paint(d, look), d, out, "painted-dark-dejavu.png");
    }
    {   // Coloured title bands, rounded corners, row rules, types at the right.
        Look look;
        look.pixelSize = 14;
        look.paper = QColor("#f7f8fa");
        look.fill = Qt::white;
        look.headerColours = {"#316896", "#a0522d", "#2e7d4f", "#6a4c93", "#b03a48", "#1f7a8c"};
        look.headerText = Qt::white;
        look.border = QColor("#d5d9e0");
        look.separator = QColor("#e6e8ec");
        look.typeText = QColor("#7a8290");
        look.line = QColor("#6f7c8f");
        look.radius = 6;
        look.typesRight = true;
        look.headerRule = false;
        Diagram d = shop();
        const QImage image = paint(d, look);
        ok &= save(image, d, out, "painted-header-bands.png");
        Diagram s = scaled(d, 1.5);
        ok &= save(image.scaled(image.size() * 1.5, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32), s, out, "painted-header-bands-150.jpg", 75);
    }
    {   // Key | name type tables with tinted titles and labelled connectors.
        Look look;
        look.pixelSize = 12;
        look.fill = Qt::white;
        look.header = QColor("#dae8fc");
        look.border = QColor("#6c8ebf");
        look.line = Qt::black;
        look.keyColumn = true;
        look.lineLabel = QStringLiteral("has");
        Diagram d = keyed();
        ok &= save(paint(d, look), d, out, "painted-key-columns.png");
    }
    {   // An embedded face, tinted fill, neighbours a few pixels apart.
        Look look;
        look.family = manropeFamily;
        look.pixelSize = 15;
        look.fill = QColor("#fff8e6");
        look.header = QColor("#fde7b0");
        look.border = QColor("#b08a2e");
        look.gapX = 4;
        Diagram d = shop();
        d.grid = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}};
        d.links = {{0, 3}, {1, 4}, {2, 5}};
        ok &= save(paint(d, look), d, out, "painted-neighbours.png");
    }
    return ok ? 0 : 1;
}
