#include "diagram/entityitem.h"

#include "app/dialoghooks.h"
#include "app/thememanager.h"
#include "details/dialects.h"
#include "dialogs/entityeditdialog.h"
#include "diagram/singlelinetextitem.h"
#include "diagram/slotitem.h"
#include "edges/edgeitem.h"

#include <QActionGroup>
#include <QDebug>
#include <QFontMetricsF>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QJsonArray>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QSet>
#include <QStyleOptionGraphicsItem>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

const char* const LabelFontFamily = "JetBrains Mono";

QFont labelFont(int weight = QFont::Normal, bool italic = false)
{
    QFont font(QString::fromLatin1(LabelFontFamily));
    font.setPointSizeF(10);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(italic);
    return font;
}

// The face of a row's labels: bold for keys, italic for foreign keys and for
// the rows a view inherits.
QFont rowLabelFont(const EntityItem::Attribute& a, int kind)
{
    const bool inherited = kind == EntityItem::ViewKind && a.inherited;
    const bool bold = !inherited && (a.isPrimaryKey || a.isUniqueKey);
    const bool italic = inherited || a.isForeignKey;
    return labelFont(bold ? QFont::Bold : QFont::Normal, italic);
}

// Every font, alignment or text given to a label lays its text out anew,
// even an equal one; these skip what would change nothing.
void setLabelFont(SingleLineTextItem* label, const QFont& font)
{
    if (label->font() != font)
        label->setFont(font);
}

// A label already painting in the colour keeps the palette it shares with
// every other label; setting it would give the label a copy of its own.
void setLabelColor(SingleLineTextItem* label, const QColor& color)
{
    if (label->defaultTextColor() != color)
        label->setDefaultTextColor(color);
}

// Background, header and text colours are unset when they are fully
// transparent black; an invalid colour (an unparsable value in a file) is
// treated the same way so that nothing ever paints with it.
bool isUnsetFill(const QColor& c)
{
    return !c.isValid() || c == QColor(Qt::transparent);
}

bool isUnsetBorder(const QColor& c)
{
    return !c.isValid();
}

QColor resolveFill(const QColor& c, const ThemeColors& set, int slot)
{
    return isUnsetFill(c) ? set[slot] : c;
}

QColor resolveBorder(const QColor& c, const ThemeColors& set)
{
    return isUnsetBorder(c) ? set[ThemeSlot::Border] : c;
}

// The entities on a scene: an ERScene keeps its own list of them, which
// spares a walk over every row label of the diagram.
QList<EntityItem*> entitiesOn(QGraphicsScene* scene)
{
    if (auto* erScene = qobject_cast<ERScene*>(scene))
        return erScene->entityItems();
    QList<EntityItem*> entities;
    if (scene) {
        const QList<QGraphicsItem*> all = scene->items();
        for (QGraphicsItem* item : all) {
            if (item->type() == EntityItem::Type)
                entities.append(static_cast<EntityItem*>(item));
        }
    }
    return entities;
}

} // namespace

// ============================================================ construction

EntityItem::EntityItem(const QString& title, QSizeF size, QGraphicsItem* parent)
    : QGraphicsObject(parent)
    , m_rect(QPointF(0, 0), size)
    , m_title(title)
{
    setFlags(ItemIsMovable | ItemIsSelectable | ItemSendsGeometryChanges);
    setAcceptHoverEvents(true);
    setAcceptedMouseButtons(Qt::LeftButton | Qt::RightButton);

    m_fgLight = QColor(Qt::black);
    m_fgDark = QColor(Qt::lightGray);
    m_bgLight = m_bgDark = m_hdrLight = m_hdrDark = m_txtLight = m_txtDark = QColor(Qt::transparent);

    // Font and alignment first, so that the title is laid out once.
    m_titleLabel = new SingleLineTextItem(this);
    m_titleLabel->setFont(labelFont(QFont::Bold));
    m_titleLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    m_titleLabel->setInitialText(title);
    setLabelColor(m_titleLabel, currentTextColor());

    connect(&ThemeManager::instance(), &ThemeManager::themeChanged, this, &EntityItem::refreshColors);
    connect(m_titleLabel, &SingleLineTextItem::editingFinished, this, [this] { onTitleEditingFinished(); });

    relayoutRows();
}

EntityItem::~EntityItem()
{
    // Edges never outlive their entities: an entity that goes takes its
    // edges with it (the scene's clear removes them first, so then there
    // are none left here). Each edge is cut from this entity first so that
    // it touches only the other end on its way out.
    const QList<EdgeItem*> attached = m_edges;
    m_edges.clear();
    QSet<EdgeItem*> deleted;
    for (EdgeItem* edge : attached) {
        if (!edge || deleted.contains(edge))
            continue;
        deleted.insert(edge);
        edge->forgetEntity(this);
        delete edge;
    }
    // A drag that loses its entity ends its batch here.
    if (QGraphicsScene* s = scene()) {
        if (s->mouseGrabberItem() == this && EdgeItem::isBatchMode())
            EdgeItem::setBatchMode(false);
    }

    // The labels die with this item; nothing they emit on the way may reach
    // an entity that is half gone.
    if (m_titleLabel)
        m_titleLabel->blockSignals(true);
    for (SingleLineTextItem* label : std::as_const(m_nameLabels))
        label->blockSignals(true);
    for (SingleLineTextItem* label : std::as_const(m_typeLabels))
        label->blockSignals(true);

    // Leaving the scene from here on sends no scene change; the entity is no
    // obstacle of the routes any more.
    if (auto* erScene = qobject_cast<ERScene*>(scene()))
        erScene->unregisterEntity(this);
}

QRectF EntityItem::boundingRect() const
{
    return m_rect.adjusted(-3, -3, 3, 3);
}

QString EntityItem::id() const
{
    if (!m_id.isEmpty())
        return m_id;
    return QString::number(reinterpret_cast<quintptr>(this));
}

// ============================================================ text helpers

bool EntityItem::isBlankText(const QString& text)
{
    const QList<uint> codePoints = text.toUcs4();
    for (uint cp : codePoints) {
        const char32_t c = static_cast<char32_t>(cp);
        if (QChar::isSpace(c))
            continue;
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
            continue;
        default:
            return false;
        }
    }
    return true;
}

