#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

class ColumnItem;
class ModelItem;
class ProjectItem;
class RelationshipItem;
class TableItem;
class ViewItem;

// One attribute row of an entity box, as the model synchronisation reads it.
struct EntityRow
{
    QString name;
    QString type;
    bool primaryKey = false;
    bool uniqueKey = false;
    QString fkEdgeId;  // the relationship edge that made the row a foreign key
};

// The rules that keep a model's tables, columns, keys and relationships in
// step with the entity boxes and edges drawn for them, on plain row records
// so that they hold without a scene. Columns are matched to rows by name,
// ignoring case; a column keeps its id (and with it its place in constraints,
// indexes and mappings) for as long as a row of its name exists.
class TableSync
{
public:
    // A table or view by id: in `current` first, then in the project's
    // models by name. `owner`, when given, receives the model it was found in.
    static TableItem* findTable(const ModelItem* current, const ProjectItem* project, const QString& id,
                                ModelItem** owner = nullptr);
    static ViewItem* findView(const ModelItem* current, const ProjectItem* project, const QString& id,
                              ModelItem** owner = nullptr);

    // Applies an entity row's type text to a column. A text without a size
    // clears the sizes the column had; a text with one sets them.
    static void applyTypeText(ColumnItem* column, const QString& typeText);
    // The type text a column would show after applyTypeText(text).
    static QString canonicalType(const QString& typeText);

    // Creates or updates the table of an entity: its name becomes the title,
    // each row finds its column by name or gets a new one, types follow the
    // rows and key rows become not nullable; then both key syncs. Columns are
    // never removed or reordered here.
    static TableItem* registerTable(ModelItem* model, const QString& id, const QString& title,
                                    const QList<EntityRow>& rows);
    static ViewItem* registerView(ModelItem* model, const QString& id, const QString& title);

    // The table's primary key holds the columns of the rows flagged primary
    // key, in row order; without such rows it is removed.
    static void syncPrimaryKey(TableItem* table, const QList<EntityRow>& rows);
    // Adds one unique constraint for the flagged unique columns that no
    // unique constraint covers yet. Existing ones are never changed.
    static void syncUnique(TableItem* table, const QList<EntityRow>& rows);

    // Makes the columns follow the rows exactly: each named row claims the
    // first unclaimed column of its name (or a new one), takes its type, and
    // the columns no row claimed are removed together with every reference
    // to them in the project; the columns then follow the row order and the
    // keys are synced. Returns the ids of the removed columns.
    static QStringList syncColumns(TableItem* table, const QList<EntityRow>& rows, ProjectItem* project);

    // An edited row: the column found by the old name (else by the new one,
    // else a new column) takes the new name and type. The column keeps its id.
    static ColumnItem* applyRowEdit(TableItem* table, const QList<EntityRow>& rows, int index,
                                    const QString& oldName, const QString& name, const QString& type);

    // Creates or updates the relationship of an edge from the parent entity
    // `fromId` to the child `toId`, named "<fromTitle>_<toTitle>". Unless it
    // is an entity-view link, the child table (current model only) gets or
    // keeps its foreign key "fk_<name>": its columns are those of the child's
    // rows marked with the edge id, its referenced columns the parent's
    // primary key.
    static RelationshipItem* registerRelationship(ModelItem* model, const QString& edgeId, const QString& fromId,
                                                  const QString& toId, const QString& fromTitle,
                                                  const QString& toTitle, bool viewEdge,
                                                  const QList<EntityRow>& toRows);

    // Brings the stored rows of one table entity into step with its table:
    // rows whose column is gone are dropped, columns without a row get one
    // (placed after the row of the column before them), and types, key and
    // foreign-key marks follow the model. A row without a name stands for
    // the first column without a name that no earlier row took, and is kept
    // as it is when there is none. Rows that share a name (the rows without
    // a name among them) end in the table order of their columns, so that
    // the rows written read back to the same columns. `model` is the model
    // that owns the table. True when changed.
    static bool alignRows(QJsonArray& rows, const TableItem* table, const ModelItem* model);

    // While one lives, alignRows builds its look-up of a model's
    // relationships once and reuses it: for a caller that aligns many
    // tables while the model's relationships stay as they are (placing a
    // drop of many tables). Scopes nest; GUI thread only.
    class RelationshipIndexScope
    {
    public:
        RelationshipIndexScope();
        ~RelationshipIndexScope();
        RelationshipIndexScope(const RelationshipIndexScope&) = delete;
        RelationshipIndexScope& operator=(const RelationshipIndexScope&) = delete;
    };

    // After `table` of `model` was renamed from oldName: the names that are
    // still the generated ones for the old name follow it. Those are its
    // constraints "pk_", "uk_", "ck_" and "fk_" + the old name and its
    // indexes "ix_" + the old name (each possibly with a "_<n>" suffix), and
    // for its relationships the name "<parent>_<child>" and the child's
    // foreign key "fk_<parent>_<child>". Names the user chose stay.
    static void followTableRename(ModelItem* model, TableItem* table, const QString& oldName);

    // The ids of the model's relationships whose foreign key uses that
    // column of the table, as its own column (the table is the child) or as
    // the referenced one (the table is the parent), in relationship order.
    static QStringList relationshipsUsingColumn(const ModelItem* model, const TableItem* table,
                                                const QString& columnId);

    // alignRows for every table entity of a diagram JSON object whose table
    // the model-wide look-up finds, and the title of every entity whose
    // table or view bears another, non-empty name. Entities of unknown
    // tables are left alone. Returns how many entities changed.
    static int alignDiagram(QJsonObject& diagram, const ModelItem* current, const ProjectItem* project);
};
