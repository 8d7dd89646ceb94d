// EntityItem: reading and writing the JSON of a diagram.
#include "diagram/entityitem.h"

#include "diagram/singlelinetextitem.h"
#include "model/jsonfields.h"

#include <QDebug>
#include <QHash>
#include <QJsonArray>

#include <algorithm>

QString EntityItem::displayModeName(int mode)
{
    switch (mode) {
    case NamePrimaryForeignMode:
        return QStringLiteral("name-primary-foreign");
    case NamePrimaryMode:
        return QStringLiteral("name-primary");
    case NameMode:
        return QStringLiteral("name");
    default:
        return QStringLiteral("full");
    }
}

int EntityItem::displayModeFromJson(const QJsonValue& value)
{
    if (value.isUndefined())
        return FullMode;
    if (value.isString()) {
        const QString text = value.toString().trimmed().toLower();
        if (text == QLatin1String("name-primary-foreign") || text == QLatin1String("name_primary_foreign")
            || text == QLatin1String("pk-fk"))
            return NamePrimaryForeignMode;
        if (text == QLatin1String("name-primary") || text == QLatin1String("name_primary")
            || text == QLatin1String("pk"))
            return NamePrimaryMode;
        if (text == QLatin1String("name") || text == QLatin1String("name-only"))
            return NameMode;
        return FullMode;
    }
    const int n = value.toInt(-1);
    return n >= 1 && n <= 3 ? n : FullMode;
}

QJsonObject EntityItem::toJson() const
{
    QJsonObject obj;

    QString id;
    try {
        id = this->id();
    } catch (...) {
        qWarning() << "Exception getting ID";
        id = QStringLiteral("unknown");
    }
    obj.insert(QStringLiteral("id"), id);

    try {
        const QPointF p = pos();
        obj.insert(QStringLiteral("x"), p.x());
        obj.insert(QStringLiteral("y"), p.y());
    } catch (...) {
        qWarning() << "Exception getting pos";
        obj.insert(QStringLiteral("x"), 0);
        obj.insert(QStringLiteral("y"), 0);
    }

    try {
        obj.insert(QStringLiteral("title"), m_title);
    } catch (...) {
        qWarning() << "Exception getting title";
        obj.insert(QStringLiteral("title"), QStringLiteral("Unknown"));
    }
    if (m_kind == ViewKind)
        obj.insert(QStringLiteral("kind"), QStringLiteral("entity-view"));
    obj.insert(QStringLiteral("perspective"), displayModeName(m_displayMode));

    try {
        const auto put = [&obj](const char* key, const QColor& c, const QColor& defaultColor) {
            if (c.isValid() && c != defaultColor)
                obj.insert(QLatin1String(key), c.name(QColor::HexArgb));
        };
        const QColor transparent(Qt::transparent);
        put("bgLight", m_bgLight, transparent);
        put("bgDark", m_bgDark, transparent);
        put("fgLight", m_fgLight, QColor(Qt::black));
        put("fgDark", m_fgDark, QColor(Qt::lightGray));
        put("hdrLight", m_hdrLight, transparent);
        put("hdrDark", m_hdrDark, transparent);
        put("txtLight", m_txtLight, transparent);
        put("txtDark", m_txtDark, transparent);
    } catch (...) {
        qWarning() << "Exception processing colors";
    }

    // An entity is written at every save and every check for unsaved
    // changes, its rows (up to a hundred thousand) mostly unchanged.
    const bool rowsUnchanged = m_rowsJsonSource.constData() == m_attributes.constData()
        && m_rowsJsonSource.size() == m_attributes.size() && m_rowsJson.size() == m_attributes.size();
    if (!rowsUnchanged) {
        QJsonArray rows;
        try {
            for (const Attribute& a : m_attributes) {
                QJsonObject row;
                row.insert(QStringLiteral("name"), a.name);
                row.insert(QStringLiteral("type"), a.type);
                row.insert(QStringLiteral("isPrimaryKey"), a.isPrimaryKey);
                row.insert(QStringLiteral("isUniqueKey"), a.isUniqueKey);
                row.insert(QStringLiteral("isForeignKey"), a.isForeignKey);
                if (!a.fkEdgeId.isEmpty())
                    row.insert(QStringLiteral("fkEdgeId"), a.fkEdgeId);
                if (a.inherited)
                    row.insert(QStringLiteral("inherited"), true);
                rows.append(row);
            }
            m_rowsJsonSource = m_attributes;
        } catch (...) {
            qWarning() << "Exception processing attributes";
            rows = QJsonArray();
            m_rowsJsonSource.clear();
        }
        m_rowsJson = rows;
    }
    obj.insert(QStringLiteral("attributes"), m_rowsJson);
    return obj;
}

