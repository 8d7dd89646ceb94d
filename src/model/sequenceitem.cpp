#include "model/sequenceitem.h"

#include "model/itemid.h"
#include "model/jsonfields.h"

using namespace jsonfields;

SequenceItem::SequenceItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

QJsonObject SequenceItem::toJson() const
{
    static const QJsonObject prototype = makePrototype({
        {QLatin1String("id"), emptyText()},
        {QLatin1String("name"), emptyText()},
        {QLatin1String("tableId"), emptyText()},
        {QLatin1String("columnId"), emptyText()},
        {QLatin1String("startValue"), qint64(1)},
        {QLatin1String("increment"), qint64(1)},
        {QLatin1String("minValue"), emptyText()},
        {QLatin1String("maxValue"), emptyText()},
        {QLatin1String("cycle"), false},
        {QLatin1String("comment"), emptyText()},
    });
    QJsonObject object = prototype;
    writeString(object, QLatin1String("id"), m_id);
    writeString(object, QLatin1String("name"), m_name);
    writeString(object, QLatin1String("tableId"), m_tableId);
    writeString(object, QLatin1String("columnId"), m_columnId);
    writeValue(object, QLatin1String("startValue"), m_startValue, qint64(1));
    writeValue(object, QLatin1String("increment"), m_increment, qint64(1));
    writeString(object, QLatin1String("minValue"), m_minValue);
    writeString(object, QLatin1String("maxValue"), m_maxValue);
    writeValue(object, QLatin1String("cycle"), m_cycle, false);
    writeString(object, QLatin1String("comment"), m_comment);
    return object;
}

void SequenceItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_tableId = readString(object, QLatin1String("tableId"));
    m_columnId = readString(object, QLatin1String("columnId"));
    m_startValue = readInteger64(object, QLatin1String("startValue"), 1);
    m_increment = readInteger64(object, QLatin1String("increment"), 1);
    m_minValue = readString(object, QLatin1String("minValue"));
    m_maxValue = readString(object, QLatin1String("maxValue"));
    m_cycle = readBool(object, QLatin1String("cycle"), false);
    m_comment = readString(object, QLatin1String("comment"));
}
