// Writes the painted link test pictures of tests/data/recognition
// (drawn-links-*.png) with their truth beside them: tables on a grid joined
// by right-angled connectors that run along the gaps between the tables,
// with entity-relationship ends and a word written on every line over a
// patch of paper, the way diagram editors export their pictures. Each
// picture has its own schema, face, size, colours and line style. Run from
// the build tree:
//   make_link_pictures <tests/data/recognition>

#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QHash>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const char* const Names[] = {"customer", "order",   "invoice", "product", "supplier", "payment", "address",
                             "employee", "dept",    "project", "task",    "comment",  "account", "session",
                             "course",   "student", "teacher", "room",    "booking",  "ticket",  "vendor",
                             "contract", "asset",   "region",  "country", "city",     "store",   "shelf"};
const char* const Columns[] = {"name", "title", "email", "status", "created", "amount", "quantity",
                               "code", "notes", "active", "starts", "total", "phone", "level"};
const char* const Types[] = {"int", "varchar", "text", "date", "numeric", "boolean", "uuid", "timestamp"};

struct Table
{
    QString title;
    QStringList names, types;
    QRect box;
};

struct Picture
{
    const char* file;
    int tables;
    int columns;       // of the grid
    const char* family;
    int pixelSize;
    const char* label; // written on every connector
    bool dark;
    bool keyColumn;    // rows start with PK or FK in a cell of their own
    quint32 seed;
};

const Picture pictures[] = {
    {"drawn-links-01.png", 6, 3, "Liberation Sans", 12, "has", false, true, 1},
    {"drawn-links-02.png", 5, 3, "DejaVu Sans", 11, "has", false, false, 2},
    {"drawn-links-03.png", 9, 3, "DejaVu Sans", 12, "owns", false, false, 3},
    {"drawn-links-04.png", 12, 4, "Liberation Sans", 13, "has", false, true, 4},
    {"drawn-links-05.png", 8, 4, "Liberation Sans", 14, "1..*", true, false, 5},
    {"drawn-links-06.png", 10, 4, "DejaVu Sans", 11, "places", true, true, 6},
    {"drawn-links-07.png", 15, 5, "DejaVu Sans", 12, "has", false, false, 7},
    {"drawn-links-08.png", 14, 4, "Liberation Sans", 11, "contains", false, true, 8},
    {"drawn-links-09.png", 20, 5, "Liberation Sans", 12, "has", false, false, 9},
    {"drawn-links-10.png", 18, 6, "DejaVu Sans", 13, "belongs to", true, false, 10},
};

