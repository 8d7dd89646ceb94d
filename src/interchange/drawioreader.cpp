#include "interchange/drawioreader.h"

#include "interchange/drawiocells.h"
#include "interchange/importsummary.h"
#include "interchange/inflatepayload.h"
#include "interchange/readerlimits.h"
#include "model/jsonfields.h"

#include <QBuffer>
#include <QHash>
#include <QJsonArray>
#include <QRectF>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <algorithm>
#include <cstring>
#include <utility>

namespace {

bool isObjectElement(QStringView name)
{
    return name == QLatin1String("object") || name == QLatin1String("UserObject");
}

// A geometry number that is present: 0 when it is not a finite number,
// and kept within the reach of a diagram.
double geometryValue(QStringView text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? jsonfields::boundedCoordinate(value) : 0.0;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The label of an object element with each "%name%" replaced by the value
// of the element's attribute of that name ("id" and "label" excepted). One
// pass: a value is put in as it is and never scanned for placeholders of
// its own, so a few short attributes cannot multiply the label without
// end; and a value that would take the label past kMaxDrawioLabelLength
// leaves its placeholder as written.
QString fillLabelPlaceholders(const QString& label, const QXmlStreamAttributes& attributes)
{
    QHash<QString, QStringView> values;
    for (const QXmlStreamAttribute& attribute : attributes) {
        const QString name = attribute.qualifiedName().toString();
        if (name != QLatin1String("id") && name != QLatin1String("label") && !values.contains(name))
            values.insert(name, attribute.value());
    }
    const QStringView text(label);
    QString filled;
    filled.reserve(label.size());
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('%'), at);
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('%'), open + 1);
        if (close < 0) {
            filled += text.mid(at);
            break;
        }
        filled += text.mid(at, open - at);
        const auto value = values.constFind(text.mid(open + 1, close - open - 1).toString());
        if (value != values.constEnd() && filled.size() + value->size() <= kMaxDrawioLabelLength) {
            filled += *value;
            at = close + 1;
        } else {
            // Not a placeholder: the closing '%' may open the next one.
            filled += QLatin1Char('%');
            at = open + 1;
        }
    }
    return filled;
}

} // namespace

