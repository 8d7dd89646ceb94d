#pragma once

#include "interchange/mermaidreader.h"
#include "interchange/mermaidrecords.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

// Compact descriptions of what the Mermaid reader gathered, so that tests
// state whole results in one line:
//   entities   ID or ID[Title], then {type name PK FK UK; ...} when it has
//              attributes, joined by ", "
//   " / "
//   relations  From c-c To, then " : label" when it has one, joined by ", "

inline QString describeMermaidAttribute(const MermaidAttribute& a)
{
    QString text = a.type + QLatin1Char(' ') + a.name;
    if (a.isPrimaryKey)
        text += QLatin1String(" PK");
    if (a.isForeignKey)
        text += QLatin1String(" FK");
    if (a.isUniqueKey)
        text += QLatin1String(" UK");
    return text;
}

inline QString describeMermaidModel(const QList<MermaidEntity>& entities,
                                    const QList<MermaidRelationship>& relationships)
{
    QStringList parts;
    for (const MermaidEntity& e : entities) {
        QString text = e.identifier;
        if (e.title != e.identifier)
            text += QLatin1Char('[') + e.title + QLatin1Char(']');
        if (!e.attributes.isEmpty()) {
            QStringList attributes;
            for (const MermaidAttribute& a : e.attributes)
                attributes << describeMermaidAttribute(a);
            text += QLatin1Char('{') + attributes.join(QLatin1String("; ")) + QLatin1Char('}');
        }
        parts << text;
    }
    QStringList rels;
    for (const MermaidRelationship& r : relationships) {
        QString text = QStringLiteral("%1 %2-%3 %4").arg(r.from).arg(r.fromCardinality).arg(r.toCardinality).arg(r.to);
        if (!r.label.isEmpty())
            text += QLatin1String(" : ") + r.label;
        rels << text;
    }
    return parts.join(QLatin1String(", ")) + QLatin1String(" / ") + rels.join(QLatin1String(", "));
}

// The description of a text as read, or "error: <sentence>".
inline QString describeMermaidText(const QString& text)
{
    QList<MermaidEntity> entities;
    QList<MermaidRelationship> relationships;
    QString error;
    if (!parseMermaidText(text, entities, relationships, &error))
        return QLatin1String("error: ") + error;
    return describeMermaidModel(entities, relationships);
}

// Generated diagrams for round trips: titles, attribute names and types
// drawn from pieces that are hard for identifiers (spaces, hyphens, digits
// first, non-ASCII, keywords, emphasis markers, quotes, duplicates that
// differ in case only).
class MermaidDiagramGenerator
{
public:
    explicit MermaidDiagramGenerator(quint32 seed)
        : m_random(seed)
    {
    }

    QString pick(const QStringList& list) { return list.at(m_random.bounded(list.size())); }
    int bounded(int n) { return m_random.bounded(n); }

    QString title()
    {
        static const QStringList pieces = {
            QStringLiteral("Customer"), QStringLiteral("customer"), QStringLiteral("CUSTOMER"),
            QStringLiteral("Order Item"), QStringLiteral("order_item"), QStringLiteral("ORDER-ITEM"),
            QStringLiteral("2024 sales"), QStringLiteral("9"), QStringLiteral("Straße"), QStringLiteral("Größe"),
            QStringLiteral("日本語"), QStringLiteral("Ωmega"), QStringLiteral("class"), QStringLiteral("end"),
            QStringLiteral("one"), QStringLiteral("many"), QStringLiteral("to"), QStringLiteral("style"),
            QStringLiteral("direction"), QStringLiteral("wind direction"), QStringLiteral("accTitle"),
            QStringLiteral("u-boat"), QStringLiteral("_tmp_"), QStringLiteral("**bold**"),
            QStringLiteral("say \"hi\""), QStringLiteral("50% off"), QStringLiteral("back\\slash"),
            QStringLiteral("a:b"), QStringLiteral("x.y"), QStringLiteral("[brackets]"), QStringLiteral("{braces}"),
            QStringLiteral("###"), QStringLiteral("-dash-"), QStringLiteral("one-to-many"),
            QStringLiteral("erDiagram"), QStringLiteral("µ units"), QStringLiteral("sub graph"),
            QStringLiteral("direction tb"), QStringLiteral("Entity"), QStringLiteral("Entity_2"), QStringLiteral("e9"),
            QStringLiteral("𝔸lpha"), QStringLiteral("tab\there"),
        };
        QString text = pick(pieces);
        if (bounded(3) == 0)
            text += (bounded(2) ? QLatin1Char(' ') : QLatin1Char('_')) + pick(pieces);
        return text;
    }

