#pragma once

#include <QString>

// The keys of the stored diagram JSON that keeping the model and the stored
// diagrams in step reads and rewrites, spelt once for all of it.
namespace DiagramKeys {

// The diagram object.
inline const QString entitiesKey = QStringLiteral("entities");
inline const QString edgesKey = QStringLiteral("edges");

// Entities and edges.
inline const QString idKey = QStringLiteral("id");
inline const QString kindKey = QStringLiteral("kind");
inline const QString titleKey = QStringLiteral("title");
inline const QString attributesKey = QStringLiteral("attributes");
inline const QString fromKey = QStringLiteral("from");
inline const QString toKey = QStringLiteral("to");

// The attribute rows of an entity.
inline const QString nameKey = QStringLiteral("name");
inline const QString typeKey = QStringLiteral("type");
inline const QString primaryKeyKey = QStringLiteral("isPrimaryKey");
inline const QString uniqueKeyKey = QStringLiteral("isUniqueKey");
inline const QString foreignKeyKey = QStringLiteral("isForeignKey");
inline const QString fkEdgeIdKey = QStringLiteral("fkEdgeId");

} // namespace DiagramKeys