QString EntityItem::rightTrimmed(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

QString EntityItem::currentDialect() const
{
    if (auto* erScene = qobject_cast<ERScene*>(scene()))
        return erScene->dialect();
    return QString();
}

// ============================================================ appearance

void EntityItem::setTitle(const QString& title)
{
    const bool changed = title != m_title;
    if (changed)
        m_title = title;
    m_titleLabel->setPlainText(title);
    // The title keeps its face and alignment; giving them again would lay it
    // out twice more.
    const QFont font = labelFont(QFont::Bold);
    const Qt::Alignment alignment = Qt::AlignHCenter | Qt::AlignVCenter;
    if (m_titleLabel->font() != font || m_titleLabel->alignment() != alignment) {
        m_titleLabel->setFont(font);
        m_titleLabel->setAlignment(alignment);
    }
    relayoutRows();
    if (changed)
        emit titleChanged(m_title);
}

QString EntityItem::defaultEntityTitle() const
{
    const QString prefix = m_kind == ViewKind ? QStringLiteral("view_") : QStringLiteral("table_");
    QList<const EntityItem*> sameKind;
    const QList<EntityItem*> entities = entitiesOn(scene());
    for (const EntityItem* other : entities) {
        if ((other->kind() == ViewKind) == (m_kind == ViewKind))
            sameKind.append(other);
    }
    if (!sameKind.contains(this))
        sameKind.append(this);
    int n = static_cast<int>(sameKind.size()) + 1;
    const auto taken = [&](const QString& candidate) {
        for (const EntityItem* other : std::as_const(sameKind)) {
            if (other != this && other->title() == candidate)
                return true;
        }
        return false;
    };
    while (taken(prefix + QString::number(n)))
        ++n;
    return prefix + QString::number(n);
}

void EntityItem::onTitleEditingFinished()
{
    const QString text = m_titleLabel->toPlainText();
    setTitle(isBlankText(text) ? defaultEntityTitle() : text);
}

void EntityItem::setKind(int kind)
{
    if (kind == m_kind)
        return;
    m_kind = kind;
    if (m_kind == ViewKind) {
        for (Attribute& a : m_attributes) {
            a.isPrimaryKey = false;
            a.isUniqueKey = false;
            a.isForeignKey = false;
            a.fkEdgeId.clear();
            a.keyStyle = false;
        }
    }
    for (int i = 0; i < attributeCount(); ++i)
        styleRowLabels(i);
    relayoutRows();
}

void EntityItem::setDisplayMode(int mode)
{
    if (mode == m_displayMode)
        return;
    m_displayMode = mode;
    relayoutRows();
}

DualThemeColorScheme EntityItem::colors() const
{
    return {m_bgLight, m_hdrLight, m_fgLight, m_txtLight, m_bgDark, m_hdrDark, m_fgDark, m_txtDark};
}

DualThemeColorScheme EntityItem::effectiveColors() const
{
    const ThemeColors light = ThemeManager::lightColors();
    const ThemeColors dark = ThemeManager::darkColors();
    DualThemeColorScheme s;
    s.lightBackground = resolveFill(m_bgLight, light, ThemeSlot::EntityFill);
    s.lightHeader = resolveFill(m_hdrLight, light, ThemeSlot::EntityHeader);
    s.lightBorder = resolveBorder(m_fgLight, light);
    s.lightText = resolveFill(m_txtLight, light, ThemeSlot::Text);
    s.darkBackground = resolveFill(m_bgDark, dark, ThemeSlot::EntityFill);
    s.darkHeader = resolveFill(m_hdrDark, dark, ThemeSlot::EntityHeader);
    s.darkBorder = resolveBorder(m_fgDark, dark);
    s.darkText = resolveFill(m_txtDark, dark, ThemeSlot::Text);
    return s;
}

void EntityItem::setColors(const DualThemeColorScheme& colors)
{
    m_bgLight = colors.lightBackground;
    m_hdrLight = colors.lightHeader;
    m_fgLight = colors.lightBorder;
    m_txtLight = colors.lightText;
    m_bgDark = colors.darkBackground;
    m_hdrDark = colors.darkHeader;
    m_fgDark = colors.darkBorder;
    m_txtDark = colors.darkText;
    applyLabelColors();
    update();
}

void EntityItem::refreshColors()
{
    applyLabelColors();
    update();
}

QColor EntityItem::currentTextColor() const
{
    const ThemeManager& theme = ThemeManager::instance();
    const QColor stored = theme.isDark() ? m_txtDark : m_txtLight;
    return isUnsetFill(stored) ? theme.color(ThemeSlot::Text) : stored;
}

void EntityItem::applyLabelColors()
{
    // The labels take the colour for all text without a colour of its own,
    // which is all the text they ever hold.
    const QColor color = currentTextColor();
    setLabelColor(m_titleLabel, color);
    for (SingleLineTextItem* label : std::as_const(m_nameLabels))
        setLabelColor(label, color);
    for (SingleLineTextItem* label : std::as_const(m_typeLabels))
        setLabelColor(label, color);
    update();
}

// ============================================================ accessors

QString EntityItem::attributeName(int i) const
{
    return i >= 0 && i < attributeCount() ? m_attributes.at(i).name : QString();
}

QString EntityItem::attributeType(int i) const
{
    return i >= 0 && i < attributeCount() ? m_attributes.at(i).type : QString();
}

QString EntityItem::attributeFkEdgeId(int i) const
{
    return i >= 0 && i < attributeCount() ? m_attributes.at(i).fkEdgeId : QString();
}

bool EntityItem::attributeIsPrimaryKey(int i) const
{
    return i >= 0 && i < attributeCount() && m_attributes.at(i).isPrimaryKey;
}

bool EntityItem::attributeIsUniqueKey(int i) const
{
    return i >= 0 && i < attributeCount() && m_attributes.at(i).isUniqueKey;
}

bool EntityItem::attributeIsForeignKey(int i) const
{
    return i >= 0 && i < attributeCount() && m_attributes.at(i).isForeignKey;
}

bool EntityItem::attributeIsInherited(int i) const
{
    return i >= 0 && i < attributeCount() && m_attributes.at(i).inherited;
}

bool EntityItem::isAttributeVisible(int i) const
{
    if (i < 0 || i >= attributeCount())
        return false;
    const Attribute& a = m_attributes.at(i);
    switch (m_displayMode) {
    case FullMode:
        return true;
    case NamePrimaryForeignMode:
        return a.isPrimaryKey || a.isForeignKey;
    case NamePrimaryMode:
        return a.isPrimaryKey;
    case NameMode:
        return false;
    default:
        return true;
    }
}

int EntityItem::visibleAttributeCount() const
{
    int n = 0;
    for (int i = 0; i < attributeCount(); ++i) {
        if (isAttributeVisible(i))
            ++n;
    }
    return n;
}

SingleLineTextItem* EntityItem::nameLabel(int row) const
{
    return row >= 0 && row < m_nameLabels.size() ? m_nameLabels.at(row) : nullptr;
}

SingleLineTextItem* EntityItem::typeLabel(int row) const
{
    return row >= 0 && row < m_typeLabels.size() ? m_typeLabels.at(row) : nullptr;
}

int EntityItem::rowOfLabel(const SingleLineTextItem* label) const
{
    if (!label)
        return -1;
    for (int i = 0; i < m_nameLabels.size(); ++i) {
        if (m_nameLabels.at(i) == label)
            return i;
    }
    for (int i = 0; i < m_typeLabels.size(); ++i) {
        if (m_typeLabels.at(i) == label)
            return i;
    }
    return -1;
}

QList<QPair<QString, QString>> EntityItem::primaryKeyAttributes() const
{
    QList<QPair<QString, QString>> keys;
    for (const Attribute& a : m_attributes) {
        if (a.isPrimaryKey)
            keys.append({a.name, a.type});
    }
    return keys;
}

int EntityItem::indexOfAttribute(const QString& name, int exceptRow) const
{
    for (int i = 0; i < attributeCount(); ++i) {
        if (i != exceptRow && m_attributes.at(i).name == name)
            return i;
    }
    return -1;
}

QString EntityItem::uniqueAttributeName(const QString& name, int exceptRow) const
{
    if (indexOfAttribute(name, exceptRow) < 0)
        return name;
    int n = 2;
    while (indexOfAttribute(name + QLatin1Char('_') + QString::number(n), exceptRow) >= 0)
        ++n;
    return name + QLatin1Char('_') + QString::number(n);
}

QString EntityItem::freeColumnName(int exceptRow) const
{
    int n = attributeCount() + 1;
    while (indexOfAttribute(QStringLiteral("column_") + QString::number(n), exceptRow) >= 0)
        ++n;
    return QStringLiteral("column_") + QString::number(n);
}

QString EntityItem::defaultTypeForRow(int row) const
{
    if (row < 0 || row >= attributeCount())
        return QString();
    const Attribute& a = m_attributes.at(row);
    if (a.isForeignKey) {
        const QString referenced = referencedKeyType(row);
        if (!referenced.isEmpty())
            return referenced;
    }
    if (a.isPrimaryKey)
        return defaultKeyType(currentDialect());
    return QStringLiteral("undefined");
}

// ============================================================ rows

SingleLineTextItem* EntityItem::createRowLabel(bool isType, const QFont& font)
{
    auto* label = new SingleLineTextItem(this);
    label->setFont(font);
    label->placeholderText = isType ? QStringLiteral("type") : QStringLiteral("column_name");
    if (isType)
        label->setAlignment(Qt::AlignRight);
    label->dragEnabled = true;
    label->completionEnabled = isType;
    setLabelColor(label, currentTextColor());
    connect(label, &SingleLineTextItem::editingFinished, this,
            qOverload<SingleLineTextItem*, bool, bool>(&EntityItem::onAttributeEditingFinished));
    connect(label, &SingleLineTextItem::newAttributeRequested, this, &EntityItem::onNewAttributeRequested);
    connect(label, &SingleLineTextItem::dragStarted, this, &EntityItem::onAttributeDragStarted);
    return label;
}

void EntityItem::addAttribute(const QString& name, const QString& type, bool isPrimaryKey, bool isUniqueKey,
                              bool isForeignKey, bool inherited)
{
    insertOrUpdateAttribute(name, type, isPrimaryKey, isUniqueKey, isForeignKey, inherited);
}

int EntityItem::insertOrUpdateAttribute(const QString& name, const QString& type, bool pk, bool uk, bool fk,
                                        bool inherited)
{
    const QString trimmed = rightTrimmed(name);
    const bool storedInherited = m_kind == ViewKind && inherited;

    if (const int i = indexOfAttribute(trimmed); i >= 0) {
        Attribute& a = m_attributes[i];
        a.type = type;
        if (fk && !pk && !uk) {
            a.isForeignKey = true;
        } else {
            a.isPrimaryKey = pk;
            a.isUniqueKey = uk;
            a.isForeignKey = fk;
        }
        a.keyStyle = a.isPrimaryKey || a.isUniqueKey;
        m_nameLabels.at(i)->setPlainText(a.name);
        m_typeLabels.at(i)->setPlainText(a.type);
        styleRowLabels(i);
        if (m_layoutDeferred == 0)
            relayoutRows();
        emit structureChanged();
        return i;
    }

    Attribute a;
    a.name = trimmed;
    a.type = type;
    a.isPrimaryKey = pk;
    a.isUniqueKey = uk;
    a.isForeignKey = fk;
    a.keyStyle = pk || uk;
    a.inherited = storedInherited;
    m_attributes.append(a);

    // The labels get the row's face before their text, which is then laid
    // out once; styling them below changes nothing more.
    const QFont font = rowLabelFont(a, m_kind);
    SingleLineTextItem* nameItem = createRowLabel(false, font);
    SingleLineTextItem* typeItem = createRowLabel(true, font);
    nameItem->setInitialText(a.name);
    typeItem->setInitialText(a.type);
    if (fk) {
        connect(nameItem, &SingleLineTextItem::fkAttributeClicked, this, &EntityItem::onFkAttributeClicked,
                Qt::UniqueConnection);
        connect(typeItem, &SingleLineTextItem::fkAttributeClicked, this, &EntityItem::onFkAttributeClicked,
                Qt::UniqueConnection);
    }
    m_nameLabels.append(nameItem);
    m_typeLabels.append(typeItem);

    const int row = attributeCount() - 1;
    styleRowLabels(row);
    // The new labels took the current text colour when they were made.
    if (m_layoutDeferred == 0)
        relayoutRows();
    emit structureChanged();
    return row;
}

void EntityItem::styleRowLabels(int row)
{
    if (row < 0 || row >= attributeCount() || row >= m_nameLabels.size() || row >= m_typeLabels.size())
        return;
    const Attribute& a = m_attributes.at(row);
    const QFont font = rowLabelFont(a, m_kind);
    setLabelFont(m_nameLabels.at(row), font);
    setLabelFont(m_typeLabels.at(row), font);
    m_nameLabels.at(row)->setUnderlined(a.isPrimaryKey && m_kind == TableKind);
    m_typeLabels.at(row)->setUnderlined(false);
}

void EntityItem::removeRowAt(int row)
{
    if (row < 0 || row >= attributeCount())
        return;
    if (row == m_highlightedRow)
        clearRowHighlight();
    else if (m_highlightedRow > row)
        --m_highlightedRow;
    if (m_dragSourceIndex == row) {
        m_dragging = false;
        m_dragSourceIndex = -1;
        m_dropIndex = -1;
        m_dragLabel = nullptr;
    }

    m_attributes.removeAt(row);
    SingleLineTextItem* labels[] = {m_nameLabels.takeAt(row), m_typeLabels.takeAt(row)};
    for (SingleLineTextItem* label : labels) {
        // The label may be the one whose signal led here, so it goes after
        // the event; until then it is off the canvas and silent.
        label->blockSignals(true);
        label->hide();
        label->setParentItem(nullptr);
        if (label->scene())
            label->scene()->removeItem(label);
        label->deleteLater();
    }
}

void EntityItem::ensureKeyRow()
{
    if (m_kind == TableKind && m_attributes.isEmpty())
        addAttribute(m_title + QStringLiteral("_id"), defaultKeyType(currentDialect()), true, false, false, false);
}

bool EntityItem::removeAttributeForLabel(SingleLineTextItem* label)
{
    const int row = rowOfLabel(label);
    if (row < 0)
        return false;
    removeRowAt(row);
    ensureKeyRow();
    relayoutRows();
    // The model drops the row's column at once, so that nothing written
    // before the next edit still holds it.
    emit structureChanged();
    return true;
}

void EntityItem::removeAttribute(const QString& name)
{
    int row = indexOfAttribute(name);
    if (row < 0)
        return;
    const QString edgeId = m_attributes.at(row).fkEdgeId;

    deleteEdgesDependingOnRow(row);

    // Deleting an edge can take its foreign-key rows with it, this one
    // included, and shift the others: find the row again and remove it only
    // when it is still there.
    row = -1;
    for (int i = 0; i < attributeCount(); ++i) {
        if (m_attributes.at(i).name == name && m_attributes.at(i).fkEdgeId == edgeId) {
            row = i;
            break;
        }
    }
    if (row >= 0)
        removeRowAt(row);
    ensureKeyRow();
    relayoutRows();
    emit structureChanged();
}

void EntityItem::setAttributeName(int row, const QString& name)
{
    if (row < 0 || row >= attributeCount())
        return;
    QString trimmed = rightTrimmed(name);
    if (trimmed.isEmpty())
        return;
    trimmed = uniqueAttributeName(trimmed, row);
    Attribute& a = m_attributes[row];
    if (trimmed == a.name)
        return;
    const QString oldName = a.name;
    a.name = trimmed;
    m_nameLabels.at(row)->setPlainText(trimmed);
    relayoutRows();
    emit attributeEdited(row, oldName, a.name, a.type);
}

void EntityItem::setAttributeType(int row, const QString& type)
{
    if (row < 0 || row >= attributeCount())
        return;
    Attribute& a = m_attributes[row];
    if (a.type == type && m_typeLabels.at(row)->toPlainText() == type)
        return;
    a.type = type;
    m_typeLabels.at(row)->setPlainText(type);
    styleRowLabels(row);
    relayoutRows();
    if (m_attributes.at(row).isPrimaryKey)
        propagateKeyType(row);
    if (row < attributeCount())
        emit attributeEdited(row, m_attributes.at(row).name, m_attributes.at(row).name, m_attributes.at(row).type);
}

void EntityItem::setAttributeKeyFlags(int row, bool isPrimaryKey, bool isUniqueKey)
{
    if (m_kind != TableKind || row < 0 || row >= attributeCount())
        return;
    Attribute& a = m_attributes[row];
    if (a.isPrimaryKey == isPrimaryKey && a.isUniqueKey == isUniqueKey)
        return;
    a.isPrimaryKey = isPrimaryKey;
    a.isUniqueKey = isUniqueKey;
    a.keyStyle = isPrimaryKey || isUniqueKey;
    styleRowLabels(row);
    // A bold face is wider; the box follows.
    relayoutRows();
}

void EntityItem::inheritAttributesFrom(EntityItem* source, const QString& edgeId)
{
    if (m_kind != ViewKind || !source || source == this)
        return;
    if (!edgeId.isEmpty()) {
        for (const Attribute& a : std::as_const(m_attributes)) {
            if (a.fkEdgeId == edgeId)
                return;
        }
    }
    const QList<Attribute> rows = source->attributes();
    for (const Attribute& a : rows) {
        if (a.name.isEmpty())
            continue;
        const int row = insertOrUpdateAttribute(uniqueAttributeName(a.name), a.type, a.isPrimaryKey,
                                                a.isUniqueKey, a.isForeignKey, true);
        if (!edgeId.isEmpty() && row >= 0 && row < attributeCount())
            m_attributes[row].fkEdgeId = edgeId;
    }
}

void EntityItem::moveAttribute(int from, int to)
{
    const int count = attributeCount();
    if (from < 0 || from >= count || to < 0 || to >= count || from == to)
        return;
    m_attributes.move(from, to);
    m_nameLabels.move(from, to);
    m_typeLabels.move(from, to);
    if (m_highlightedRow == from)
        m_highlightedRow = to;
    else if (from < to && m_highlightedRow > from && m_highlightedRow <= to)
        --m_highlightedRow;
    else if (to < from && m_highlightedRow >= to && m_highlightedRow < from)
        ++m_highlightedRow;
    refreshLastRowMarks();
    styleRowLabels(to);
    layoutLabels();
    update();
    emit structureChanged();
    qDebug() << "Attribute moved from" << from << "to" << to;
}

// ============================================================ layout

void EntityItem::applyLabelVisibility()
{
    const int n = static_cast<int>(std::min(m_nameLabels.size(), m_typeLabels.size()));
    for (int i = 0; i < n; ++i) {
        const bool visible = isAttributeVisible(i);
        m_nameLabels.at(i)->setVisible(visible);
        m_typeLabels.at(i)->setVisible(visible);
    }
}

void EntityItem::refreshLastRowMarks()
{
    int last = -1;
    for (int i = attributeCount() - 1; i >= 0; --i) {
        if (isAttributeVisible(i)) {
            last = i;
            break;
        }
    }
    for (int i = 0; i < m_nameLabels.size(); ++i)
        m_nameLabels.at(i)->inLastRow = i == last;
    for (int i = 0; i < m_typeLabels.size(); ++i)
        m_typeLabels.at(i)->inLastRow = i == last;
}

void EntityItem::relayoutRows()
{
    applyLabelVisibility();
    refreshLastRowMarks();

    // Back to the natural width; setting it again when it already is would
    // lay the label's document out for nothing.
    const auto naturalWidth = [](SingleLineTextItem* label) {
        if (label->QGraphicsTextItem::textWidth() != -1)
            label->setTextWidth(-1);
    };
    for (SingleLineTextItem* label : std::as_const(m_nameLabels))
        naturalWidth(label);
    for (SingleLineTextItem* label : std::as_const(m_typeLabels))
        naturalWidth(label);
    naturalWidth(m_titleLabel);

    const RowExtent rows = visibleRowExtent();
    const qreal titleWidth = m_titleLabel->boundingRect().width();
    qreal width = std::max(titleWidth + 20, MinimumWidth);
    qreal height = 40;
    if (rows.visible > 0) {
        width = std::max(20 + std::max(rows.nameWidth + 16 + rows.typeWidth, titleWidth), MinimumWidth);
        height = rows.visible * RowHeight + 45;
    }
    if (!qFuzzyCompare(width, m_rect.width()) || !qFuzzyCompare(height, m_rect.height())) {
        prepareGeometryChange();
        m_rect = QRectF(0, 0, width, height);
    }

    layoutLabels();
    updateAttachedEdges();
    update();
}

EntityItem::RowExtent EntityItem::visibleRowExtent() const
{
    RowExtent extent;
    const int n = static_cast<int>(std::min(m_nameLabels.size(), m_typeLabels.size()));
    for (int i = 0; i < n; ++i) {
        if (!isAttributeVisible(i))
            continue;
        ++extent.visible;
        extent.nameWidth = std::max(extent.nameWidth, m_nameLabels.at(i)->textWidth());
        extent.typeWidth = std::max(extent.typeWidth, m_typeLabels.at(i)->textWidth());
    }
    return extent;
}

void EntityItem::layoutLabels()
{
    applyLabelVisibility();
    const int n = static_cast<int>(std::min(m_nameLabels.size(), m_typeLabels.size()));

    const RowExtent rows = visibleRowExtent();
    if (rows.nameWidth > 0 || rows.typeWidth > 0) {
        const qreal needed = std::max(rows.nameWidth + 12 + rows.typeWidth, m_titleLabel->boundingRect().width());
        if (needed + 20 > m_rect.width()) {
            prepareGeometryChange();
            m_rect.setWidth(needed + 20);
        }
    }

    const qreal width = m_rect.width();
    const qreal titleHeight = QFontMetricsF(m_titleLabel->font()).height();
    m_titleLabel->setPos(std::max((width - m_titleLabel->textWidth()) / 2, TextMargin),
                         std::max((HeaderHeight - titleHeight) / 2, 2.0));

    qreal y = FirstRowY;
    for (int i = 0; i < n; ++i) {
        if (!isAttributeVisible(i))
            continue;
        SingleLineTextItem* nameItem = m_nameLabels.at(i);
        SingleLineTextItem* typeItem = m_typeLabels.at(i);
        nameItem->setPos(TextMargin, y);
        const qreal nameWidth = nameItem->textWidth();
        const qreal typeWidth = typeItem->textWidth();
        typeItem->setPos(std::max(TextMargin + nameWidth + 12, width - TextMargin - typeWidth), y);
        y += RowHeight;
    }
}

// ============================================================ editing

void EntityItem::startEditingLabel(SingleLineTextItem* label)
{
    if (label)
        label->startEditing();
}

void EntityItem::onAttributeEditingFinished(SingleLineTextItem* item, bool viaTab)
{
    onAttributeEditingFinished(item, viaTab, false);
}

void EntityItem::onAttributeEditingFinished(SingleLineTextItem* item)
{
    onAttributeEditingFinished(item, false, false);
}

void EntityItem::onAttributeEditingFinished(SingleLineTextItem* item, bool viaTab, bool viaBacktab)
{
    qDebug() << "onAttributeEditingFinished, viaTab:" << viaTab << "viaBacktab:" << viaBacktab;
    int row = m_nameLabels.indexOf(item);
    const bool isName = row >= 0;
    if (!isName)
        row = m_typeLabels.indexOf(item);
    if (row < 0 || row >= attributeCount())
        return;

    Attribute& a = m_attributes[row];
    const QString oldName = a.name;
    const QString oldType = a.type;

    if (isName) {
        const QString text = rightTrimmed(item->toPlainText());
        bool typeSet = false;
        QString newName;
        if (isBlankText(text)) {
            const int count = attributeCount();
            if (m_kind == TableKind && (count == 1 || a.isPrimaryKey)) {
                int keyRows = 0;
                for (const Attribute& other : std::as_const(m_attributes))
                    keyRows += other.isPrimaryKey ? 1 : 0;
                QString base = m_title + QStringLiteral("_id");
                if (count > 1 && keyRows >= 2)
                    base += QLatin1Char('_') + QString::number(row + 1);
                newName = uniqueAttributeName(base, row);
                if (count == 1) {
                    a.isPrimaryKey = true;
                    a.keyStyle = true;
                    a.type = defaultKeyType(currentDialect());
                    m_typeLabels.at(row)->setPlainText(a.type);
                    typeSet = true;
                }
            } else {
                newName = freeColumnName(row);
            }
        } else {
            // Two rows of one name would collapse into one when the diagram
            // is saved and read again.
            newName = uniqueAttributeName(text, row);
        }
        a.name = newName;
        if (item->toPlainText() != newName)
            item->setPlainText(newName);
        if (!typeSet) {
            const QString typed = m_typeLabels.at(row)->toPlainText();
            a.type = isBlankText(typed) ? defaultTypeForRow(row) : typed;
            if (typed != a.type)
                m_typeLabels.at(row)->setPlainText(a.type);
        }
    } else {
        const QString typed = item->toPlainText();
        a.type = isBlankText(typed) ? defaultTypeForRow(row) : typed;
        if (typed != a.type)
            item->setPlainText(a.type);
    }

    styleRowLabels(row);
    const QString newName = a.name;
    const QString newType = a.type;
    if (m_attributes.at(row).isPrimaryKey)
        propagateKeyType(row);
    if (newName != oldName || newType != oldType)
        emit attributeEdited(row, oldName, newName, newType);
    relayoutRows();

    // Whatever reacted to the edit may have changed the rows.
    if (row >= attributeCount())
        return;
    if (viaBacktab) {
        if (!isName) {
            if (isAttributeVisible(row))
                startEditingLabel(m_nameLabels.at(row));
        } else {
            for (int r = row - 1; r >= 0; --r) {
                if (isAttributeVisible(r)) {
                    startEditingLabel(m_typeLabels.at(r));
                    break;
                }
            }
        }
    } else if (viaTab) {
        if (isName) {
            if (isAttributeVisible(row))
                startEditingLabel(m_typeLabels.at(row));
        } else {
            for (int r = row + 1; r < attributeCount(); ++r) {
                if (isAttributeVisible(r)) {
                    startEditingLabel(m_nameLabels.at(r));
                    return;
                }
            }
            onNewAttributeRequested();
        }
    }
}

void EntityItem::onNewAttributeRequested()
{
    qDebug() << "onNewAttributeRequested called";
    if (m_displayMode != FullMode)
        setDisplayMode(FullMode);
    const int row = insertOrUpdateAttribute(freeColumnName(), QStringLiteral("undefined"), false, false, false,
                                            false);
    if (row >= 0 && row < m_nameLabels.size())
        startEditingLabel(m_nameLabels.at(row));
}

// ============================================================ highlight

void EntityItem::clearRowHighlight()
{
    m_highlightedRow = -1;
    for (SingleLineTextItem* label : std::as_const(m_nameLabels)) {
        if (label->focusFrame) {
            label->focusFrame = false;
            label->update();
        }
    }
    for (SingleLineTextItem* label : std::as_const(m_typeLabels)) {
        if (label->focusFrame) {
            label->focusFrame = false;
            label->update();
        }
    }
}

void EntityItem::updateRowHighlight(SingleLineTextItem* label, bool focused)
{
    if (focused) {
        const QList<EntityItem*> entities = entitiesOn(scene());
        for (EntityItem* other : entities) {
            if (other != this)
                other->clearRowHighlight();
        }
        clearRowHighlight();
        const int row = rowOfLabel(label);
        if (row < 0)
            return;
        m_highlightedRow = row;
        m_nameLabels.at(row)->focusFrame = true;
        m_typeLabels.at(row)->focusFrame = true;
        m_nameLabels.at(row)->update();
        m_typeLabels.at(row)->update();
        return;
    }
    // Focus often moves straight to the next cell of this entity; look once
    // the move is complete.
    QTimer::singleShot(0, this, [this] {
        bool anyFocus = m_titleLabel && m_titleLabel->hasFocus();
        for (SingleLineTextItem* l : std::as_const(m_nameLabels))
            anyFocus = anyFocus || l->hasFocus();
        for (SingleLineTextItem* l : std::as_const(m_typeLabels))
            anyFocus = anyFocus || l->hasFocus();
        if (!anyFocus)
            clearRowHighlight();
    });
}

void EntityItem::onLabelSelectionChanged(SingleLineTextItem* label, bool selected)
{
    const int row = rowOfLabel(label);
    if (row >= 0)
        setRowEdgesSelected(row, selected);
}

// ============================================================ row drag

int EntityItem::dropIndexAt(const QPointF& itemPos) const
{
    const int count = attributeCount();
    if (count == 0)
        return 0;
    QList<int> visible;
    for (int i = 0; i < count; ++i) {
        if (isAttributeVisible(i))
            visible.append(i);
    }
    if (visible.isEmpty())
        return count;
    const qreal y = itemPos.y();
    if (y < FirstRowY)
        return visible.first();
    if (y > FirstRowY + RowHeight * visible.size())
        return count;
    int k = static_cast<int>(std::floor((y - FirstRowY) / RowHeight));
    if (y - FirstRowY - RowHeight * k >= RowHeight / 2)
        ++k;
    return k < visible.size() ? visible.at(k) : count;
}

void EntityItem::onAttributeDragStarted(SingleLineTextItem* item, QPointF scenePos)
{
    int row = m_nameLabels.indexOf(item);
    if (row < 0)
        row = m_typeLabels.indexOf(item);
    if (row < 0)
        return;
    qDebug() << "Drag started for attribute at index:" << row;
    m_dragging = true;
    m_dragLabel = item;
    m_dragSourceIndex = row;
    m_dragPos = mapFromScene(scenePos);
    m_dropIndex = dropIndexAt(m_dragPos);
    m_nameLabels.at(row)->setOpacity(0.35);
    m_typeLabels.at(row)->setOpacity(0.35);
    setCursor(Qt::ClosedHandCursor);
    update();
}

void EntityItem::onAttributeDragMoved(QPointF localPos)
{
    if (!m_dragging)
        return;
    m_dropIndex = dropIndexAt(localPos);
    update();
}

void EntityItem::finishAttributeDrag()
{
    if (!m_dragging)
        return;
    const int from = m_dragSourceIndex;
    const int drop = m_dropIndex;
    const int count = attributeCount();
    if (from >= 0 && from < count && drop != from && drop != from + 1) {
        const int to = std::clamp(drop > from ? drop - 1 : drop, 0, count - 1);
        qDebug() << "Moving attribute from" << from << "to" << to;
        moveAttribute(from, to);
    }
    for (SingleLineTextItem* label : std::as_const(m_nameLabels))
        label->setOpacity(1.0);
    for (SingleLineTextItem* label : std::as_const(m_typeLabels))
        label->setOpacity(1.0);
    m_dragging = false;
    m_dragSourceIndex = -1;
    m_dropIndex = -1;
    m_dragLabel = nullptr;
    unsetCursor();
    update();
}

// ============================================================ edges

void EntityItem::attachEdge(EdgeItem* edge)
{
    m_edges.append(edge);
}

void EntityItem::removeEdge(EdgeItem* edge)
{
    m_edges.removeAll(edge);
}

void EntityItem::updateAttachedEdges()
{
    if (EdgeItem::isRoutingSuspended())
        return;
    for (SlotItem* slot : std::as_const(m_slots)) {
        slot->snapToBorderAt();
        slot->snapToBorder();
    }
    // A copy: routing never changes the list, but nothing here relies on it.
    const QList<EdgeItem*> attached = m_edges;
    for (qsizetype i = 0; i < attached.size(); ++i) {
        EdgeItem* edge = attached.at(i);
        // A self-relation stands here twice in a row; one update serves both.
        if (!edge || (i > 0 && attached.at(i - 1) == edge))
            continue;
        edge->scheduleUpdate();
    }
}

// ------------------------------------------------------------ slot handles

SlotItem* EntityItem::acquireFreeSlot()
{
    for (SlotItem* slot : std::as_const(m_slots)) {
        if (!slot->edge())
            return slot;
    }
    const int count = static_cast<int>(m_slots.size());
    auto* slot = new SlotItem(this);
    slot->setPos(8, 20.0 * count + 38);
    slot->snapToBorderAt();
    m_slots.append(slot);
    return slot;
}

SlotItem* EntityItem::acquireSlotForEdge(int side, QPointF pos)
{
    SlotItem* slot = nullptr;
    for (SlotItem* candidate : std::as_const(m_slots)) {
        if (!candidate->edge()) {
            slot = candidate;
            break;
        }
    }
    if (!slot) {
        slot = new SlotItem(this);
        m_slots.append(slot);
    }
    slot->setSide(side);
    slot->setPos(pos);
    slot->snapToBorder();
    return slot;
}

SlotItem* EntityItem::slotForEdgeAt(QPointF scenePos)
{
    const QRectF box = mapRectToScene(m_rect);
    const QPointF d = scenePos - box.center();
    int side;
    QPointF at;
    if (std::abs(d.x()) > std::abs(d.y())) {
        side = d.x() > 0 ? SlotRight : SlotLeft;
        at = QPointF(side == SlotRight ? box.right() : box.left(), box.center().y());
    } else {
        side = d.y() > 0 ? SlotBottom : SlotTop;
        at = QPointF(box.center().x(), side == SlotBottom ? box.bottom() : box.top());
    }
    return acquireSlotForEdge(side, mapFromScene(at));
}

void EntityItem::releaseSlot(SlotItem* slot)
{
    if (!slot || !m_slots.contains(slot))
        return;
    slot->setEdge(nullptr);
    slot->setActive(false);
}

// ------------------------------------------------------------ foreign-key rows

void EntityItem::addForeignKeyAttribute(const QString& name, const QString& type, const QString& edgeId,
                                        const QString& suffix)
{
    if (m_kind != TableKind)
        return;
    const QString wanted = suffix.isEmpty() ? name : name + suffix;
    const int row = insertOrUpdateAttribute(uniqueAttributeName(rightTrimmed(wanted)), type, false, false, true,
                                            false);
    if (row >= 0 && row < attributeCount())
        m_attributes[row].fkEdgeId = edgeId;
}

void EntityItem::markAttributeForeignKey(int row, const QString& edgeId)
{
    if (!edgeId.isEmpty())
        setAttributeForeignKey(row, edgeId);
}

void EntityItem::setAttributeForeignKey(int row, const QString& edgeId)
{
    if (m_kind != TableKind || row < 0 || row >= attributeCount())
        return;
    Attribute& a = m_attributes[row];
    if (a.isForeignKey && a.fkEdgeId == edgeId)
        return;
    a.isForeignKey = true;
    a.fkEdgeId = edgeId;
    styleRowLabels(row);
    applyLabelColors();
    for (SingleLineTextItem* label : {m_nameLabels.at(row), m_typeLabels.at(row)})
        connect(label, &SingleLineTextItem::fkAttributeClicked, this, &EntityItem::onFkAttributeClicked,
                Qt::UniqueConnection);
    relayoutRows();
}

void EntityItem::removeForeignKeyAttributesOfEdge(const QString& edgeId)
{
    QList<int> rows;
    for (int i = 0; i < attributeCount(); ++i) {
        const Attribute& a = m_attributes.at(i);
        if (a.isForeignKey && a.fkEdgeId == edgeId)
            rows.append(i);
    }
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : std::as_const(rows))
        removeRowAt(row);
    relayoutRows();
}