bool parseDrawioBool(const QString& text)
{
    return text.compare(QLatin1String("1"), Qt::CaseInsensitive) == 0
           || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
           || text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

QByteArray percentDecodeDrawio(QByteArray bytes)
{
    // In place: the decoded text is never longer than the encoded one. The
    // runs between escapes are moved whole.
    char* out = bytes.data();
    const char* in = out;
    const char* const end = in + bytes.size();
    while (in < end) {
        const char* percent = static_cast<const char*>(std::memchr(in, '%', size_t(end - in)));
        const char* runEnd = percent ? percent : end;
        if (out != in)
            std::memmove(out, in, size_t(runEnd - in));
        out += runEnd - in;
        in = runEnd;
        if (!percent)
            break;
        const int high = end - in > 2 ? hexDigit(in[1]) : -1;
        const int low = high >= 0 ? hexDigit(in[2]) : -1;
        if (low >= 0) {
            *out++ = char(high * 16 + low);
            in += 3;
        } else {
            *out++ = *in++;
        }
    }
    bytes.truncate(out - bytes.constData());
    return bytes;
}

void readDrawioCell(QXmlStreamReader& reader, QList<DrawioCell>& cells, const QString& defaultParent,
                    const DrawioObjectAttributes& object, int depth)
{
    if (depth >= kMaxDrawioNesting) {
        reader.skipCurrentElement();
        return;
    }
    DrawioCell cell;
    QString label;
    // One pass over the attributes: every cell of a page comes through here.
    for (const QXmlStreamAttribute& attribute : reader.attributes()) {
        const QStringView name = attribute.qualifiedName();
        const QStringView value = attribute.value();
        if (name == QLatin1String("id"))
            cell.id = value.toString();
        else if (name == QLatin1String("parent"))
            cell.parent = value.toString();
        else if (name == QLatin1String("value"))
            cell.value = value.toString();
        else if (name == QLatin1String("label"))
            label = value.toString();
        else if (name == QLatin1String("style"))
            cell.style = value.toString();
        else if (name == QLatin1String("source"))
            cell.source = value.toString();
        else if (name == QLatin1String("target"))
            cell.target = value.toString();
        else if (name == QLatin1String("vertex"))
            cell.vertex = value == QLatin1String("1");
        else if (name == QLatin1String("edge"))
            cell.edge = value == QLatin1String("1");
    }
    if (cell.value.isEmpty())
        cell.value = label;

    if (cell.id.isEmpty())
        cell.id = object.id;
    if (cell.value.isEmpty()) {
        if (!object.label.trimmed().isEmpty()) {
            cell.value = object.label;
        } else if (!object.name.trimmed().isEmpty()) {
            cell.value = object.name.trimmed();
            const QString type = object.type.trimmed();
            if (!type.isEmpty())
                cell.value += QLatin1String(" : ") + type;
            if (object.primaryKey)
                cell.value += QLatin1String(" PK");
            if (object.foreignKey)
                cell.value += QLatin1String(" FK");
            if (object.unique)
                cell.value += QLatin1String(" UK");
        }
    }
    cell.primaryKey = object.primaryKey;
    cell.foreignKey = object.foreignKey;
    cell.unique = object.unique;
    if (cell.parent.isEmpty())
        cell.parent = defaultParent;

    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement || token == QXmlStreamReader::Invalid)
            break;
        if (token == QXmlStreamReader::Characters) {
            if (cell.value.isEmpty())
                cell.value += reader.text();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = reader.name();
        if (name == QLatin1String("mxGeometry")) {
            cell.x = 0;
            cell.y = 0;
            cell.width = 180;
            cell.height = 40;
            for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                const QStringView key = attribute.qualifiedName();
                if (key == QLatin1String("x"))
                    cell.x = geometryValue(attribute.value());
                else if (key == QLatin1String("y"))
                    cell.y = geometryValue(attribute.value());
                else if (key == QLatin1String("width"))
                    cell.width = geometryValue(attribute.value());
                else if (key == QLatin1String("height"))
                    cell.height = geometryValue(attribute.value());
            }
            reader.skipCurrentElement();
        } else if (name == QLatin1String("mxCell")) {
            readDrawioCell(reader, cells, cell.id, DrawioObjectAttributes(), depth + 1);
        } else if (isObjectElement(name)) {
            readDrawioObjectElement(reader, cells, cell.id, depth + 1);
        } else {
            reader.skipCurrentElement();
        }
    }
    if (!cell.id.isEmpty())
        cells.append(std::move(cell));
}

void readDrawioObjectElement(QXmlStreamReader& reader, QList<DrawioCell>& cells, const QString& defaultParent,
                             int depth)
{
    if (depth >= kMaxDrawioNesting) {
        reader.skipCurrentElement();
        return;
    }
    const QXmlStreamAttributes attributes = reader.attributes();
    DrawioObjectAttributes object;
    object.id = attributes.value(QLatin1String("id")).toString();
    object.parent = attributes.value(QLatin1String("parent")).toString();
    object.label = attributes.value(QLatin1String("label")).toString();
    object.name = attributes.value(QLatin1String("name")).toString();
    object.type = attributes.value(QLatin1String("type")).toString();
    if (object.type.isEmpty())
        object.type = attributes.value(QLatin1String("dataType")).toString();
    const auto flag = [&](const char* a, const char* b) {
        return parseDrawioBool(attributes.value(QLatin1String(a)).toString())
               || parseDrawioBool(attributes.value(QLatin1String(b)).toString());
    };
    object.primaryKey = flag("primaryKey", "pk");
    object.foreignKey = flag("foreignKey", "fk");
    object.unique = flag("unique", "uk");

    if (object.label.contains(QLatin1Char('%')))
        object.label = fillLabelPlaceholders(object.label, attributes);

    const QString cellParent = object.parent.isEmpty() ? defaultParent : object.parent;
    const QString nestedParent = object.id.isEmpty() ? defaultParent : object.id;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement || token == QXmlStreamReader::Invalid)
            break;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = reader.name();
        if (name == QLatin1String("mxCell"))
            readDrawioCell(reader, cells, cellParent, object, depth + 1);
        else if (isObjectElement(name))
            readDrawioObjectElement(reader, cells, nestedParent, depth + 1);
        else
            reader.skipCurrentElement();
    }
}

