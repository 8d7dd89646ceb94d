#include "interchange/mermaidtojson.h"

#include "model/jsonfields.h"

#include <QHash>
#include <QJsonArray>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QUuid>

#include <cmath>
#include <utility>

namespace {

QString newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

double matchScore(const QString& parentKey, const QString& attributeKey)
{
    if (parentKey.size() < 2 || attributeKey.size() < 2)
        return 0.0;
    if (parentKey == attributeKey)
        return 12.0;
    const QString& shorter = parentKey.size() <= attributeKey.size() ? parentKey : attributeKey;
    const QString& longer = parentKey.size() <= attributeKey.size() ? attributeKey : parentKey;
    if (longer.startsWith(shorter))
        return shorter.size();
    if (shorter.size() >= 4 && longer.contains(shorter))
        return 8.0;
    return 0.0;
}

// The entity a relationship end names: its position when the reader gave
// one, otherwise the title looked up.
int endIndex(int index, const QString& title, const QHash<QString, int>& nameIndex, int count)
{
    if (index >= 0 && index < count)
        return index;
    return nameIndex.value(title.toLower(), -1);
}

} // namespace

QString normalizeFkMatchKey(const QString& text)
{
    const QString lower = text.toLower();
    QString key;
    key.reserve(lower.size());
    for (const QChar c : lower) {
        if (c.isLetterOrNumber())
            key.append(c);
    }
    if (key.size() > 2 && key.endsWith(QLatin1String("id")))
        key.chop(2);
    if (key.size() >= 5 && key.endsWith(QLatin1Char('s')))
        key.chop(1);
    return key;
}

namespace {

// Which attribute of a child entity carries which relationship.
//
// An attribute serves one relationship at most, and is linked only where
// the names say so: named like the relationship's label, like the
// referenced entity's key columns (all of them for a composite key), or
// like the referenced entity itself. A relationship none of these settles
// takes the child's one remaining foreign key when that leaves no choice;
// otherwise it stays without one, which is better than a link to the wrong
// column.
class ForeignKeyMatch
{
public:
    // A score from matchScore at least this high names the entity.
    static constexpr double EntityNameScore = 8.0;

    ForeignKeyMatch(QList<MermaidEntity>& entities, const QList<MermaidRelationship>& relationships,
                    const QHash<QString, int>& nameIndex, const QStringList& edgeIds)
        : m_entities(entities)
        , m_relationships(relationships)
        , m_nameIndex(nameIndex)
        , m_edgeIds(edgeIds)
        , m_claimed(entities.size())
    {
    }

    // Marks the attributes found as foreign keys; then fkEdgeId tells the
    // relationship of each.
    void settle()
    {
        QList<int> unsettled;
        for (const int r : compositeFirst()) {
            const int parent = parentOf(r);
            const int child = childOf(r);
            if (parent < 0 || child < 0 || m_entities.at(child).attributes.isEmpty())
                continue;
            const QList<int> columns = namedColumns(r, parent, child);
            for (const int a : columns)
                claim(child, a, r);
            if (columns.isEmpty())
                unsettled.append(r);
        }
        settleByTheOnlyForeignKey(unsettled);
    }

    // The id of the relationship attribute a of entity carries, or none.
    QString fkEdgeId(int entity, int attribute) const { return m_fkEdgeIds.value({entity, attribute}); }

private:
    int entityCount() const { return static_cast<int>(m_entities.size()); }
    int parentOf(int r) const
    {
        const MermaidRelationship& rel = m_relationships.at(r);
        return endIndex(rel.fromIndex, rel.from, m_nameIndex, entityCount());
    }
    int childOf(int r) const
    {
        const MermaidRelationship& rel = m_relationships.at(r);
        return endIndex(rel.toIndex, rel.to, m_nameIndex, entityCount());
    }
    bool isFree(int child, int attribute) const { return !m_claimed.at(child).contains(attribute); }

    // The key columns of entity, or its first column when none is marked.
    QList<int> primaryColumns(int entity) const
    {
        QList<int> columns;
        const QList<MermaidAttribute>& attributes = m_entities.at(entity).attributes;
        for (int a = 0; a < attributes.size(); ++a) {
            if (attributes.at(a).isPrimaryKey)
                columns.append(a);
        }
        if (columns.isEmpty() && !attributes.isEmpty())
            columns.append(0);
        return columns;
    }

    void claim(int child, int attribute, int relationship)
    {
        m_entities[child].attributes[attribute].isForeignKey = true;
        m_claimed[child].insert(attribute);
        m_fkEdgeIds.insert({child, attribute}, m_edgeIds.at(relationship));
    }

