#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1String>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <utility>

// Lenient readers for the fields of stored item objects. A missing key or a
// value of another JSON type never fails: it yields the fallback the caller
// gives, so old and damaged files still load.
namespace jsonfields {

// The string under key (an empty string included), or fallback.
QString readString(const QJsonObject& object, QLatin1String key, const QString& fallback = QString());

// Replaces id with the value under "id" when that is a JSON string (an empty
// string included); leaves it unchanged otherwise.
void readId(const QJsonObject& object, QString& id);

// The boolean under key, or fallback.
bool readBool(const QJsonObject& object, QLatin1String key, bool fallback);

// The whole number under key when it fits an int, else -1 (also for a
// fractional number).
int readSize(const QJsonObject& object, QLatin1String key);

// The number under key truncated toward zero to qint64 (saturating at the
// range ends), or fallback when it is missing or not a number.
qint64 readInteger64(const QJsonObject& object, QLatin1String key, qint64 fallback);

// How far from the origin a diagram item may lie, and how large it may be,
// in scene units. Far beyond any drawing, and far from where the integer
// arithmetic of the scene's index, the views and the painters overflows.
constexpr double CoordinateLimit = 1.0e6;
// Routes go round items lying at the limit, so their points may lie a
// little beyond it.
constexpr double RouteCoordinateLimit = 2 * CoordinateLimit;

// The number under key clamped to [-CoordinateLimit, CoordinateLimit], or
// fallback (not clamped) when it is missing or not a finite number.
double readCoordinate(const QJsonObject& object, QLatin1String key, double fallback);
double readCoordinate(const QJsonValue& value, double fallback);

// value clamped to [-CoordinateLimit, CoordinateLimit]; 0 for NaN.
double boundedCoordinate(double value);

// A route point's coordinate under key, clamped to the route limit; 0 when
// missing or not a finite number.
double readRouteCoordinate(const QJsonObject& object, QLatin1String key);

// The array under key with each element taken as a string (a non-string
// element gives an empty string), or an empty list.
QStringList readStringList(const QJsonObject& object, QLatin1String key);

// The array under key, or an empty array.
QJsonArray readArray(const QJsonObject& object, QLatin1String key);

// The object under key, or an empty object.
QJsonObject readObject(const QJsonObject& object, QLatin1String key);

// Writing. Item objects are built from a prototype that already holds every
// key with its default value: copying it and replacing only the values that
// differ is much cheaper than inserting every key into a new object, which
// matters when a project with hundreds of thousands of columns is saved.
QJsonObject makePrototype(std::initializer_list<std::pair<QLatin1String, QJsonValue>> entries);

// A diagram document as the importers make it: version, type, the entities
// and the edges.
QJsonObject diagramDocument(const QJsonArray& entities, const QJsonArray& edges);

// The value of an empty text field in a prototype.
inline QJsonValue emptyText()
{
    return QJsonValue(QLatin1String(""));
}

// Replaces the value under key when text is not empty (the prototype holds "").
inline void writeString(QJsonObject& object, QLatin1String key, const QString& text)
{
    if (!text.isEmpty())
        object[key] = text;
}

// Replaces the value under key when the list is not empty (the prototype
// holds []).
inline void writeStringList(QJsonObject& object, QLatin1String key, const QStringList& list)
{
    if (!list.isEmpty())
        object[key] = QJsonArray::fromStringList(list);
}

// Replaces the value under key when it differs from the prototype's.
template <typename T>
inline void writeValue(QJsonObject& object, QLatin1String key, T value, T prototypeValue)
{
    if (value != prototypeValue)
        object[key] = value;
}

} // namespace jsonfields
