// EntityItem: the box, its colours, its size and its painting.
#include "diagram/entityitem.h"

#include "app/thememanager.h"
#include "diagram/itemreadwatch.h"
#include "diagram/singlelinetextitem.h"
#include "edges/edgeitem.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QSet>
#include <QStyleOptionGraphicsItem>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

const char* const LabelFontFamily = "JetBrains Mono";

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

} // namespace

// Paints the text of an entity's rows that have no labels, in the place the
// labels would take in the stacking order: above the title, among the row
// labels. It covers the box, is never hit and takes no input.
class EntityRowTexts : public QGraphicsItem
{
public:
    explicit EntityRowTexts(EntityItem* entity)
        : QGraphicsItem(entity)
        , m_entity(entity)
    {
        // Told which part of the box to repaint, it draws only the rows
        // there.
        setFlag(ItemUsesExtendedStyleOption, true);
        setAcceptedMouseButtons(Qt::NoButton);
    }

    QRectF boundingRect() const override { return m_entity->rect(); }
    QPainterPath shape() const override { return QPainterPath(); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override
    {
        m_entity->paintRowTexts(painter, option, widget);
    }
    // Before the entity's box changes its size.
    void boxChanging() { prepareGeometryChange(); }

private:
    EntityItem* m_entity;
};

QFont EntityItem::labelFont(int weight, bool italic)
{
    const auto make = [weight, italic] {
        QFont font(QString::fromLatin1(LabelFontFamily));
        font.setPointSizeF(10);
        font.setWeight(QFont::Weight(weight));
        font.setItalic(italic);
        return font;
    };
    // The labels of a diagram share the few faces there are: a font made
    // anew for each looks its face up in the font database again at its
    // first measure and paint. Kept while the application and its fonts
    // last; another thread makes its own.
    if (!qGuiApp || QThread::currentThread() != qGuiApp->thread())
        return make();
    static QHash<std::pair<int, bool>, QFont> made;
    static QPointer<QGuiApplication> madeFor;
    if (madeFor != qGuiApp) {
        made.clear();
        madeFor = qGuiApp;
        QObject::connect(qGuiApp, &QGuiApplication::fontDatabaseChanged, qGuiApp, [] { made.clear(); });
        QObject::connect(qGuiApp, &QObject::destroyed, [] { made.clear(); });
    }
    const std::pair<int, bool> key(weight, italic);
    auto found = made.constFind(key);
    if (found == made.cend())
        found = made.insert(key, make());
    return found.value();
}

// The face of a row's labels: bold for keys, italic for foreign keys and for
// the rows a view inherits.
int EntityItem::rowFace(const Attribute& a, int kind)
{
    const bool inherited = kind == EntityItem::ViewKind && a.inherited;
    const bool bold = !inherited && (a.isPrimaryKey || a.isUniqueKey);
    const bool italic = inherited || a.isForeignKey;
    return (bold ? 1 : 0) | (italic ? 2 : 0);
}

QFont EntityItem::rowLabelFont(const Attribute& a, int kind)
{
    const int face = rowFace(a, kind);
    return labelFont((face & 1) ? QFont::Bold : QFont::Normal, (face & 2) != 0);
}

// Every font, alignment or text given to a label lays its text out anew,
// even an equal one; these skip what would change nothing.
void EntityItem::setLabelFont(SingleLineTextItem* label, const QFont& font)
{
    if (label->font() != font)
        label->setFont(font);
}

// A label already painting in the colour keeps the palette it shares with
// every other label; setting it would give the label a copy of its own.
void EntityItem::setLabelColor(SingleLineTextItem* label, const QColor& color)
{
    if (label->defaultTextColor() != color)
        label->setDefaultTextColor(color);
}

// The entities on a scene: an ERScene keeps its own list of them, which
// spares a walk over every row label of the diagram.
QList<EntityItem*> EntityItem::entitiesOn(QGraphicsScene* scene)
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
    m_rowTexts = new EntityRowTexts(this);

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
    for (SingleLineTextItem* label : std::as_const(m_nameLabels)) {
        if (label)
            label->blockSignals(true);
    }
    for (SingleLineTextItem* label : std::as_const(m_typeLabels)) {
        if (label)
            label->blockSignals(true);
    }

    // Leaving the scene from here on sends no scene change; the entity is no
    // obstacle of the routes any more.
    if (auto* erScene = qobject_cast<ERScene*>(scene()))
        erScene->unregisterEntity(this);
}

QRectF EntityItem::boundingRect() const
{
    ItemReadWatch::noteRead();
    return m_rect.adjusted(-3, -3, 3, 3);
}

