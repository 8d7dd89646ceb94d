#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QSet>
#include <QString>

#include <cmath>

// Compares two JSON values the way diagram files are meant to be equal:
// numbers within a small tolerance, and arrays whose elements all carry a
// string "id" as sets keyed by that id (the order of items in a diagram
// array follows their stacking and carries no meaning of its own). Returns
// an empty string when equal, else where and how they differ.
inline QString jsonDifference(const QJsonValue& expected, const QJsonValue& actual,
                              const QString& path = QStringLiteral("$"))
{
    if (expected.isDouble() && actual.isDouble()) {
        const double a = expected.toDouble();
        const double b = actual.toDouble();
        if (std::abs(a - b) <= 1e-6 * std::max(1.0, std::abs(a)))
            return {};
        return QStringLiteral("%1: %2 != %3").arg(path).arg(a, 0, 'g', 17).arg(b, 0, 'g', 17);
    }
    if (expected.type() != actual.type())
        return QStringLiteral("%1: JSON types differ (%2 vs %3)").arg(path).arg(int(expected.type())).arg(int(actual.type()));

    if (expected.isObject()) {
        const QJsonObject a = expected.toObject();
        const QJsonObject b = actual.toObject();
        for (auto it = a.begin(); it != a.end(); ++it) {
            if (!b.contains(it.key()))
                return QStringLiteral("%1.%2: missing").arg(path, it.key());
            const QString d = jsonDifference(it.value(), b.value(it.key()), path + '.' + it.key());
            if (!d.isEmpty())
                return d;
        }
        for (auto it = b.begin(); it != b.end(); ++it) {
            if (!a.contains(it.key()))
                return QStringLiteral("%1.%2: unexpected").arg(path, it.key());
        }
        return {};
    }

    if (expected.isArray()) {
        const QJsonArray a = expected.toArray();
        const QJsonArray b = actual.toArray();
        if (a.size() != b.size())
            return QStringLiteral("%1: %2 elements != %3").arg(path).arg(a.size()).arg(b.size());
        const auto keyed = [](const QJsonArray& array) {
            QSet<QString> ids;
            for (const QJsonValue& v : array) {
                const QJsonValue id = v.toObject().value(QStringLiteral("id"));
                if (!v.isObject() || !id.isString() || ids.contains(id.toString()))
                    return false;
                ids.insert(id.toString());
            }
            return !array.isEmpty();
        };
        if (keyed(a) && keyed(b)) {
            for (const QJsonValue& v : a) {
                const QString id = v.toObject().value(QStringLiteral("id")).toString();
                const QString at = QStringLiteral("%1[id=%2]").arg(path, id);
                bool found = false;
                for (const QJsonValue& w : b) {
                    if (w.toObject().value(QStringLiteral("id")).toString() == id) {
                        const QString d = jsonDifference(v, w, at);
                        if (!d.isEmpty())
                            return d;
                        found = true;
                        break;
                    }
                }
                if (!found)
                    return at + QStringLiteral(": missing");
            }
            return {};
        }
        for (qsizetype i = 0; i < a.size(); ++i) {
            const QString d = jsonDifference(a.at(i), b.at(i), QStringLiteral("%1[%2]").arg(path).arg(i));
            if (!d.isEmpty())
                return d;
        }
        return {};
    }

    return expected == actual ? QString() : QStringLiteral("%1: values differ").arg(path);
}