    QString attributeName()
    {
        static const QStringList names = {
            QStringLiteral("id"), QStringLiteral("customer_id"), QStringLiteral("order id"), QStringLiteral("pk"),
            QStringLiteral("FK"), QStringLiteral("uk-code"), QStringLiteral("(x)"), QStringLiteral("2fa"),
            QStringLiteral("größe"), QStringLiteral("µ"), QStringLiteral("name"), QStringLiteral("a,b"),
            QStringLiteral("*star"), QStringLiteral("quote\"d"), QStringLiteral("日付"), QStringLiteral("pk_ok"),
        };
        return pick(names);
    }

    QString attributeType()
    {
        static const QStringList types = {
            QStringLiteral("int"), QStringLiteral("decimal(12,2)"), QStringLiteral("decimal(10, 2)"),
            QStringLiteral("double precision"), QStringLiteral(""), QStringLiteral("2d"), QStringLiteral("_x"),
            QStringLiteral("varchar[]"), QStringLiteral("list<string>"), QStringLiteral("PK"),
            QStringLiteral("map~string, int~"), QStringLiteral("a~b"),
            QStringLiteral("timestamp with time zone"), QStringLiteral("ñ"), QStringLiteral("uuid"),
        };
        return pick(types);
    }

    QString label()
    {
        static const QStringList labels = {
            QString(), QStringLiteral("places"), QStringLiteral("is part of"), QStringLiteral("say \"x\""),
            QStringLiteral("50%% {off}"), QStringLiteral("back\\slash"), QStringLiteral("sets direction LR"),
            QStringLiteral("line\nbreak"), QStringLiteral("a : b"), QStringLiteral("%%{init}%%"),
            QStringLiteral("naïve"),
        };
        return pick(labels);
    }

    // A diagram JSON object with count entities and about twice as many
    // edges (self-relations and repeated pairs included).
    QJsonObject diagram(int count)
    {
        QJsonArray entities;
        for (int i = 0; i < count; ++i) {
            QJsonArray attributes;
            const int attributeCount = bounded(4);
            for (int a = 0; a < attributeCount; ++a) {
                attributes.append(QJsonObject{
                    {QStringLiteral("name"), attributeName()},
                    {QStringLiteral("type"), attributeType()},
                    {QStringLiteral("isPrimaryKey"), bounded(3) == 0},
                    {QStringLiteral("isForeignKey"), bounded(3) == 0},
                    {QStringLiteral("isUniqueKey"), bounded(4) == 0},
                });
            }
            entities.append(QJsonObject{
                {QStringLiteral("id"), QStringLiteral("id-%1").arg(i)},
                {QStringLiteral("title"), title()},
                {QStringLiteral("attributes"), attributes},
            });
        }
        QJsonArray edges;
        for (int i = 0; count > 0 && i < 2 * count; ++i) {
            QJsonObject edge{
                {QStringLiteral("id"), QStringLiteral("edge-%1").arg(i)},
                {QStringLiteral("from"), QStringLiteral("id-%1").arg(bounded(count))},
                {QStringLiteral("to"), QStringLiteral("id-%1").arg(bounded(count))},
                {QStringLiteral("startCard"), bounded(4)},
                {QStringLiteral("endCard"), bounded(4)},
            };
            const QString text = label();
            if (!text.isEmpty())
                edge.insert(QStringLiteral("label"), text);
            edges.append(edge);
        }
        return QJsonObject{{QStringLiteral("entities"), entities}, {QStringLiteral("edges"), edges}};
    }

private:
    QRandomGenerator m_random;
};
