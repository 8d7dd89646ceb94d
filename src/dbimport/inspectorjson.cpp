#include "dbimport/inspectorjson.h"

#include "explorer/diagramkeys.h"
#include "model/filelimits.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonValue>
#include <QMap>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

using namespace DiagramKeys;

constexpr int GridStepX = 320;
constexpr int GridStepY = 260;
constexpr int GridOrigin = 60;
// A table's box is about this high on the canvas: a fixed part for the
// title and margins and a line per column; and about this wide: margins and
// a character width per character of its longest column name and longest
// type (or of its title, when that is longer). Rounded up, so that the
// estimate errs on the side of room.
constexpr int BoxFixedHeight = 45;
constexpr int BoxRowHeight = 18;
constexpr int BoxFixedWidth = 42;
constexpr int BoxCharWidth = 8;
constexpr int BoxGap = 40;

int estimatedBoxHeight(const QJsonArray& columns)
{
    return BoxFixedHeight + int(columns.size()) * BoxRowHeight;
}

int estimatedBoxWidth(const QString& title, const QJsonArray& columns)
{
    qsizetype nameLength = 0;
    qsizetype typeLength = 0;
    for (const QJsonValue& value : columns) {
        const QJsonObject column = value.toObject();
        nameLength = std::max(nameLength, column.value(QStringLiteral("name")).toString().size());
        typeLength = std::max(typeLength, column.value(QStringLiteral("type")).toString().size());
    }
    return BoxFixedWidth + BoxCharWidth * int(std::max(nameLength + typeLength, title.size()));
}

QString newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// A relationship is one foreign key: the pair of tables it joins and the
// id its edge and its columns share.
struct Relationship
{
    QString id;
    QString table;       // holds the foreign key
    QString refTable;    // is referenced
};

// Orders the relationships as their edges are written: by constraint name,
// then by owning table; foreign keys without a name in the order they came.
struct RelationshipKey
{
    QString name;
    QString table;
    int unnamedIndex = 0;   // 0 for named foreign keys

    bool operator<(const RelationshipKey& other) const
    {
        return std::tie(name, table, unnamedIndex) < std::tie(other.name, other.table, other.unnamedIndex);
    }
};

using ColumnKey = std::pair<QString, QString>;   // table name, column name

QJsonObject entityObject(const QString& id, const QString& title, int x, int y)
{
    QJsonObject entity;
    entity.insert(idKey, id);
    entity.insert(titleKey, title);
    entity.insert(QStringLiteral("x"), x);
    entity.insert(QStringLiteral("y"), y);
    entity.insert(QStringLiteral("bgLight"), QStringLiteral("#F7F7F7"));
    entity.insert(QStringLiteral("bgDark"), QStringLiteral("#2B2F36"));
    entity.insert(QStringLiteral("fgLight"), QStringLiteral("#2E2E2E"));
    entity.insert(QStringLiteral("fgDark"), QStringLiteral("#C7CED9"));
    entity.insert(QStringLiteral("hdrLight"), QStringLiteral("#F7F7F7"));
    entity.insert(QStringLiteral("hdrDark"), QStringLiteral("#2B2F36"));
    entity.insert(QStringLiteral("txtLight"), QStringLiteral("#111111"));
    entity.insert(QStringLiteral("txtDark"), QStringLiteral("#F8FAFC"));
    return entity;
}

} // namespace

namespace {

// What the conversion takes from an inspector object.
struct InspectorReading
{
    QString dialect;
    // One id and one column list per distinct table name; a later table of
    // the same name wins. The map keeps the names in the order of the grid.
    QMap<QString, QString> entityIds;
    QHash<QString, QJsonArray> columnsByTable;
    QHash<QString, QSet<QString>> primaryColumns;
    QHash<QString, QSet<QString>> uniqueColumns;
    QMap<RelationshipKey, Relationship> relationships;
    QHash<ColumnKey, QString> foreignKeyOf;   // column -> relationship id

