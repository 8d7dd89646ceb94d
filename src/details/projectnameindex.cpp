#include "details/projectnameindex.h"

#include "model/columnitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"

ProjectNameIndex::ProjectNameIndex(const ProjectItem* project)
{
    if (!project)
        return;
    for (const ModelItem* model : project->models()) {
        if (!model)
            continue;
        m_modelNames.insert(model->id(), model->name());
        for (TableItem* table : model->tables()) {
            // The first model in the project's order wins, as for
            // findTableInProject.
            if (table && !m_tables.contains(table->id()))
                m_tables.insert(table->id(), table);
        }
    }
}

TableItem* ProjectNameIndex::table(const QString& tableId) const
{
    return m_tables.value(tableId);
}

QString ProjectNameIndex::modelName(const QString& modelId) const
{
    return m_modelNames.value(modelId);
}

QString ProjectNameIndex::tableName(const QString& tableId) const
{
    const TableItem* found = table(tableId);
    return found ? found->name() : QString();
}

QString ProjectNameIndex::columnName(const QString& tableId, const QString& columnId) const
{
    const TableItem* found = table(tableId);
    if (!found || columnId.isEmpty())
        return QString();
    auto it = m_columnNames.find(found);
    if (it == m_columnNames.end()) {
        QHash<QString, QString> names;
        for (const ColumnItem* column : found->columns()) {
            // The first column of an id wins, as for TableItem::column.
            if (column && !names.contains(column->id()))
                names.insert(column->id(), column->name());
        }
        it = m_columnNames.insert(found, names);
    }
    return it->value(columnId);
}