    // Composite references first: they are the most particular, and a
    // column they share with a single-column reference belongs to them.
    QList<int> compositeFirst() const
    {
        QList<int> order;
        for (int pass = 0; pass < 2; ++pass) {
            for (int r = 0; r < m_relationships.size(); ++r) {
                const int parent = parentOf(r);
                const bool composite = parent >= 0 && primaryColumns(parent).size() > 1;
                if (composite == (pass == 0))
                    order.append(r);
            }
        }
        return order;
    }

    // The attributes of child that the names tie to relationship r; empty
    // when none.
    QList<int> namedColumns(int r, int parent, int child) const
    {
        const int labelled = columnNamedByLabel(r, child);
        if (labelled >= 0)
            return {labelled};
        const QList<int> keys = primaryColumns(parent);
        const QList<int> matched = columnsNamedLikeKeys(keys, parent, child);
        if (!keys.isEmpty() && matched.size() == keys.size())
            return matched;
        const int named = columnNamedLikeEntity(parent, child);
        return named >= 0 ? QList<int>{named} : QList<int>();
    }

    // The label names the column ("customer_id", "clientid:userid").
    int columnNamedByLabel(int r, int child) const
    {
        const QString label = m_relationships.at(r).label;
        if (label.isEmpty())
            return -1;
        static const QRegularExpression separators(QStringLiteral("[\\s,:;/]+"));
        const QStringList words = label.split(separators, Qt::SkipEmptyParts);
        const QList<MermaidAttribute>& attributes = m_entities.at(child).attributes;
        for (int a = 0; a < attributes.size(); ++a) {
            const QString& name = attributes.at(a).name;
            if (isFree(child, a)
                && (name.compare(label, Qt::CaseInsensitive) == 0 || words.contains(name, Qt::CaseInsensitive)))
                return a;
        }
        return -1;
    }

    // The child's columns named like the parent's key columns, as many as
    // were found.
    QList<int> columnsNamedLikeKeys(const QList<int>& keys, int parent, int child) const
    {
        const QList<MermaidAttribute>& attributes = m_entities.at(child).attributes;
        const QList<int> childKeys = primaryColumns(child);
        QList<int> matched;
        for (const int key : keys) {
            const QString& keyName = m_entities.at(parent).attributes.at(key).name;
            for (int a = 0; a < attributes.size(); ++a) {
                const MermaidAttribute& attribute = attributes.at(a);
                if (!isFree(child, a) || matched.contains(a) || (parent == child && a == key))
                    continue;
                // The child's own key named like the parent's ("id") is no
                // reference unless it is marked as one.
                if (!attribute.isForeignKey && childKeys.contains(a))
                    continue;
                if (attribute.name.compare(keyName, Qt::CaseInsensitive) == 0) {
                    matched.append(a);
                    break;
                }
            }
        }
        return matched;
    }

    // The child's column named most like the parent entity, or none.
    int columnNamedLikeEntity(int parent, int child) const
    {
        const QList<MermaidAttribute>& attributes = m_entities.at(child).attributes;
        const QList<int> childKeys = primaryColumns(child);
        const QString parentKey = normalizeFkMatchKey(m_entities.at(parent).title);
        double best = 0.0;
        int bestIndex = -1;
        for (int a = 0; a < attributes.size(); ++a) {
            if (!isFree(child, a) || (parent == child && childKeys.contains(a)))
                continue;
            const double score = matchScore(parentKey, normalizeFkMatchKey(attributes.at(a).name));
            if (score > best) {
                best = score;
                bestIndex = a;
            }
        }
        return best >= EntityNameScore ? bestIndex : -1;
    }

    // A child that the names left one relationship unsettled takes for it
    // its one foreign key no relationship claimed.
    void settleByTheOnlyForeignKey(const QList<int>& unsettled)
    {
        QHash<int, int> unsettledInto;
        for (const int r : unsettled)
            ++unsettledInto[childOf(r)];
        for (const int r : unsettled) {
            const int child = childOf(r);
            if (unsettledInto.value(child) != 1)
                continue;
            const QList<MermaidAttribute>& attributes = m_entities.at(child).attributes;
            int only = -1;
            int flagged = 0;
            for (int a = 0; a < attributes.size(); ++a) {
                if (attributes.at(a).isForeignKey && isFree(child, a)) {
                    only = a;
                    ++flagged;
                }
            }
            if (flagged == 1)
                claim(child, only, r);
        }
    }

