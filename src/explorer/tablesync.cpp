#include "explorer/tablesync.h"

#include "details/datatypes.h"
#include "explorer/diagramkeys.h"
#include "explorer/modelpruner.h"
#include "model/columnitem.h"
#include "model/columnnameindex.h"
#include "model/constraintitem.h"
#include "model/indexitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QHash>
#include <QJsonValue>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace {

using namespace DiagramKeys;

template <typename Item>
Item* findModelWide(const ModelItem* current, const ProjectItem* project, const QString& id, ModelItem** owner,
                    Item* (ModelItem::*lookUp)(const QString&) const)
{
    if (owner)
        *owner = nullptr;
    if (id.isEmpty())
        return nullptr;
    if (current) {
        if (Item* item = (current->*lookUp)(id)) {
            if (owner)
                *owner = const_cast<ModelItem*>(current);
            return item;
        }
    }
    if (!project)
        return nullptr;
    const QList<ModelItem*> models = project->models();
    for (ModelItem* model : models) {
        if (!model || model == current)
            continue;
        if (Item* item = (model->*lookUp)(id)) {
            if (owner)
                *owner = model;
            return item;
        }
    }
    return nullptr;
}

// The ids of the columns that the rows picked by `picks` name, in row order
// (a column once per row that names it).
template <typename Pick>
QStringList columnIdsOfRows(const TableItem* table, const QList<EntityRow>& rows, Pick picks)
{
    QStringList ids;
    const auto picked = std::count_if(rows.cbegin(), rows.cend(), picks);
    if (picked == 0)
        return ids;
    const QList<ColumnItem*> all = table->columns();
    // A key is mostly a row or two: looking them up in the columns as they
    // stand spares indexing every column of a table of thousands, at every
    // synchronisation. The match is the index's: the first column whose
    // name equals the row's but for case.
    if (picked <= 4) {
        for (const EntityRow& row : rows) {
            if (!picks(row))
                continue;
            const auto found = std::find_if(all.cbegin(), all.cend(), [&row](const ColumnItem* column) {
                return column && column->name().compare(row.name, Qt::CaseInsensitive) == 0;
            });
            if (found != all.cend())
                ids.append((*found)->id());
        }
        return ids;
    }
    const ColumnNameIndex columns(all);
    for (const EntityRow& row : rows) {
        if (!picks(row))
            continue;
        if (const ColumnItem* column = columns.first(row.name))
            ids.append(column->id());
    }
    return ids;
}

// Which relationship owns which foreign key, and which relationships end at
// which table, for one model; built once per model and diagram.
struct RelationshipIndex
{
    QHash<QString, QString> relationshipOfConstraint;  // constraint id -> relationship id
    QHash<QString, QSet<QString>> relationshipsToTable; // to-table id -> relationship ids
};

RelationshipIndex indexRelationships(const ModelItem* model)
{
    RelationshipIndex index;
    if (!model)
        return index;
    // The owner of a constraint is the first relationship by name that
    // names it, as the details pane finds it.
    const QList<RelationshipItem*> relationships = model->relationships();
    for (const RelationshipItem* relationship : relationships) {
        if (!relationship)
            continue;
        const QString constraintId = relationship->constraintId();
        if (!constraintId.isEmpty() && !index.relationshipOfConstraint.contains(constraintId))
            index.relationshipOfConstraint.insert(constraintId, relationship->id());
        index.relationshipsToTable[relationship->toTableId()].insert(relationship->id());
    }
    return index;
}

// What the model says about the keys of one table's columns.
struct KeyFacts
{
    QSet<QString> primary;                  // column ids in a primary key
    QSet<QString> unique;                   // column ids in a unique constraint
    QHash<QString, QString> foreignKeyEdge; // column id -> relationship of its foreign key
    QSet<QString> tableRelationships;       // relationships whose foreign key is this table's
};