namespace {

// Reads the content of a "root" element, whose start the reader has just
// read, up to its end. False when the page holds more than limit cells;
// the reading then stops.
bool readRootContent(QXmlStreamReader& reader, QList<DrawioCell>& cells, qsizetype limit = kMaxDrawioCells)
{
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::Invalid)
            break;
        if (token == QXmlStreamReader::EndElement && reader.name() == QLatin1String("root"))
            break;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = reader.name();
        if (name == QLatin1String("mxCell"))
            readDrawioCell(reader, cells, QString(), DrawioObjectAttributes());
        else if (isObjectElement(name))
            readDrawioObjectElement(reader, cells, QString());
        if (cells.size() > limit)
            return false;
    }
    return true;
}

} // namespace

bool readDrawioModel(const QByteArray& xml, QList<DrawioCell>& cells)
{
    cells.clear();
    // Read through a device: the stream reader is about twice as fast on a
    // large page that way than handed the bytes themselves.
    QBuffer device;
    device.setData(xml);
    device.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&device);
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::Invalid)
            break;
        if (token == QXmlStreamReader::StartElement && reader.name() == QLatin1String("root")) {
            readRootContent(reader, cells);
            break;
        }
    }
    return !cells.isEmpty();
}

namespace {

// What the pages of one file may still take: every page read takes its
// cells and the bytes its text inflated to from what the pages before left.
struct DrawioBudget
{
    qsizetype cells = kMaxDrawioCells;
    qint64 inflatedBytes = kMaxDrawioInflatedBytes;
};

// Why a page stopped the reading.
enum class DrawioExcess {
    None,
    PageInflated, // its text inflates past kMaxInflatedPayloadBytes
    FileInflated, // past what the pages before left of kMaxDrawioInflatedBytes
    Cells,        // its cells, with those of the pages before, pass kMaxDrawioCells
};

// One page of the file as read.
struct DrawioPage
{
    QString name;
    QList<DrawioCell> cells;
    bool failed = false; // its content could not be decoded
    DrawioExcess excess = DrawioExcess::None;
};

// The page XML held as text by one "diagram" element; empty when the text
// cannot be decoded. What it decodes to is taken from the budget; the
// page's excess is set when that is not enough.
QByteArray diagramPageXml(const QString& elementText, DrawioPage& page, DrawioBudget& budget)
{
    const QByteArray text = elementText.toUtf8().trimmed();
    if (text.isEmpty() || text.startsWith('<'))
        return text;

    QByteArray cleaned = text;
    cleaned.replace('\n', QByteArray()).replace('\r', QByteArray()).replace(' ', QByteArray());
    QByteArray decoded = QByteArray::fromBase64(cleaned);
    cleaned = QByteArray();
    if (decoded.isEmpty())
        return QByteArray();

    const qint64 pageCap = std::min<qint64>(kMaxInflatedPayloadBytes, budget.inflatedBytes);
    const auto take = [&](QByteArray xml) {
        if (xml.size() > budget.inflatedBytes) {
            page.excess = DrawioExcess::FileInflated;
            return QByteArray();
        }
        budget.inflatedBytes -= xml.size();
        return xml;
    };
    QByteArray inflated;
    for (const int windowBits : {-15, 15, 31}) {
        bool over = false;
        if (inflateDiagramPayload(decoded, inflated, windowBits, &over, qsizetype(pageCap)))
            return take(percentDecodeDrawio(std::move(inflated)));
        if (over) {
            page.excess = pageCap < kMaxInflatedPayloadBytes ? DrawioExcess::FileInflated
                                                             : DrawioExcess::PageInflated;
            return QByteArray();
        }
    }
    if (decoded.trimmed().startsWith('<'))
        return take(std::move(decoded));
    return take(percentDecodeDrawio(std::move(decoded)));
}

// Reads the cells of a "root" element, whose start the reader has just
// read, into the page, within what the budget leaves.
void readPageRoot(QXmlStreamReader& reader, DrawioPage& page, DrawioBudget& budget)
{
    if (!readRootContent(reader, page.cells, budget.cells))
        page.excess = DrawioExcess::Cells;
    budget.cells -= std::min(page.cells.size(), budget.cells);
}

// Reads the content of a "diagram" element, whose start the reader has just
// read, up to its end: the page is stored as child XML, or as text to be
// decoded. Only counts depth, so a page nested a hundred thousand deep
// cannot exhaust the stack.
void readDiagramElement(QXmlStreamReader& reader, DrawioPage& page, DrawioBudget& budget)
{
    QString text;
    bool sawRoot = false;
    qsizetype depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (!sawRoot && reader.name() == QLatin1String("root")) {
                sawRoot = true;
                text.clear();
                readPageRoot(reader, page, budget);
                if (page.excess != DrawioExcess::None)
                    return;
            } else {
                ++depth;
            }
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            if (!sawRoot)
                text += reader.text();
            break;
        default:
            break;
        }
    }
    if (sawRoot)
        return;
    const bool blank = text.trimmed().isEmpty();
    const QByteArray xml = blank ? QByteArray() : diagramPageXml(text, page, budget);
    text = QString();
    if (xml.isEmpty()) {
        page.failed = !blank && page.excess == DrawioExcess::None;
        return;
    }
    QBuffer device;
    device.setData(xml);
    device.open(QIODevice::ReadOnly);
    QXmlStreamReader pageReader(&device);
    while (!pageReader.atEnd()) {
        if (pageReader.readNext() == QXmlStreamReader::StartElement && pageReader.name() == QLatin1String("root")) {
            readPageRoot(pageReader, page, budget);
            return;
        }
    }
    page.failed = page.cells.isEmpty();
}

