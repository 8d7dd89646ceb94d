#include "recognition/svgshapereader.h"

#include "interchange/inflatepayload.h"
#include "model/eventpump.h"
#include "model/filelimits.h"
#include "recognition/glyphrecognition.h"
#include "recognition/rasterrecognition.h"
#include "recognition/recognitiongeometry.h"
#include "recognition/svgcellstacks.h"
#include "recognition/svgconnectors.h"
#include "recognition/svgpathdata.h"
#include "recognition/textentities.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct TextState
{
    QString buffer;
    double x = 0, y = 0;
    double fontSize = 12;
    bool inText = false;
};

// Rows laid out per entity, and in all, for reading their text from a
// rendering whose long side is MaxSvgRenderSide pixels at most: rows finer
// than a few pixels there cannot be read.
constexpr int MaxRowsPerEntity = 1000;
constexpr int MaxRowsInAll = 100000;

// The user-unit rectangle the drawing shows: its viewBox, else its width
// and height in pixels; null when it names neither or gives them in units
// relative to something outside it.
QRectF drawingExtent(const QXmlStreamReader& reader)
{
    const QList<double> box = parseSvgNumberList(reader.attributes().value(QLatin1String("viewBox")).toString());
    if (box.size() == 4 && box[2] > 0 && box[3] > 0 && std::isfinite(box[2]) && std::isfinite(box[3]))
        return QRectF(box[0], box[1], box[2], box[3]);
    const auto length = [&reader](const char* name) {
        const QString value = reader.attributes().value(QLatin1String(name)).toString().trimmed();
        static const QRegularExpression form(QStringLiteral("^([-+]?[0-9]*\\.?[0-9]+(?:[eE][-+]?[0-9]+)?)\\s*(px|pt|pc|mm|cm|in)?$"));
        const QRegularExpressionMatch match = form.match(value);
        if (!match.hasMatch())
            return 0.0;
        static const QHash<QString, double> pixels{{QString(), 1.0},          {QStringLiteral("px"), 1.0},
                                                   {QStringLiteral("pt"), 96.0 / 72}, {QStringLiteral("pc"), 16.0},
                                                   {QStringLiteral("mm"), 96 / 25.4}, {QStringLiteral("cm"), 96 / 2.54},
                                                   {QStringLiteral("in"), 96.0}};
        return match.captured(1).toDouble() * pixels.value(match.captured(2), 0.0);
    };
    const double width = length("width"), height = length("height");
    if (width > 0 && height > 0 && std::isfinite(width) && std::isfinite(height))
        return QRectF(0, 0, width, height);
    return QRectF();
}

// Reading a large drawing takes a while on the GUI thread: the busy
// indicator turns meanwhile (asked every few hundred elements).
void letEventsRun(qint64& tokens)
{
    if ((++tokens & 0xff) == 0)
        eventpump::step();
}

bool isFinite(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
}

// Drops, in turn, the largest box while it lies under all the others (a
// page or canvas drawn below the diagram): it holds every other box and
// either at least two of them or (nearly) the whole drawing. A lone box
// stays whatever its size.
void dropBackgrounds(QList<QRectF>& boxes, const QRectF& extent)
{
    while (boxes.size() >= 2) {
        int largest = 0;
        for (int i = 1; i < boxes.size(); ++i) {
            if (boxes.at(i).width() * boxes.at(i).height() > boxes.at(largest).width() * boxes.at(largest).height())
                largest = i;
        }
        QRectF others;
        int count = 0;
        for (int i = 0; i < boxes.size(); ++i) {
            // Copies of the largest box drawn over it (outline over fill)
            // are part of the same background.
            if (i == largest || boxes.at(i) == boxes.at(largest))
                continue;
            others = count++ ? others.united(boxes.at(i)) : boxes.at(i);
        }
        const QRectF under = boxes.at(largest);
        const QRectF covered = extent.isValid() ? under.intersected(extent) : QRectF();
        const bool wholeDrawing = extent.isValid()
            && covered.width() * covered.height() >= 0.9 * extent.width() * extent.height();
        if (count == 0 || !under.adjusted(-2, -2, 2, 2).contains(others) || (count < 2 && !wholeDrawing))
            return;
        boxes.erase(std::remove(boxes.begin(), boxes.end(), under), boxes.end());
    }
}

double area(const QRectF& r)
{
    return r.width() * r.height();
}