KeyFacts keyFactsOf(const TableItem* table, const RelationshipIndex& index)
{
    KeyFacts facts;
    facts.tableRelationships = index.relationshipsToTable.value(table->id());
    const QList<ConstraintItem*> constraints = table->constraints();
    for (const ConstraintItem* constraint : constraints) {
        if (!constraint)
            continue;
        const QStringList columns = constraint->columns();
        switch (constraint->type()) {
        case ConstraintItem::PrimaryKey:
            for (const QString& id : columns)
                facts.primary.insert(id);
            break;
        case ConstraintItem::Unique:
            for (const QString& id : columns)
                facts.unique.insert(id);
            break;
        case ConstraintItem::ForeignKey: {
            const QString relationshipId = index.relationshipOfConstraint.value(constraint->id());
            if (relationshipId.isEmpty())
                break;
            facts.tableRelationships.insert(relationshipId);
            for (const QString& id : columns)
                facts.foreignKeyEdge.insert(id, relationshipId);
            break;
        }
        default:
            break;
        }
    }
    return facts;
}

// Sets key to value unless the row already holds exactly that.
bool put(QJsonObject& row, const QString& key, const QJsonValue& value)
{
    if (row.value(key) == value)
        return false;
    row.insert(key, value);
    return true;
}

// The marks of one row made to follow its column.
bool alignRow(QJsonObject& row, const ColumnItem* column, const KeyFacts& facts)
{
    bool changed = false;
    const QString displayType = column->displayType();
    if (TableSync::canonicalType(row.value(typeKey).toString()) != displayType)
        changed |= put(row, typeKey, displayType);
    const bool primary = facts.primary.contains(column->id());
    const bool unique = facts.unique.contains(column->id());
    if (row.value(primaryKeyKey).toBool(false) != primary)
        changed |= put(row, primaryKeyKey, primary);
    if (row.value(uniqueKeyKey).toBool(false) != unique)
        changed |= put(row, uniqueKeyKey, unique);

    const QString edge = facts.foreignKeyEdge.value(column->id());
    if (!edge.isEmpty()) {
        changed |= put(row, foreignKeyKey, true);
        changed |= put(row, fkEdgeIdKey, edge);
    } else {
        const QString marked = row.value(fkEdgeIdKey).toString();
        // A row marked by a relationship whose foreign key no longer lists
        // its column is no foreign key any more; marks of edges the model
        // does not know stay.
        if (!marked.isEmpty() && facts.tableRelationships.contains(marked)) {
            row.remove(fkEdgeIdKey);
            row.insert(foreignKeyKey, false);
            changed = true;
        }
    }
    return changed;
}

QJsonObject rowForColumn(const ColumnItem* column, const KeyFacts& facts)
{
    QJsonObject row;
    row.insert(nameKey, column->name());
    row.insert(typeKey, column->displayType());
    row.insert(primaryKeyKey, facts.primary.contains(column->id()));
    row.insert(uniqueKeyKey, facts.unique.contains(column->id()));
    const QString edge = facts.foreignKeyEdge.value(column->id());
    row.insert(foreignKeyKey, !edge.isEmpty());
    if (!edge.isEmpty())
        row.insert(fkEdgeIdKey, edge);
    return row;
}

} // namespace

TableItem* TableSync::findTable(const ModelItem* current, const ProjectItem* project, const QString& id,
                                ModelItem** owner)
{
    return findModelWide<TableItem>(current, project, id, owner, &ModelItem::table);
}

ViewItem* TableSync::findView(const ModelItem* current, const ProjectItem* project, const QString& id,
                              ModelItem** owner)
{
    return findModelWide<ViewItem>(current, project, id, owner, &ModelItem::view);
}

void TableSync::applyTypeText(ColumnItem* column, const QString& typeText)
{
    if (!column)
        return;
    const ParsedDataType parsed = parseDataType(typeText);
    if (parsed.hasSize) {
        column->setDataType(typeText);
        return;
    }
    column->setDataType(parsed.baseType);
    column->setLength(-1);
    column->setPrecision(-1);
    column->setScale(-1);
}

QString TableSync::canonicalType(const QString& typeText)
{
    const ParsedDataType parsed = parseDataType(typeText);
    if (!parsed.hasSize)
        return parsed.baseType;
    return formatDataType(parsed.baseType, parsed.length, parsed.precision, parsed.scale);
}

namespace {

// Brings the column a row stands for into step with the row, making it with
// the row's name when there is none yet: the row's type, and no nulls in the
// column of a key row.
ColumnItem* applyRow(TableItem* table, ColumnItem* column, const EntityRow& row)
{
    if (!column) {
        column = table->addColumn();
        column->setName(row.name);
    }
    TableSync::applyTypeText(column, row.type);
    if (row.primaryKey)
        column->setNullable(false);
    return column;
}

} // namespace

