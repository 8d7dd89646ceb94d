#include "details/detailslookups.h"

#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/itemnames.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"

#include <climits>

TableItem* findTableInProject(const ProjectItem* project, const QString& tableId)
{
    if (!project || tableId.isEmpty())
        return nullptr;
    for (const ModelItem* model : project->models()) {
        if (TableItem* table = model ? model->table(tableId) : nullptr)
            return table;
    }
    return nullptr;
}

TableItem* findTableByName(const ModelItem* model, const QString& name)
{
    if (!model || name.isEmpty())
        return nullptr;
    for (TableItem* table : model->tables()) {
        if (table && table->name().compare(name, Qt::CaseInsensitive) == 0)
            return table;
    }
    return nullptr;
}

QStringList columnNames(const TableItem* table)
{
    QStringList names;
    if (!table)
        return names;
    const QList<ColumnItem*> columns = table->columns();
    names.reserve(columns.size());
    for (const ColumnItem* column : columns) {
        if (column)
            names.append(column->name());
    }
    return names;
}

QString firstUnusedColumnId(const TableItem* table, const QStringList& usedIds)
{
    if (!table)
        return QString();
    for (const ColumnItem* column : table->columns()) {
        if (column && !column->id().isEmpty() && !usedIds.contains(column->id()))
            return column->id();
    }
    return QString();
}

int parseSizeText(const QString& text, bool* ok)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        if (ok)
            *ok = true;
        return -1;
    }
    bool valid = false;
    const int value = trimmed.toInt(&valid, 10);
    if (ok)
        *ok = valid;
    if (!valid)
        return 0;
    return value < 0 ? -1 : value;
}

QString nextColumnName(const QStringList& names)
{
    const qsizetype first = names.size() + 1;
    return firstFreeNumberedName(QStringLiteral("column_"), names, Qt::CaseInsensitive,
                                 static_cast<int>(qMin<qsizetype>(first, INT_MAX)));
}

QString constraintKindText(int type)
{
    switch (type) {
    case ConstraintItem::PrimaryKey:
        return QStringLiteral("Primary Key");
    case ConstraintItem::ForeignKey:
        return QStringLiteral("Foreign Key");
    case ConstraintItem::Check:
        return QStringLiteral("Check");
    default:
        return QStringLiteral("Unique");
    }
}

int constraintKindFromText(const QString& text)
{
    if (text == QLatin1String("Primary Key") || text == QLatin1String("primaryKey"))
        return ConstraintItem::PrimaryKey;
    if (text == QLatin1String("Foreign Key") || text == QLatin1String("foreignKey"))
        return ConstraintItem::ForeignKey;
    if (text == QLatin1String("Check") || text == QLatin1String("check"))
        return ConstraintItem::Check;
    return ConstraintItem::Unique;
}

bool putConstraintColumn(ConstraintItem* constraint, const TableItem* owner, int position, bool referencedSide,
                         const QString& name)
{
    if (!constraint || !owner || position < 0)
        return false;
    const ColumnItem* column = owner->columnByName(name.trimmed());
    if (!column)
        return false;
    QStringList list = referencedSide ? constraint->referencedColumns() : constraint->columns();
    while (list.size() <= position)
        list.append(QString());
    const QString id = column->id();
    if (list.at(position) == id)
        return true;
    if (list.contains(id))
        return false;
    list[position] = id;
    if (referencedSide)
        constraint->setReferencedColumns(list);
    else
        constraint->setColumns(list);
    return true;
}

MappingEndpoint resolveMappingEndpoint(const ProjectItem* project, const QString& modelName,
                                       const QString& tableName, const QString& columnName)
{
    MappingEndpoint endpoint;
    const QString modelText = modelName.trimmed();
    const QString tableText = tableName.trimmed();
    const QString columnText = columnName.trimmed();
    if (!project || modelText.isEmpty() || tableText.isEmpty() || columnText.isEmpty())
        return endpoint;
    const ModelItem* model = project->modelByName(modelText);
    const TableItem* table = findTableByName(model, tableText);
    const ColumnItem* column = table ? table->columnByName(columnText) : nullptr;
    if (!column)
        return endpoint;
    endpoint.found = true;
    endpoint.modelId = model->id();
    endpoint.tableId = table->id();
    endpoint.columnId = column->id();
    return endpoint;
}

QList<MappingItem*> allMappings(const ProjectItem* project)
{
    QList<MappingItem*> mappings;
    if (!project)
        return mappings;
    mappings = project->mappings();
    for (const ModelItem* model : project->models()) {
        if (model)
            mappings += model->mappings();
    }
    mappings.removeAll(nullptr);
    return mappings;
}

MappingItem* findMapping(const ProjectItem* project, const QString& ownerModelId, const QString& mappingId)
{
    if (!project || mappingId.isEmpty())
        return nullptr;
    if (ownerModelId.isEmpty())
        return project->mapping(mappingId);
    const ModelItem* model = project->model(ownerModelId);
    return model ? model->mapping(mappingId) : nullptr;
}

QString mappingOwnerModelId(const MappingItem* mapping)
{
    const auto* model = mapping ? qobject_cast<const ModelItem*>(mapping->parent()) : nullptr;
    return model ? model->id() : QString();
}

QString composeMappingName(const QString& sourceTable, const QString& sourceColumn, const QString& targetTable,
                           const QString& targetColumn)
{
    if (sourceTable.isEmpty() || sourceColumn.isEmpty() || targetTable.isEmpty() || targetColumn.isEmpty())
        return QString();
    return sourceTable + QLatin1Char('.') + sourceColumn + QLatin1String(" -> ") + targetTable + QLatin1Char('.')
           + targetColumn;
}