QList<int> EntityItem::rowsLinkedToEdge(const EdgeItem* edge) const
{
    QList<int> rows;
    if (!edge)
        return rows;
    const QString& id = edge->id();
    if (!id.isEmpty()) {
        for (int i = 0; i < attributeCount(); ++i) {
            const Attribute& a = m_attributes.at(i);
            if (a.fkEdgeId == id && (a.isForeignKey || a.inherited))
                rows.append(i);
        }
    }
    if (!rows.isEmpty() || !edge->fromEntity())
        return rows;
    const QList<QPair<QString, QString>> keys = edge->fromEntity()->primaryKeyAttributes();
    for (int i = 0; i < attributeCount(); ++i) {
        const Attribute& a = m_attributes.at(i);
        if (a.isForeignKey && keys.contains(qMakePair(a.name, a.type)))
            rows.append(i);
    }
    return rows;
}

void EntityItem::highlightEdgeRows(EdgeItem* edge, bool on)
{
    const QList<int> rows = rowsLinkedToEdge(edge);
    for (int row : rows) {
        for (SingleLineTextItem* label : {nameLabel(row), typeLabel(row)}) {
            if (label && label->highlighted != on) {
                label->highlighted = on;
                label->update();
            }
        }
    }
}

namespace {

// Each edge once, in list order (a self-relation stands in the list twice).
QList<EdgeItem*> distinctEdges(const QList<EdgeItem*>& edges)
{
    QList<EdgeItem*> result;
    for (EdgeItem* edge : edges) {
        if (edge && !result.contains(edge))
            result.append(edge);
    }
    return result;
}

bool hasPrimaryKey(const EntityItem* entity, const QString& name, const QString& type)
{
    return entity && entity->primaryKeyAttributes().contains(qMakePair(name, type));
}

} // namespace