TableItem* TableSync::registerTable(ModelItem* model, const QString& id, const QString& title,
                                    const QList<EntityRow>& rows)
{
    if (!model)
        return nullptr;
    TableItem* table = model->ensureTable(id);
    table->setName(title);
    ColumnNameIndex columns(table->columns());
    columns.reserve(table->columns().size() + rows.size());
    for (const EntityRow& row : rows) {
        ColumnItem* known = columns.first(row.name);
        ColumnItem* column = applyRow(table, known, row);
        if (!known)
            columns.add(column);
    }
    syncPrimaryKey(table, rows);
    syncUnique(table, rows);
    return table;
}

ViewItem* TableSync::registerView(ModelItem* model, const QString& id, const QString& title)
{
    if (!model)
        return nullptr;
    ViewItem* view = model->ensureView(id);
    view->setName(title);
    return view;
}

void TableSync::syncPrimaryKey(TableItem* table, const QList<EntityRow>& rows)
{
    if (!table)
        return;
    const QStringList keyColumns = columnIdsOfRows(table, rows, [](const EntityRow& row) { return row.primaryKey; });
    ConstraintItem* key = table->constraintOfType(ConstraintItem::PrimaryKey);
    if (keyColumns.isEmpty()) {
        if (key)
            table->removeConstraint(key->id());
        return;
    }
    if (!key) {
        key = table->addConstraint();
        key->setType(ConstraintItem::PrimaryKey);
        key->setName(QStringLiteral("pk_") + table->name());
    }
    if (key->columns() != keyColumns)
        key->setColumns(keyColumns);
}

void TableSync::syncUnique(TableItem* table, const QList<EntityRow>& rows)
{
    if (!table)
        return;
    QStringList flagged = columnIdsOfRows(table, rows, [](const EntityRow& row) { return row.uniqueKey; });
    flagged.removeDuplicates();
    if (flagged.isEmpty())
        return;
    QSet<QString> covered;
    const QList<ConstraintItem*> constraints = table->constraints();
    for (const ConstraintItem* constraint : constraints) {
        if (constraint && constraint->type() == ConstraintItem::Unique) {
            for (const QString& id : constraint->columns())
                covered.insert(id);
        }
    }
    QStringList uncovered;
    for (const QString& id : std::as_const(flagged)) {
        if (!covered.contains(id))
            uncovered.append(id);
    }
    if (uncovered.isEmpty())
        return;
    ConstraintItem* unique = table->addConstraint();
    unique->setType(ConstraintItem::Unique);
    unique->setName(QStringLiteral("uk_") + table->name());
    unique->setColumns(uncovered);
}

QStringList TableSync::syncColumns(TableItem* table, const QList<EntityRow>& rows, ProjectItem* project)
{
    QStringList removed;
    if (!table)
        return removed;
    const QList<ColumnItem*> before = table->columns();
    // Each named row claims the first column of its name that no earlier
    // row claimed.
    ColumnNameIndex unclaimed(before);
    QSet<const ColumnItem*> claimed;
    claimed.reserve(rows.size());
    QStringList order;
    for (const EntityRow& row : rows) {
        if (row.name.isEmpty())
            continue;
        ColumnItem* column = applyRow(table, unclaimed.takeFirst(row.name), row);
        claimed.insert(column);
        order.append(column->id());
    }
    for (const ColumnItem* column : before) {
        if (!column || claimed.contains(column))
            continue;
        const QString id = column->id();
        ModelPruner::forgetColumnReferences(project, id);
        table->removeColumn(id);
        removed.append(id);
    }
    table->setColumnOrder(order);
    syncPrimaryKey(table, rows);
    syncUnique(table, rows);
    return removed;
}

ColumnItem* TableSync::applyRowEdit(TableItem* table, const QList<EntityRow>& rows, int index,
                                    const QString& oldName, const QString& name, const QString& type)
{
    if (!table)
        return nullptr;
    ColumnItem* column = oldName.isEmpty() ? nullptr : table->columnByName(oldName);
    if (!column && !name.isEmpty())
        column = table->columnByName(name);
    if (!column) {
        column = table->addColumn();
        if (index >= 0 && index < rows.size() && rows.at(index).primaryKey)
            column->setNullable(false);
    }
    if (!name.isEmpty())
        column->setName(name);
    applyTypeText(column, type);
    return column;
}

