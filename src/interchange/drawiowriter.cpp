#include "interchange/drawiowriter.h"

#include "edges/edgepaths.h"
#include "model/jsonfields.h"

#include <QColor>
#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QPair>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

const double RowHeight = 30;
const double KeyWidth = 48;

// A small XML writer straight into UTF-8 bytes, laid out one element per
// line and indented by two spaces per level. Attribute values escape the
// ampersand, less-than, greater-than and double quote as entity
// references, tab, line feed and carriage return as character references.
// A large diagram writes hundreds of thousands of attributes, and this is
// several times faster than a general stream writer on a device.
class XmlText
{
public:
    // Hands the text to sink in pieces of about a mebibyte, each ending
    // after an element of the page: a large document is never held whole.
    explicit XmlText(const std::function<bool(const QByteArray&)>& sink)
        : m_sink(sink)
    {
        m_out.reserve(PieceSize + 64 * 1024);
        m_out += "<?xml version=\"1.0\"?>"; // UTF-8 is XML's default: no encoding attribute
    }

    // False once the sink refused a piece.
    bool ok() const { return m_ok; }

    void writeStartElement(QStringView name)
    {
        openChild();
        m_out += '<';
        appendAscii(name);
        m_names.push_back(name.toString());
        m_startOpen = true;
    }

    void writeEmptyElement(QStringView name)
    {
        writeStartElement(name);
        m_emptyPending = true;
    }

    void writeAttribute(QStringView name, QStringView value)
    {
        m_out += ' ';
        appendAscii(name);
        m_out += "=\"";
        appendEscaped(value);
        m_out += '"';
    }

    void writeEndElement()
    {
        if (m_emptyPending) { // the empty element ends first
            m_emptyPending = false;
            closeElement();
        }
        closeElement();
    }

private:
    void closeElement()
    {
        if (m_startOpen) {
            m_out += "/>";
            m_startOpen = false;
        } else {
            newLine(m_names.size() - 1);
            m_out += "</";
            appendAscii(m_names.back());
            m_out += '>';
        }
        m_names.pop_back();
        if (m_names.empty()) {
            m_out += '\n';
            flush();
        } else if (m_out.size() >= PieceSize) {
            flush();
        }
    }

    void flush()
    {
        if (m_ok && !m_out.isEmpty())
            m_ok = m_sink(m_out);
        m_out.resize(0); // keeps the buffer for the next piece
    }

    void openChild()
    {
        if (m_emptyPending) { // an empty element ends before its sibling
            m_emptyPending = false;
            closeElement();
        }
        if (m_startOpen) {
            m_out += '>';
            m_startOpen = false;
        }
        newLine(m_names.size());
    }

    void newLine(size_t depth)
    {
        m_out += '\n';
        m_out.append(qsizetype(2 * depth), ' ');
    }

    void appendAscii(QStringView text)
    {
        for (const QChar c : text)
            m_out += char(c.unicode());
    }

    void appendEscaped(QStringView value)
    {
        qsizetype plainFrom = 0;
        const auto flushPlain = [&](qsizetype to) {
            if (to > plainFrom)
                m_out += value.mid(plainFrom, to - plainFrom).toUtf8();
        };
        for (qsizetype i = 0; i < value.size(); ++i) {
            const char* escape = nullptr;
            switch (value[i].unicode()) {
            case u'&': escape = "&amp;"; break;
            case u'<': escape = "&lt;"; break;
            case u'>': escape = "&gt;"; break;
            case u'"': escape = "&quot;"; break;
            case u'\t': escape = "&#9;"; break;
            case u'\n': escape = "&#10;"; break;
            case u'\r': escape = "&#13;"; break;
            default: break;
            }
            if (escape) {
                flushPlain(i);
                m_out += escape;
                plainFrom = i + 1;
            }
        }
        flushPlain(value.size());
    }

    static constexpr qsizetype PieceSize = 1024 * 1024;
    const std::function<bool(const QByteArray&)>& m_sink;
    QByteArray m_out;
    bool m_ok = true;
    std::vector<QString> m_names;
    bool m_startOpen = false;
    bool m_emptyPending = false;
};