// The edges linked to a row. A foreign-key row: its edge by id, or, for a
// row without one, the edges ending here whose "from" entity has a primary
// key of the row's name and type. A primary-key row: the edges starting
// here. For deletion an edge found by id must also end here, and a row that
// is both loses the edges of both kinds; for selection a row that is both
// only takes its foreign-key edges.
static QList<EdgeItem*> edgesOfRow(const EntityItem* entity, const EntityItem::Attribute& a, bool forDeletion)
{
    QList<EdgeItem*> result;
    const QList<EdgeItem*> edges = distinctEdges(entity->edges());
    if (a.isForeignKey) {
        for (EdgeItem* edge : edges) {
            bool linked;
            if (a.fkEdgeId.isEmpty())
                linked = edge->toEntity() == entity && hasPrimaryKey(edge->fromEntity(), a.name, a.type);
            else
                linked = edge->id() == a.fkEdgeId && (!forDeletion || edge->toEntity() == entity);
            if (linked)
                result.append(edge);
        }
    }
    if (a.isPrimaryKey && (forDeletion || !a.isForeignKey)) {
        for (EdgeItem* edge : edges) {
            if (edge->fromEntity() == entity && !result.contains(edge))
                result.append(edge);
        }
    }
    return result;
}

void EntityItem::deleteEdgesDependingOnRow(int row)
{
    if (row < 0 || row >= attributeCount())
        return;
    const QList<EdgeItem*> doomed = edgesOfRow(this, m_attributes.at(row), true);
    for (EdgeItem* edge : doomed) {
        // An earlier deletion cannot take another edge with it, but only an
        // edge still attached is certainly alive.
        if (m_edges.contains(edge))
            delete edge;
    }
}

