#include "model/modelitem.h"

#include "model/diagramitem.h"
#include "model/itemid.h"

ModelItem::ModelItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

void ModelItem::setName(const QString& name)
{
    m_name = name;
}

QString ModelItem::dialect() const
{
    return m_dialect;
}

void ModelItem::setDialect(const QString& dialect)
{
    m_dialect = dialect;
}

DiagramItem* ModelItem::addDiagram()
{
    auto* diagram = new DiagramItem(this);
    m_diagrams.append(diagram);
    return diagram;
}

QList<DiagramItem*> ModelItem::diagrams() const
{
    return m_diagrams;
}