RelationshipItem* TableSync::registerRelationship(ModelItem* model, const QString& edgeId, const QString& fromId,
                                                  const QString& toId, const QString& fromTitle,
                                                  const QString& toTitle, bool viewEdge,
                                                  const QList<EntityRow>& toRows)
{
    if (!model)
        return nullptr;
    RelationshipItem* relationship = model->ensureRelationship(edgeId);
    relationship->setFromTableId(fromId);
    relationship->setToTableId(toId);
    relationship->setName(fromTitle + QLatin1Char('_') + toTitle);
    if (viewEdge)
        return relationship;

    TableItem* child = model->table(toId);
    const TableItem* parent = model->table(fromId);
    if (!child)
        return relationship;
    // A new relationship has no key yet: not looked for among the table's
    // constraints, which many relationships to one table make long.
    ConstraintItem* foreignKey =
        relationship->constraintId().isEmpty() ? nullptr : child->constraint(relationship->constraintId());
    if (!foreignKey) {
        foreignKey = child->addConstraint();
        foreignKey->setType(ConstraintItem::ForeignKey);
        foreignKey->setName(QStringLiteral("fk_") + relationship->name());
        relationship->setConstraintId(foreignKey->id());
    }
    foreignKey->setReferencedTableId(fromId);

    foreignKey->setColumns(
        columnIdsOfRows(child, toRows, [&edgeId](const EntityRow& row) { return row.fkEdgeId == edgeId; }));

    QStringList referenced;
    if (parent) {
        if (const ConstraintItem* key = parent->constraintOfType(ConstraintItem::PrimaryKey))
            referenced = key->columns();
    }
    foreignKey->setReferencedColumns(referenced);
    return relationship;
}

namespace {

// A stored row and the column it stands for.
struct Kept
{
    QJsonObject row;
    const ColumnItem* column = nullptr;  // null for a row without a name and no column left
};

// Reading pairs the rows of one name (ignoring case; the rows without a name
// are one such set) with the columns of that name in table order. A row made
// for a column without one may land before a row of the same name that
// already had its column; such rows then trade places among themselves, each
// keeping its column, so that the rows read back to the columns they were
// written for. Rows already in table order, as well-formed files store them,
// stay where they are.
void keepPairingOnReading(std::vector<Kept>& rows, const QList<ColumnItem*>& columns)
{
    QHash<const ColumnItem*, qsizetype> tablePosition;
    tablePosition.reserve(columns.size());
    for (qsizetype i = 0; i < columns.size(); ++i)
        tablePosition.insert(columns.at(i), i);

    QHash<QString, std::vector<size_t>> placesOfName;  // folded name -> positions of its paired rows
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].column)
            placesOfName[ColumnNameIndex::foldedName(rows[i].column->name())].push_back(i);
    }
    const auto inTableOrder = [&](const Kept& a, const Kept& b) {
        return tablePosition.value(a.column) < tablePosition.value(b.column);
    };
    for (const std::vector<size_t>& places : std::as_const(placesOfName)) {
        if (places.size() < 2)
            continue;
        std::vector<Kept> sameName;
        sameName.reserve(places.size());
        for (size_t place : places)
            sameName.push_back(rows[place]);
        if (std::is_sorted(sameName.cbegin(), sameName.cend(), inTableOrder))
            continue;
        std::stable_sort(sameName.begin(), sameName.end(), inTableOrder);
        for (size_t i = 0; i < places.size(); ++i)
            rows[places[i]] = std::move(sameName[i]);
    }
}