namespace {

// One row as the file gives it; flags may also come as badges ("PK").
struct RowFromFile
{
    QString name;
    QString type;
    bool pk = false;
    bool uk = false;
    bool fk = false;
    bool inherited = false;
    QJsonValue fkEdgeId;
};

RowFromFile readRowFromFile(const QJsonObject& row)
{
    RowFromFile read;
    read.name = row.value(QStringLiteral("name")).toString();
    read.type = row.value(QStringLiteral("type")).toString();
    read.pk = row.value(QStringLiteral("isPrimaryKey")).toBool(false);
    read.uk = row.value(QStringLiteral("isUniqueKey")).toBool(false);
    read.fk = row.value(QStringLiteral("isForeignKey")).toBool(false);
    read.inherited = row.value(QStringLiteral("inherited")).toBool(false);
    read.fkEdgeId = row.value(QStringLiteral("fkEdgeId"));
    if (!read.pk && !read.uk && !read.fk) {
        const QJsonArray badges = row.value(QStringLiteral("badges")).toArray();
        for (const QJsonValue& badge : badges) {
            const QString b = badge.toString().toUpper();
            if (b == QLatin1String("PK"))
                read.pk = true;
            else if (b == QLatin1String("UK"))
                read.uk = true;
            else if (b == QLatin1String("FK"))
                read.fk = true;
        }
    }
    return read;
}

// Whether row is written exactly as toJson writes one: its five keys, an
// edge id only when there is one, "inherited" only when true.
bool rowWrittenAsSaved(const QJsonObject& row, const RowFromFile& read)
{
    const QJsonValue inheritedValue = row.value(QStringLiteral("inherited"));
    const bool withEdge = read.fkEdgeId.isString() && !read.fkEdgeId.toString().isEmpty();
    const bool withInherited = inheritedValue.isBool() && inheritedValue.toBool();
    return row.size() == 5 + (withEdge ? 1 : 0) + (withInherited ? 1 : 0)
        && (read.fkEdgeId.isUndefined() || withEdge) && (inheritedValue.isUndefined() || withInherited)
        && row.value(QStringLiteral("name")).isString() && row.value(QStringLiteral("type")).isString()
        && row.value(QStringLiteral("isPrimaryKey")).isBool() && row.value(QStringLiteral("isUniqueKey")).isBool()
        && row.value(QStringLiteral("isForeignKey")).isBool();
}

bool sameRows(const QList<EntityItem::Attribute>& a, const QList<EntityItem::Attribute>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const EntityItem::Attribute& x = a.at(i);
        const EntityItem::Attribute& y = b.at(i);
        if (!(x.name == y.name && x.type == y.type && x.isPrimaryKey == y.isPrimaryKey
              && x.isUniqueKey == y.isUniqueKey && x.isForeignKey == y.isForeignKey && x.fkEdgeId == y.fkEdgeId
              && x.inherited == y.inherited))
            return false;
    }
    return true;
}

} // namespace