void EntityItem::setRowEdgesSelected(int row, bool selected)
{
    if (row < 0 || row >= attributeCount())
        return;
    const Attribute& a = m_attributes.at(row);
    const QList<EdgeItem*> edges = edgesOfRow(this, a, false);
    for (EdgeItem* edge : edges)
        edge->setSelected(selected);
}

QString EntityItem::referencedKeyType(int row) const
{
    if (row < 0 || row >= attributeCount())
        return QString();
    const Attribute& a = m_attributes.at(row);
    EdgeItem* edge = nullptr;
    for (EdgeItem* candidate : m_edges) {
        if (!candidate || candidate->toEntity() != this)
            continue;
        if (!a.fkEdgeId.isEmpty()) {
            if (candidate->id() == a.fkEdgeId) {
                edge = candidate;
                break;
            }
        } else if (rowsLinkedToEdge(candidate).contains(row)) {
            edge = candidate;
            break;
        }
    }
    if (!edge || !edge->fromEntity())
        return QString();
    const QList<QPair<QString, QString>> keys = edge->fromEntity()->primaryKeyAttributes();
    for (const auto& key : keys) {
        if (key.first == a.name)
            return key.second;
    }
    const int position = static_cast<int>(rowsLinkedToEdge(edge).indexOf(row));
    if (position < 0 || position >= keys.size())
        return QString();
    return keys.at(position).second;
}

