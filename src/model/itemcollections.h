#pragma once

// Helpers shared by the owners of item collections. The project and its
// models keep id-keyed collections: hash tables from id to item that promise
// no order, so every ordered output sorts here explicitly. Tables and columns
// keep their children in ordered lists instead.

#include "model/eventpump.h"
#include "model/itemid.h"

#include <QCollator>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <utility>
#include <vector>

namespace itemcollections {

// The ids of a collection ascending ignoring case; ids equal apart from case
// are ordered by their exact text, so the order never depends on the hash.
template <typename T>
QStringList sortedIds(const QHash<QString, T*>& items)
{
    QStringList ids = items.keys();
    std::sort(ids.begin(), ids.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return ids;
}

// The items in the order of sortedIds.
template <typename T>
QList<T*> itemsInIdOrder(const QHash<QString, T*>& items)
{
    QList<T*> list;
    const QStringList ids = sortedIds(items);
    list.reserve(ids.size());
    for (const QString& id : ids) {
        if (T* item = items.value(id))
            list.append(item);
    }
    return list;
}

// The items ascending by name with QString::localeAwareCompare; a missing
// item counts as an empty name. Equal names fall back to the id so that the
// order is the same from one call to the next.
template <typename T>
QList<T*> sortedByName(const QHash<QString, T*>& items)
{
    // The names' collation keys, made once per item, compare as
    // QString::localeAwareCompare compares the names; collating the names
    // themselves at every comparison costs far more.
    const QCollator collator;
    std::vector<std::pair<QCollatorSortKey, T*>> keyed;
    keyed.reserve(static_cast<size_t>(items.size()));
    for (T* item : items)
        keyed.emplace_back(collator.sortKey(item ? item->name() : QString()), item);
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        const int c = a.first.compare(b.first);
        if (c != 0)
            return c < 0;
        if (!a.second || !b.second)
            return a.second == nullptr && b.second != nullptr;
        return a.second->id() < b.second->id();
    });
    QList<T*> list;
    list.reserve(static_cast<qsizetype>(keyed.size()));
    for (const auto& entry : keyed)
        list.append(entry.second);
    return list;
}

// One JSON object per item, in ascending id order ignoring case.
template <typename T>
QJsonArray toJsonArray(const QHash<QString, T*>& items)
{
    QJsonArray array;
    for (const QString& id : sortedIds(items)) {
        if (const T* item = items.value(id))
            array.append(item->toJson());
        eventpump::step();
    }
    return array;
}

// Destroys every item of the collection at once and empties it.
template <typename T>
void destroyAll(QHash<QString, T*>& items)
{
    const QHash<QString, T*> old = std::exchange(items, QHash<QString, T*>());
    for (T* item : old)
        delete item;
}

// Replaces the collection by one new item per element of the array (a
// non-object element reads as an empty object), each filed under the id it
// has after reading. An element whose id an earlier one already holds gets a
// fresh id: both are kept, and nothing of one is merged into the other.
template <typename T>
void readCollection(QObject* owner, QHash<QString, T*>& items, const QJsonArray& array)
{
    destroyAll(items);
    items.reserve(array.size());
    for (const QJsonValue& element : array) {
        auto* item = new T(owner);
        item->fromJson(element.toObject());
        if (items.contains(item->id()))
            item->setId(generateItemId());
        items.insert(item->id(), item);
    }
}

// The names of the items, in the container's own order (for a hash, none in
// particular).
template <typename Container>
QStringList namesOf(const Container& items)
{
    QStringList names;
    names.reserve(items.size());
    for (const auto* item : items) {
        if (item)
            names.append(item->name());
    }
    return names;
}

// One JSON object per child of an ordered list, in list order.
template <typename T>
QJsonArray listToJson(const QList<T*>& items)
{
    QJsonArray array;
    for (const T* item : items) {
        if (item)
            array.append(item->toJson());
    }
    return array;
}

// Replaces an ordered list of children: the old ones are destroyed at once,
// then one new child per element of the array is appended in array order (a
// non-object element reads as an empty object).
template <typename T>
void readList(QObject* owner, QList<T*>& items, const QJsonArray& array)
{
    qDeleteAll(std::exchange(items, QList<T*>()));
    items.reserve(array.size());
    for (const QJsonValue& element : array) {
        auto* item = new T(owner);
        item->fromJson(element.toObject());
        items.append(item);
    }
}

// Takes the item filed under id out of the collection and destroys it once
// control returns to the event loop; nothing happens for an unknown id.
template <typename T>
void removeLater(QHash<QString, T*>& items, const QString& id)
{
    T* item = items.take(id);
    if (item)
        item->deleteLater();
}

} // namespace itemcollections
