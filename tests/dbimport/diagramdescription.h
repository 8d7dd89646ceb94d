#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// A diagram as one line of text, for comparing conversions without their
// random ids: entities in order as title(x,y) with their rows name:type and
// the marks P (primary), U (unique) and F followed by the foreign key's edge
// ("e0" = first edge, "?0" = first id that no edge carries); then the edges
// as e<n>:from>to by title.
inline QString describeDiagram(const QJsonObject& diagram)
{
    const QJsonArray entities = diagram.value(QStringLiteral("entities")).toArray();
    const QJsonArray edges = diagram.value(QStringLiteral("edges")).toArray();
    QHash<QString, QString> titles;
    for (const auto& value : entities)
        titles.insert(value[QStringLiteral("id")].toString(), value[QStringLiteral("title")].toString());
    QHash<QString, QString> edgeNames;
    QStringList edgeTexts;
    for (const auto& value : edges) {
        const QString name = QStringLiteral("e%1").arg(edgeNames.size());
        edgeNames.insert(value[QStringLiteral("id")].toString(), name);
        edgeTexts << QStringLiteral("%1:%2>%3")
                         .arg(name, titles.value(value[QStringLiteral("from")].toString(), QStringLiteral("!")),
                              titles.value(value[QStringLiteral("to")].toString(), QStringLiteral("!")));
    }
    QHash<QString, QString> dangling;
    QStringList entityTexts;
    for (const auto& value : entities) {
        const QJsonObject entity = value.toObject();
        QStringList rows;
        for (const auto& row : entity[QStringLiteral("attributes")].toArray()) {
            QString text = row[QStringLiteral("name")].toString() + QLatin1Char(':') + row[QStringLiteral("type")].toString();
            if (row[QStringLiteral("isPrimaryKey")].toBool())
                text += QStringLiteral(" P");
            if (row[QStringLiteral("isUniqueKey")].toBool())
                text += QStringLiteral(" U");
            if (row[QStringLiteral("isForeignKey")].toBool()) {
                const QString id = row[QStringLiteral("fkEdgeId")].toString();
                QString name = edgeNames.value(id);
                if (name.isEmpty()) {
                    if (!dangling.contains(id))
                        dangling.insert(id, QStringLiteral("?%1").arg(dangling.size()));
                    name = dangling.value(id);
                }
                text += QStringLiteral(" F") + name;
            } else if (row.toObject().contains(QStringLiteral("fkEdgeId"))) {
                text += QStringLiteral(" stray-fkEdgeId");
            }
            rows << text;
        }
        entityTexts << QStringLiteral("%1(%2,%3)[%4]")
                           .arg(entity[QStringLiteral("title")].toString())
                           .arg(entity[QStringLiteral("x")].toDouble())
                           .arg(entity[QStringLiteral("y")].toDouble())
                           .arg(rows.join(QStringLiteral(", ")));
    }
    return entityTexts.join(QLatin1Char(' ')) + QStringLiteral(" | ") + edgeTexts.join(QLatin1Char(' '));
}
