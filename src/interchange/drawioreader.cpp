#include "interchange/drawioreader.h"

#include "interchange/drawiocells.h"
#include "interchange/inflatepayload.h"

#include <QFile>
#include <QJsonArray>
#include <QXmlStreamReader>

#include <cmath>

namespace {

bool isObjectElement(QStringView name)
{
    return name == QLatin1String("object") || name == QLatin1String("UserObject");
}

// A geometry number: 0 when present but not a finite number.
double geometryValue(const QXmlStreamAttributes& attributes, QLatin1String name, double absent)
{
    if (!attributes.hasAttribute(name))
        return absent;
    bool ok = false;
    const double value = attributes.value(name).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
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

} // namespace

bool parseDrawioBool(const QString& text)
{
    return text.compare(QLatin1String("1"), Qt::CaseInsensitive) == 0
           || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
           || text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

QByteArray percentDecodeDrawio(const QByteArray& bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes.at(i);
        if (c == '%' && i + 2 < n) {
            const int high = hexDigit(bytes.at(i + 1));
            const int low = hexDigit(bytes.at(i + 2));
            if (high >= 0 && low >= 0) {
                out.append(char(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

void readDrawioCell(QXmlStreamReader& reader, QList<DrawioCell>& cells, const QString& defaultParent,
                    const DrawioObjectAttributes& object, int depth)
{
    if (depth >= kMaxDrawioNesting) {
        reader.skipCurrentElement();
        return;
    }
    const QXmlStreamAttributes attributes = reader.attributes();
    DrawioCell cell;
    cell.id = attributes.value(QLatin1String("id")).toString();
    cell.parent = attributes.value(QLatin1String("parent")).toString();
    cell.value = attributes.value(QLatin1String("value")).toString();
    if (cell.value.isEmpty())
        cell.value = attributes.value(QLatin1String("label")).toString();
    cell.style = attributes.value(QLatin1String("style")).toString();
    cell.source = attributes.value(QLatin1String("source")).toString();
    cell.target = attributes.value(QLatin1String("target")).toString();
    cell.vertex = attributes.value(QLatin1String("vertex")) == QLatin1String("1");
    cell.edge = attributes.value(QLatin1String("edge")) == QLatin1String("1");

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
            const QXmlStreamAttributes geometry = reader.attributes();
            cell.x = geometryValue(geometry, QLatin1String("x"), 0);
            cell.y = geometryValue(geometry, QLatin1String("y"), 0);
            cell.width = geometryValue(geometry, QLatin1String("width"), 180);
            cell.height = geometryValue(geometry, QLatin1String("height"), 40);
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
        cells.append(cell);
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

    if (object.label.contains(QLatin1Char('%'))) {
        for (const QXmlStreamAttribute& attribute : attributes) {
            const QStringView name = attribute.qualifiedName();
            if (name == QLatin1String("id") || name == QLatin1String("label"))
                continue;
            object.label.replace(QLatin1Char('%') + name.toString() + QLatin1Char('%'),
                                 attribute.value().toString());
        }
    }

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

bool readDrawioModel(const QByteArray& xml, QList<DrawioCell>& cells)
{
    cells.clear();
    QXmlStreamReader reader(xml);
    bool inRoot = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::Invalid)
            break;
        if (!inRoot) {
            if (token == QXmlStreamReader::StartElement && reader.name() == QLatin1String("root"))
                inRoot = true;
            continue;
        }
        if (token == QXmlStreamReader::EndElement && reader.name() == QLatin1String("root"))
            break;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = reader.name();
        if (name == QLatin1String("mxCell"))
            readDrawioCell(reader, cells, QString(), DrawioObjectAttributes());
        else if (isObjectElement(name))
            readDrawioObjectElement(reader, cells, QString());
    }
    return !cells.isEmpty();
}

namespace {

// The page XML held as text by one "diagram" element; empty when the text
// cannot be decoded.
QByteArray diagramPageXml(const QString& elementText)
{
    const QByteArray text = elementText.toUtf8().trimmed();
    if (text.isEmpty() || text.startsWith('<'))
        return text;

    QByteArray cleaned = text;
    cleaned.replace('\n', QByteArray()).replace('\r', QByteArray()).replace(' ', QByteArray());
    const QByteArray decoded = QByteArray::fromBase64(cleaned);
    if (decoded.isEmpty())
        return QByteArray();

    QByteArray inflated;
    for (const int windowBits : {-15, 15, 31}) {
        if (inflateDiagramPayload(decoded, inflated, windowBits))
            return percentDecodeDrawio(inflated);
    }
    if (decoded.trimmed().startsWith('<'))
        return decoded;
    return percentDecodeDrawio(decoded);
}

} // namespace

QJsonObject parseDrawioFile(const QString& path, QString* error)
{
    const auto fail = [&](const char* sentence) {
        if (error)
            *error = QString::fromLatin1(sentence);
        return QJsonObject();
    };

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail("Could not open the draw.io file.");
    const QByteArray bytes = file.readAll();
    file.close();

    QList<DrawioCell> cells;
    bool found = readDrawioModel(bytes, cells);
    if (!found) {
        QXmlStreamReader reader(bytes);
        while (!found && !reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != QLatin1String("diagram"))
                continue;
            const QString text = reader.readElementText(QXmlStreamReader::IncludeChildElements);
            const QByteArray page = diagramPageXml(text);
            found = !page.isEmpty() && readDrawioModel(page, cells);
        }
    }
    if (!found)
        return fail("No draw.io diagram was found in the file.");

    const QJsonObject diagram = drawioCellsToSceneJson(cells);
    if (diagram.value(QLatin1String("entities")).toArray().isEmpty())
        return fail("No ER entities were recognized in the draw.io file.");
    return diagram;
}