    QList<MermaidEntity>& m_entities;
    const QList<MermaidRelationship>& m_relationships;
    const QHash<QString, int>& m_nameIndex;
    const QStringList& m_edgeIds;
    QList<QSet<int>> m_claimed;
    QMap<std::pair<int, int>, QString> m_fkEdgeIds;
};

// The attributes of entity i as the scene reads them; where none is marked
// as the key, the first one is.
QJsonArray attributesJson(const MermaidEntity& entity, int i, const ForeignKeyMatch& keys)
{
    bool anyPrimary = false;
    for (const MermaidAttribute& a : entity.attributes)
        anyPrimary = anyPrimary || a.isPrimaryKey;
    // Each attribute object is a copy of a complete one filled in: it then
    // holds exactly its five keys, where one built key by key keeps room for
    // more (a large file holds a million of them).
    static const QJsonObject attributeTemplate{
        {QStringLiteral("name"), QString()},      {QStringLiteral("type"), QString()},
        {QStringLiteral("isPrimaryKey"), false}, {QStringLiteral("isUniqueKey"), false},
        {QStringLiteral("isForeignKey"), false},
    };
    QJsonArray attributes;
    for (int a = 0; a < entity.attributes.size(); ++a) {
        const MermaidAttribute& attribute = entity.attributes.at(a);
        QJsonObject obj = attributeTemplate;
        obj[QLatin1String("name")] = attribute.name;
        obj[QLatin1String("type")] = attribute.type;
        obj[QLatin1String("isPrimaryKey")] = attribute.isPrimaryKey || (!anyPrimary && a == 0);
        obj[QLatin1String("isUniqueKey")] = attribute.isUniqueKey;
        obj[QLatin1String("isForeignKey")] = attribute.isForeignKey;
        const QString fk = keys.fkEdgeId(i, a);
        if (!fk.isEmpty())
            obj.insert(QStringLiteral("fkEdgeId"), fk);
        attributes.append(obj);
    }
    return attributes;
}

// The entities on a square grid. Each entity's attributes are let go of as
// soon as their JSON is made.
QJsonArray entitiesJson(QList<MermaidEntity>& entities, const QStringList& entityIds, const ForeignKeyMatch& keys)
{
    const int count = static_cast<int>(entities.size());
    const int cols = std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count)))));
    QJsonArray entityArray;
    for (int i = 0; i < count; ++i) {
        const MermaidEntity& entity = entities.at(i);
        entityArray.append(QJsonObject{
            {QStringLiteral("id"), entityIds.at(i)},
            {QStringLiteral("title"), entity.title},
            {QStringLiteral("x"), (i % cols) * 320 + 60},
            {QStringLiteral("y"), (i / cols) * 240 + 60},
            {QStringLiteral("attributes"), attributesJson(entity, i, keys)},
        });
        entities[i].attributes = QList<MermaidAttribute>();
    }
    return entityArray;
}

QJsonArray edgesJson(const QList<MermaidRelationship>& relationships, const QStringList& edgeIds,
                     const QStringList& entityIds, const QHash<QString, int>& nameIndex)
{
    const int count = static_cast<int>(entityIds.size());
    QJsonArray edgeArray;
    for (int r = 0; r < relationships.size(); ++r) {
        const MermaidRelationship& rel = relationships.at(r);
        const int from = endIndex(rel.fromIndex, rel.from, nameIndex, count);
        const int to = endIndex(rel.toIndex, rel.to, nameIndex, count);
        if (from < 0 || to < 0)
            continue;
        QJsonObject edge{
            {QStringLiteral("id"), edgeIds.at(r)},
            {QStringLiteral("from"), entityIds.at(from)},
            {QStringLiteral("to"), entityIds.at(to)},
            {QStringLiteral("startCard"), rel.fromCardinality},
            {QStringLiteral("endCard"), rel.toCardinality},
        };
        if (!rel.label.isEmpty())
            edge.insert(QStringLiteral("label"), rel.label);
        edgeArray.append(edge);
    }
    return edgeArray;
}

} // namespace

QJsonObject mermaidModelToSceneJson(QList<MermaidEntity> entities, const QList<MermaidRelationship>& relationships)
{
    const int count = entities.size();
    QStringList entityIds;
    entityIds.reserve(count);
    QHash<QString, int> nameIndex;
    for (int i = 0; i < count; ++i) {
        const MermaidEntity& entity = entities.at(i);
        entityIds.append(newId());
        nameIndex.insert(entity.title.toLower(), i);
        if (!entity.identifier.isEmpty() && entity.identifier.compare(entity.title, Qt::CaseInsensitive) != 0)
            nameIndex.insert(entity.identifier.toLower(), i);
    }
    QStringList edgeIds;
    edgeIds.reserve(relationships.size());
    for (int i = 0; i < relationships.size(); ++i)
        edgeIds.append(newId());

    // Worked on in place: a list handed over with std::move is let go of
    // entity by entity as its JSON is made.
    ForeignKeyMatch keys(entities, relationships, nameIndex, edgeIds);
    keys.settle();
    const QJsonArray entityArray = entitiesJson(entities, entityIds, keys);
    return jsonfields::diagramDocument(entityArray, edgesJson(relationships, edgeIds, entityIds, nameIndex));
}
