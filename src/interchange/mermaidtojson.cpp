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

    // Foreign keys. An attribute serves one relationship at most, and is
    // linked only where the names say so: named like the relationship's
    // label, like the referenced entity's key columns (all of them for a
    // composite key), or like the referenced entity itself. A relationship
    // none of these settles takes the child's one remaining foreign key
    // when that leaves no choice; otherwise it stays without one, which is
    // better than a link to the wrong column.
    // Worked on in place: a list handed over with std::move is let go of
    // entity by entity as its JSON is made.
    QList<MermaidEntity>& working = entities;
    QList<QSet<int>> claimed(count);
    QMap<std::pair<int, int>, QString> fkEdgeIds;
    const auto primaryColumns = [&working](int entity) {
        QList<int> columns;
        const QList<MermaidAttribute>& attributes = working.at(entity).attributes;
        for (int a = 0; a < attributes.size(); ++a) {
            if (attributes.at(a).isPrimaryKey)
                columns.append(a);
        }
        if (columns.isEmpty() && !attributes.isEmpty())
            columns.append(0);
        return columns;
    };
    const auto claim = [&](int child, int attribute, int relationship) {
        working[child].attributes[attribute].isForeignKey = true;
        claimed[child].insert(attribute);
        fkEdgeIds.insert({child, attribute}, edgeIds.at(relationship));
    };
    // The attributes of child that the names tie to relationship r; empty
    // when none.
    const auto namedColumns = [&](int r, int parent, int child) -> QList<int> {
        const QList<MermaidAttribute>& attributes = working.at(child).attributes;
        const auto free = [&](int a) { return !claimed.at(child).contains(a); };
        // The label names the column ("customer_id", "clientid:userid").
        const QString label = relationships.at(r).label;
        if (!label.isEmpty()) {
            static const QRegularExpression separators(QStringLiteral("[\\s,:;/]+"));
            const QStringList words = label.split(separators, Qt::SkipEmptyParts);
            for (int a = 0; a < attributes.size(); ++a) {
                const QString& name = attributes.at(a).name;
                if (free(a) && (name.compare(label, Qt::CaseInsensitive) == 0
                                || words.contains(name, Qt::CaseInsensitive)))
                    return {a};
            }
        }
        // Named like the referenced key: every key column must be found.
        const QList<int> keys = primaryColumns(parent);
        const QList<int> childKeys = primaryColumns(child);
        QList<int> matched;
        for (const int key : keys) {
            const QString& keyName = working.at(parent).attributes.at(key).name;
            for (int a = 0; a < attributes.size(); ++a) {
                const MermaidAttribute& attribute = attributes.at(a);
                if (!free(a) || matched.contains(a) || (parent == child && a == key))
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
        if (!keys.isEmpty() && matched.size() == keys.size())
            return matched;
        // Named like the referenced entity.
        const QString parentKey = normalizeFkMatchKey(working.at(parent).title);
        double best = 0.0;
        int bestIndex = -1;
        for (int a = 0; a < attributes.size(); ++a) {
            if (!free(a) || (parent == child && childKeys.contains(a)))
                continue;
            const double score = matchScore(parentKey, normalizeFkMatchKey(attributes.at(a).name));
            if (score > best) {
                best = score;
                bestIndex = a;
            }
        }
        return best >= 8.0 ? QList<int>{bestIndex} : QList<int>();
    };

    // Composite references first: they are the most particular, and a
    // column they share with a single-column reference belongs to them.
    QList<int> order;
    for (int pass = 0; pass < 2; ++pass) {
        for (int r = 0; r < relationships.size(); ++r) {
            const MermaidRelationship& rel = relationships.at(r);
            const int parent = endIndex(rel.fromIndex, rel.from, nameIndex, count);
            const bool composite = parent >= 0 && primaryColumns(parent).size() > 1;
            if (composite == (pass == 0))
                order.append(r);
        }
    }
    QList<int> unsettled;
    for (const int r : std::as_const(order)) {
        const MermaidRelationship& rel = relationships.at(r);
        const int parent = endIndex(rel.fromIndex, rel.from, nameIndex, count);
        const int child = endIndex(rel.toIndex, rel.to, nameIndex, count);
        if (parent < 0 || child < 0 || working.at(child).attributes.isEmpty())
            continue;
        const QList<int> columns = namedColumns(r, parent, child);
        for (const int a : columns)
            claim(child, a, r);
        if (columns.isEmpty())
            unsettled.append(r);
    }
    QHash<int, int> unsettledInto;
    for (const int r : std::as_const(unsettled))
        ++unsettledInto[endIndex(relationships.at(r).toIndex, relationships.at(r).to, nameIndex, count)];
    for (const int r : std::as_const(unsettled)) {
        const int child = endIndex(relationships.at(r).toIndex, relationships.at(r).to, nameIndex, count);
        if (unsettledInto.value(child) != 1)
            continue;
        const QList<MermaidAttribute>& attributes = working.at(child).attributes;
        int only = -1;
        int flagged = 0;
        for (int a = 0; a < attributes.size(); ++a) {
            if (attributes.at(a).isForeignKey && !claimed.at(child).contains(a)) {
                only = a;
                ++flagged;
            }
        }
        if (flagged == 1)
            claim(child, only, r);
    }

    const int cols = std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count)))));
    QJsonArray entityArray;
    for (int i = 0; i < count; ++i) {
        const MermaidEntity& entity = working.at(i);
        bool anyPrimary = false;
        for (const MermaidAttribute& a : entity.attributes)
            anyPrimary = anyPrimary || a.isPrimaryKey;
        // Each attribute object is a copy of a complete one filled in: it
        // then holds exactly its five keys, where one built key by key keeps
        // room for more (a large file holds a million of them).
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
            const auto fk = fkEdgeIds.constFind({i, a});
            if (fk != fkEdgeIds.constEnd())
                obj.insert(QStringLiteral("fkEdgeId"), *fk);
            attributes.append(obj);
        }
        entityArray.append(QJsonObject{
            {QStringLiteral("id"), entityIds.at(i)},
            {QStringLiteral("title"), entity.title},
            {QStringLiteral("x"), (i % cols) * 320 + 60},
            {QStringLiteral("y"), (i / cols) * 240 + 60},
            {QStringLiteral("attributes"), attributes},
        });
        working[i].attributes = QList<MermaidAttribute>();
    }

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

    return jsonfields::diagramDocument(entityArray, edgeArray);
}
