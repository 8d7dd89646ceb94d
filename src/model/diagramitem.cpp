#include "model/diagramitem.h"

#include "model/itemid.h"

DiagramItem::DiagramItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

void DiagramItem::setName(const QString& name)
{
    m_name = name;
}

QJsonObject DiagramItem::data() const
{
    return m_data;
}
