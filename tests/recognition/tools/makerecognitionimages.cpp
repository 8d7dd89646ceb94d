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
    QString family;
    int pixelSize = 13;
    bool transparent = false;
    QColor paper, fill, header, headerText, text, typeText, border, line, separator = Qt::transparent;
    double radius = 0;
    bool typesRight = false;    // the type in its own column at the right
    bool keyColumn = false;     // rows start with a key cell
    bool headerRule = true;     // a rule under the title
    QStringList headerColours;  // one per table, cycling
    QString lineLabel;          // written in the middle of every connector
    int gapX = 0;               // when set, tables stand this far apart in a row
};

// The regular and the bold face of a painted table.
struct TableFaces
{
    TableFaces(const QString& family, int pixelSize)
        : font(family)
    {
        font.setPixelSize(pixelSize);
        bold = font;
        bold.setBold(true);
    }
    QFont font;
    QFont bold;
};

QImage paint(Diagram& d, const Look& look)
{
    const TableFaces faces(look.family, look.pixelSize);
    const QFont& font = faces.font;
    const QFont& bold = faces.bold;
    const QFontMetrics fm(font), bm(bold);
    const int rowH = fm.height() + 10, headH = bm.height() + 14, pad = 10;
    const int keyW = look.keyColumn ? fm.horizontalAdvance(QStringLiteral("PK")) + 2 * pad : 0;
    for (int i = 0; i < d.tables.size(); ++i) {
        Table& t = d.tables[i];
        int nameW = 0, typeW = 0;
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
        t.box = QRect(40 + at.first * 300, 40 + at.second * 260, width,
                      headH + rowH * int(t.rows.size()) + 6);
    }
    for (int i = 1; look.gapX > 0 && i < d.tables.size(); ++i) {
        if (d.grid.value(i).second == d.grid.value(i - 1).second)
            d.tables[i].box.moveLeft(d.tables.at(i - 1).box.right() + 1 + look.gapX);
    }
    QRect all;
    for (const Table& t : d.tables)
        all |= t.box;
    QImage image(all.right() + 60, all.bottom() + 60, QImage::Format_ARGB32);
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
        p.setPen(QPen(look.border, 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(outline);
        if (look.headerRule)
            p.drawLine(QPointF(box.left(), box.top() + headH), QPointF(box.right(), box.top() + headH));
        p.setFont(bold);
        p.setPen(look.headerText);
        p.drawText(QRectF(box.left(), box.top(), box.width(), headH), Qt::AlignCenter, t.title);
        p.setFont(font);
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

// With keys, rows start with a key cell: PK, FK or "-".
Diagram shop(bool keys = false)
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
    for (Table& t : d.tables) {
        for (QString& row : t.rows) {
            if (keys)
                row.prepend(row.startsWith(QLatin1String("id ")) ? "PK "
                            : row.section(QLatin1Char(' '), 0, 0).endsWith(QLatin1String("_id")) ? "FK " : "- ");
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
    // The truth, one entity a line.
    QByteArray text = "{\"entities\":[\n";
    for (const Table& t : d.tables) {
        QJsonArray names;
        for (const QString& row : t.rows)
            names.append(row.split(QLatin1Char(' ')).value(row.count(QLatin1Char(' ')) == 2 ? 1 : 0));
        const QJsonArray box{t.box.x(), t.box.y(), t.box.width(), t.box.height()};
        text += QJsonDocument(QJsonObject{{"title", t.title}, {"attributes", names}, {"box", box}})
                    .toJson(QJsonDocument::Compact) + ",\n";
    }
    QJsonArray links;
    for (const auto& l : d.links)
        links.append(QJsonArray{l.first, l.second});
    text.chop(2);
    text += "\n],\n\"links\":" + QJsonDocument(links).toJson(QJsonDocument::Compact) + "}\n";
    QFile json(dir + QLatin1Char('/') + name.section(QLatin1Char('.'), 0, -2) + QStringLiteral(".json"));
    return json.open(QIODevice::WriteOnly) && json.write(text) > 0;
}

Diagram scaled(Diagram d, double factor)
{
    for (Table& t : d.tables)
        t.box = QRect(QPoint(qRound(t.box.left() * factor), qRound(t.box.top() * factor)),
                      QSize(qRound(t.box.width() * factor), qRound(t.box.height() * factor)));
    return d;
}

// The looks written, each a PNG of the shop diagram with its truth.
enum Feature { TypesRight = 1, KeyColumn = 2, Bands = 4, TransparentCopy = 8, Neighbours = 16 };
struct Style
{
    const char* file;
    const char* family;   // null: the embedded face
    int pixelSize;
    const char* colours;  // paper fill header headerText text typeText border line
    int features;
    double scale;         // when set, also a compressed copy at this scale
    const char* scaledFile;
    int quality;
};
const Style styles[] = {
    // Light one-pixel outlines on light tinted fills, also on transparent
    // paper, and reduced to three quarters.
    {"painted-light-outlines.png", "Liberation Sans", 13, "white #f3f6fb #e1e8f4 black #1e1e1e #1e1e1e #c3cddc #8a94a6",
     TransparentCopy, 0.75, "painted-light-outlines-075.jpg", 80},
    {"painted-dark-dejavu.png", "DejaVu Sans", 12, "#1e1f24 #2a2c33 #3a3e4a #f0f0f0 #d8d8d8 #d8d8d8 #6b7180 #9aa0ad",
     TypesRight, 0, nullptr, 0},
    // Coloured title bands, rounded corners, row rules, types at the right.
    {"painted-header-bands.png", "Liberation Sans", 14, "#f7f8fa white white white #1e1e1e #7a8290 #d5d9e0 #6f7c8f",
     TypesRight | Bands, 1.5, "painted-header-bands-150.jpg", 75},
    // Key | name type tables with tinted titles and labelled connectors.
    {"painted-key-columns.png", "Liberation Sans", 12, "white white #dae8fc black #1e1e1e #1e1e1e #6c8ebf black",
     KeyColumn, 0, nullptr, 0},
    // An embedded face, tinted fill, neighbours a few pixels apart.
    {"painted-neighbours.png", nullptr, 15, "white #fff8e6 #fde7b0 black #1e1e1e #1e1e1e #b08a2e black", Neighbours, 0,
     nullptr, 0},
};

// Varied diagrams of generated names, for the looks below.
const char* const words[] = {"account", "ledger", "entry", "journal", "asset", "invoice", "payment", "vendor",
    "customer", "order", "product", "stock", "warehouse", "shipment", "carrier", "employee", "department", "project",
    "task", "budget", "period", "currency", "rate", "tax", "region", "branch", "contract", "policy", "claim", "member",
    "plan", "visit", "doctor", "patient", "room", "booking", "event", "ticket", "venue", "artist", "track", "album",
    "course", "student", "lesson", "grade", "author", "book", "loan", "review", "tag", "category", "device", "sensor",
    "reading", "alert", "route", "driver", "vehicle", "repair", "part", "supplier", "batch", "recipe", "menu", "shift",
    "role", "session", "token", "audit", "note", "file"};
const char* const fields[] = {"name", "code", "status", "amount", "created_at", "updated_at", "description", "email",
    "phone", "total", "quantity", "price", "label", "starts_on", "ends_on", "is_active", "notes", "reference",
    "balance", "weight", "title", "score", "sort_order", "posted_at", "external_ref", "kind", "level"};
const char* const types[] = {"int", "bigint", "uuid", "varchar", "text", "date", "timestamp", "boolean", "decimal",
    "numeric", "float", "json", "char(2)", "smallint", "varchar(255)", "money"};

// A small deterministic generator, the same on every machine.
struct Dice
{
    quint32 state;
    int below(int n) { state = state * 1664525u + 1013904223u; return int((state >> 8) % quint32(n)); }
};

// count tables on a grid of columns; links join grid neighbours only, so
// that no connector crosses a table. Rows are "key name type" (key PK, FK
// or "-").
Diagram generated(quint32 seed, int count, int columns)
{
    Dice dice{seed};
    Diagram d;
    const int wordCount = int(sizeof words / sizeof *words);
    QStringList used;
    for (int i = 0; i < count; ++i) {
        QString title = QString::fromLatin1(words[dice.below(wordCount)]);
        if (used.contains(title) || dice.below(4) == 0)
            title += QLatin1Char('_') + QString::fromLatin1(words[dice.below(wordCount)]);
        while (used.contains(title))
            title += QStringLiteral("_%1").arg(i);
        used.append(title);
        Table t;
        t.title = title;
        t.rows.append(QStringLiteral("PK %1 %2").arg(dice.below(2) ? QStringLiteral("id") : title + QStringLiteral("_id"),
                                                     dice.below(2) ? QStringLiteral("bigint") : QStringLiteral("uuid")));
        QStringList names{t.rows.first().section(QLatin1Char(' '), 1, 1)};
        const int rows = 2 + dice.below(6);
        for (int r = 0; r < rows; ++r) {
            const QString name = QString::fromLatin1(fields[dice.below(int(sizeof fields / sizeof *fields))]);
            if (names.contains(name))
                continue;
            names.append(name);
            t.rows.append(QStringLiteral("- %1 %2").arg(name, QString::fromLatin1(types[dice.below(int(sizeof types / sizeof *types))])));
        }
        d.tables.append(t);
        d.grid.append({i % columns, i / columns});
    }
    for (int i = 0; i < count; ++i) {
        const int right = i + 1, below = i + columns;
        if (i % columns + 1 < columns && right < count && dice.below(3) > 0)
            d.links.append({i, right});
        else if (below < count && dice.below(2) > 0)
            d.links.append({i, below});
    }
    // The many end holds a key to the one end.
    for (const auto& l : d.links)
        d.tables[l.second].rows.insert(1, QStringLiteral("FK %1_id bigint").arg(d.tables.at(l.first).title));
    return d;
}

// Looks of design sites and diagram editors, painted from the layout that
// paint() gives: a coloured band over a white body drawn without a dark
// outline, key icons, a watermark; or key | type | name cells under a title
// band.
struct KindLook
{
    QString family;
    int pixelSize = 13;
    bool dark = false;
    bool cells = false;   // key | type | name cells with rules, the title in a band of the border's colour
};

void drawKeyIcon(QPainter& p, QPointF at, double size, const QColor& colour)
{
    p.save();
    p.setPen(QPen(colour, std::max(1.0, size / 7)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(at.x(), at.y() - size * 0.2, size * 0.4, size * 0.4));
    p.drawLine(QPointF(at.x() + size * 0.4, at.y()), QPointF(at.x() + size, at.y()));
    p.drawLine(QPointF(at.x() + size * 0.8, at.y()), QPointF(at.x() + size * 0.8, at.y() + size * 0.2));
    p.restore();
}

QImage paintKind(Diagram& d, const KindLook& look)
{
    const TableFaces faces(look.family, look.pixelSize);
    const QFont& font = faces.font;
    const QFont& bold = faces.bold;
    const QFontMetrics fm(font), bm(bold);
    const int rowH = fm.height() + 10, headH = bm.height() + 14, pad = 10;
    const int keyW = fm.horizontalAdvance(QStringLiteral("PK")) + 2 * pad;
    int cellW = 0, cellH = 0;
    QList<QList<int>> widths;   // key, type, name column widths of each table
    for (Table& t : d.tables) {
        int nameW = 0, typeW = 0;
        for (const QString& row : t.rows) {
            nameW = std::max(nameW, fm.horizontalAdvance(row.section(QLatin1Char(' '), 1, 1)));
            typeW = std::max(typeW, fm.horizontalAdvance(row.section(QLatin1Char(' '), 2, 2)));
        }
        const int width = std::max(bm.horizontalAdvance(t.title) + 2 * pad, keyW + nameW + typeW + 4 * pad + 20);
        widths.append({keyW, typeW + 2 * pad, width - keyW - typeW - 2 * pad});
        t.box = QRect(0, 0, width, headH + rowH * int(t.rows.size()) + 4);
        cellW = std::max(cellW, width);
        cellH = std::max(cellH, t.box.height());
    }
    for (int i = 0; i < d.tables.size(); ++i)
        d.tables[i].box.moveTo(40 + d.grid.at(i).first * (cellW + 70), 40 + d.grid.at(i).second * (cellH + 60));
    QRect all;
    for (const Table& t : d.tables)
        all |= t.box;
    const QColor paper = look.dark ? QColor("#1b1d21") : QColor(look.cells ? "#ffffff" : "#f4f5f7");
    const QColor body = look.dark ? QColor("#2a2d33") : QColor(Qt::white);
    const QColor text = look.dark ? QColor("#e4e6ea") : QColor("#1f2328");
    const QColor typeText = look.dark ? QColor("#9aa1ab") : QColor("#7b8490");
    const QColor rule = look.dark ? QColor("#3a3e46") : QColor("#e8eaee");
    const QColor border = look.dark ? QColor("#8fa9d6") : QColor("#6c8ebf");
    const QColor line = look.dark ? QColor("#a0a6b0") : QColor("#5a6270");
    const QStringList bands{"#316896", "#a0522d", "#2e7d4f", "#6a4c93", "#b03a48", "#1f7a8c", "#8a6d1f"};
    QImage image(all.right() + 80, all.bottom() + 80, QImage::Format_RGB32);
    image.fill(paper);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // A watermark across the lower right corner.
    if (!look.cells) {
        QFont mark = font;
        mark.setPixelSize(look.pixelSize * 2);
        p.setFont(mark);
        p.setPen(look.dark ? QColor("#2c2f35") : QColor("#e6e8eb"));
        p.drawText(QRect(image.width() - 420, image.height() - 60, 400, 50), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Made with a design site"));
    }
    p.setPen(QPen(line, 1.5));
    for (const auto& l : d.links) {
        const QRect a = d.tables.at(l.first).box, b = d.tables.at(l.second).box;
        QPolygonF path;
        if (b.left() > a.right()) {
            const double mx = (a.right() + b.left()) / 2.0;
            const double ya = a.top() + headH + rowH / 2.0, yb = b.top() + headH + rowH * 1.5;
            path << QPointF(a.right() + 1, ya) << QPointF(mx, ya) << QPointF(mx, yb) << QPointF(b.left() - 1, yb);
        } else {
            const double x = a.left() + std::min(a.width(), b.width()) / 2.0;
            path << QPointF(x, a.bottom() + 1) << QPointF(x, b.top() - 1);
        }
        p.drawPolyline(path);
        const QPointF end = path.last(), before = path.at(path.size() - 2);
        const QPointF dir = (end - before) / std::max(1.0, std::hypot(end.x() - before.x(), end.y() - before.y()));
        const QPointF normal(-dir.y(), dir.x());
        const QPointF base = end - dir * 10;
        p.drawLine(base, end + normal * 6);
        p.drawLine(base, end - normal * 6);
    }
    for (int i = 0; i < d.tables.size(); ++i) {
        const Table& t = d.tables.at(i);
        const QRectF box = QRectF(t.box).adjusted(0.5, 0.5, -0.5, -0.5);
        const QRectF head(box.left(), box.top(), box.width(), headH);
        const QList<int>& w = widths.at(i);
        if (look.cells) {
            p.fillRect(box, body);
            p.fillRect(head, look.dark ? QColor("#34495e") : QColor("#dae8fc"));
            p.setPen(QPen(border, 1));
            p.setBrush(Qt::NoBrush);
            p.drawRect(box);
            p.drawLine(head.bottomLeft(), head.bottomRight());
            p.setFont(bold);
            p.setPen(text);
            p.drawText(head, Qt::AlignCenter, t.title);
        } else {
            // A soft shadow and no outline: the body stands on the paper by
            // its fill alone.
            p.fillRect(box.translated(1, 2), look.dark ? QColor("#16181b") : QColor("#e3e5e9"));
            p.fillRect(box, body);
            p.fillRect(head, QColor(bands.at(i % bands.size())));
            p.setFont(bold);
            p.setPen(Qt::white);
            p.drawText(head.adjusted(pad, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, t.title);
        }
        p.setFont(font);
        for (int r = 0; r < t.rows.size(); ++r) {
            const QStringList cell = t.rows.at(r).split(QLatin1Char(' '));
            const double y = box.top() + headH + 2 + r * rowH;
            if (look.cells) {
                p.setPen(QPen(border, 1));
                if (r > 0)
                    p.drawLine(QPointF(box.left(), y), QPointF(box.right(), y));
                const double x1 = box.left() + w.at(0), x2 = x1 + w.at(1);
                p.drawLine(QPointF(x1, y), QPointF(x1, y + rowH));
                p.drawLine(QPointF(x2, y), QPointF(x2, y + rowH));
                p.setPen(text);
                if (cell.at(0) != QLatin1String("-"))
                    p.drawText(QRectF(box.left(), y, w.at(0), rowH), Qt::AlignCenter, cell.at(0));
                p.drawText(QRectF(x1 + pad, y, w.at(1) - pad, rowH), Qt::AlignLeft | Qt::AlignVCenter, cell.at(2));
                p.drawText(QRectF(x2 + pad, y, w.at(2) - pad, rowH), Qt::AlignLeft | Qt::AlignVCenter, cell.at(1));
            } else {
                if (r > 0) {
                    p.setPen(QPen(rule, 1));
                    p.drawLine(QPointF(box.left() + 1, y), QPointF(box.right() - 1, y));
                }
                if (cell.at(0) != QLatin1String("-"))
                    drawKeyIcon(p, QPointF(box.left() + 5, y + rowH / 2.0), look.pixelSize * 0.8,
                                cell.at(0) == QLatin1String("PK") ? QColor("#d4a017") : typeText);
                p.setPen(text);
                const QRectF rowRect(box.left() + pad + look.pixelSize, y, box.width() - 2 * pad - look.pixelSize, rowH);
                p.drawText(rowRect, Qt::AlignLeft | Qt::AlignVCenter, cell.at(1));
                p.setPen(typeText);
                p.drawText(rowRect, Qt::AlignRight | Qt::AlignVCenter, cell.at(2));
            }
        }
    }
    p.end();
    return image;
}

// seed, tables, columns, face (null: the embedded one), pixel size, dark.
struct KindPicture
{
    const char* file;
    bool cells;
    quint32 seed;
    int tables, columns;
    const char* family;
    int pixelSize;
    bool dark;
};
const KindPicture kindPictures[] = {
    {"bands-tune-a.png", false, 101, 7, 4, "Liberation Sans", 13, false},
    {"bands-tune-b.png", false, 102, 24, 6, "DejaVu Sans", 12, true},
    {"bands-tune-c.png", false, 103, 48, 8, nullptr, 15, false},
    {"bands-score-a.png", false, 201, 9, 3, "DejaVu Sans", 16, false},
    {"bands-score-b.png", false, 202, 30, 6, nullptr, 12, true},
    {"bands-score-c.png", false, 203, 60, 10, "Liberation Sans", 11, false},
    {"cells-tune-a.png", true, 111, 5, 3, "Liberation Sans", 12, false},
    {"cells-tune-b.png", true, 112, 20, 5, nullptr, 14, true},
    {"cells-tune-c.png", true, 113, 40, 8, "DejaVu Sans", 11, false},
    {"cells-score-a.png", true, 211, 8, 4, nullptr, 18, false},
    {"cells-score-b.png", true, 212, 28, 7, "Liberation Sans", 13, true},
    {"cells-score-c.png", true, 213, 64, 10, "DejaVu Sans", 12, false},
};

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
    for (const Style& style : styles) {
        Look look;
        look.family = style.family ? QString::fromLatin1(style.family) : manropeFamily;
        look.pixelSize = style.pixelSize;
        const QStringList colours = QString::fromLatin1(style.colours).split(QLatin1Char(' '));
        QColor Look::*const fields[] = {&Look::paper, &Look::fill, &Look::header, &Look::headerText,
                                        &Look::text, &Look::typeText, &Look::border, &Look::line};
        for (int i = 0; i < 8; ++i)
            look.*fields[i] = QColor(colours.at(i));
        look.typesRight = style.features & TypesRight;
        look.keyColumn = style.features & KeyColumn;
        if (look.keyColumn)
            look.lineLabel = QStringLiteral("has");
        if (style.features & Bands) {
            look.headerColours = QStringList{"#316896", "#a0522d", "#2e7d4f", "#6a4c93", "#b03a48", "#1f7a8c"};
            look.separator = QColor("#e6e8ec");
            look.radius = 6;
            look.headerRule = false;
        }
        Diagram d = shop(look.keyColumn);
        if (style.features & Neighbours) {
            look.gapX = 4;
            d.grid = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}};
            d.links = {{0, 3}, {1, 4}, {2, 5}};
        }
        const QImage image = paint(d, look);
        ok &= save(image, d, out, style.file);
        if (style.features & TransparentCopy) {
            look.transparent = true;
            ok &= save(paint(d, look), d, out, "painted-transparent.png");
        }
        if (style.scale > 0)
            ok &= save(image.scaled(image.size() * style.scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                           .convertToFormat(QImage::Format_RGB32),
                       scaled(d, style.scale), out, style.scaledFile, style.quality);
    }
    for (const KindPicture& picture : kindPictures) {
        KindLook look;
        look.family = picture.family ? QString::fromLatin1(picture.family) : manropeFamily;
        look.pixelSize = picture.pixelSize;
        look.dark = picture.dark;
        look.cells = picture.cells;
        Diagram d = generated(picture.seed, picture.tables, picture.columns);
        const QImage image = paintKind(d, look);
        ok &= save(image, d, out, QStringLiteral("painted-") + QString::fromLatin1(picture.file));
    }
    return ok ? 0 : 1;
}
