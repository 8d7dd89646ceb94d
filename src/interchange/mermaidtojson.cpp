#include "interchange/mermaidtojson.h"

#include "model/jsonfields.h"

#include <QHash>
#include <QJsonArray>
#include <QMap>
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

QJsonObject mermaidModelToSceneJson(const QList<MermaidEntity>& entities,
                                    const QList<MermaidRelationship>& relationships)
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

    // Foreign keys: for each relationship the best-matching unclaimed
    // attribute of the second entity, else its first unclaimed FK.
    QList<MermaidEntity> working = entities;
    QList<QSet<int>> claimed(count);
    QMap<std::pair<int, int>, QString> fkEdgeIds;
    for (int r = 0; r < relationships.size(); ++r) {
        const MermaidRelationship& rel = relationships.at(r);
        const int parent = endIndex(rel.fromIndex, rel.from, nameIndex, count);
        const int child = endIndex(rel.toIndex, rel.to, nameIndex, count);
        if (parent < 0 || child < 0 || working.at(child).attributes.isEmpty())
            continue;
        const QString parentKey = normalizeFkMatchKey(working.at(parent).title);
        QList<MermaidAttribute>& attributes = working[child].attributes;
        double best = 0.0;
        int bestIndex = -1;
        int firstFlagged = -1;
        for (int a = 0; a < attributes.size(); ++a) {
            if (claimed.at(child).contains(a))
                continue;
            const double score = matchScore(parentKey, normalizeFkMatchKey(attributes.at(a).name));
            if (score > best) {
                best = score;
                bestIndex = a;
            }
            if (firstFlagged < 0 && attributes.at(a).isForeignKey)
                firstFlagged = a;
        }
        const int chosen = best >= 8.0 ? bestIndex : firstFlagged;
        if (chosen < 0)
            continue;
        attributes[chosen].isForeignKey = true;
        claimed[child].insert(chosen);
        fkEdgeIds.insert({child, chosen}, edgeIds.at(r));
    }

    const int cols = std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count)))));
    QJsonArray entityArray;
    for (int i = 0; i < count; ++i) {
        const MermaidEntity& entity = working.at(i);
        bool anyPrimary = false;
        for (const MermaidAttribute& a : entity.attributes)
            anyPrimary = anyPrimary || a.isPrimaryKey;
        QJsonArray attributes;
        for (int a = 0; a < entity.attributes.size(); ++a) {
            const MermaidAttribute& attribute = entity.attributes.at(a);
            QJsonObject obj{
                {QStringLiteral("name"), attribute.name},
                {QStringLiteral("type"), attribute.type},
                {QStringLiteral("isPrimaryKey"), attribute.isPrimaryKey || (!anyPrimary && a == 0)},
                {QStringLiteral("isUniqueKey"), attribute.isUniqueKey},
                {QStringLiteral("isForeignKey"), attribute.isForeignKey},
            };
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
