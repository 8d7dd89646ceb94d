#include "diagram/erscene.h"

#include "app/thememanager.h"
#include "details/dialects.h"
#include "diagram/annotationitem.h"
#include "diagram/entityitem.h"
#include "diagram/groupitem.h"
#include "diagram/textitem.h"
#include "diagram/slotitem.h"
#include "edges/edgeitem.h"
#include "edges/entityviewedgeitem.h"
#include "layout/entityrectindex.h"
#include "model/itemid.h"
#include "model/itemnames.h"
#include "model/logcategories.h"

#include <QAbstractItemView>
#include <QGraphicsView>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <utility>

ERScene::ERScene(QObject* parent)
    : QGraphicsScene(parent)
{
    setSceneRect(-2000, -2000, 4000, 4000);

    m_glowTimer = new QTimer(this);
    m_glowTimer->setInterval(GlowIntervalMs);
    connect(m_glowTimer, &QTimer::timeout, this, &ERScene::updateSelectionGlow);
    connect(this, &QGraphicsScene::selectionChanged, this, &ERScene::onSelectionChanged);
    connect(&ThemeManager::instance(), &ThemeManager::themeChanged, this, &ERScene::onThemeChanged);
    connect(this, &QGraphicsScene::changed, this, &ERScene::onSceneChanged);
    // Whoever else sets the rectangle may leave items near or outside it.
    connect(this, &QGraphicsScene::sceneRectChanged, this, [this] { m_rectCoversItems = false; });
}

ERScene::~ERScene()
{
    // The base class deletes the remaining items, and a selected item that
    // goes reports a selection change; by then this object is no longer an
    // ERScene, so its own handlers must not run. Clear while it still is.
    disconnect(this, nullptr, this, nullptr);
    blockSignals(true);
    clearScene();
}

// ------------------------------------------------------------------ members

void ERScene::setCurrentFilePath(const QString& path)
{
    m_filePath = path;
}

void ERScene::setDialect(const QString& dialect)
{
    m_dialect = dialect;
}

void ERScene::setGridVisible(bool on)
{
    m_gridVisible = on;
}

void ERScene::setCustomBackground(bool on)
{
    m_customBackground = on;
}

void ERScene::setCustomBackgroundColor(const QColor& color)
{
    m_customBackgroundColor = color;
}

void ERScene::setDefaultEntityColors(const std::array<QColor, 8>& colors)
{
    m_defaultEntityColors = colors;
}

bool ERScene::hasDefaultEntityColors() const
{
    for (const QColor& c : m_defaultEntityColors) {
        if (!c.isValid())
            return false;
    }
    return true;
}

void ERScene::setDefaultTextStyle(const QFont& font, const QColor& light, const QColor& dark)
{
    m_defaultTextStyle = {font, light, dark};
    m_hasDefaultTextStyle = true;
}

void ERScene::setDefaultGroupStyle(const QColor& lightFill, const QColor& lightBorder, const QColor& lightTitle,
                                   const QColor& darkFill, const QColor& darkBorder, const QColor& darkTitle)
{
    m_defaultGroupStyle = {lightFill, lightBorder, lightTitle, darkFill, darkBorder, darkTitle};
    m_hasDefaultGroupStyle = true;
}

// ------------------------------------------------------------ adding items
//
// createEdge comes with the edge items.

EntityItem* ERScene::addTableAt(QPointF scenePos)
{
    const auto tables = std::count_if(m_entities.cbegin(), m_entities.cend(), [](const EntityItem* entity) {
        return entity->kind() != EntityItem::ViewKind;
    });
    // Not made unique: a deleted table leaves a gap that the next one fills.
    const QString title = QStringLiteral("table_") + QString::number(tables + 1);
    auto* entity = new EntityItem(title, QSizeF(150, 70));
    // The scene's dialect is not yet reachable from the entity, so the key
    // type is resolved here.
    entity->addAttribute(title + QStringLiteral("_id"), defaultKeyType(m_dialect), true, false, false, false);
    return placeNewEntity(entity, scenePos);
}

EntityItem* ERScene::addViewAt(QPointF scenePos)
{
    QStringList titles;
    for (const EntityItem* entity : std::as_const(m_entities)) {
        if (entity->kind() == EntityItem::ViewKind)
            titles.append(entity->title());
    }
    const QString title = firstFreeNumberedName(QStringLiteral("view_"), titles, Qt::CaseSensitive,
                                                static_cast<int>(titles.size()) + 1);
    auto* entity = new EntityItem(title, QSizeF(150, 70));
    entity->setKind(EntityItem::ViewKind);
    return placeNewEntity(entity, scenePos);
}

EntityItem* ERScene::placeNewEntity(EntityItem* entity, QPointF scenePos)
{
    if (hasDefaultEntityColors())
        entity->setColors(DualThemeColorScheme::fromArray(m_defaultEntityColors));
    entity->setId(generateItemId());
    entity->setPos(scenePos);
    addItem(entity);
    emit entityAdded(entity);
    return entity;
}

