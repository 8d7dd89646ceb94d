#include "model/columnitem.h"

#include "details/datatypes.h"
#include "model/classificationitem.h"
#include "model/indentedjson.h"
#include "model/itemcollections.h"
#include "model/itemid.h"
#include "model/jsonfields.h"

#include <QJsonArray>

using namespace itemcollections;
using namespace jsonfields;

ColumnItem::ColumnItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

void ColumnItem::setDataType(const QString& typeText)
{
    const ParsedDataType parsed = parseDataType(typeText);
    if (parsed.hasSize) {
        m_dataType = parsed.baseType;
        if (isNumericDataType(m_dataType)) {
            m_precision = parsed.precision;
            m_scale = parsed.scale;
            m_length = -1;
        } else {
            m_length = parsed.length;
            m_precision = -1;
            m_scale = -1;
        }
        return;
    }

    const bool wasNumeric = isNumericDataType(m_dataType);
    m_dataType = parsed.baseType;
    if (m_dataType.isEmpty())
        return;
    const bool isNumeric = isNumericDataType(m_dataType);
    if (isNumeric == wasNumeric)
        return;
    if (isNumeric) {
        m_length = -1;
    } else {
        m_precision = -1;
        m_scale = -1;
    }
}

QString ColumnItem::displayType() const
{
    return formatDataType(m_dataType, m_length, m_precision, m_scale);
}

ClassificationItem* ColumnItem::addClassification()
{
    auto* item = new ClassificationItem(this);
    m_classifications.append(item);
    return item;
}

QJsonObject ColumnItem::toJson() const
{
    static const QJsonObject prototype = makePrototype({
        {QLatin1String("id"), emptyText()},
        {QLatin1String("name"), emptyText()},
        {QLatin1String("dataType"), emptyText()},
        {QLatin1String("nullable"), true},
        {QLatin1String("comment"), emptyText()},
        {QLatin1String("defaultValue"), emptyText()},
        {QLatin1String("personal"), false},
        {QLatin1String("sensible"), false},
        {QLatin1String("classification"), emptyText()},
        {QLatin1String("classifications"), QJsonArray()},
    });
    QJsonObject object = prototype;
    writeString(object, QLatin1String("id"), m_id);
    writeString(object, QLatin1String("name"), m_name);
    writeString(object, QLatin1String("dataType"), m_dataType);
    writeValue(object, QLatin1String("nullable"), m_nullable, true);
    writeString(object, QLatin1String("comment"), m_comment);
    writeString(object, QLatin1String("defaultValue"), m_defaultValue);
    writeValue(object, QLatin1String("personal"), m_personal, false);
    writeValue(object, QLatin1String("sensible"), m_sensible, false);
    writeString(object, QLatin1String("classification"), m_classification);
    // Sizes are written only while they are set.
    if (m_precision >= 0)
        object.insert(QLatin1String("precision"), m_precision);
    if (m_scale >= 0)
        object.insert(QLatin1String("scale"), m_scale);
    if (m_length >= 0)
        object.insert(QLatin1String("length"), m_length);
    if (!m_classifications.isEmpty())
        object[QLatin1String("classifications")] = listToJson(m_classifications);
    return object;
}

void ColumnItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_dataType = readString(object, QLatin1String("dataType"));
    m_nullable = readBool(object, QLatin1String("nullable"), true);
    m_comment = readString(object, QLatin1String("comment"));
    m_defaultValue = readString(object, QLatin1String("defaultValue"));
    m_personal = readBool(object, QLatin1String("personal"), false);
    m_sensible = readBool(object, QLatin1String("sensible"), false);

    const bool hasClassification = object.contains(QLatin1String("classification"));
    m_classification = readString(object, QLatin1String("classification"));
    m_precision = readSize(object, QLatin1String("precision"));
    m_scale = readSize(object, QLatin1String("scale"));
    m_length = readSize(object, QLatin1String("length"));

    setDataType(m_dataType);

    readList(this, m_classifications, readArray(object, QLatin1String("classifications")));

    if (!hasClassification && !m_classifications.isEmpty())
        m_classification = m_classifications.first()->name();
}

void ColumnItem::writeJson(IndentedJsonWriter& writer, int level) const
{
    // The keys of toJson() in the order its object keeps them.
    const int inner = level + 1;
    writer.beginObject();
    writer.member("classification", inner, true);
    writer.writeString(m_classification);
    writer.member("classifications", inner, false);
    writer.writeArray(m_classifications.isEmpty() ? QJsonArray() : listToJson(m_classifications), inner);
    writer.member("comment", inner, false);
    writer.writeString(m_comment);
    writer.member("dataType", inner, false);
    writer.writeString(m_dataType);
    writer.member("defaultValue", inner, false);
    writer.writeString(m_defaultValue);
    writer.member("id", inner, false);
    writer.writeString(m_id);
    if (m_length >= 0) {
        writer.member("length", inner, false);
        writer.writeInteger(m_length);
    }
    writer.member("name", inner, false);
    writer.writeString(m_name);
    writer.member("nullable", inner, false);
    writer.writeBool(m_nullable);
    writer.member("personal", inner, false);
    writer.writeBool(m_personal);
    if (m_precision >= 0) {
        writer.member("precision", inner, false);
        writer.writeInteger(m_precision);
    }
    if (m_scale >= 0) {
        writer.member("scale", inner, false);
        writer.writeInteger(m_scale);
    }
    writer.member("sensible", inner, false);
    writer.writeBool(m_sensible);
    writer.endObject(level);
}