// The tables of one picture, laid out on a grid with gaps wide enough for
// lanes of lines; links join a table to one or two tables before it.
QList<QPair<int, int>> makeSchema(const Picture& pic, QList<Table>& tables, const QFont& font, const QFont& bold,
                                  QRandomGenerator& rnd, int& rowH, int& headH, int& keyW)
{
    const QFontMetrics fm(font), bm(bold);
    rowH = fm.height() + 8;
    headH = bm.height() + 12;
    keyW = pic.keyColumn ? fm.horizontalAdvance(QStringLiteral("PK")) + 14 : 0;
    QList<int> order;
    for (int i = 0; i < int(std::size(Names)); ++i)
        order.append(i);
    std::shuffle(order.begin(), order.end(), rnd);
    QList<QPair<int, int>> links;
    for (int i = 0; i < pic.tables; ++i) {
        Table t;
        t.title = QString::fromLatin1(Names[order.at(i)]);
        t.names << QStringLiteral("id");
        t.types << QStringLiteral("int");
        const int parents = i == 0 ? 0 : int(rnd.bounded(1, 3));
        for (int p = 0; p < parents; ++p) {
            // Mostly a neighbour on the grid, sometimes one farther off.
            const int back = rnd.bounded(4) == 0 ? int(rnd.bounded(1, i + 1)) : std::min(i, 1 + int(rnd.bounded(2)));
            const int parent = i - back;
            if (std::any_of(links.cbegin(), links.cend(), [&](const QPair<int, int>& l) {
                    return l.first == parent && l.second == i;
                }))
                continue;
            links.append({parent, i});
            t.names << tables.at(parent).title + QStringLiteral("_id");
            t.types << QStringLiteral("int");
        }
        const int extra = int(rnd.bounded(1, 4));
        for (int e = 0; e < extra; ++e) {
            const QString name = QString::fromLatin1(Columns[rnd.bounded(int(std::size(Columns)))]);
            if (t.names.contains(name))
                continue;
            t.names << name;
            t.types << QString::fromLatin1(Types[rnd.bounded(int(std::size(Types)))]);
        }
        int width = bm.horizontalAdvance(t.title) + 30;
        for (int r = 0; r < t.names.size(); ++r)
            width = std::max(width, keyW + fm.horizontalAdvance(t.names.at(r) + QLatin1Char(' ') + t.types.at(r)) + 24);
        t.box = QRect(0, 0, width, headH + rowH * int(t.names.size()) + 4);
        tables.append(t);
    }
    // Columns as wide as their widest table, rows as high as their highest,
    // with gaps of 130 to 170 pixels.
    const int rows = (pic.tables + pic.columns - 1) / pic.columns;
    QList<int> colW(pic.columns, 0), rowHt(rows, 0);
    for (int i = 0; i < tables.size(); ++i) {
        colW[i % pic.columns] = std::max(colW.at(i % pic.columns), tables.at(i).box.width());
        rowHt[i / pic.columns] = std::max(rowHt.at(i / pic.columns), tables.at(i).box.height());
    }
    QList<int> colX{60}, rowY{90};
    for (int c = 1; c < pic.columns; ++c)
        colX.append(colX.last() + colW.at(c - 1) + int(rnd.bounded(130, 170)));
    for (int r = 1; r < rows; ++r)
        rowY.append(rowY.last() + rowHt.at(r - 1) + int(rnd.bounded(130, 170)));
    for (int i = 0; i < tables.size(); ++i)
        tables[i].box.moveTopLeft(
            QPoint(colX.at(i % pic.columns) + int(rnd.bounded(0, 20)), rowY.at(i / pic.columns) + int(rnd.bounded(0, 24))));
    return links;
}

// A right-angled route from a (in grid column colA) to b (in colB) that
// runs only through the gaps: out of a side, along the gap beside a, along
// the gap above both rows when b stands farther than the next column, and
// into b. lane shifts the runs in the gaps so that lines seldom share a
// stretch.
QPolygonF route(const QRect& a, const QRect& b, int colA, int colB, double columnRight, int lane, int yA, int yB)
{
    QPolygonF path;
    if (colA == colB) {
        // Same column: out of the right sides, a loop through the gap
        // right of the column's widest table.
        const double x = columnRight + 30 + lane * 10;
        path << QPointF(a.right() + 1, yA) << QPointF(x, yA) << QPointF(x, yB) << QPointF(b.right() + 1, yB);
        return path;
    }
    const bool right = colB > colA;
    const double gapA = right ? a.right() + 36 + lane * 10 : a.left() - 36 - lane * 10;
    path << QPointF(right ? a.right() + 1 : a.left() - 1, yA) << QPointF(gapA, yA);
    if (std::abs(colB - colA) > 1) {
        const double gapB = right ? b.left() - 36 - lane * 10 : b.right() + 36 + lane * 10;
        const double over = std::min(a.top(), b.top()) - 34 - lane * 10;
        path << QPointF(gapA, over) << QPointF(gapB, over) << QPointF(gapB, yB);
    } else {
        path << QPointF(gapA, yB);
    }
    path << QPointF(right ? b.left() - 1 : b.right() + 1, yB);
    return path;
}

void drawEnd(QPainter& p, QPointF end, QPointF before, bool many)
{
    const double l = std::hypot(end.x() - before.x(), end.y() - before.y());
    const QPointF dir = (end - before) / std::max(1.0, l);
    const QPointF n(-dir.y(), dir.x());
    if (many) {
        const QPointF base = end - dir * 12;
        p.drawLine(base, end + n * 7);
        p.drawLine(base, end - n * 7);
        p.drawLine(end - dir * 16 + n * 6, end - dir * 16 - n * 6);
    } else {
        p.drawLine(end - dir * 8 + n * 6, end - dir * 8 - n * 6);
        p.drawLine(end - dir * 13 + n * 6, end - dir * 13 - n * 6);
    }
}