    bool hasEdge(const Relationship& relationship) const
    {
        return entityIds.contains(relationship.refTable) && entityIds.contains(relationship.table);
    }
};

InspectorReading readInspector(const QJsonObject& inspector)
{
    InspectorReading reading;
    reading.dialect = inspector.value(QStringLiteral("meta")).toObject().value(QStringLiteral("dialect")).toString();
    const QJsonArray tables = inspector.value(QStringLiteral("tables")).toArray();
    const QJsonArray constraints = inspector.value(QStringLiteral("constraints")).toArray();

    for (const QJsonValue& value : tables) {
        const QJsonObject table = value.toObject();
        const QString name = table.value(nameKey).toString();
        reading.entityIds.insert(name, newId());
        reading.columnsByTable.insert(name, table.value(QStringLiteral("columns")).toArray());
    }

    int unnamedCount = 0;
    for (const QJsonValue& value : constraints) {
        const QJsonObject constraint = value.toObject();
        const QString type = constraint.value(typeKey).toString().toUpper();
        const QString table = constraint.value(QStringLiteral("table")).toString();
        const QJsonArray columns = constraint.value(QStringLiteral("columns")).toArray();
        if (type == QLatin1String("PRIMARY KEY") || type == QLatin1String("UNIQUE")) {
            QSet<QString>& set =
                (type == QLatin1String("UNIQUE") ? reading.uniqueColumns : reading.primaryColumns)[table];
            for (const QJsonValue& column : columns)
                set.insert(column.toString());
        } else if (type == QLatin1String("FOREIGN KEY")) {
            // Constraint names are unique per table only: the same name on
            // two tables is two foreign keys, and so is every unnamed one.
            RelationshipKey key{constraint.value(nameKey).toString(), table, 0};
            if (key.name.isEmpty())
                key.unnamedIndex = ++unnamedCount;
            auto it = reading.relationships.find(key);
            if (it == reading.relationships.end())
                it = reading.relationships.insert(
                    key, Relationship{newId(), table, constraint.value(QStringLiteral("ref_table")).toString()});
            for (const QJsonValue& column : columns)
                reading.foreignKeyOf.insert(ColumnKey(table, column.toString()), it->id);
        }
    }
    return reading;
}

// The sentence of the first file limit the diagram of reading would pass,
// or empty; its counts are all a refusal needs, far cheaper than the
// diagram itself.
QString readingExcess(const InspectorReading& reading, const QJsonObject& inspector)
{
    filelimits::Counts counts;
    counts.entities = reading.entityIds.size();
    for (auto it = reading.entityIds.cbegin(); it != reading.entityIds.cend(); ++it) {
        const qint64 columns = reading.columnsByTable.value(it.key()).size();
        counts.largestEntityRows = std::max(counts.largestEntityRows, columns);
        counts.rows += columns;
    }
    for (const Relationship& relationship : reading.relationships)
        counts.edges += reading.hasEdge(relationship) ? 1 : 0;
    const QString excess = filelimits::excessText(counts);
    return excess.isEmpty() ? filelimits::textExcess(inspector) : excess;
}

} // namespace

QJsonObject convertInspectorJson(const QJsonObject& inspector, QString* excess)
{
    const InspectorReading reading = readInspector(inspector);
    if (excess) {
        *excess = readingExcess(reading, inspector);
        if (!excess->isEmpty())
            return QJsonObject();
    }
    const QString& dialect = reading.dialect;
    const QMap<QString, QString>& entityIds = reading.entityIds;
    const QHash<QString, QJsonArray>& columnsByTable = reading.columnsByTable;
    const QHash<QString, QSet<QString>>& primaryColumns = reading.primaryColumns;
    const QHash<QString, QSet<QString>>& uniqueColumns = reading.uniqueColumns;
    const QMap<RelationshipKey, Relationship>& relationships = reading.relationships;
    const QHash<ColumnKey, QString>& foreignKeyOf = reading.foreignKeyOf;

    const int count = static_cast<int>(entityIds.size());
    const int gridColumns = std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count)))));
    // A grid column is GridStepX wide and a grid row GridStepY high, or as
    // wide or high as its largest table needs to stay clear of the next.
    QList<int> columnLefts(gridColumns + 1, GridOrigin);
    QList<int> rowTops{GridOrigin};
    {
        QList<int> columnWidths(gridColumns, GridStepX);
        int position = 0;
        int rowHeight = GridStepY;
        for (auto it = entityIds.cbegin(); it != entityIds.cend(); ++it, ++position) {
            const QJsonArray columns = columnsByTable.value(it.key());
            const int column = position % gridColumns;
            columnWidths[column] = std::max(columnWidths[column], estimatedBoxWidth(it.key(), columns) + BoxGap);
            rowHeight = std::max(rowHeight, estimatedBoxHeight(columns) + BoxGap);
            if (column == gridColumns - 1 || position == count - 1) {
                rowTops.append(rowTops.last() + rowHeight);
                rowHeight = GridStepY;
            }
        }
        for (int column = 0; column < gridColumns; ++column)
            columnLefts[column + 1] = columnLefts[column] + columnWidths[column];
    }

    QJsonArray entities;
    int position = 0;
    for (auto it = entityIds.cbegin(); it != entityIds.cend(); ++it, ++position) {
        const QString& name = it.key();
        const QSet<QString> primary = primaryColumns.value(name);
        const QSet<QString> unique = uniqueColumns.value(name);
        QJsonArray attributes;
        for (const QJsonValue& value : columnsByTable.value(name)) {
            const QJsonObject column = value.toObject();
            const QString columnName = column.value(nameKey).toString();
            const QString edgeId = foreignKeyOf.value(ColumnKey(name, columnName));
            QJsonObject attribute;
            attribute.insert(nameKey, columnName);
            attribute.insert(typeKey, column.value(typeKey).toString());
            attribute.insert(primaryKeyKey, primary.contains(columnName));
            attribute.insert(uniqueKeyKey, unique.contains(columnName));
            attribute.insert(foreignKeyKey, !edgeId.isEmpty());
            if (!edgeId.isEmpty())
                attribute.insert(fkEdgeIdKey, edgeId);
            attributes.append(attribute);
        }
        QJsonObject entity = entityObject(it.value(), name, columnLefts.at(position % gridColumns),
                                          rowTops.at(position / gridColumns));
        entity.insert(attributesKey, attributes);
        entities.append(entity);
    }

    QJsonArray edges;
    for (const Relationship& relationship : std::as_const(relationships)) {
        const auto from = entityIds.constFind(relationship.refTable);
        const auto to = entityIds.constFind(relationship.table);
        if (from == entityIds.cend() || to == entityIds.cend())
            continue;
        QJsonObject edge;
        edge.insert(idKey, relationship.id);
        edge.insert(fromKey, from.value());
        edge.insert(toKey, to.value());
        edge.insert(QStringLiteral("startCard"), 0);
        edge.insert(QStringLiteral("endCard"), 1);
        edges.append(edge);
    }

    QJsonObject root;
    root.insert(QStringLiteral("version"), QStringLiteral("1.0"));
    root.insert(QStringLiteral("type"), QStringLiteral("er-diagram"));
    root.insert(QStringLiteral("dialect"), dialect);
    root.insert(entitiesKey, entities);
    root.insert(edgesKey, edges);
    return root;
}