// A usable colour as "#rrggbb" (alpha dropped); empty for text that is no
// colour or a fully transparent one.
QString normalizeDrawioColor(const QString& text)
{
    const QColor color(text.trimmed());
    if (!color.isValid() || color.alpha() == 0)
        return QString();
    return color.name(QColor::HexRgb).toLower();
}

QString pickEntityColor(const QJsonObject& entity, const QString& first, const QString& second,
                        const QString& fallback)
{
    for (const QString& key : {first, second}) {
        if (!entity.contains(key))
            continue;
        const QString color = normalizeDrawioColor(entity.value(key).toString());
        if (!color.isEmpty())
            return color;
    }
    return fallback;
}

QString cardinalityToArrow(int cardinality)
{
    switch (cardinality) {
    case CardinalityOne:
        return QStringLiteral("ERmandOne");
    case CardinalityZeroOrOne:
        return QStringLiteral("ERzeroToOne");
    case CardinalityZeroOrMany:
        return QStringLiteral("ERzeroToMany");
    default:
        return QStringLiteral("ERoneToMany");
    }
}

// The cardinality stored under key: 1 (Many) when absent, not a whole
// number, or out of range.
int cardinalityOf(const QJsonObject& edge, const QString& key)
{
    const QJsonValue value = edge.value(key);
    if (!value.isDouble())
        return CardinalityMany;
    const double d = value.toDouble();
    if (d != std::floor(d) || d < 0 || d > 3)
        return CardinalityMany;
    return int(d);
}

double estimateDrawioEntityWidth(const QJsonObject& entity)
{
    double width = std::max(200.0, 8.0 * double(entity.value(QLatin1String("title")).toString().size()) + 40);
    for (const QJsonValue& value : entity.value(QLatin1String("attributes")).toArray()) {
        const QJsonObject attribute = value.toObject();
        const QString name = attribute.value(QLatin1String("name")).toString();
        const QString type = attribute.value(QLatin1String("type")).toString();
        double w = double(name.size() + type.size()) * 7.5 + 72;
        if (!type.isEmpty())
            w += 16;
        width = std::max(width, w);
    }
    return width;
}

QString uniqueDrawioCellId(const QString& text, QSet<QString>& used)
{
    QString id;
    id.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 128) {
            const bool keep = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                              || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                              || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_')
                              || c == QLatin1Char('-');
            id.append(keep ? c : QChar(QLatin1Char('_')));
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            const char32_t code = QChar::surrogateToUcs4(c, text.at(i + 1));
            if (QChar::isLetterOrNumber(code))
                id.append(text.mid(i, 2));
            else
                id.append(QLatin1Char('_'));
            ++i;
        } else {
            id.append(c.isLetterOrNumber() ? c : QChar(QLatin1Char('_')));
        }
    }
    bool leadingDigit = false;
    if (!id.isEmpty()) {
        const char32_t first = id.at(0).isHighSurrogate() && id.size() > 1
                                   ? QChar::surrogateToUcs4(id.at(0), id.at(1))
                                   : char32_t(id.at(0).unicode());
        leadingDigit = QChar::isDigit(first);
    }
    if (id.isEmpty() || leadingDigit || id == QLatin1String("-"))
        id.prepend(QLatin1Char('n'));
    if (used.contains(id)) {
        for (int n = 2;; ++n) {
            const QString candidate = id + QLatin1Char('_') + QString::number(n);
            if (!used.contains(candidate)) {
                id = candidate;
                break;
            }
        }
    }
    used.insert(id);
    return id;
}

// Text for a label that the styles mark as HTML (html=1): the characters
// that HTML gives meaning to are escaped, so "map<string,int>" reads back as
// written, and characters that XML cannot carry are dropped.
QString htmlLabel(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (u == u'&')
            out.append(QLatin1String("&amp;"));
        else if (u == u'<')
            out.append(QLatin1String("&lt;"));
        else if (u == u'>')
            out.append(QLatin1String("&gt;"));
        else if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF)
            continue;
        else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out.append(c).append(text.at(i + 1));
            ++i;
        } else if (c.isSurrogate())
            continue;
        else
            out.append(c);
    }
    return out;
}

QString number(double value)
{
    return QString::number(value, 'f', 1);
}