TextItem* ERScene::addTextAt(QPointF scenePos)
{
    // The item makes its own id.
    auto* text = new TextItem(QStringLiteral("Text"));
    if (m_hasDefaultTextStyle) {
        text->setFont(m_defaultTextStyle.font);
        text->setColors(m_defaultTextStyle.lightColor, m_defaultTextStyle.darkColor);
    }
    text->setPos(scenePos);
    addItem(text);
    return text;
}

GroupItem* ERScene::addGroupAt(QPointF scenePos)
{
    QStringList titles;
    for (const AnnotationItem* item : std::as_const(m_annotations)) {
        if (item->type() == DiagramItemType::Group)
            titles.append(static_cast<const GroupItem*>(item)->title());
    }
    const QString title = firstFreeNumberedName(QStringLiteral("group_"), titles, Qt::CaseSensitive,
                                                static_cast<int>(titles.size()) + 1);
    auto* group = new GroupItem(title, QSizeF(240, 160));
    if (m_hasDefaultGroupStyle)
        group->setColors(m_defaultGroupStyle);
    group->setPos(scenePos);
    addItem(group);
    return group;
}

EdgeItem* ERScene::createEdge(EntityItem* from, EntityItem* to, bool createFKs)
{
    if (!from || !to) {
        qWarning() << "createEdge: null entity!";
        return nullptr;
    }
    if (from->scene() != this || to->scene() != this) {
        qWarning() << "createEdge: entity not in this scene!";
        return nullptr;
    }

    EdgeItem* edge = nullptr;
    if (from->kind() == EntityItem::ViewKind || to->kind() == EntityItem::ViewKind) {
        edge = new EntityViewEdgeItem(from, to, false);
        addItem(edge);
        m_edgeOrder.insert(edge, ++m_edgesMade);
        if (createFKs) {
            EntityItem* view = from->kind() == EntityItem::ViewKind ? from : to;
            EntityItem* other = view == from ? to : from;
            if (view != other)
                view->inheritAttributesFrom(other, edge->id());
        }
    } else {
        edge = new EdgeItem(from, to, createFKs);
        addItem(edge);
        m_edgeOrder.insert(edge, ++m_edgesMade);
    }
    // Routed (again) now that the other entities are obstacles. While a
    // diagram is read, routing is suspended: an edge with stored points
    // gets them, the others are routed once the reading is done; otherwise
    // no edge is left without a route.
    if (createFKs || !EdgeItem::isRoutingSuspended())
        edge->updatePath();
    emit edgeAdded(edge);
    return edge;
}

void ERScene::notifyEntityAdded(EntityItem* entity)
{
    if (entity)
        emit entityAdded(entity);
}

// ------------------------------------------------------ the entity index

void ERScene::registerEntity(EntityItem* entity)
{
    // An entity registers once on arriving and unregisters before leaving,
    // so it is never listed yet: a search of the whole list for it, entity
    // after entity, would make reading a large diagram quadratic.
    Q_ASSERT(!m_entities.contains(entity));
    if (entity)
        m_entities.append(entity);
}

void ERScene::unregisterEntity(EntityItem* entity)
{
    // Clearing deletes the topmost, i.e. the latest, entities first.
    const qsizetype i = m_entities.lastIndexOf(entity);
    if (i >= 0)
        m_entities.removeAt(i);
}

void ERScene::registerAnnotation(AnnotationItem* item)
{
    if (item && !m_annotations.contains(item))
        m_annotations.append(item);
}

void ERScene::unregisterAnnotation(AnnotationItem* item)
{
    const qsizetype i = m_annotations.lastIndexOf(item);
    if (i >= 0)
        m_annotations.removeAt(i);
}

QList<QRectF> ERScene::entityRectsIn(const QRectF& region, const EntityItem* a, const EntityItem* b) const
{
    if (m_entityRectIndex)
        return m_entityRectIndex->rectsIn(region, a, b);
    QList<QRectF> rects;
    for (const EntityItem* entity : m_entities) {
        if (entity == a || entity == b || !entity->isVisible())
            continue;
        const QRectF rect = entity->sceneBoundingRect();
        if (region.intersects(rect))
            rects.append(rect);
    }
    return rects;
}

// ---------------------------------------------------------------- clearing

namespace {

// Completion pop-ups of in-place editors live on the viewports.
void hideCompletionPopups(const QList<QGraphicsView*>& views)
{
    for (QGraphicsView* view : views) {
        const auto popups = view->viewport()->findChildren<QAbstractItemView*>();
        for (QAbstractItemView* popup : popups)
            popup->hide();
    }
}

// The top-level items of scene by their type code: edges, entities and
// annotations.
struct ItemsByType
{
    QList<QGraphicsItem*> edges;
    QList<QGraphicsItem*> entities;
    QList<QGraphicsItem*> annotations;