bool alignRowsWith(QJsonArray& rows, const TableItem* table, const RelationshipIndex& index)
{
    if (!table)
        return false;
    const KeyFacts facts = keyFactsOf(table, index);
    const QList<ColumnItem*> columns = table->columns();

    // Each named row claims its column, as the column sync would.
    std::vector<Kept> kept;
    kept.reserve(static_cast<size_t>(rows.size()));
    ColumnNameIndex unclaimed(columns);
    QHash<const ColumnItem*, size_t> rowOfColumn;
    rowOfColumn.reserve(rows.size());
    bool changed = false;
    for (const QJsonValue& value : std::as_const(rows)) {
        QJsonObject row = value.toObject();
        const QString name = row.value(nameKey).toString();
        const ColumnItem* column = unclaimed.takeFirst(name);
        if (!column && name.isEmpty()) {
            kept.push_back({row, nullptr});
            continue;
        }
        if (!column) {
            changed = true;  // its column is gone
            continue;
        }
        changed |= alignRow(row, column, facts);
        rowOfColumn.insert(column, kept.size());
        kept.push_back({row, column});
    }

    // Columns without a row: right after the row of the column before them
    // in the table (which by then has one, its own or a new one), so that a
    // run of such columns follows the row of the last column before it in
    // table order. A run at the start of the table goes before the row of
    // the first column that has one; without any such column, to the end.
    constexpr size_t none = static_cast<size_t>(-1);
    QHash<size_t, QList<const ColumnItem*>> insertedAfter;  // kept position -> new rows
    QList<const ColumnItem*> leading;
    size_t anchor = none;       // the kept row that new rows now follow
    size_t firstClaimed = none; // the kept row of the first column that has one
    for (const ColumnItem* column : columns) {
        if (!column)
            continue;
        const auto claimed = rowOfColumn.constFind(column);
        if (claimed != rowOfColumn.cend()) {
            anchor = *claimed;
            if (firstClaimed == none)
                firstClaimed = anchor;
        } else if (anchor != none) {
            insertedAfter[anchor].append(column);
        } else {
            leading.append(column);
        }
    }
    if (insertedAfter.isEmpty() && leading.isEmpty() && !changed)
        return false;

    std::vector<Kept> result;
    result.reserve(kept.size() + static_cast<size_t>(columns.size()));
    const auto appendNew = [&](const QList<const ColumnItem*>& added) {
        for (const ColumnItem* column : added)
            result.push_back({rowForColumn(column, facts), column});
    };
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i == firstClaimed)
            appendNew(leading);
        result.push_back(std::move(kept[i]));
        appendNew(insertedAfter.value(i));
    }
    if (firstClaimed == none)
        appendNew(leading);
    keepPairingOnReading(result, columns);

    QJsonArray written;
    for (const Kept& entry : result)
        written.append(entry.row);
    rows = written;
    return true;
}

// The look-ups kept while a RelationshipIndexScope lives, by model.
int s_indexScopes = 0;
QHash<const ModelItem*, RelationshipIndex> s_scopedIndexes;

} // namespace

TableSync::RelationshipIndexScope::RelationshipIndexScope()
{
    ++s_indexScopes;
}

TableSync::RelationshipIndexScope::~RelationshipIndexScope()
{
    if (--s_indexScopes == 0)
        s_scopedIndexes.clear();
}

bool TableSync::alignRows(QJsonArray& rows, const TableItem* table, const ModelItem* model)
{
    if (s_indexScopes == 0)
        return alignRowsWith(rows, table, indexRelationships(model));
    auto index = s_scopedIndexes.find(model);
    if (index == s_scopedIndexes.end())
        index = s_scopedIndexes.insert(model, indexRelationships(model));
    return alignRowsWith(rows, table, *index);
}

int TableSync::alignDiagram(QJsonObject& diagram, const ModelItem* current, const ProjectItem* project)
{
    if (!diagram.contains(entitiesKey))
        return 0;

    QJsonArray entities = diagram.value(entitiesKey).toArray();
    QHash<const ModelItem*, RelationshipIndex> indexes;
    int changedEntities = 0;
    for (qsizetype i = 0; i < entities.size(); ++i) {
        QJsonObject entity = entities.at(i).toObject();
        const QString id = entity.value(idKey).toString();
        if (id.isEmpty())
            continue;
        const bool isView = entity.value(kindKey).toString() == QLatin1String("entity-view");
        bool changed = false;
        QString name;
        if (isView) {
            if (const ViewItem* view = findView(current, project, id))
                name = view->name();
        } else {
            ModelItem* owner = nullptr;
            const TableItem* table = findTable(current, project, id, &owner);
            if (!table)
                continue;
            name = table->name();
            QJsonArray rows = entity.value(attributesKey).toArray();
            auto index = indexes.find(owner);
            if (index == indexes.end())
                index = indexes.insert(owner, indexRelationships(owner));
            if (alignRowsWith(rows, table, *index)) {
                entity.insert(attributesKey, rows);
                changed = true;
            }
        }
        if (!name.isEmpty() && entity.value(titleKey).toString() != name) {
            entity.insert(titleKey, name);
            changed = true;
        }
        if (changed) {
            entities.replace(i, entity);
            ++changedEntities;
        }
    }
    if (changedEntities > 0)
        diagram.insert(entitiesKey, entities);
    return changedEntities;
}