bool write(const Picture& pic, const QString& dir)
{
    QRandomGenerator rnd(pic.seed);
    QFont font(QString::fromLatin1(pic.family));
    font.setPixelSize(pic.pixelSize);
    QFont bold = font;
    bold.setBold(true);
    QList<Table> tables;
    int rowH = 0, headH = 0, keyW = 0;
    const QList<QPair<int, int>> links = makeSchema(pic, tables, font, bold, rnd, rowH, headH, keyW);
    QRect all;
    for (const Table& t : tables)
        all |= t.box;
    const QColor paper = pic.dark ? QColor("#1e1f24") : QColor(Qt::white);
    const QColor ink = pic.dark ? QColor("#e6e6e6") : QColor("#1e1e1e");
    const QColor head = pic.dark ? QColor("#3a3e4a") : QColor("#dae8fc");
    const QColor border = pic.dark ? QColor("#8a90a0") : QColor("#6c8ebf");
    QImage image(all.right() + 90, all.bottom() + 60, QImage::Format_RGB32);
    image.fill(paper);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm(font);
    // Each link takes the first lane and rows at which its line crosses
    // no table and runs along no other line; a link that finds none is
    // not drawn (and is no link of the truth).
    QList<QLineF> drawn;
    QList<QPair<int, int>> kept;
    QHash<int, int> used;
    const QString word = QString::fromLatin1(pic.label);
    const auto patchAt = [&](const QPolygonF& path) {
        int longest = 0;
        for (int s = 1; s + 1 < path.size(); ++s) {
            if (QLineF(path.at(s), path.at(s + 1)).length() > QLineF(path.at(longest), path.at(longest + 1)).length())
                longest = s;
        }
        const QPointF mid = (path.at(longest) + path.at(longest + 1)) / 2;
        return QRectF(mid.x() - fm.horizontalAdvance(word) / 2.0 - 3, mid.y() - fm.height() / 2.0,
                      fm.horizontalAdvance(word) + 6, fm.height());
    };
    const auto fits = [&](const QPolygonF& path, int from, int to) {
        for (int s = 0; s + 1 < path.size(); ++s) {
            const QLineF seg(path.at(s), path.at(s + 1));
            const QRectF span = QRectF(seg.p1(), seg.p2()).normalized().adjusted(-1, -1, 1, 1);
            for (int t = 0; t < tables.size(); ++t) {
                if ((s == 0 && t == from) || (s + 2 == path.size() && t == to))
                    continue;
                if (span.intersects(QRectF(tables.at(t).box).adjusted(-8, -8, 8, 8)))
                    return false;
            }
            for (const QLineF& other : qAsConst(drawn)) {
                const bool h = std::abs(seg.dy()) < 0.5, oh = std::abs(other.dy()) < 0.5;
                if (h != oh)
                    continue;
                const double gap = h ? std::abs(seg.y1() - other.y1()) : std::abs(seg.x1() - other.x1());
                const double lo = h ? std::max(std::min(seg.x1(), seg.x2()), std::min(other.x1(), other.x2()))
                                    : std::max(std::min(seg.y1(), seg.y2()), std::min(other.y1(), other.y2()));
                const double hi = h ? std::min(std::max(seg.x1(), seg.x2()), std::max(other.x1(), other.x2()))
                                    : std::min(std::max(seg.y1(), seg.y2()), std::max(other.y1(), other.y2()));
                if (gap < 8 && hi > lo - 8)
                    return false;
            }
        }
        const QRectF patch = patchAt(path);
        return std::none_of(tables.cbegin(), tables.cend(),
                            [&](const Table& t) { return patch.intersects(QRectF(t.box).adjusted(-4, -4, 4, 4)); });
    };
    for (const auto& l : links) {
        const Table& a = tables.at(l.first);
        const Table& b = tables.at(l.second);
        const int colA = l.first % pic.columns, colB = l.second % pic.columns;
        double columnRight = 0;
        for (int t = colA; t < tables.size(); t += pic.columns)
            columnRight = std::max(columnRight, double(tables.at(t).box.right()));
        QPolygonF path;
        bool found = false;
        for (int attempt = 0; attempt < 48 && !found; ++attempt) {
            const int ra = (used.value(l.first) + attempt / 6 / 3) % int(a.names.size());
            const int rb = (used.value(l.second) + attempt / 6 % 3) % int(b.names.size());
            const int yA = a.box.top() + headH + rowH / 2 + ra * rowH;
            const int yB = b.box.top() + headH + rowH / 2 + rb * rowH;
            path = route(a.box, b.box, colA, colB, columnRight, attempt % 6, yA, yB);
            found = fits(path, l.first, l.second);
        }
        if (!found)
            continue;
        ++used[l.first];
        ++used[l.second];
        kept.append(l);
        for (int s = 0; s + 1 < path.size(); ++s)
            drawn.append(QLineF(path.at(s), path.at(s + 1)));
        p.setPen(QPen(ink, 1.3));
        p.drawPolyline(path);
        drawEnd(p, path.first(), path.at(1), false);
        drawEnd(p, path.last(), path.at(path.size() - 2), true);
        // The word on the line's longest stretch, over a patch of paper.
        const QRectF patch = patchAt(path);
        p.fillRect(patch, paper);
        p.setFont(font);
        p.drawText(patch, Qt::AlignCenter, word);
    }
    for (const Table& t : tables) {
        const QRectF box = QRectF(t.box).adjusted(0.5, 0.5, -0.5, -0.5);
        p.fillRect(box, paper);
        p.fillRect(QRectF(box.left(), box.top(), box.width(), headH), head);
        p.setPen(QPen(border, 1));
        p.drawRect(box);
        p.drawLine(QPointF(box.left(), box.top() + headH), QPointF(box.right(), box.top() + headH));
        p.setPen(ink);
        p.setFont(bold);
        p.drawText(QRectF(box.left(), box.top(), box.width(), headH), Qt::AlignCenter, t.title);
        p.setFont(font);
        for (int r = 0; r < t.names.size(); ++r) {
            const double y = box.top() + headH + 2 + r * rowH;
            if (pic.keyColumn) {
                const QString key = r == 0 ? QStringLiteral("PK")
                                    : t.names.at(r).endsWith(QLatin1String("_id")) ? QStringLiteral("FK") : QString();
                p.drawText(QRectF(box.left() + 8, y, keyW, rowH), Qt::AlignLeft | Qt::AlignVCenter, key);
                p.setPen(QPen(border, 1));
                p.drawLine(QPointF(box.left() + keyW, y), QPointF(box.left() + keyW, y + rowH));
                p.setPen(ink);
            }
            p.drawText(QRectF(box.left() + keyW + 10, y, box.width() - keyW - 20, rowH), Qt::AlignLeft | Qt::AlignVCenter,
                       t.names.at(r) + QLatin1Char(' ') + t.types.at(r));
        }
    }
    p.end();
    const QString path = dir + QLatin1Char('/') + QString::fromLatin1(pic.file);
    if (!image.save(path)) {
        std::fprintf(stderr, "%s: not written\n", qPrintable(path));
        return false;
    }
    QByteArray text = "{\"source\":\"make_link_pictures\",\n\"entities\":[\n";
    for (const Table& t : tables) {
        const QJsonArray box{t.box.x(), t.box.y(), t.box.width(), t.box.height()};
        text += QJsonDocument(QJsonObject{{"title", t.title}, {"attributes", QJsonArray::fromStringList(t.names)},
                                          {"box", box}})
                    .toJson(QJsonDocument::Compact)
            + ",\n";
    }
    text.chop(2);
    QJsonArray joined;
    for (const auto& l : kept)
        joined.append(QJsonArray{l.first, l.second});
    text += "\n],\n\"links\":" + QJsonDocument(joined).toJson(QJsonDocument::Compact) + "}\n";
    QFile json(path.section(QLatin1Char('.'), 0, -2) + QStringLiteral(".json"));
    return json.open(QIODevice::WriteOnly) && json.write(text) == text.size();
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_link_pictures <data dir>\n");
        return 2;
    }
    bool ok = true;
    for (const Picture& pic : pictures)
        ok &= write(pic, QString::fromLocal8Bit(argv[1]));
    return ok ? 0 : 1;
}