    explicit ItemsByType(const QList<QGraphicsItem*>& all)
    {
        for (QGraphicsItem* item : all) {
            switch (item->type()) {
            case DiagramItemType::Edge:
                edges.append(item);
                break;
            case DiagramItemType::Entity:
                entities.append(item);
                break;
            case DiagramItemType::Text:
            case DiagramItemType::Group:
                annotations.append(item);
                break;
            default:
                break; // children go with their parents
            }
        }
    }
};

void removeAndDelete(QGraphicsScene* scene, const QList<QGraphicsItem*>& list)
{
    for (QGraphicsItem* item : list) {
        if (item->scene() == scene) {
            scene->removeItem(item);
            delete item;
        }
    }
}

// Deletes every edge, entity and annotation of scene found by its type code.
// Edges go first so that none of them outlives an entity it points to. They
// are taken off their entities and told to leave the rows alone. (The type
// code alone does not make an item one of ours.)
void deleteItemsByType(QGraphicsScene* scene)
{
    const ItemsByType found(scene->items());
    for (QGraphicsItem* item : found.edges) {
        if (auto* edge = dynamic_cast<EdgeItem*>(item)) {
            // Every entity goes too: its whole list is emptied at once, not
            // searched edge by edge (quadratic with many parallel edges).
            if (edge->fromEntity())
                edge->fromEntity()->detachAllEdges();
            if (edge->toEntity())
                edge->toEntity()->detachAllEdges();
            edge->setRemoveFkRowsOnDestroy(false);
        }
    }
    removeAndDelete(scene, found.edges);
    for (QGraphicsItem* item : found.entities) {
        auto* entity = dynamic_cast<EntityItem*>(item);
        if (!entity || item->scene() != scene)
            continue;
        for (SlotItem* slot : entity->slotHandles())
            slot->setEdge(nullptr);
    }
    for (QGraphicsItem* item : found.entities) {
        if (item->scene() == scene)
            delete item;
    }
    removeAndDelete(scene, found.annotations);
}

// What is left (of no type of ours) leaves the scene.
void removeStrays(QGraphicsScene* scene)
{
    const QList<QGraphicsItem*> remaining = scene->items();
    if (remaining.isEmpty())
        return;
    qWarning() << "clearScene: remaining items after cleanup:" << remaining.size();
    for (QGraphicsItem* item : remaining) {
        if (item->scene() == scene && !item->parentItem())
            scene->removeItem(item);
    }
}

} // namespace

void ERScene::clearScene()
{
    if (m_clearing)
        return;
    m_clearing = true;
    qCDebug(lcScene) << "clearScene: starting";

    const bool signalsWereBlocked = blockSignals(true);
    releaseSelectionNow();
    hideCompletionPopups(views());
    // The scene keeps lists of its entities and annotations, and the edges
    // hang on the entities: they go first, without a walk over every item,
    // which would sort all the row labels of the diagram.
    deleteRegisteredItems();
    endBulkMoves();
    // Whatever was not in the lists, by its type code.
    deleteItemsByType(this);
    removeStrays(this);

    m_edgeOrder.clear();
    qCDebug(lcScene) << "clearScene: completed";
    m_clearing = false;
    blockSignals(signalsWereBlocked);
}

void ERScene::deleteRegisteredItems()
{
    QList<EdgeItem*> edges;
    QSet<EdgeItem*> seenEdges;
    for (EntityItem* entity : std::as_const(m_entities)) {
        for (EdgeItem* edge : entity->edges()) {
            if (edge && !seenEdges.contains(edge)) {
                seenEdges.insert(edge);
                edges.append(edge);
            }
        }
    }
    qCDebug(lcScene) << "clearScene: edges:" << edges.size() << "entities:" << m_entities.size();

    for (EntityItem* entity : std::as_const(m_entities))
        entity->detachAllEdges();
    for (EdgeItem* edge : std::as_const(edges)) {
        if (edge->fromEntity())
            edge->fromEntity()->detachAllEdges();
        if (edge->toEntity())
            edge->toEntity()->detachAllEdges();
        edge->setRemoveFkRowsOnDestroy(false);
    }
    // Deleted while still on the scene, as the entities below: the item
    // index then drops them in one sweep. Removed one by one, each would be
    // searched for in the index, where parallel edges all share the same
    // cells: quadratic in their number. The latest go first.
    for (qsizetype i = edges.size() - 1; i >= 0; --i) {
        EdgeItem* edge = edges.at(i);
        if (edge->scene() == this)
            delete edge;
    }
    for (EntityItem* entity : std::as_const(m_entities)) {
        for (SlotItem* slot : entity->slotHandles())
            slot->setEdge(nullptr);
    }
    // An entity is deleted while still on the scene: its destructor takes it
    // and its row labels off the item index in one sweep, where removing it
    // first would take every label off the index one by one (a large part
    // of clearing a big diagram). Each one takes itself off the list; the
    // topmost, i.e. the latest, go first.
    while (!m_entities.isEmpty()) {
        EntityItem* entity = m_entities.constLast();
        if (entity->scene() != this || entity->parentItem())
            m_entities.removeLast(); // children go with their parents
        else
            delete entity;
    }
    while (!m_annotations.isEmpty()) {
        AnnotationItem* item = m_annotations.constLast();
        if (item->scene() != this || item->parentItem()) {
            m_annotations.removeLast();
        } else {
            removeItem(item);
            delete item;
        }
    }
    m_glowing.clear();
}