// The entity boxes among the drawn rectangles, largest first: shapes drawn
// over one another (a fill under its outline) become one box, and boxes
// nested in a larger one are its cells, not entities. Drawn boxes stand
// where they are drawn, so neighbours are never joined. A grid of cells
// about twice the typical box finds the boxes near each one.
QList<QRectF> mergeDrawnBoxes(QList<QRectF> candidates)
{
    QList<QRectF> kept;
    candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                    [](const QRectF& r) {
                                        const double aspect = r.width() / r.height();
                                        return r.width() < 36 || r.height() < 22 || aspect < 0.18 || aspect > 10.0;
                                    }),
                     candidates.end());
    if (candidates.isEmpty())
        return kept;
    std::stable_sort(candidates.begin(), candidates.end(), [](const QRectF& a, const QRectF& b) { return area(a) > area(b); });
    QList<double> sides;
    for (const QRectF& r : qAsConst(candidates))
        sides.append(std::max(r.width(), r.height()));
    std::nth_element(sides.begin(), sides.begin() + sides.size() / 2, sides.end());
    const double cell = std::max(2 * sides.at(sides.size() / 2), 1.0);
    const QPointF origin = candidates.first().topLeft();
    constexpr qint64 MaxCellsPerBox = 64;
    using Cell = QPair<qint64, qint64>;
    struct Span
    {
        qint64 x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // cells covered; empty when x1 < x0
        bool has(qint64 x, qint64 y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
    };
    QHash<Cell, QList<int>> grid;
    QList<int> everywhere;  // boxes too large for the grid
    QList<int> stamp;
    QList<Span> placed;     // the cells each kept box is listed in
    const auto key = [&cell](double v) { return qint64(std::floor(std::clamp(v / cell, -1e15, 1e15))); };
    // The cells r (grown by 2) covers, visited outside skip; false, visiting
    // nothing, when they are too many.
    const auto cellsOf = [&](const QRectF& r, const Span& skip, auto visit) {
        Span span;
        span.x0 = key(r.left() - 2 - origin.x());
        span.x1 = key(r.right() + 2 - origin.x());
        span.y0 = key(r.top() - 2 - origin.y());
        span.y1 = key(r.bottom() + 2 - origin.y());
        if (double(span.x1 - span.x0 + 1) * double(span.y1 - span.y0 + 1) > MaxCellsPerBox)
            return false;
        for (qint64 x = span.x0; x <= span.x1; ++x) {
            for (qint64 y = span.y0; y <= span.y1; ++y) {
                if (!skip.has(x, y))
                    visit(Cell(x, y));
            }
        }
        return true;
    };
    const auto place = [&](int index) {
        if (placed.at(index).x0 == std::numeric_limits<qint64>::min())
            return;  // already everywhere
        if (cellsOf(kept.at(index), placed.at(index), [&](const Cell& key) { grid[key].append(index); })) {
            const QRectF& r = kept.at(index);
            placed[index] = Span{key(r.left() - 2 - origin.x()), key(r.top() - 2 - origin.y()),
                                 key(r.right() + 2 - origin.x()), key(r.bottom() + 2 - origin.y())};
        } else {
            everywhere.append(index);
            placed[index].x0 = std::numeric_limits<qint64>::min();
        }
    };
    for (int c = 0; c < candidates.size(); ++c) {
        const QRectF r = candidates.at(c);
        QList<int> near = everywhere;
        const bool small = cellsOf(r, Span(), [&](const Cell& key) {
            for (int index : grid.value(key)) {
                if (stamp.at(index) != c) {
                    stamp[index] = c;
                    near.append(index);
                }
            }
        });
        if (!small) {  // a huge box meets every box kept so far
            near.clear();
            for (int index = 0; index < kept.size(); ++index)
                near.append(index);
        }
        std::sort(near.begin(), near.end());
        near.erase(std::unique(near.begin(), near.end()), near.end());
        bool done = false;
        for (int index : qAsConst(near)) {
            QRectF& k = kept[index];
            const CandidateBox relation = compareCandidateBox(r, k);
            if (relation == CandidateBox::Joins) {
                k = k.united(r);
                place(index);
            }
            if (relation != CandidateBox::Apart) {
                done = true;
                break;
            }
        }
        if (!done) {
            kept.append(r);
            stamp.append(-1);
            placed.append(Span());
            place(int(kept.size()) - 1);
        }
    }
    return kept;
}

} // namespace

