#include "interchange/drawioreader.h"

#include "interchange/drawiocells.h"
#include "interchange/inflatepayload.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QXmlStreamReader>

#include <cmath>
#include <cstring>
#include <utility>

namespace {

bool isObjectElement(QStringView name)
{
    return name == QLatin1String("object") || name == QLatin1String("UserObject");
}

// A geometry number that is present: 0 when it is not a finite number.
double geometryValue(QStringView text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
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

bool readDrawioModel(const QByteArray& xml, QList<DrawioCell>& cells)
{
    cells.clear();
    // Read through a device: the stream reader is about twice as fast on a
    // large page that way than handed the bytes themselves.
    QBuffer device;
    device.setData(xml);
    device.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&device);
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
    QByteArray decoded = QByteArray::fromBase64(cleaned);
    if (decoded.isEmpty())
        return QByteArray();

    QByteArray inflated;
    for (const int windowBits : {-15, 15, 31}) {
        if (inflateDiagramPayload(decoded, inflated, windowBits))
            return percentDecodeDrawio(std::move(inflated));
    }
    if (decoded.trimmed().startsWith('<'))
        return decoded;
    return percentDecodeDrawio(std::move(decoded));
}

// The text of the element whose start the reader has just read, that of
// its children included, read up to the element's end. The stream reader's
// own way of doing this calls itself for each child element, so a page
// nested a hundred thousand deep would exhaust the stack; this only counts.
QString elementTextWithin(QXmlStreamReader& reader)
{
    QString text;
    qsizetype depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            text += reader.text();
            break;
        default:
            break;
        }
    }
    return text;
}

} // namespace

QJsonObject parseDrawioBytes(const QByteArray& bytes, QString* error)
{
    const auto fail = [&](const char* sentence) {
        if (error)
            *error = QString::fromLatin1(sentence);
        return QJsonObject();
    };

    QList<DrawioCell> cells;
    bool found = readDrawioModel(bytes, cells);
    if (!found) {
        QBuffer device;
        device.setData(bytes);
        device.open(QIODevice::ReadOnly);
        QXmlStreamReader reader(&device);
        while (!found && !reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != QLatin1String("diagram"))
                continue;
            const QString text = elementTextWithin(reader);
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

QJsonObject parseDrawioFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Could not open the draw.io file.");
        return QJsonObject();
    }
    const QByteArray bytes = file.readAll();
    file.close();
    return parseDrawioBytes(bytes, error);
}