void EntityItem::propagateKeyType(int row)
{
    if (row < 0 || row >= attributeCount() || !m_attributes.at(row).isPrimaryKey)
        return;
    const QString name = m_attributes.at(row).name;
    const QString type = m_attributes.at(row).type;
    int k = 0;
    for (int i = 0; i < row; ++i)
        k += m_attributes.at(i).isPrimaryKey ? 1 : 0;
    const QList<EdgeItem*> edges = distinctEdges(m_edges);
    for (EdgeItem* edge : edges) {
        EntityItem* target = edge->toEntity();
        if (edge->fromEntity() != this || !target)
            continue;
        const QList<int> linked = target->rowsLinkedToEdge(edge);
        int match = -1;
        for (int r : linked) {
            if (target->attributeName(r) == name) {
                match = r;
                break;
            }
        }
        if (match < 0 && k < linked.size())
            match = linked.at(k);
        // The guard stops a self-relation whose key row is its own target.
        if (match >= 0 && !(target == this && match == row))
            target->setAttributeType(match, type);
    }
}

void EntityItem::onFkAttributeClicked(SingleLineTextItem* item)
{
    const int row = rowOfLabel(item);
    if (row < 0)
        return;
    const QList<EdgeItem*> edges = distinctEdges(m_edges);
    for (EdgeItem* edge : edges) {
        if (rowsLinkedToEdge(edge).contains(row))
            edge->setSelected(!edge->isSelected());
    }
}

