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
    QJsonObject object;
    object.insert(QLatin1String("id"), m_id);
    object.insert(QLatin1String("name"), m_name);
    object.insert(QLatin1String("tableId"), m_tableId);
    object.insert(QLatin1String("columnId"), m_columnId);
    object.insert(QLatin1String("startValue"), m_startValue);
    object.insert(QLatin1String("increment"), m_increment);
    object.insert(QLatin1String("minValue"), m_minValue);
    object.insert(QLatin1String("maxValue"), m_maxValue);
    object.insert(QLatin1String("cycle"), m_cycle);
    object.insert(QLatin1String("comment"), m_comment);
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