QByteArray readSvgDocument(const QString& path)
{
    // A pipe or a device is never opened, a file beyond the limit never read.
    const QByteArray data = filelimits::readFileWithin(path, MaxSvgDocumentBytes).bytes;
    if (data.size() >= 2 && uchar(data.at(0)) == 0x1f && uchar(data.at(1)) == 0x8b) {
        // gzip or zlib framing, under the same cap as every other payload.
        QByteArray inflated;
        inflateDiagramPayload(data, inflated, 15 + 32);
        return inflated;
    }
    return data;
}

QTransform parseSvgTransform(const QString& value)
{
    QTransform result;
    if (value.isEmpty())
        return result;
    static const QRegularExpression function(QStringLiteral("(translate|scale|matrix|rotate)\\s*\\(([^)]*)\\)"));
    static const QRegularExpression separator(QStringLiteral("[,\\s]+"));
    QRegularExpressionMatchIterator it = function.globalMatch(value);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString name = match.captured(1);
        QList<double> a;
        for (const QString& part : match.captured(2).split(separator, Qt::SkipEmptyParts))
            a.append(part.toDouble());
        QTransform t;
        if (name == QLatin1String("translate") && a.size() >= 1) {
            t.translate(a[0], a.value(1, 0.0));
        } else if (name == QLatin1String("scale") && a.size() >= 1) {
            t.scale(a[0], a.size() >= 2 ? a[1] : a[0]);
        } else if (name == QLatin1String("rotate") && a.size() >= 1) {
            if (a.size() >= 3) {
                t.translate(a[1], a[2]);
                t.rotate(a[0]);
                t.translate(-a[1], -a[2]);
            } else {
                t.rotate(a[0]);
            }
        } else if (name == QLatin1String("matrix") && a.size() >= 6) {
            t = QTransform(a[0], a[1], a[2], a[3], a[4], a[5]);
        }
        // Functions further right act first: in Qt's row-vector order the
        // later function's transform comes first in the product.
        result = t * result;
    }
    return result;
}

double readSvgNumberAttribute(const QXmlStreamReader& reader, const QString& name, double fallback)
{
    const QStringView value = reader.attributes().value(name);
    if (value.isEmpty())
        return fallback;
    return value.toString().toDouble();
}

QList<double> parseSvgNumberList(const QString& value)
{
    QList<double> numbers;
    const int n = value.size();
    int i = 0;
    while (i < n) {
        const QChar c = value.at(i);
        if (!(c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('.'))) {
            ++i;
            continue;
        }
        const int start = i;
        if (c == QLatin1Char('+') || c == QLatin1Char('-'))
            ++i;
        bool point = false;
        while (i < n) {
            const QChar d = value.at(i);
            if (d.isDigit()) {
                ++i;
            } else if (d == QLatin1Char('.') && !point) {
                point = true;
                ++i;
            } else if ((d == QLatin1Char('e') || d == QLatin1Char('E'))) {
                ++i;
                if (i < n && (value.at(i) == QLatin1Char('+') || value.at(i) == QLatin1Char('-')))
                    ++i;
                while (i < n && value.at(i).isDigit())
                    ++i;
                break;
            } else {
                break;
            }
        }
        bool ok = false;
        const double number = value.mid(start, i - start).toDouble(&ok);
        if (ok) {
            numbers.append(number);
        } else {
            i = start + 1;
        }
    }
    return numbers;
}

void addRecognizedLink(QList<RecognizedLink>& links, QMap<QPair<int, int>, int>& index, int from, int to,
                       const QLineF& line)
{
    if (from < 0 || to < 0 || from == to)
        return;
    RecognizedLink record;
    record.from = from;
    record.to = to;
    record.line = line;
    record.hasLine = line.length() > 1.0;
    const QPair<int, int> key(std::min(from, to), std::max(from, to));
    const auto found = index.constFind(key);
    if (found == index.constEnd()) {
        index.insert(key, int(links.size()));
        links.append(record);
        return;
    }
    RecognizedLink& stored = links[found.value()];
    if (record.hasLine && (!stored.hasLine || stored.line.length() < record.line.length()))
        stored = record;
}