// Every page of the file in document order: its "diagram" elements, or the
// one "root" of a bare model. Stops early at a page past the limits, which
// hold for all pages together.
QList<DrawioPage> readDrawioPages(const QByteArray& bytes)
{
    QList<DrawioPage> pages;
    DrawioBudget budget;
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&device);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = reader.name();
        if (name == QLatin1String("diagram")) {
            DrawioPage page;
            page.name = reader.attributes().value(QLatin1String("name")).toString().simplified();
            if (page.name.isEmpty())
                page.name = QStringLiteral("Page-%1").arg(pages.size() + 1);
            readDiagramElement(reader, page, budget);
            pages.append(std::move(page));
        } else if (name == QLatin1String("root")) {
            DrawioPage page;
            page.name = QStringLiteral("Page-%1").arg(pages.size() + 1);
            readPageRoot(reader, page, budget);
            pages.append(std::move(page));
        } else {
            continue;
        }
        if (pages.last().excess != DrawioExcess::None)
            break;
    }
    return pages;
}

// The sentence for the page that stopped the reading.
QString excessSentence(const DrawioPage& page)
{
    switch (page.excess) {
    case DrawioExcess::None:
        break;
    case DrawioExcess::PageInflated:
        return QStringLiteral("The file is too large to open: page \"%1\" holds over %2 MiB once "
                              "inflated; at most %2 MiB are supported.")
            .arg(page.name)
            .arg(kMaxInflatedPayloadBytes >> 20);
    case DrawioExcess::FileInflated:
        return QStringLiteral("The file is too large to open: its pages hold over %1 MiB once inflated; "
                              "at most %1 MiB are supported.")
            .arg(kMaxDrawioInflatedBytes >> 20);
    case DrawioExcess::Cells:
        if (page.cells.size() > kMaxDrawioCells)
            return tooLargeSentence(page.cells.size(), "cells on one page", kMaxDrawioCells);
        return tooLargeSentence(kMaxDrawioCells + 1, "cells in all its pages", kMaxDrawioCells);
    }
    return QString();
}

// Whether a page holds table shapes: a table, a table row, a list, or a
// table this program wrote.
bool holdsTables(const QList<DrawioCell>& cells)
{
    QSet<QString> seen;
    for (const DrawioCell& cell : cells) {
        if (cell.edge || seen.contains(cell.style))
            continue;
        seen.insert(cell.style);
        const DrawioShapeFlags flags = drawioShapeFlags(cell.style);
        if (flags.table || flags.row || !drawioStyleValue(cell.style, QStringLiteral("quillKind")).isEmpty())
            return true;
    }
    return false;
}

QString quotedNames(const QStringList& names)
{
    QStringList quoted;
    for (const QString& name : names)
        quoted.append(QLatin1Char('"') + name + QLatin1Char('"'));
    if (quoted.size() <= 1)
        return quoted.join(QString());
    return quoted.mid(0, quoted.size() - 1).join(QLatin1String(", ")) + QLatin1String(" and ") + quoted.last();
}