void EntityItem::readRowsFromJson(const QJsonArray& rows)
{
    // The rows of the object replace whatever the entity had, the key row
    // that a table gets back when its last row goes included.
    while (!m_attributes.isEmpty())
        removeRowAt(attributeCount() - 1);
    // One layout at the end instead of one per row.
    ++m_layoutDeferred;
    // The rows read so far by name, so that each row finds an earlier one
    // of its name at once: an entity can have a hundred thousand.
    QHash<QString, int> rowOfName;
    rowOfName.reserve(rows.size());
    // Rows written as toJson writes them are kept as they came: the first
    // capture of the diagram after a load then writes them again at no
    // cost. Any other shape (numbers for flags, badges, extra keys, names
    // trimmed or repeated here) is written anew.
    bool rowsAsWritten = true;
    QList<Attribute> readRows;
    readRows.reserve(rows.size());
    for (const QJsonValue& value : rows) {
        const QJsonObject row = value.toObject();
        const RowFromFile read = readRowFromFile(row);
        // A repeated name updates the earlier row; its edge id goes to that
        // row, not to whichever row happens to be last.
        const QString trimmed = rightTrimmed(read.name);
        const auto earlier = rowOfName.constFind(trimmed);
        const int known = earlier == rowOfName.cend() ? -1 : *earlier;
        const int index = putAttribute(known, trimmed, read.type, read.pk, read.uk, read.fk, read.inherited);
        if (known < 0)
            rowOfName.insert(trimmed, index);
        if (!read.fkEdgeId.isUndefined() && index >= 0 && index < attributeCount())
            m_attributes[index].fkEdgeId = read.fkEdgeId.toString();
        if (!rowsAsWritten)
            continue;
        rowsAsWritten = known < 0 && index == readRows.size() && trimmed == read.name && rowWrittenAsSaved(row, read);
        if (rowsAsWritten) {
            Attribute kept;
            kept.name = read.name;
            kept.type = read.type;
            kept.isPrimaryKey = read.pk;
            kept.isUniqueKey = read.uk;
            kept.isForeignKey = read.fk;
            kept.fkEdgeId = read.fkEdgeId.isString() ? read.fkEdgeId.toString() : QString();
            kept.inherited = read.inherited;
            readRows.append(kept);
        }
    }
    --m_layoutDeferred;
    // The entity may have taken a row otherwise than it was read.
    if (rowsAsWritten && sameRows(readRows, m_attributes)) {
        m_rowsJson = rows;
        m_rowsJsonSource = m_attributes;
    }
}

void EntityItem::fromJson(const QJsonObject& obj)
{
    m_kind = obj.value(QStringLiteral("kind")).toString() == QLatin1String("entity-view") ? ViewKind : TableKind;
    m_displayMode = displayModeFromJson(obj.value(QStringLiteral("perspective")));

    if (obj.contains(QStringLiteral("x")) && obj.contains(QStringLiteral("y"))) {
        setPos(jsonfields::readCoordinate(obj, QLatin1String("x"), 0),
               jsonfields::readCoordinate(obj, QLatin1String("y"), 0));
    }
    if (obj.contains(QStringLiteral("title"))) {
        // The reader makes the entity with this very title; setting it once
        // more would only lay it out again (the layout below follows).
        const QString title = obj.value(QStringLiteral("title")).toString();
        if (title != m_title || m_titleLabel->toPlainText() != title)
            setTitle(title);
    }

    const struct
    {
        const char* key;
        QColor* field;
    } colorKeys[] = {
        {"bgLight", &m_bgLight},   {"bgDark", &m_bgDark},   {"fgLight", &m_fgLight},   {"fgDark", &m_fgDark},
        {"hdrLight", &m_hdrLight}, {"hdrDark", &m_hdrDark}, {"txtLight", &m_txtLight}, {"txtDark", &m_txtDark},
    };
    for (const auto& entry : colorKeys) {
        const QJsonValue v = obj.value(QLatin1String(entry.key));
        if (!v.isUndefined())
            *entry.field = QColor::fromString(v.toString());
    }

    for (int i = attributeCount() - 1; i >= 0; --i) {
        // A removal can take further rows with it or bring back the key row
        // of a table; never index past the current end.
        i = std::min(i, attributeCount() - 1);
        if (i < 0)
            break;
        removeAttribute(m_attributes.at(i).name);
    }

    const QJsonValue rowsValue = obj.value(QStringLiteral("attributes"));
    if (!rowsValue.isUndefined())
        readRowsFromJson(rowsValue.toArray());

    for (int i = 0; i < attributeCount(); ++i)
        styleRowLabels(i);
    applyLabelColors();
    relayoutRows();
}