void writeMxGeometry(XmlText& xml, bool withX, bool withY, bool withAlternateBounds, double x, double y,
                     double width, double height)
{
    xml.writeStartElement(QStringLiteral("mxGeometry"));
    if (withX)
        xml.writeAttribute(QStringLiteral("x"), number(x));
    if (withY)
        xml.writeAttribute(QStringLiteral("y"), number(y));
    xml.writeAttribute(QStringLiteral("width"), number(width));
    xml.writeAttribute(QStringLiteral("height"), number(height));
    xml.writeAttribute(QStringLiteral("as"), QStringLiteral("geometry"));
    if (withAlternateBounds) {
        xml.writeStartElement(QStringLiteral("mxRectangle"));
        xml.writeAttribute(QStringLiteral("width"), number(width));
        xml.writeAttribute(QStringLiteral("height"), number(height));
        xml.writeAttribute(QStringLiteral("as"), QStringLiteral("alternateBounds"));
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

void writeCellStart(XmlText& xml, const QString& id, const QString& value, const QString& style,
                    const QString& flag, const QString& parent)
{
    xml.writeStartElement(QStringLiteral("mxCell"));
    xml.writeAttribute(QStringLiteral("id"), id);
    xml.writeAttribute(QStringLiteral("value"), value);
    xml.writeAttribute(QStringLiteral("style"), style);
    xml.writeAttribute(flag, QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("parent"), parent);
}

void writeDrawioVertexCell(XmlText& xml, const QString& id, const QString& parent, const QString& value,
                           const QString& style, bool withX, double x, double width)
{
    writeCellStart(xml, id, value, style, QStringLiteral("vertex"), parent);
    writeMxGeometry(xml, withX, false, true, x, 0, width, RowHeight);
    xml.writeEndElement();
}

// The four colours of one table, resolved.
struct TableColors
{
    QString header;
    QString body;
    QString border;
    QString text;
};

QString writeDrawioTableRow(XmlText& xml, QSet<QString>& used, const QString& tableId, int index,
                            int count, const QString& name, const QString& type, bool primaryKey, bool foreignKey,
                            bool uniqueKey, const TableColors& colors, double y, double width)
{
    const QString rowId = uniqueDrawioCellId(tableId + QLatin1String("_r") + QString::number(index), used);
    const QString rowStyle =
        QStringLiteral("shape=tableRow;horizontal=0;startSize=0;swimlaneHead=0;swimlaneBody=0;fillColor=%1;"
                       "collapsible=0;dropTarget=0;points=[[0,0.5],[1,0.5]];portConstraint=eastwest;top=0;left=0;"
                       "right=0;bottom=%2;")
            .arg(colors.body, index == count - 1 ? QStringLiteral("1") : QStringLiteral("0"));
    writeCellStart(xml, rowId, QString(), rowStyle, QStringLiteral("vertex"), tableId);
    writeMxGeometry(xml, false, true, false, 0, y, width, RowHeight);
    xml.writeEndElement();

    QStringList keys;
    if (primaryKey)
        keys << QStringLiteral("PK");
    if (foreignKey)
        keys << QStringLiteral("FK");
    if (uniqueKey)
        keys << QStringLiteral("UK");
    const QString keyStyle = QStringLiteral("shape=partialRectangle;connectable=0;fillColor=none;top=0;left=0;"
                                            "bottom=0;right=0;fontStyle=1;overflow=hidden;whiteSpace=wrap;html=1;"
                                            "align=center;fontColor=%1;")
                                 .arg(colors.text);
    writeDrawioVertexCell(xml, uniqueDrawioCellId(rowId + QLatin1String("_k"), used), rowId,
                          keys.join(QLatin1String(", ")), keyStyle, false, 0, KeyWidth);

    const int fontStyle = primaryKey ? 5 : foreignKey ? 2 : 0;
    const QString nameStyle = QStringLiteral("shape=partialRectangle;connectable=0;fillColor=none;top=0;left=0;"
                                             "bottom=0;right=0;align=left;spacingLeft=6;overflow=hidden;"
                                             "whiteSpace=wrap;html=1;fontStyle=%1;fontColor=%2;")
                                  .arg(QString::number(fontStyle), colors.text);
    // A row's text is read back as "name : type", or as name and type split
    // at the first colon or space; so a name with a space or a colon and no
    // type keeps an empty type after " :", or its second word would come
    // back as the type.
    QString nameText = name;
    if (!type.isEmpty())
        nameText += QLatin1String(" : ") + type;
    else if (name.contains(QLatin1Char(' ')) || name.contains(QLatin1Char(':')))
        nameText += QLatin1String(" :");
    writeDrawioVertexCell(xml, uniqueDrawioCellId(rowId + QLatin1String("_c"), used), rowId, htmlLabel(nameText),
                          nameStyle, true, KeyWidth, width - KeyWidth);
    return rowId;
}

// What the relationships need to know of the written entities.
struct WrittenEntities
{
    QHash<QString, QString> tableCell;                        // entity id -> table cell id
    QHash<QString, QString> title;                            // entity id -> written title
    QHash<QString, QString> primaryKeyRow;                    // entity id -> first PK row cell id
    QHash<QString, QString> primaryKeyName;                   // entity id -> that row's name
    QHash<QString, QList<QPair<QString, QString>>> foreignKeyRows; // entity id -> (name, row cell id)
    QHash<QString, QString> rowOfFkEdge;                      // fkEdgeId -> row cell id
    QHash<QString, QString> entityOfFkEdge;                   // fkEdgeId -> entity id
};

void writeEntity(XmlText& xml, const QJsonObject& entity, QSet<QString>& used, WrittenEntities& written)
{
    const QString entityId = entity.value(QLatin1String("id")).toString();
    if (entityId.isEmpty())
        return;
    QString title = entity.value(QLatin1String("title")).toString().trimmed();
    if (title.isEmpty())
        title = entityId;
    const bool isView = entity.value(QLatin1String("kind")).toString() == QLatin1String("entity-view");

    QList<QJsonObject> rows;
    for (const QJsonValue& value : entity.value(QLatin1String("attributes")).toArray()) {
        const QJsonObject attribute = value.toObject();
        if (!attribute.value(QLatin1String("name")).toString().trimmed().isEmpty())
            rows.append(attribute);
    }

    const double x = entity.value(QLatin1String("x")).toDouble();
    const double y = entity.value(QLatin1String("y")).toDouble();
    const double width = estimateDrawioEntityWidth(entity);
    const double height = double(std::max<qsizetype>(rows.size(), 1)) * RowHeight + RowHeight;

    const QString tableId = uniqueDrawioCellId(entityId, used);
    written.tableCell.insert(entityId, tableId);
    written.title.insert(entityId, title);

    TableColors colors;
    colors.header = pickEntityColor(entity, QStringLiteral("hdrLight"), QStringLiteral("hdrDark"),
                                    isView ? QStringLiteral("#d5e8d4") : QStringLiteral("#dae8fc"));
    colors.body = pickEntityColor(entity, QStringLiteral("bgLight"), QStringLiteral("bgDark"),
                                  QStringLiteral("#ffffff"));
    colors.border = pickEntityColor(entity, QStringLiteral("fgLight"), QStringLiteral("fgDark"),
                                    isView ? QStringLiteral("#82b366") : QStringLiteral("#6c8ebf"));
    colors.text = pickEntityColor(entity, QStringLiteral("txtLight"), QStringLiteral("txtDark"),
                                  QStringLiteral("#000000"));
    const QString tableStyle =
        QStringLiteral("shape=table;startSize=30;container=1;collapsible=0;childLayout=tableLayout;fixedRows=1;"
                       "rowLines=1;fontStyle=1;align=center;resizeLast=1;html=1;whiteSpace=wrap;fillColor=%1;"
                       "swimlaneFillColor=%2;strokeColor=%3;fontColor=%4;quillKind=%5;")
            .arg(colors.header, colors.body, colors.border, colors.text,
                 isView ? QStringLiteral("entity-view") : QStringLiteral("table"));
    writeCellStart(xml, tableId, htmlLabel(title), tableStyle, QStringLiteral("vertex"), QStringLiteral("1"));
    writeMxGeometry(xml, true, true, false, x, y, width, height);
    xml.writeEndElement();

    const int count = int(rows.size());
    for (int i = 0; i < count; ++i) {
        const QJsonObject& attribute = rows.at(i);
        const bool primaryKey = attribute.value(QLatin1String("isPrimaryKey")).toBool();
        const bool foreignKey = attribute.value(QLatin1String("isForeignKey")).toBool();
        const bool uniqueKey = attribute.value(QLatin1String("isUniqueKey")).toBool();
        const QString name = attribute.value(QLatin1String("name")).toString().trimmed();
        const QString type = attribute.value(QLatin1String("type")).toString().trimmed();
        const QString rowId = writeDrawioTableRow(xml, used, tableId, i, count, name, type, primaryKey, foreignKey,
                                                  uniqueKey, colors, i * RowHeight + RowHeight, width);
        if (primaryKey && !written.primaryKeyRow.contains(entityId)) {
            written.primaryKeyRow.insert(entityId, rowId);
            written.primaryKeyName.insert(entityId, name);
        }
        if (foreignKey)
            written.foreignKeyRows[entityId].append({name, rowId});
        const QString fkEdgeId = attribute.value(QLatin1String("fkEdgeId")).toString();
        if (!fkEdgeId.isEmpty() && !written.rowOfFkEdge.contains(fkEdgeId)) {
            written.rowOfFkEdge.insert(fkEdgeId, rowId);
            written.entityOfFkEdge.insert(fkEdgeId, entityId);
        }
    }
    if (count == 0) {
        writeDrawioTableRow(xml, used, tableId, 0, 1, QString(), QString(), false, false, false, colors, RowHeight,
                            width);
    }
}

void writeRelationship(XmlText& xml, const QJsonObject& edge, QSet<QString>& used,
                       const WrittenEntities& written)
{
    if (edge.value(QLatin1String("kind")).toString() == QLatin1String("entity-view-edge"))
        return;
    const QString from = edge.value(QLatin1String("from")).toString();
    const QString to = edge.value(QLatin1String("to")).toString();
    if (!written.tableCell.contains(from) || !written.tableCell.contains(to))
        return;
    QString source = written.tableCell.value(from);
    QString target = written.tableCell.value(to);
    if (written.primaryKeyRow.contains(from))
        source = written.primaryKeyRow.value(from);

    const QString edgeId = edge.value(QLatin1String("id")).toString();
    if (!edgeId.isEmpty() && written.rowOfFkEdge.contains(edgeId)) {
        // The row this relationship owns as its foreign key.
        const QString owner = written.entityOfFkEdge.value(edgeId);
        if (owner == to)
            target = written.rowOfFkEdge.value(edgeId);
        else if (owner == from)
            source = written.rowOfFkEdge.value(edgeId);
    } else {
        // Otherwise a foreign-key row of the target named after the source.
        const QString titleKey = written.title.value(from).toLower();
        const QString pkName = written.primaryKeyName.value(from).toLower();
        for (const auto& [name, rowId] : written.foreignKeyRows.value(to)) {
            const QString rowName = name.toLower();
            const bool matches = (!pkName.isEmpty() && rowName == pkName)
                                 || (!titleKey.isEmpty()
                                     && (rowName == titleKey + QLatin1String("_id")
                                         || rowName == titleKey + QLatin1String("id")
                                         || rowName.startsWith(titleKey + QLatin1Char('_'))));
            if (matches) {
                target = rowId;
                break;
            }
        }
    }

    const QString style = QStringLiteral("edgeStyle=entityRelationEdgeStyle;html=1;rounded=0;startArrow=%1;"
                                         "endArrow=%2;startFill=0;endFill=0;jumpStyle=none;")
                              .arg(cardinalityToArrow(cardinalityOf(edge, QStringLiteral("startCard"))),
                                   cardinalityToArrow(cardinalityOf(edge, QStringLiteral("endCard"))));
    const QString cellId =
        uniqueDrawioCellId(edgeId.isEmpty() ? source + QLatin1Char('_') + target : edgeId, used);
    writeCellStart(xml, cellId, htmlLabel(edge.value(QLatin1String("label")).toString()), style,
                   QStringLiteral("edge"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("source"), source);
    xml.writeAttribute(QStringLiteral("target"), target);
    xml.writeStartElement(QStringLiteral("mxGeometry"));
    xml.writeAttribute(QStringLiteral("relative"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("as"), QStringLiteral("geometry"));
    xml.writeEndElement();
    xml.writeEndElement();
}

// Writes the document as UTF-8 through sink, piece by piece; false when the
// diagram has no entities (nothing is written) or the sink refused a piece.
bool writeDrawioDocument(const QJsonObject& diagram, const std::function<bool(const QByteArray&)>& sink)
{
    const QJsonArray entities = diagram.value(QLatin1String("entities")).toArray();
    const QJsonArray edges = diagram.value(QLatin1String("edges")).toArray();
    if (entities.isEmpty())
        return false;

    double pageWidth = 850;
    double pageHeight = 1100;
    for (const QJsonValue& value : entities) {
        const QJsonObject entity = value.toObject();
        const double x = jsonfields::boundedCoordinate(entity.value(QLatin1String("x")).toDouble());
        const double y = jsonfields::boundedCoordinate(entity.value(QLatin1String("y")).toDouble());
        const double rows = double(std::max<qsizetype>(entity.value(QLatin1String("attributes")).toArray().size(), 1));
        pageWidth = std::max(pageWidth, x + estimateDrawioEntityWidth(entity) + 80);
        pageHeight = std::max(pageHeight, y + rows * RowHeight + RowHeight + 80);
    }

    XmlText xml(sink);
    xml.writeStartElement(QStringLiteral("mxfile"));
    xml.writeAttribute(QStringLiteral("host"), QStringLiteral("Quillmap"));
    xml.writeAttribute(QStringLiteral("agent"), QStringLiteral("Quillmap"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("0.1.351"));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("device"));
    xml.writeStartElement(QStringLiteral("diagram"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("er-diagram"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("ER Diagram"));
    xml.writeStartElement(QStringLiteral("mxGraphModel"));
    const QPair<const char*, QString> modelAttributes[] = {
        {"dx", QStringLiteral("0")},
        {"dy", QStringLiteral("0")},
        {"grid", QStringLiteral("1")},
        {"gridSize", QStringLiteral("10")},
        {"guides", QStringLiteral("1")},
        {"tooltips", QStringLiteral("1")},
        {"connect", QStringLiteral("1")},
        {"arrows", QStringLiteral("1")},
        {"fold", QStringLiteral("1")},
        {"page", QStringLiteral("1")},
        {"pageScale", QStringLiteral("1")},
        {"pageWidth", QString::number(qint64(std::ceil(pageWidth)))},
        {"pageHeight", QString::number(qint64(std::ceil(pageHeight)))},
        {"math", QStringLiteral("0")},
        {"shadow", QStringLiteral("0")},
    };
    for (const auto& [name, value] : modelAttributes)
        xml.writeAttribute(QString::fromLatin1(name), value);
    xml.writeStartElement(QStringLiteral("root"));
    xml.writeEmptyElement(QStringLiteral("mxCell"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("0"));
    xml.writeEmptyElement(QStringLiteral("mxCell"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("parent"), QStringLiteral("0"));

    QSet<QString> used{QStringLiteral("0"), QStringLiteral("1")};
    WrittenEntities written;
    for (const QJsonValue& value : entities)
        writeEntity(xml, value.toObject(), used, written);
    for (const QJsonValue& value : edges)
        writeRelationship(xml, value.toObject(), used, written);

    xml.writeEndElement(); // root
    xml.writeEndElement(); // mxGraphModel
    xml.writeEndElement(); // diagram
    xml.writeEndElement(); // mxfile
    return xml.ok();
}

} // namespace

QString sceneJsonToDrawio(const QJsonObject& diagram)
{
    QByteArray document;
    writeDrawioDocument(diagram, [&](const QByteArray& piece) {
        document += piece;
        return true;
    });
    return QString::fromUtf8(document);
}

bool writeDrawioFile(const QJsonObject& diagram, const QString& path, QString* error)
{
    const auto fail = [&](const char* sentence) {
        if (error)
            *error = QString::fromLatin1(sentence);
        return false;
    };
    if (path.isEmpty())
        return fail("No destination file was specified.");
    if (diagram.value(QLatin1String("entities")).toArray().isEmpty())
        return fail("Could not generate a draw.io ER diagram.");

    // Through a temporary file that replaces the destination only once every
    // byte was written: a failure leaves an existing file as it was. A large
    // document goes out piece by piece instead of being built whole first.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return fail("Could not write the draw.io file.");
    const bool written = writeDrawioDocument(
        diagram, [&](const QByteArray& piece) { return file.write(piece) == piece.size(); });
    if (!written) {
        file.cancelWriting();
        return fail("Could not write the draw.io file.");
    }
    if (!file.commit())
        return fail("Could not write the draw.io file.");
    return true;
}