bool EntityItem::canMoveSelectionAsBatch(QGraphicsScene* scene)
{
    if (!scene)
        return false;
    int entities = 0;
    EntityItem* onlyEntity = nullptr;
    QList<EdgeItem*> edges;
    const QList<QGraphicsItem*> selected = scene->selectedItems();
    for (QGraphicsItem* item : selected) {
        if (item->type() == DiagramItemType::Entity) {
            ++entities;
            onlyEntity = static_cast<EntityItem*>(item);
        } else if (item->type() == DiagramItemType::Edge) {
            edges.append(static_cast<EdgeItem*>(item));
        }
    }
    if (entities >= 2 && !edges.isEmpty())
        return true;
    if (entities != 1 || edges.isEmpty())
        return false;
    // One entity with only its own self-relations selected moves as a batch.
    for (const EdgeItem* edge : std::as_const(edges)) {
        if (edge->fromEntity() != onlyEntity || edge->toEntity() != onlyEntity)
            return false;
    }
    return true;
}

// ============================================================ item events

QVariant EntityItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    // The scene keeps a list of its entities for the routes' obstacle
    // look-ups: out before leaving, in once arrived.
    if (change == ItemSceneChange) {
        if (auto* erScene = qobject_cast<ERScene*>(scene()))
            erScene->unregisterEntity(this);
    } else if (change == ItemSceneHasChanged) {
        if (auto* erScene = qobject_cast<ERScene*>(scene()))
            erScene->registerEntity(this);
    }
    if (change == ItemPositionHasChanged || (change == ItemSceneHasChanged && scene()))
        updateAttachedEdges();
    else if (change == ItemSelectedHasChanged && !value.toBool())
        clearRowHighlight();
    return QGraphicsObject::itemChange(change, value);
}

void EntityItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_dragging) {
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        event->accept();
        showContextMenu(event->screenPos(), event->modifiers());
        return;
    }
    // A drag may follow: its edge updates are queued and coalesced.
    EdgeItem::setSkipBatchFlush(canMoveSelectionAsBatch(scene()));
    EdgeItem::setBatchMode(true);
    QGraphicsObject::mousePressEvent(event);
}

void EntityItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_dragging) {
        m_dropIndex = dropIndexAt(event->pos());
        update();
        event->accept();
        return;
    }
    QGraphicsObject::mouseMoveEvent(event);
}

void EntityItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_dragging) {
        finishAttributeDrag();
        event->accept();
        return;
    }
    QGraphicsObject::mouseReleaseEvent(event);
    const bool batch = canMoveSelectionAsBatch(scene());
    EdgeItem::setBatchMode(false);
    QGraphicsScene* s = scene();
    if (!s)
        return;

    // The edges of the selected entities, each once.
    QSet<EntityItem*> moved;
    QList<EdgeItem*> edges;
    QSet<EdgeItem*> seen;
    const QList<QGraphicsItem*> selected = s->selectedItems();
    for (QGraphicsItem* item : selected) {
        if (item->type() == Type)
            moved.insert(static_cast<EntityItem*>(item));
    }
    for (EntityItem* entity : std::as_const(moved)) {
        for (EdgeItem* edge : entity->edges()) {
            if (edge && !seen.contains(edge)) {
                seen.insert(edge);
                edges.append(edge);
            }
        }
    }
    // A self-relation follows its entity through itemChange already.
    for (EdgeItem* edge : std::as_const(edges)) {
        if (!edge->isSelfRelation() && edge->fromEntity() && edge->toEntity())
            edge->reassignSlots();
    }
    for (EdgeItem* edge : std::as_const(edges)) {
        if (edge->isSelfRelation())
            continue;
        if (batch && edge->isSelected() && moved.contains(edge->fromEntity()) && moved.contains(edge->toEntity()))
            edge->quickUpdatePath();
        else
            edge->refreshRoute();
    }
}

void EntityItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    QGraphicsObject::mouseDoubleClickEvent(event);
}

// ============================================================ menu