// Where names were repeated: "\"row\" in \"Orders\", \"id\" and \"name\" in
// \"Items\"", the names of tables of one title together, the first few
// tables and names only.
QString repeatedNamesText(const QList<QPair<QString, QStringList>>& repeated)
{
    constexpr qsizetype shown = 3;
    QStringList titles;
    QHash<QString, QStringList> namesOf;
    QHash<QString, QSet<QString>> keysOf; // the names in lower case, to find them again
    for (const auto& [title, names] : repeated) {
        QStringList& known = namesOf[title];
        if (known.isEmpty())
            titles.append(title);
        QSet<QString>& keys = keysOf[title];
        for (const QString& name : names) {
            if (!keys.contains(name.toLower())) {
                keys.insert(name.toLower());
                known.append(name);
            }
        }
    }
    QStringList parts;
    for (qsizetype t = 0; t < std::min(titles.size(), shown); ++t) {
        const QStringList& names = namesOf.value(titles.at(t));
        QString part;
        if (names.size() <= shown) {
            part = quotedNames(names);
        } else {
            for (qsizetype n = 0; n < shown; ++n)
                part += QLatin1Char('"') + names.at(n) + QLatin1String("\", ");
            part.chop(2);
            part += QStringLiteral(" and %1 more").arg(names.size() - shown);
        }
        parts.append(part + QLatin1String(" in \"") + titles.at(t) + QLatin1Char('"'));
    }
    QString text = parts.join(QLatin1String(", "));
    if (titles.size() > shown)
        text += QLatin1String(" and ") + countedNoun(titles.size() - shown, "more table", "more tables");
    return text;
}

// "page \"A\"" or "pages \"A\" and \"B\"".
QString pagesNamed(const QStringList& names)
{
    return (names.size() == 1 ? QStringLiteral("page ") : QStringLiteral("pages ")) + quotedNames(names);
}

// The pages to read: every page that holds tables; without any, the first
// page with cells, as a sketch of boxes may still be a diagram. The pages
// with cells but no tables are named in withoutTables.
QList<int> pagesToRead(const QList<DrawioPage>& pages, QStringList& withoutTables)
{
    QList<int> chosen;
    for (int i = 0; i < pages.size(); ++i) {
        if (pages.at(i).cells.isEmpty())
            continue;
        if (holdsTables(pages.at(i).cells))
            chosen.append(i);
        else
            withoutTables.append(pages.at(i).name);
    }
    for (int i = 0; i < pages.size() && chosen.isEmpty(); ++i) {
        if (!pages.at(i).cells.isEmpty()) {
            chosen.append(i);
            withoutTables.removeOne(pages.at(i).name);
        }
    }
    return chosen;
}

// The diagrams of the pages read, side by side with their tops aligned.
struct PagesSideBySide
{
    QJsonArray entities;
    QJsonArray edges;
    QStringList readNames;
    QStringList emptyNames;
    DrawioPageNotes notes;
    double nextLeft = 0;
    double top = 0;

    // Adds the page's diagram; the sentence of a failure, or nothing.
    QString add(DrawioPage& page)
    {
        QRectF bounds;
        QString pageError;
        DrawioPageNotes pageNotes;
        const QJsonObject diagram = drawioCellsToSceneJson(page.cells, &bounds, &pageError, &pageNotes);
        if (!pageError.isEmpty())
            return pageError;
        page.cells = QList<DrawioCell>();
        const QJsonArray pageEntities = diagram.value(QLatin1String("entities")).toArray();
        if (pageEntities.isEmpty()) {
            emptyNames.append(page.name);
            return QString();
        }
        readNames.append(page.name);
        notes.connectorsLeftOut += pageNotes.connectorsLeftOut;
        notes.numberedColumns += pageNotes.numberedColumns;
        notes.repeatedNames.append(pageNotes.repeatedNames);
        placeBeside(pageEntities, bounds);
        for (const QJsonValue& edge : diagram.value(QLatin1String("edges")).toArray())
            edges.append(edge);
        if (entities.size() > kMaxImportEntities)
            return tooLargeSentence(entities.size(), "entities", kMaxImportEntities);
        if (edges.size() > kMaxImportEdges)
            return tooLargeSentence(edges.size(), "relationships", kMaxImportEdges);
        return QString();
    }

