#include "model/jsonfields.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace jsonfields {

QString readString(const QJsonObject& object, QLatin1String key, const QString& fallback)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString() : fallback;
}

void readId(const QJsonObject& object, QString& id)
{
    id = readString(object, QLatin1String("id"), id);
}

bool readBool(const QJsonObject& object, QLatin1String key, bool fallback)
{
    const QJsonValue value = object.value(key);
    return value.isBool() ? value.toBool() : fallback;
}

int readSize(const QJsonObject& object, QLatin1String key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return -1;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number)
        return -1;
    if (number < double(std::numeric_limits<int>::min())
        || number > double(std::numeric_limits<int>::max()))
        return -1;
    return int(number);
}

qint64 readInteger64(const QJsonObject& object, QLatin1String key, qint64 fallback)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return fallback;
    const double number = value.toDouble();
    if (std::isnan(number))
        return fallback;
    // Whole numbers stored as integers are taken exactly, beyond the 53 bits a
    // double holds.
    if (std::trunc(number) == number) {
        constexpr qint64 sentinel = std::numeric_limits<qint64>::min();
        const qint64 exact = value.toInteger(sentinel);
        if (exact != sentinel)
            return exact;
    }
    constexpr double upper = 9223372036854775807.0;  // rounds to 2^63
    if (number >= upper)
        return std::numeric_limits<qint64>::max();
    if (number <= -upper)
        return std::numeric_limits<qint64>::min();
    return qint64(std::trunc(number));
}

double readCoordinate(const QJsonObject& object, QLatin1String key, double fallback)
{
    return readCoordinate(object.value(key), fallback);
}

double readCoordinate(const QJsonValue& value, double fallback)
{
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return fallback;
    return boundedCoordinate(value.toDouble());
}

double readRouteCoordinate(const QJsonObject& object, QLatin1String key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return 0.0;
    return std::clamp(value.toDouble(), -RouteCoordinateLimit, RouteCoordinateLimit);
}

double boundedCoordinate(double value)
{
    if (std::isnan(value))
        return 0.0;
    return std::clamp(value, -CoordinateLimit, CoordinateLimit);
}

QStringList readStringList(const QJsonObject& object, QLatin1String key)
{
    QStringList list;
    const QJsonValue value = object.value(key);
    if (!value.isArray())
        return list;
    const QJsonArray array = value.toArray();
    list.reserve(array.size());
    for (const QJsonValue& element : array)
        list.append(element.isString() ? element.toString() : QString());
    return list;
}

QJsonArray readArray(const QJsonObject& object, QLatin1String key)
{
    const QJsonValue value = object.value(key);
    return value.isArray() ? value.toArray() : QJsonArray();
}

QJsonObject readObject(const QJsonObject& object, QLatin1String key)
{
    const QJsonValue value = object.value(key);
    return value.isObject() ? value.toObject() : QJsonObject();
}

QJsonObject makePrototype(std::initializer_list<std::pair<QLatin1String, QJsonValue>> entries)
{
    QJsonObject object;
    for (const auto& entry : entries)
        object.insert(entry.first, entry.second);
    return object;
}

QJsonObject diagramDocument(const QJsonArray& entities, const QJsonArray& edges)
{
    return QJsonObject{
        {QStringLiteral("version"), QStringLiteral("1.0")},
        {QStringLiteral("type"), QStringLiteral("er-diagram")},
        {QStringLiteral("entities"), entities},
        {QStringLiteral("edges"), edges},
    };
}

} // namespace jsonfields