namespace {

// The generated name `name` would have for the new base: prefix + oldBase,
// or that with "_<n>", becomes the same with newBase. Empty for any other.
QString followGeneratedName(const QString& name, const QString& prefix, const QString& oldBase,
                            const QString& newBase)
{
    const QString base = prefix + oldBase;
    if (name == base)
        return prefix + newBase;
    if (!name.startsWith(base + QLatin1Char('_')))
        return QString();
    const QString suffix = name.mid(base.size() + 1);
    if (suffix.isEmpty() || !std::all_of(suffix.cbegin(), suffix.cend(), [](QChar c) { return c.isDigit(); }))
        return QString();
    return prefix + newBase + QLatin1Char('_') + suffix;
}

QString nameForRelationship(const QString& tableName)
{
    return tableName.isEmpty() ? QStringLiteral("table") : tableName;
}

} // namespace

void TableSync::followTableRename(ModelItem* model, TableItem* table, const QString& oldName)
{
    if (!table || oldName.isEmpty() || oldName == table->name())
        return;
    const QString newName = table->name();
    static const QStringList prefixes{QStringLiteral("pk_"), QStringLiteral("uk_"), QStringLiteral("ck_"),
                                      QStringLiteral("fk_")};
    for (ConstraintItem* constraint : table->constraints()) {
        for (const QString& prefix : prefixes) {
            const QString renamed = followGeneratedName(constraint->name(), prefix, oldName, newName);
            if (!renamed.isEmpty()) {
                constraint->setName(renamed);
                break;
            }
        }
    }
    for (IndexItem* index : table->indexes()) {
        const QString renamed = followGeneratedName(index->name(), QStringLiteral("ix_"), oldName, newName);
        if (!renamed.isEmpty())
            index->setName(renamed);
    }
    if (!model)
        return;
    const QString id = table->id();
    for (RelationshipItem* relationship : model->relationships()) {
        const bool fromIt = relationship->fromTableId() == id;
        const bool toIt = relationship->toTableId() == id;
        if (!fromIt && !toIt)
            continue;
        const TableItem* parent = model->table(relationship->fromTableId());
        TableItem* child = model->table(relationship->toTableId());
        const QString parentName = parent ? parent->name() : QString();
        const QString childName = child ? child->name() : QString();
        const QString oldRelationship = nameForRelationship(fromIt ? oldName : parentName) + QLatin1Char('_')
            + nameForRelationship(toIt ? oldName : childName);
        if (relationship->name() != oldRelationship)
            continue;
        const QString newRelationship =
            nameForRelationship(parentName) + QLatin1Char('_') + nameForRelationship(childName);
        relationship->setName(newRelationship);
        ConstraintItem* foreignKey = child ? child->constraint(relationship->constraintId()) : nullptr;
        if (foreignKey && foreignKey->name() == QStringLiteral("fk_") + oldRelationship)
            foreignKey->setName(QStringLiteral("fk_") + newRelationship);
    }
}

QStringList TableSync::relationshipsUsingColumn(const ModelItem* model, const TableItem* table,
                                                const QString& columnId)
{
    QStringList ids;
    if (!model || !table || columnId.isEmpty())
        return ids;
    for (const RelationshipItem* relationship : model->relationships()) {
        if (!relationship || relationship->constraintId().isEmpty())
            continue;
        const TableItem* child = model->table(relationship->toTableId());
        const ConstraintItem* foreignKey = child ? child->constraint(relationship->constraintId()) : nullptr;
        if (!foreignKey)
            continue;
        const bool own = child == table && foreignKey->columns().contains(columnId);
        const bool referenced =
            foreignKey->referencedTableId() == table->id() && foreignKey->referencedColumns().contains(columnId);
        if ((own || referenced) && !ids.contains(relationship->id()))
            ids.append(relationship->id());
    }
    return ids;
}
