#pragma once

#include <QHash>
#include <QString>

class ProjectItem;
class TableItem;

// Names by id across a project, built once and then read many times: the
// mappings grid asks for two models, two tables and two columns per row.
// Valid while the project's models and tables stay as they were.
class ProjectNameIndex
{
public:
    explicit ProjectNameIndex(const ProjectItem* project);

    // The first table of that id in the project's model order, or null.
    TableItem* table(const QString& tableId) const;
    QString modelName(const QString& modelId) const;
    QString tableName(const QString& tableId) const;
    // The name of the column columnId of table tableId; empty when either
    // is unknown.
    QString columnName(const QString& tableId, const QString& columnId) const;

private:
    QHash<QString, QString> m_modelNames;
    QHash<QString, TableItem*> m_tables;
    // Filled per table on first use.
    mutable QHash<const TableItem*, QHash<QString, QString>> m_columnNames;
};
