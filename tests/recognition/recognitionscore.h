#pragma once

// How much of a known diagram a recognition result got right.

#include "recognition/recognizeddiagram.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>

struct ExpectedEntity
{
    ExpectedEntity(const QString& title, const QStringList& names, const QRectF& box = QRectF(),
                   const QStringList& types = QStringList())
        : title(title), attributeNames(names), box(box), attributeTypes(types)
    {
    }
    QString title;
    QStringList attributeNames;
    QRectF box;          // in the result's coordinates; empty to match by title
    QStringList attributeTypes;  // beside the names, where the truth gives them
};

struct RecognitionScore
{
    int boxes = 0, expectedBoxes = 0;
    int titles = 0;
    int attributes = 0, expectedAttributes = 0;
    int types = 0, expectedTypes = 0;  // names read right with their type right too
    int links = 0, expectedLinks = 0;
    int extraBoxes = 0;
    int inventedLinks = 0;   // links between boxes that no line joins
    // Characters of the expected titles and attribute names, and how many
    // of them were read right: each name counts its length less the edits
    // that turn what was read into it (never below 0).
    int characters = 0, charactersRight = 0;

    QString describe() const
    {
        return QStringLiteral("boxes %1/%2 (+%3 extra), titles %4/%2, attributes %5/%6, links %7/%8 (+%9 invented)")
            .arg(boxes).arg(expectedBoxes).arg(extraBoxes).arg(titles).arg(attributes)
            .arg(expectedAttributes).arg(links).arg(expectedLinks).arg(inventedLinks)
            + QStringLiteral(", characters %1/%2").arg(charactersRight).arg(characters)
            + (expectedTypes > 0 ? QStringLiteral(", types %1/%2").arg(types).arg(expectedTypes) : QString());
    }
};

// Levenshtein distance: insertions, deletions and substitutions.
inline int editDistance(const QString& a, const QString& b)
{
    QList<int> row(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a.at(i - 1) == b.at(j - 1) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

inline int charactersRight(const QString& expected, const QString& read)
{
    return std::max(0, int(expected.size()) - editDistance(expected, read));
}

inline double overlap(const QRectF& a, const QRectF& b)
{
    const QRectF i = a.intersected(b);
    const double inter = i.width() * i.height();
    const double uni = a.width() * a.height() + b.width() * b.height() - inter;
    return uni > 0 ? inter / uni : 0;
}

// Each expected entity is matched to the result entity whose box overlaps
// it most (at least half), or, without a box, to the entity of that title.
inline RecognitionScore scoreRecognition(const RecognizedDiagram& result, const QList<ExpectedEntity>& expected,
                                         const QList<QPair<int, int>>& expectedLinks,
                                         QList<int>* matched = nullptr)
{
    RecognitionScore score;
    score.expectedBoxes = expected.size();
    score.expectedLinks = expectedLinks.size();
    QList<int> match(expected.size(), -1);
    QSet<int> used;
    for (int i = 0; i < expected.size(); ++i) {
        const ExpectedEntity& e = expected.at(i);
        score.expectedAttributes += e.attributeNames.size();
        score.characters += e.title.size();
        for (const QString& name : e.attributeNames)
            score.characters += name.size();
        int best = -1;
        double bestOverlap = 0.5;
        for (int k = 0; k < result.entities.size(); ++k) {
            if (used.contains(k))
                continue;
            if (e.box.isEmpty()) {
                if (result.entities.at(k).title == e.title) {
                    best = k;
                    break;
                }
                continue;
            }
            const double o = overlap(e.box, result.entities.at(k).box);
            if (o > bestOverlap) {
                bestOverlap = o;
                best = k;
            }
        }
        if (best < 0)
            continue;
        match[i] = best;
        used.insert(best);
        ++score.boxes;
        const RecognizedEntity& r = result.entities.at(best);
        score.titles += r.title == e.title;
        score.charactersRight += charactersRight(e.title, r.title);
        // Each name read is given to the expected name it is closest to.
        QSet<int> taken;
        for (const QString& name : e.attributeNames) {
            int bestRight = 0, bestIndex = -1;
            for (int k = 0; k < r.attributes.size(); ++k) {
                const int right = taken.contains(k) ? 0 : charactersRight(name, r.attributes.at(k).name);
                if (right > bestRight) {
                    bestRight = right;
                    bestIndex = k;
                }
            }
            taken.insert(bestIndex);
            score.charactersRight += bestRight;
        }
        score.expectedTypes += e.attributeTypes.size();
        for (int a = 0; a < e.attributeNames.size(); ++a) {
            for (const RecognizedAttribute& attribute : r.attributes) {
                if (attribute.name == e.attributeNames.at(a)) {
                    ++score.attributes;
                    score.types += a < e.attributeTypes.size() && attribute.type == e.attributeTypes.at(a);
                    break;
                }
            }
        }
    }
    score.extraBoxes = int(result.entities.size()) - score.boxes;
    if (matched)
        *matched = match;
    for (const RecognizedLink& r : result.links) {
        const int a = int(match.indexOf(r.from)), b = int(match.indexOf(r.to));
        if (a < 0 || b < 0 || !(expectedLinks.contains({a, b}) || expectedLinks.contains({b, a})))
            ++score.inventedLinks;
    }
    for (const auto& link : expectedLinks) {
        const int a = match.value(link.first, -1), b = match.value(link.second, -1);
        if (a < 0 || b < 0)
            continue;
        for (const RecognizedLink& r : result.links) {
            if ((r.from == a && r.to == b) || (r.from == b && r.to == a)) {
                ++score.links;
                break;
            }
        }
    }
    return score;
}

// Reads a truth file: entities (title, attribute names, box where known) and
// links, as [from, to] indexes or as {"one": title, "many": title}.
inline bool readTruth(const QString& path, QList<ExpectedEntity>& entities, QList<QPair<int, int>>& links)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    QStringList titles;
    for (const QJsonValue& value : root.value(QLatin1String("entities")).toArray()) {
        const QJsonObject e = value.toObject();
        QStringList names, types;
        for (const QJsonValue& name : e.value(QLatin1String("attributes")).toArray())
            names.append(name.toString());
        for (const QJsonValue& type : e.value(QLatin1String("types")).toArray())
            types.append(type.toString());
        const QJsonArray b = e.value(QLatin1String("box")).toArray();
        titles.append(e.value(QLatin1String("title")).toString());
        entities.append({titles.last(), names,
                         QRectF(b.at(0).toDouble(), b.at(1).toDouble(), b.at(2).toDouble(), b.at(3).toDouble()),
                         types});
    }
    for (const QJsonValue& value : root.value(QLatin1String("links")).toArray()) {
        const QJsonObject o = value.toObject();
        links.append(value.isArray() ? qMakePair(value.toArray().at(0).toInt(), value.toArray().at(1).toInt())
                                     : qMakePair(int(titles.indexOf(o.value(QLatin1String("one")).toString())),
                                                 int(titles.indexOf(o.value(QLatin1String("many")).toString()))));
    }
    return !entities.isEmpty();
}