void EntityItem::showContextMenu(const QPoint& screenPos, Qt::KeyboardModifiers modifiers)
{
    if (!isSelected()) {
        if (scene() && !(modifiers & Qt::ControlModifier))
            scene()->clearSelection();
        setSelected(true);
    }

    QList<QPointer<EntityItem>> targets;
    if (QGraphicsScene* s = scene()) {
        const QList<QGraphicsItem*> selected = s->selectedItems();
        for (QGraphicsItem* item : selected) {
            if (item->type() == Type)
                targets.append(static_cast<EntityItem*>(item));
        }
    }
    if (targets.isEmpty())
        targets.append(this);

    QMenu menu;
    QAction* edit = menu.addAction(tr("Edit"));
    menu.addSeparator();
    auto* group = new QActionGroup(&menu);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const char* const captions[] = {"Full", "Entity name, primary columns and foreign columns",
                                    "Entity name and primary columns", "Entity name"};
    bool sameMode = true;
    for (const QPointer<EntityItem>& t : std::as_const(targets))
        sameMode = sameMode && t->displayMode() == targets.first()->displayMode();
    for (int mode = 0; mode < 4; ++mode) {
        QAction* action = menu.addAction(tr(captions[mode]));
        action->setCheckable(true);
        action->setData(mode);
        group->addAction(action);
        if (sameMode && targets.first()->displayMode() == mode)
            action->setChecked(true);
    }

    QPointer<EntityItem> self(this);
    QAction* chosen = menu.exec(screenPos);
    if (!chosen || !self)
        return;
    if (chosen == edit) {
        QWidget* parent = nullptr;
        if (scene() && !scene()->views().isEmpty())
            parent = scene()->views().constFirst();
        EntityEditDialog dialog(m_title, parent);
        DialogHooks::execDialog(&dialog);
        return;
    }
    const int mode = chosen->data().toInt();
    for (const QPointer<EntityItem>& t : std::as_const(targets)) {
        if (t)
            t->setDisplayMode(mode);
    }
}

// ============================================================ painting

void EntityItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    Q_UNUSED(widget)
    const ThemeManager& theme = ThemeManager::instance();
    const bool dark = theme.isDark();

    QColor border = dark ? m_fgDark : m_fgLight;
    if (isUnsetBorder(border))
        border = theme.color(ThemeSlot::Border);
    if (option && (option->state & QStyle::State_Selected))
        border = theme.color(ThemeSlot::Selection);
    const QPen pen(border, 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);

    QColor fill = dark ? m_bgDark : m_bgLight;
    if (isUnsetFill(fill))
        fill = theme.color(ThemeSlot::EntityFill);
    QColor header = dark ? m_hdrDark : m_hdrLight;
    if (isUnsetFill(header))
        header = theme.color(ThemeSlot::EntityHeader);

    const qreal radius = m_kind == ViewKind ? 12 : 6;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    QPainterPath box;
    box.addRoundedRect(m_rect, radius, radius);
    painter->fillPath(box, fill);
    QPainterPath headerArea;
    headerArea.addRect(QRectF(m_rect.left(), m_rect.top(), m_rect.width(), HeaderHeight));
    painter->fillPath(box.intersected(headerArea), header);

    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(box);
    painter->drawLine(QPointF(m_rect.left(), m_rect.top() + HeaderHeight),
                      QPointF(m_rect.right(), m_rect.top() + HeaderHeight));

    if (m_dragging && m_dropIndex >= 0) {
        int before = 0;
        for (int i = 0; i < std::min(m_dropIndex, attributeCount()); ++i)
            before += isAttributeVisible(i) ? 1 : 0;
        const qreal y = FirstRowY + RowHeight * before;
        const QColor accent = theme.color(ThemeSlot::Selection);
        painter->save();
        painter->setPen(QPen(accent, 2, Qt::SolidLine, Qt::RoundCap));
        painter->drawLine(QPointF(TextMargin, y), QPointF(m_rect.width() - TextMargin, y));
        painter->setPen(Qt::NoPen);
        painter->setBrush(accent);
        painter->drawEllipse(QRectF(6.5, y - 3.5, 7, 7));
        painter->drawEllipse(QRectF(m_rect.width() - 13.5, y - 3.5, 7, 7));
        painter->restore();
    }
    painter->restore();
}

// ============================================================ JSON

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
    qDebug() << "EntityItem::toJson() called, this:" << static_cast<const void*>(this);
    QJsonObject obj;

    QString id;
    try {
        qDebug() << "EntityItem::toJson() checking titleText_:" << m_title;
        id = this->id();
    } catch (...) {
        qWarning() << "Exception getting ID";
        id = QStringLiteral("unknown");
    }
    qDebug() << "EntityItem::toJson() id:" << id;
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
    } catch (...) {
        qWarning() << "Exception processing attributes";
        rows = QJsonArray();
    }
    obj.insert(QStringLiteral("attributes"), rows);

    qDebug() << "EntityItem::toJson() completed for id:" << id;
    return obj;
}

void EntityItem::fromJson(const QJsonObject& obj)
{
    qDebug() << "EntityItem::fromJson called, this:" << static_cast<const void*>(this);

    m_kind = obj.value(QStringLiteral("kind")).toString() == QLatin1String("entity-view") ? ViewKind : TableKind;
    m_displayMode = displayModeFromJson(obj.value(QStringLiteral("perspective")));

    if (obj.contains(QStringLiteral("x")) && obj.contains(QStringLiteral("y"))) {
        setPos(obj.value(QStringLiteral("x")).toDouble(0), obj.value(QStringLiteral("y")).toDouble(0));
        qDebug() << "EntityItem::fromJson position set to:" << pos();
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

    qDebug() << "EntityItem::fromJson clearing" << attributeCount() << "attributes";
    for (int i = attributeCount() - 1; i >= 0; --i) {
        // A removal can take further rows with it or bring back the key row
        // of a table; never index past the current end.
        i = std::min(i, attributeCount() - 1);
        if (i < 0)
            break;
        removeAttribute(m_attributes.at(i).name);
    }

    const QJsonValue rowsValue = obj.value(QStringLiteral("attributes"));
    if (!rowsValue.isUndefined()) {
        // The rows of the object replace whatever the entity had, the key row
        // that a table gets back when its last row goes included.
        while (!m_attributes.isEmpty())
            removeRowAt(attributeCount() - 1);
        const QJsonArray rows = rowsValue.toArray();
        qDebug() << "EntityItem::fromJson adding" << rows.size() << "attributes";
        // One layout at the end instead of one per row.
        ++m_layoutDeferred;
        for (const QJsonValue& value : rows) {
            const QJsonObject row = value.toObject();
            const QString name = row.value(QStringLiteral("name")).toString();
            const QString type = row.value(QStringLiteral("type")).toString();
            bool pk = row.value(QStringLiteral("isPrimaryKey")).toBool(false);
            bool uk = row.value(QStringLiteral("isUniqueKey")).toBool(false);
            bool fk = row.value(QStringLiteral("isForeignKey")).toBool(false);
            const bool inherited = row.value(QStringLiteral("inherited")).toBool(false);
            if (!pk && !uk && !fk) {
                const QJsonArray badges = row.value(QStringLiteral("badges")).toArray();
                for (const QJsonValue& badge : badges) {
                    const QString b = badge.toString().toUpper();
                    if (b == QLatin1String("PK"))
                        pk = true;
                    else if (b == QLatin1String("UK"))
                        uk = true;
                    else if (b == QLatin1String("FK"))
                        fk = true;
                }
            }
            // A repeated name updates the earlier row; its edge id goes to
            // that row, not to whichever row happens to be last.
            const int index = insertOrUpdateAttribute(name, type, pk, uk, fk, inherited);
            if (row.contains(QStringLiteral("fkEdgeId")) && index >= 0 && index < attributeCount())
                m_attributes[index].fkEdgeId = row.value(QStringLiteral("fkEdgeId")).toString();
        }
        --m_layoutDeferred;
    }

    for (int i = 0; i < attributeCount(); ++i)
        styleRowLabels(i);
    applyLabelColors();
    relayoutRows();
    qDebug() << "EntityItem::fromJson completed";
}