QByteArray svgWithoutExternalReferences(const QByteArray& svg, int* elements)
{
    if (elements)
        *elements = 0;
    QXmlStreamReader reader(svg);
    QByteArray kept;
    QXmlStreamWriter writer(&kept);
    const auto external = [](QStringView href) {
        const QStringView value = href.trimmed();
        return !value.startsWith(QLatin1Char('#')) && !value.startsWith(QLatin1String("data:"), Qt::CaseInsensitive);
    };
    int skipping = 0;  // depth inside a dropped element
    qint64 tokens = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        letEventsRun(tokens);
        if (skipping > 0) {
            if (token == QXmlStreamReader::StartElement)
                ++skipping;
            else if (token == QXmlStreamReader::EndElement)
                --skipping;
            continue;
        }
        switch (token) {
        case QXmlStreamReader::StartElement: {
            // Every link attribute, whatever its namespace prefix.
            QXmlStreamAttributes attributes;
            bool refersOutside = false;
            for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                if (attribute.name() == QLatin1String("href") && external(attribute.value()))
                    refersOutside = true;
                else
                    attributes.append(attribute);
            }
            // A link's target is never opened; its content stays.
            if (refersOutside && reader.name() != QLatin1String("a")) {
                skipping = 1;
                break;
            }
            // Declared before the element, so that it keeps its prefixes.
            for (const QXmlStreamNamespaceDeclaration& declaration : reader.namespaceDeclarations()) {
                if (declaration.prefix().isEmpty())
                    writer.writeDefaultNamespace(declaration.namespaceUri().toString());
                else
                    writer.writeNamespace(declaration.namespaceUri().toString(), declaration.prefix().toString());
            }
            writer.writeStartElement(reader.namespaceUri().toString(), reader.name().toString());
            writer.writeAttributes(attributes);
            if (elements)
                ++*elements;
            break;
        }
        // The document type (whose entities are expanded by now), style
        // sheet instructions and unresolved entities could each name
        // something outside the drawing.
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::ProcessingInstruction:
        case QXmlStreamReader::EntityReference:
            break;
        default:
            writer.writeCurrentToken(reader);
        }
    }
    return kept;
}

namespace {

// The shapes, lines and texts of a drawing, element by element, under the
// transforms of the groups they stand in.
class SvgDrawingReader
{
public:
    SvgDrawingReader(const QByteArray& svg, RecognizedDiagram& out)
        : m_reader(svg)
        , m_out(out)
    {
    }

    void read()
    {
        qint64 tokens = 0;
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType token = m_reader.readNext();
            letEventsRun(tokens);
            if (token == QXmlStreamReader::StartElement)
                startElement();
            else if (token == QXmlStreamReader::Characters && m_text.inText)
                m_text.buffer.append(m_reader.text());
            else if (token == QXmlStreamReader::EndElement)
                endElement();
        }
    }

    SvgShapeLists shapes;
    QList<QRectF> rowBands;
    QList<QLineF> lines;
    QList<RecognizedText> runs;
    QList<QRectF> cells;     // every drawn rectangle, for tables drawn as cells
    QRectF extent;

private:
    void startElement()
    {
        QTransform t = m_stack.last();
        const QString transform = m_reader.attributes().value(QLatin1String("transform")).toString();
        if (!transform.isEmpty())
            t = parseSvgTransform(transform) * t;
        m_stack.append(t);
        const QStringView name = m_reader.name();
        if (m_root && name == QLatin1String("svg"))
            extent = drawingExtent(m_reader);
        m_root = false;
        if (m_edgeDepth < 0 && name == QLatin1String("g")
            && m_reader.attributes().value(QLatin1String("class")).split(QLatin1Char(' ')).contains(QLatin1String("edge")))
            m_edgeDepth = m_stack.size();
        if (name == QLatin1String("rect"))
            readRect(t);
        else if (name == QLatin1String("line"))
            lines.append(QLineF(t.map(QPointF(number("x1"), number("y1"))), t.map(QPointF(number("x2"), number("y2")))));
        else if (name == QLatin1String("polyline") || name == QLatin1String("polygon"))
            readPoints(t, name == QLatin1String("polygon"));
        else if (name == QLatin1String("path"))
            readPath(t);
        else if (name == QLatin1String("text"))
            startText();
        else if (name == QLatin1String("tspan") && m_text.inText)
            startTextSpan();
    }

    void endElement()
    {
        const QStringView name = m_reader.name();
        if (name == QLatin1String("text") || (name == QLatin1String("tspan") && m_text.inText)) {
            emitRun();
            m_text.buffer.clear();
            if (name == QLatin1String("text"))
                m_text.inText = false;
        }
        if (!m_stack.isEmpty())
            m_stack.removeLast();
        if (m_stack.isEmpty())  // more ends than starts: stay usable
            m_stack.append(QTransform());
        if (m_stack.size() < m_edgeDepth)
            m_edgeDepth = -1;
    }

