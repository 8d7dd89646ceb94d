#include "model/filelimits.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonValue>
#include <QLocale>

#include <algorithm>
#include <iterator>
#include <vector>

#include <sys/stat.h>

namespace filelimits {

namespace {

QString number(qint64 value)
{
    // Grouped by thousands, the same in every locale.
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(value);
}

// The array under key, without copying it when it is one.
QJsonArray arrayAt(const QJsonObject& object, QLatin1String key)
{
    return object.value(key).toArray();
}

} // namespace

qint64 limitOf(Measure measure)
{
    switch (measure) {
    case Measure::Entities:
        return MaxEntities;
    case Measure::RowsInEntity:
        return MaxRowsPerEntity;
    case Measure::Rows:
        return MaxRows;
    case Measure::Edges:
        return MaxEdges;
    case Measure::Annotations:
        return MaxAnnotations;
    case Measure::RoutePoints:
        return MaxRoutePoints;
    case Measure::InflatedBytes:
        return MaxInflatedBytes;
    case Measure::FileBytes:
        return MaxFileBytes;
    case Measure::NameLength:
        return MaxNameLength;
    case Measure::TextLength:
        return MaxTextLength;
    }
    return 0;
}

QString tooLargeText(Measure measure, qint64 found)
{
    const QString limit = number(limitOf(measure));
    const QString count = number(found);
    QString holds;
    switch (measure) {
    case Measure::Entities:
        holds = QStringLiteral("it holds %1 entities").arg(count);
        break;
    case Measure::RowsInEntity:
        holds = QStringLiteral("one of its entities holds %1 rows").arg(count);
        break;
    case Measure::Rows:
        holds = QStringLiteral("it holds %1 rows").arg(count);
        break;
    case Measure::Edges:
        holds = QStringLiteral("it holds %1 edges").arg(count);
        break;
    case Measure::Annotations:
        holds = QStringLiteral("it holds %1 text items and groups").arg(count);
        break;
    case Measure::RoutePoints:
        holds = QStringLiteral("its edges hold %1 route points").arg(count);
        break;
    case Measure::InflatedBytes:
        return QStringLiteral("The file is too large to open: a page holds %1 bytes once decompressed; "
                              "at most %2 are supported.")
            .arg(count, limit);
    case Measure::FileBytes:
        return fileBytesText(found, MaxFileBytes);
    case Measure::NameLength:
        return QStringLiteral("The file cannot be read: a name in it holds %1 characters; at most %2 are supported.")
            .arg(count, limit);
    case Measure::TextLength:
        return QStringLiteral("The file cannot be read: a text in it holds %1 characters; at most %2 are supported.")
            .arg(count, limit);
    }
    const QString perEntity = measure == Measure::RowsInEntity ? QStringLiteral(" in one entity") : QString();
    return QStringLiteral("The file is too large to open: %1; at most %2 are supported%3.")
        .arg(holds, limit, perEntity);
}

QString fileBytesText(qint64 found, qint64 limit)
{
    return QStringLiteral("The file is too large to open: it holds %1 bytes; at most %2 are supported.")
        .arg(number(found), number(limit));
}

QString fileRefusal(const QString& path, qint64 maxBytes)
{
    struct stat info;
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || ::stat(native.constData(), &info) != 0)
        return QString();
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is a folder, not a file.").arg(path);
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("%1 is not a regular file (it is a device, a pipe or a socket); "
                              "only regular files are read and written.")
            .arg(path);
    if (maxBytes >= 0 && qint64(info.st_size) > maxBytes)
        return fileBytesText(qint64(info.st_size), maxBytes);
    return QString();
}

FileBytes readFileWithin(const QString& path, qint64 maxBytes)
{
    FileBytes result;
    result.refusal = fileRefusal(path, maxBytes);
    if (!result.refusal.isEmpty())
        return result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    // One byte more than the limit tells a file that grew since it was
    // looked at from one of exactly the largest size.
    result.bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        result.bytes = QByteArray();
        return result;
    }
    if (result.bytes.size() > maxBytes) {
        result.bytes = QByteArray();
        result.refusal = fileBytesText(qMax(file.size(), maxBytes + 1), maxBytes);
        return result;
    }
    result.read = true;
    return result;
}

QString excessText(const Counts& counts)
{
    const std::pair<Measure, qint64> measured[] = {
        {Measure::Entities, counts.entities},       {Measure::RowsInEntity, counts.largestEntityRows},
        {Measure::Rows, counts.rows},               {Measure::Edges, counts.edges},
        {Measure::Annotations, counts.annotations}, {Measure::RoutePoints, counts.routePoints},
    };
    for (const auto& [measure, found] : measured) {
        if (found > limitOf(measure))
            return tooLargeText(measure, found);
    }
    return QString();
}

