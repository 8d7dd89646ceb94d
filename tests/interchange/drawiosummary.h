#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// Diagram JSON as short readable lines, for comparing what an importer
// produced: one line per entity and one per edge.
//   entity: "Orders @450,120: order_id:int[P] | total:money[FU]" (views end in " (view)")
//   edge:   "Customers -> Orders 0/3 places"
inline QStringList summarizeDiagram(const QJsonObject& diagram, bool withPositions = true)
{
    QStringList lines;
    QHash<QString, QString> titles;
    for (const QJsonValue& value : diagram.value(QLatin1String("entities")).toArray()) {
        const QJsonObject entity = value.toObject();
        titles.insert(entity.value(QLatin1String("id")).toString(), entity.value(QLatin1String("title")).toString());
        QStringList attributes;
        for (const QJsonValue& a : entity.value(QLatin1String("attributes")).toArray()) {
            const QJsonObject attribute = a.toObject();
            QString keys;
            if (attribute.value(QLatin1String("isPrimaryKey")).toBool())
                keys += QLatin1Char('P');
            if (attribute.value(QLatin1String("isForeignKey")).toBool())
                keys += QLatin1Char('F');
            if (attribute.value(QLatin1String("isUniqueKey")).toBool())
                keys += QLatin1Char('U');
            QString text = attribute.value(QLatin1String("name")).toString();
            const QString type = attribute.value(QLatin1String("type")).toString();
            if (!type.isEmpty())
                text += QLatin1Char(':') + type;
            if (!keys.isEmpty())
                text += QLatin1Char('[') + keys + QLatin1Char(']');
            attributes.append(text);
        }
        QString line = entity.value(QLatin1String("title")).toString();
        if (withPositions) {
            line += QStringLiteral(" @%1,%2")
                        .arg(entity.value(QLatin1String("x")).toDouble())
                        .arg(entity.value(QLatin1String("y")).toDouble());
        }
        line += QLatin1String(": ") + attributes.join(QLatin1String(" | "));
        if (entity.value(QLatin1String("kind")).toString() == QLatin1String("entity-view"))
            line += QLatin1String(" (view)");
        lines.append(line);
    }
    for (const QJsonValue& value : diagram.value(QLatin1String("edges")).toArray()) {
        const QJsonObject edge = value.toObject();
        if (edge.value(QLatin1String("kind")).toString() == QLatin1String("entity-view-edge"))
            continue;
        QString line = QStringLiteral("%1 -> %2 %3/%4")
                           .arg(titles.value(edge.value(QLatin1String("from")).toString(), QStringLiteral("?")),
                                titles.value(edge.value(QLatin1String("to")).toString(), QStringLiteral("?")))
                           .arg(edge.value(QLatin1String("startCard")).toInt(1))
                           .arg(edge.value(QLatin1String("endCard")).toInt(1));
        const QString label = edge.value(QLatin1String("label")).toString();
        if (!label.isEmpty())
            line += QLatin1Char(' ') + label;
        lines.append(line);
    }
    return lines;
}