    // A rectangle is a box, a row band, a title band or a bar marker by its
    // size.
    void readRect(const QTransform& t)
    {
        QRectF r = t.mapRect(QRectF(number("x"), number("y"), number("width"), number("height"))).normalized();
        if (!isFinite(r))
            r = QRectF();
        cells.append(r);
        const double w = r.width(), h = r.height();
        if (w >= 60 && h >= 36)
            shapes.boxes.append(r);
        else if (w >= 50 && h >= 8 && h <= 22)
            rowBands.append(r);
        else if (w >= 50 && h > 22 && h <= 32)
            shapes.headerBands.append(r);
        else if (std::min(w, h) <= 2.5 && std::max(w, h) >= 5 && std::max(w, h) <= 18)
            m_out.barMarkers.append(r);
    }

    // A polygon drawing a rectangle is a box or a cell, a small one an
    // arrowhead; other point lists are connectors.
    void readPoints(const QTransform& t, bool polygon)
    {
        const QList<double> values = parseSvgNumberList(m_reader.attributes().value(QLatin1String("points")).toString());
        QList<QPointF> points;
        for (int i = 0; i + 1 < values.size(); i += 2)
            points.append(t.map(QPointF(values[i], values[i + 1])));
        if (polygon && isRectangleOutline(points)) {
            const QRectF b = pointsBoundingRect(points);
            cells.append(b);
            if (b.width() >= 60 && b.height() >= 36)
                shapes.boxes.append(b);
        } else if (points.size() >= 2) {
            const QRectF b = pointsBoundingRect(points);
            if (polygon && b.width() >= 4 && b.width() <= 20 && b.height() >= 4 && b.height() <= 20)
                m_out.arrowMarkers.append(b);
            else
                shapes.polylines.append(points);
        }
    }

    void readPath(const QTransform& t)
    {
        // Only an explicit fill counts: a connector's "none" often comes
        // from a style sheet this reader does not apply.
        const QString fill = m_reader.attributes().value(QLatin1String("fill")).toString().trimmed();
        const bool filled = !fill.isEmpty() && fill != QLatin1String("none") && fill != QLatin1String("transparent");
        parseSvgPathData(m_reader.attributes().value(QLatin1String("d")).toString(), t, shapes, filled);
    }

    void startText()
    {
        m_text.buffer.clear();
        m_text.x = number("x");
        m_text.y = number("y");
        const QString size = m_reader.attributes().value(QLatin1String("font-size")).toString();
        m_text.fontSize = size.isEmpty() ? 12.0 : size.toDouble();
        m_text.inText = true;
    }

    void startTextSpan()
    {
        m_text.x = readSvgNumberAttribute(m_reader, QStringLiteral("x"), m_text.x);
        m_text.y = readSvgNumberAttribute(m_reader, QStringLiteral("y"), m_text.y);
    }

    void emitRun()
    {
        const QString t = cleanRecognizedText(m_text.buffer);
        // A connector's label names no table and no column.
        if (t.isEmpty() || m_edgeDepth >= 0)
            return;
        const QPointF p = m_stack.last().map(QPointF(m_text.x, m_text.y));
        const double fs = m_text.fontSize;
        runs.append({QRectF(p.x(), p.y() - fs, std::max(t.size() * fs * 0.55, 8.0), fs * 1.2), t});
    }

    double number(const char* name) const
    {
        return readSvgNumberAttribute(m_reader, QString::fromLatin1(name), 0.0);
    }

    QXmlStreamReader m_reader;
    RecognizedDiagram& m_out;
    QList<QTransform> m_stack{QTransform()};
    TextState m_text;
    bool m_root = true;
    // The depth of the connector group being read (Graphviz puts an edge,
    // its arrowheads and its labels in one); -1 outside any.
    qsizetype m_edgeDepth = -1;
};

// The table boxes of what was read: drawn ones and stacks of cells, without
// the page below them, merged, and cut to the drawing.
QList<QRectF> tableBoxes(SvgDrawingReader& drawing)
{
    // Tables drawn as cells only: the cells of each are its box, the top
    // one its title band.
    for (const CellStack& table : stackTableCells(drawing.cells)) {
        drawing.shapes.boxes.append(table.table);
        drawing.shapes.headerBands.append(table.top);
    }
    dropBackgrounds(drawing.shapes.boxes, drawing.extent);
    QList<QRectF> boxes = mergeDrawnBoxes(drawing.shapes.boxes);
    if (!drawing.extent.isValid())
        return boxes;
    // Boxes reaching beyond the drawing end at its edge; those wholly
    // outside it are not seen.
    QList<QRectF> seen;
    for (const QRectF& box : qAsConst(boxes)) {
        const QRectF inside = box.intersected(drawing.extent);
        if (!inside.isEmpty())
            seen.append(inside);
    }
    return seen;
}