QString EntityItem::id() const
{
    if (!m_id.isEmpty())
        return m_id;
    return QString::number(reinterpret_cast<quintptr>(this));
}

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
    for (SingleLineTextItem* label : std::as_const(m_nameLabels)) {
        if (label)
            setLabelColor(label, color);
    }
    for (SingleLineTextItem* label : std::as_const(m_typeLabels)) {
        if (label)
            setLabelColor(label, color);
    }
    m_rowTexts->update();
    update();
}

void EntityItem::applyLabelVisibility()
{
    const int n = static_cast<int>(std::min(m_nameLabels.size(), m_typeLabels.size()));
    for (int i = 0; i < n; ++i) {
        if (!m_nameLabels.at(i))
            continue;
        const bool visible = isAttributeVisible(i);
        m_nameLabels.at(i)->setVisible(visible);
        m_typeLabels.at(i)->setVisible(visible);
    }
}

void EntityItem::refreshLastRowMarks()
{
    const int last = lastShownRow();
    for (int i = 0; i < m_nameLabels.size(); ++i) {
        if (m_nameLabels.at(i))
            m_nameLabels.at(i)->inLastRow = i == last;
    }
    for (int i = 0; i < m_typeLabels.size(); ++i) {
        if (m_typeLabels.at(i))
            m_typeLabels.at(i)->inLastRow = i == last;
    }
}

void EntityItem::relayoutRows()
{
    applyLabelVisibility();
    refreshLastRowMarks();

    // Back to the natural width; setting it again when it already is would
    // lay the label's document out for nothing.
    const auto naturalWidth = [](SingleLineTextItem* label) {
        if (label && label->QGraphicsTextItem::textWidth() != -1)
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
        m_rowTexts->boxChanging();
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
        extent.nameWidth = std::max(extent.nameWidth, cellWidth(i, false));
        extent.typeWidth = std::max(extent.typeWidth, cellWidth(i, true));
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
            m_rowTexts->boxChanging();
            m_rect.setWidth(needed + 20);
        }
    }

    const qreal width = m_rect.width();
    const qreal titleHeight = QFontMetricsF(m_titleLabel->font()).height();
    m_titleLabel->setPos(std::max((width - m_titleLabel->textWidth()) / 2, TextMargin),
                         std::max((HeaderHeight - titleHeight) / 2, 2.0));

    // Rows without labels are placed where paintRowTexts draws them.
    m_shownRows.clear();
    qreal y = FirstRowY;
    for (int i = 0; i < n; ++i) {
        if (!isAttributeVisible(i))
            continue;
        m_shownRows.append(i);
        if (SingleLineTextItem* nameItem = m_nameLabels.at(i)) {
            SingleLineTextItem* typeItem = m_typeLabels.at(i);
            nameItem->setPos(TextMargin, y);
            typeItem->setPos(typeCellX(nameItem->shownWidth(), typeItem->shownWidth()), y);
        }
        y += RowHeight;
    }
    updateRowTextsShown();
    m_rowTexts->update();
}

void EntityItem::updateRowTextsShown()
{
    const bool needed = !m_shownRows.isEmpty() && m_rowsWithLabels < attributeCount();
    if (m_rowTexts->isVisible() != needed)
        m_rowTexts->setVisible(needed);
}

void EntityItem::paintRowTexts(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    // Each row as its labels would paint it, in their order, clipped to the
    // cell as a label is; only the cells that reach into the exposed
    // rectangle are drawn at all.
    const QRectF exposed = option && option->exposedRect.isValid() ? option->exposedRect : boundingRect();
    const int shown = int(m_shownRows.size());
    const int first = std::max(0, int(std::floor((exposed.top() - FirstRowY) / RowHeight)) - 2);
    const int last = std::min(shown - 1, int(std::ceil((exposed.bottom() - FirstRowY) / RowHeight)) + 1);
    for (int i = first; i <= last; ++i) {
        const int row = m_shownRows.at(i);
        if (row < 0 || row >= attributeCount() || row >= m_nameLabels.size() || m_nameLabels.at(row))
            continue;
        const qreal y = FirstRowY + RowHeight * i;
        const SingleLineTextItem::Look name = rowLook(row, false);
        const SingleLineTextItem::Look type = rowLook(row, true);
        const QPointF at[] = {QPointF(TextMargin, y),
                              QPointF(typeCellX(cellWidth(row, false), cellWidth(row, true)), y)};
        const SingleLineTextItem::Look* looks[] = {&name, &type};
        for (int cell = 0; cell < 2; ++cell) {
            const QRectF bounds = SingleLineTextItem::boundsOf(looks[cell]->font, looks[cell]->text);
            if (!exposed.intersects(bounds.translated(at[cell])))
                continue;
            painter->save();
            painter->translate(at[cell]);
            SingleLineTextItem::paintLook(painter, *looks[cell], bounds, widget);
            painter->restore();
        }
    }
}

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