QString inspectorDialectName(const QString& code)
{
    if (code == QLatin1String("postgresql"))
        return QStringLiteral("PostgreSQL");
    if (code == QLatin1String("oracle"))
        return QStringLiteral("Oracle");
    if (code == QLatin1String("csv"))
        return QStringLiteral("CSV files");
    return code;
}

namespace {

// "no tables", "1 table", "14 tables".
QString counted(qsizetype count, const QString& one, const QString& many)
{
    if (count == 0)
        return QStringLiteral("no ") + many;
    return QString::number(count) + QLatin1Char(' ') + (count == 1 ? one : many);
}

// "a", "a and b", "a, b and c".
QString listed(const QStringList& names)
{
    if (names.size() < 2)
        return names.join(QString());
    return QStringList(names.mid(0, names.size() - 1)).join(QStringLiteral(", ")) + QStringLiteral(" and ")
           + names.last();
}

// Where the inspector read from: "schema sales", "schemas sales and hr",
// "database shop", "folder exports"; empty when it does not say.
QString sourceOf(const QJsonObject& meta)
{
    QStringList schemas;
    for (const QJsonValue& schema : meta.value(QStringLiteral("schemas")).toArray()) {
        if (!schema.toString().isEmpty())
            schemas << schema.toString();
    }
    if (!schemas.isEmpty())
        return (schemas.size() == 1 ? QStringLiteral("schema ") : QStringLiteral("schemas ")) + listed(schemas);
    const QString database = meta.value(QStringLiteral("database")).toString();
    if (!database.isEmpty())
        return QStringLiteral("database ") + database;
    QString folder = meta.value(QStringLiteral("folder")).toString();
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    const QString folderName = folder.mid(folder.lastIndexOf(QLatin1Char('/')) + 1);
    if (!folderName.isEmpty())
        return QStringLiteral("folder ") + folderName;
    return QString();
}

} // namespace

QString inspectorImportSummary(const QJsonObject& inspector)
{
    const InspectorReading reading = readInspector(inspector);
    qsizetype edges = 0;
    qsizetype outside = 0;   // the referenced table was not read
    qsizetype orphaned = 0;  // the table holding the key was not read
    for (const Relationship& relationship : std::as_const(reading.relationships)) {
        if (reading.hasEdge(relationship))
            ++edges;
        else if (reading.entityIds.contains(relationship.table))
            ++outside;
        else
            ++orphaned;
    }
    const QString source = sourceOf(inspector.value(QStringLiteral("meta")).toObject());
    QString summary = QStringLiteral("Imported %1 and %2")
                          .arg(counted(reading.entityIds.size(), QStringLiteral("table"), QStringLiteral("tables")),
                               counted(edges, QStringLiteral("relationship"), QStringLiteral("relationships")));
    if (!source.isEmpty())
        summary += QStringLiteral(" from ") + source;
    if (outside > 0) {
        const bool one = outside == 1;
        const QString where = !source.isEmpty() ? QStringLiteral("outside ") + source
                              : one            ? QStringLiteral("that was not read")
                                               : QStringLiteral("that were not read");
        summary += QStringLiteral("; %1 %2 %3 and %4 no edge")
                       .arg(counted(outside, QStringLiteral("foreign key"), QStringLiteral("foreign keys")),
                            one ? QStringLiteral("refers to a table") : QStringLiteral("refer to tables"), where,
                            one ? QStringLiteral("has") : QStringLiteral("have"));
    }
    if (orphaned > 0) {
        summary += QStringLiteral("; %1 of tables that were not read %2 no edge")
                       .arg(counted(orphaned, QStringLiteral("foreign key"), QStringLiteral("foreign keys")),
                            orphaned == 1 ? QStringLiteral("has") : QStringLiteral("have"));
    }
    return summary;
}