// More boxes than a diagram may hold: nothing further is worth reading, the
// bare boxes are enough for the import to refuse the drawing.
void keepBareBoxes(const QList<QRectF>& boxes, RecognizedDiagram& out)
{
    out.entities.clear();
    out.entities.reserve(boxes.size());
    for (const QRectF& box : boxes) {
        RecognizedEntity entity;
        entity.box = box;
        out.entities.append(entity);
    }
    out.links.clear();
    out.texts.clear();
}

// The entity of box: its title band (the topmost drawn in it, or a strip at
// its top) and its rows, as drawn or at the drawn rows' height down to its
// foot; rowBudget rows are left in all.
RecognizedEntity entityOfBox(const QRectF& box, const SvgDrawingReader& drawing, int& rowBudget)
{
    // Rows are laid out this high where none are drawn.
    constexpr double UndrawnRowHeight = 13.5;
    const QRectF grown = box.adjusted(-3, -3, 3, 3);
    const auto inside = [&grown](const QRectF& band) {
        const QPointF c = band.center();
        return c.x() >= grown.left() && c.x() <= grown.right() && c.y() >= grown.top() && c.y() <= grown.bottom();
    };
    RecognizedEntity entity;
    entity.box = box;
    const QRectF* headerBand = nullptr;
    for (const QRectF& band : qAsConst(drawing.shapes.headerBands)) {
        if (inside(band) && (!headerBand || band.y() < headerBand->y()))
            headerBand = &band;
    }
    entity.header = headerBand
        ? QRectF(headerBand->x() + 4, headerBand->y() + 1, headerBand->width() - 8, headerBand->height() - 2)
        : QRectF(box.x() + 4, box.y() + 2, box.width() - 8, std::min(0.28 * box.height(), 18.0));
    QList<QRectF> matched;
    for (const QRectF& band : qAsConst(drawing.rowBands)) {
        if (inside(band))
            matched.append(band);
    }
    const double h = matched.isEmpty() ? UndrawnRowHeight : matched.last().height();
    const double top = entity.header.y() + entity.header.height();
    double bottom;
    if (!matched.isEmpty()) {
        bottom = top;
        for (const QRectF& band : qAsConst(matched))
            bottom = std::max(bottom, band.y() + band.height());
        if ((box.y() + box.height()) - bottom > 0.3 * h)
            bottom += h;
    } else {
        bottom = box.y() + box.height() - 2;
    }
    if (h > 0) {
        const int limit = std::min(MaxRowsPerEntity, rowBudget);
        for (double y = top; y + 0.45 * h < bottom + 0.5 && entity.rows.size() < limit; y += h)
            entity.rows.append(QRectF(box.x() + 5, y, box.width() - 10, h));
        rowBudget -= int(entity.rows.size());
    }
    return entity;
}

} // namespace

bool readSvgShapesFromData(const QByteArray& svg, RecognizedDiagram& out)
{
    out.arrowMarkers.clear();
    out.barMarkers.clear();
    SvgDrawingReader drawing(svg, out);
    drawing.read();

    const QList<QRectF> boxes = tableBoxes(drawing);
    const QList<RecognizedText>& runs = drawing.runs;
    if (boxes.isEmpty() && runs.isEmpty())
        return false;
    out.extent = drawing.extent.size();
    if (boxes.size() > filelimits::MaxEntities) {
        keepBareBoxes(boxes, out);
        return true;
    }
    int rowBudget = MaxRowsInAll;
    out.entities.clear();
    for (const QRectF& box : boxes)
        out.entities.append(entityOfBox(box, drawing, rowBudget));

    out.texts = runs;
    if (!runs.isEmpty()) {
        QList<RecognizedText> sorted = runs;
        buildEntitiesFromText(out.entities, sorted);
    }

    // A connector links the boxes its two ends face; the boxes it passes
    // on its way, or whose corners it grazes, are not its ends.
    out.links = traceSvgConnectors(drawing.shapes.polylines, drawing.lines, boxes);
    return !out.entities.isEmpty() || !runs.isEmpty();
}