    void placeBeside(const QJsonArray& pageEntities, const QRectF& bounds)
    {
        if (readNames.size() == 1) {
            nextLeft = bounds.right();
            top = bounds.top();
            for (const QJsonValue& entity : pageEntities)
                entities.append(entity);
            return;
        }
        const double dx = nextLeft + kDrawioPageGap - bounds.left();
        const double dy = top - bounds.top();
        for (const QJsonValue& value : pageEntities) {
            QJsonObject entity = value.toObject();
            entity.insert(QLatin1String("x"), entity.value(QLatin1String("x")).toDouble() + dx);
            entity.insert(QLatin1String("y"), entity.value(QLatin1String("y")).toDouble() + dy);
            entities.append(entity);
        }
        nextLeft = bounds.right() + dx;
    }
};

// The status line of the import: what came in, from which pages, and what
// was left out.
void addImportNotes(QJsonObject& result, const PagesSideBySide& read, qsizetype pageCount,
                    QStringList withoutTables, const QStringList& failed)
{
    QString note = QStringLiteral("Imported %1 and %2")
                       .arg(countedNoun(read.entities.size(), "entity", "entities"),
                            countedNoun(read.edges.size(), "relationship", "relationships"));
    if (pageCount > 1)
        note += QStringLiteral(" from ") + pagesNamed(read.readNames);
    appendImportNote(result, note);
    if (read.notes.connectorsLeftOut > 0)
        appendImportNote(result, countedNoun(read.notes.connectorsLeftOut, "connector does not join two tables",
                                             "connectors do not join two tables"));
    if (read.notes.numberedColumns > 0)
        appendImportNote(result, countedNoun(read.notes.numberedColumns, "repeated column name numbered: ",
                                             "repeated column names numbered: ")
                                     + repeatedNamesText(read.notes.repeatedNames));
    withoutTables.append(read.emptyNames);
    if (!withoutTables.isEmpty())
        appendImportNote(result, pagesNamed(withoutTables)
                                     + (withoutTables.size() == 1 ? QStringLiteral(" holds no tables")
                                                                  : QStringLiteral(" hold no tables")));
    if (!failed.isEmpty())
        appendImportNote(result, pagesNamed(failed) + QStringLiteral(" could not be decoded"));
}

} // namespace

QJsonObject parseDrawioBytes(const QByteArray& bytes, QString* error)
{
    const auto fail = [&](const QString& sentence) {
        if (error)
            *error = sentence;
        return QJsonObject();
    };

    QList<DrawioPage> pages = readDrawioPages(bytes);
    QStringList failed;
    if (!pages.isEmpty() && pages.last().excess != DrawioExcess::None)
        return fail(excessSentence(pages.last()));
    for (const DrawioPage& page : std::as_const(pages)) {
        if (page.failed)
            failed.append(page.name);
    }

    QStringList withoutTables;
    const QList<int> chosen = pagesToRead(pages, withoutTables);
    if (chosen.isEmpty()) {
        if (!failed.isEmpty())
            return fail(QStringLiteral("No draw.io diagram was found in the file: %1 could not be decoded.")
                            .arg(pagesNamed(failed)));
        return fail(QStringLiteral("No draw.io diagram was found in the file."));
    }

    PagesSideBySide read;
    for (const int i : chosen) {
        const QString sentence = read.add(pages[i]);
        if (!sentence.isEmpty())
            return fail(sentence);
    }
    if (read.entities.isEmpty()) {
        if (!failed.isEmpty())
            return fail(QStringLiteral("No ER entities were recognized in the draw.io file: %1 could not be decoded.")
                            .arg(pagesNamed(failed)));
        return fail(QStringLiteral("No ER entities were recognized in the draw.io file."));
    }

    QJsonObject result = jsonfields::diagramDocument(read.entities, read.edges);
    addImportNotes(result, read, pages.size(), withoutTables, failed);
    return result;
}

QJsonObject parseDrawioFile(const QString& path, QString* error)
{
    // A pipe or a device is refused unopened, as is a file beyond the limit.
    filelimits::FileBytes file = filelimits::readFileWithin(path, kMaxDrawioFileBytes);
    if (!file.read) {
        if (error)
            *error = file.refusal.isEmpty() ? QStringLiteral("Could not open the draw.io file.") : file.refusal;
        return QJsonObject();
    }
    return parseDrawioBytes(std::exchange(file.bytes, QByteArray()), error);
}
