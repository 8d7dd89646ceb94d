#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class ColumnItem;
class ConstraintItem;
class MappingItem;
class ModelItem;
class ProjectItem;
class TableItem;

// Look-ups and small rules of the details pane, over model items only, so
// that they hold (and are tested) without any widget.

// The first table with that id over the project's models in name order;
// null for a null project, an empty id or no match.
TableItem* findTableInProject(const ProjectItem* project, const QString& tableId);

// The first table of the model (in the model's name order) whose name equals
// name ignoring case; null for a null model, an empty name or no match.
TableItem* findTableByName(const ModelItem* model, const QString& name);

// The names of the table's columns in table order (a name that occurs twice
// is listed twice); empty for a null table.
QStringList columnNames(const TableItem* table);

// The id of the table's first column whose id is not empty and not among
// usedIds (exact comparison); empty when there is none or the table is null.
QString firstUnusedColumnId(const TableItem* table, const QStringList& usedIds);

// A length, precision or scale cell: a blank text is "no size" (-1, *ok
// true), a negative number is -1 as well, anything that is not a base-10
// 32-bit integer sets *ok false and gives 0.
int parseSizeText(const QString& text, bool* ok);

// "column_" + n for the first n from names.size() + 1 that no name equals
// ignoring case.
QString nextColumnName(const QStringList& names);

// The texts of the constraint kinds in the constraints grid.
QString constraintKindText(int type);
// "Primary Key" or "primaryKey" 0, "Foreign Key" or "foreignKey" 1,
// "Check" or "check" 3, any other text 2 (unique); compared exactly.
int constraintKindFromText(const QString& text);

// Puts the column named name (trimmed, found ignoring case in owner) at
// position of the constraint's own columns, or of its referenced columns
// when referencedSide is set; the list is padded with empty ids first.
// True when the position now holds that column; false (nothing stored) for
// a null constraint or owner, a negative position, an unknown name or a
// column already listed at another position.
bool putConstraintColumn(ConstraintItem* constraint, const TableItem* owner, int position, bool referencedSide,
                         const QString& name);

// Where one end of a mapping points.
struct MappingEndpoint
{
    bool found = false;
    QString modelId;
    QString tableId;
    QString columnId;
};

// Resolves model, table and column names (trimmed; model and table matched
// ignoring case, the column too). Not found when any name is blank or any of
// the three is missing.
MappingEndpoint resolveMappingEndpoint(const ProjectItem* project, const QString& modelName,
                                       const QString& tableName, const QString& columnName);

// Every mapping of the project: the project-level ones first, then each
// model's in the project's model order, each list in name order.
QList<MappingItem*> allMappings(const ProjectItem* project);

// The mapping with that id among the project-level mappings (ownerModelId
// empty) or the mappings of the model with id ownerModelId; null when there
// is none.
MappingItem* findMapping(const ProjectItem* project, const QString& ownerModelId, const QString& mappingId);

// The id of the model that holds the mapping, empty for a project-level one.
QString mappingOwnerModelId(const MappingItem* mapping);

// "sourceTable.sourceColumn -> targetTable.targetColumn"; empty when any of
// the four names is empty.
QString composeMappingName(const QString& sourceTable, const QString& sourceColumn, const QString& targetTable,
                           const QString& targetColumn);