Counts countDiagram(const QJsonObject& diagram)
{
    Counts counts;
    const QJsonArray entities = arrayAt(diagram, QLatin1String("entities"));
    counts.entities = entities.size();
    // Beyond the entity limit the answer is known; counting on would only
    // cost time.
    if (counts.entities > MaxEntities)
        return counts;
    for (const QJsonValue& entity : entities) {
        const qint64 rows = entity.toObject().value(QLatin1String("attributes")).toArray().size();
        counts.largestEntityRows = std::max(counts.largestEntityRows, rows);
        counts.rows += rows;
    }
    const QJsonArray edges = arrayAt(diagram, QLatin1String("edges"));
    counts.edges = edges.size();
    if (counts.edges <= MaxEdges) {
        for (const QJsonValue& edge : edges)
            counts.routePoints += edge.toObject().value(QLatin1String("points")).toArray().size();
    }
    counts.annotations = arrayAt(diagram, QLatin1String("annotations")).size();
    return counts;
}

QString textExcess(const QJsonValue& root)
{
    static const QLatin1String nameKeys[] = {
        QLatin1String("name"),  QLatin1String("title"),    QLatin1String("type"),
        QLatin1String("label"), QLatin1String("dataType"), QLatin1String("schema"),
    };
    const auto isNameKey = [](const QString& key) {
        return std::find(std::begin(nameKeys), std::end(nameKeys), key) != std::end(nameKeys);
    };
    const auto check = [](const QJsonValue& value, bool isName) -> QString {
        if (!value.isString())
            return QString();
        const qint64 length = value.toString().size();
        const Measure measure = isName ? Measure::NameLength : Measure::TextLength;
        return length > limitOf(measure) ? tooLargeText(measure, length) : QString();
    };
    // An explicit stack: a file may nest deeper than a call stack should go.
    std::vector<QJsonValue> pending{root};
    while (!pending.empty()) {
        const QJsonValue value = std::move(pending.back());
        pending.pop_back();
        if (value.isObject()) {
            const QJsonObject object = value.toObject();
            for (auto it = object.begin(); it != object.end(); ++it) {
                const QJsonValue child = it.value();
                if (child.isObject() || child.isArray()) {
                    pending.push_back(child);
                    continue;
                }
                const QString excess = check(child, isNameKey(it.key()));
                if (!excess.isEmpty())
                    return excess;
            }
        } else if (value.isArray()) {
            for (const QJsonValue& child : value.toArray()) {
                if (child.isObject() || child.isArray()) {
                    pending.push_back(child);
                    continue;
                }
                const QString excess = check(child, false);
                if (!excess.isEmpty())
                    return excess;
            }
        } else {
            const QString excess = check(value, false);
            if (!excess.isEmpty())
                return excess;
        }
    }
    return QString();
}

QString diagramExcess(const QJsonObject& diagram)
{
    const QString excess = excessText(countDiagram(diagram));
    return excess.isEmpty() ? textExcess(diagram) : excess;
}

QString projectExcess(const QJsonObject& envelope)
{
    const QJsonArray models = arrayAt(envelope.value(QLatin1String("data")).toObject(), QLatin1String("models"));
    for (const QJsonValue& modelValue : models) {
        const QJsonObject model = modelValue.toObject();
        const QJsonArray tables = arrayAt(model, QLatin1String("tables"));
        Counts counts;
        counts.entities = tables.size() + arrayAt(model, QLatin1String("views")).size();
        if (counts.entities <= MaxEntities) {
            for (const QJsonValue& table : tables) {
                const qint64 columns = table.toObject().value(QLatin1String("columns")).toArray().size();
                counts.largestEntityRows = std::max(counts.largestEntityRows, columns);
                counts.rows += columns;
            }
        }
        counts.edges = arrayAt(model, QLatin1String("relationships")).size();
        const QString excess = excessText(counts);
        if (!excess.isEmpty())
            return excess;
    }
    for (const QJsonValue& diagram : arrayAt(envelope, QLatin1String("diagrams"))) {
        const QString excess = excessText(countDiagram(diagram.toObject()));
        if (!excess.isEmpty())
            return excess;
    }
    return textExcess(envelope);
}

QString documentExcess(const QJsonObject& root)
{
    if (root.value(QLatin1String("type")).toString() == QLatin1String("quill-project"))
        return projectExcess(root);
    return diagramExcess(root);
}

} // namespace filelimits
