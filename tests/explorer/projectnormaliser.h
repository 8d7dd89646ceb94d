#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

// Makes a project or diagram JSON comparable across runs. Ids are random and
// the project file orders its collections of items by id, so: those arrays
// (models, tables, views, ...; not the ordered lists such as columns or rows)
// are sorted by their other content (ids masked), then every id is replaced
// by "id-N" in the order of its first appearance. Edge route points, which
// follow from font metrics, are dropped.
namespace ProjectNormaliser {

inline const QRegularExpression& idPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}"));
    return pattern;
}

inline QString masked(const QJsonValue& value)
{
    QByteArray text;
    if (value.isObject())
        text = QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    else if (value.isArray())
        text = QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
    else
        text = value.toVariant().toString().toUtf8();
    return QString::fromUtf8(text).replace(idPattern(), QStringLiteral("#"));
}

// The arrays a project file writes in id order.
inline bool isIdOrdered(const QString& key)
{
    static const QStringList keys{"models",    "tables",   "views",     "relationships",
                                  "sequences", "diagrams", "mappings",  "documents"};
    return keys.contains(key);
}

inline QJsonValue canonical(const QJsonValue& value, const QString& key = QString())
{
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        object.remove(QStringLiteral("points"));
        for (auto it = object.begin(); it != object.end(); ++it)
            it.value() = canonical(it.value(), it.key());
        return object;
    }
    if (!value.isArray())
        return value;
    QList<QJsonValue> elements;
    bool sortable = true;
    for (const QJsonValue& element : value.toArray()) {
        elements.append(canonical(element));
        sortable = sortable && isIdOrdered(key) && element.isObject();
    }
    if (sortable && !elements.isEmpty()) {
        std::stable_sort(elements.begin(), elements.end(), [](const QJsonValue& a, const QJsonValue& b) {
            return masked(a) < masked(b);
        });
    }
    QJsonArray array;
    for (const QJsonValue& element : std::as_const(elements))
        array.append(element);
    return array;
}

inline QByteArray normalise(const QJsonObject& root)
{
    QString text = QString::fromUtf8(
        QJsonDocument(canonical(root).toObject()).toJson(QJsonDocument::Indented));
    QHash<QString, QString> names;
    QString result;
    qsizetype last = 0;
    QRegularExpressionMatchIterator it = idPattern().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        result += QStringView(text).mid(last, match.capturedStart() - last);
        QString& name = names[match.captured()];
        if (name.isEmpty())
            name = QStringLiteral("id-%1").arg(names.size());
        result += name;
        last = match.capturedEnd();
    }
    result += QStringView(text).mid(last);
    return result.toUtf8();
}

} // namespace ProjectNormaliser
