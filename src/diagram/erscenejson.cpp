#include "diagram/erscene.h"

#include "details/dialects.h"
#include "diagram/entityitem.h"
#include "diagram/groupitem.h"
#include "diagram/textitem.h"
#include "edges/edgeitem.h"
#include "layout/entityrectindex.h"
#include "model/eventpump.h"
#include "model/itemid.h"
#include "model/itemnames.h"
#include "model/logcategories.h"

#include <QHash>
#include <QJsonArray>
#include <QGraphicsView>
#include <QPointer>
#include <QSet>

#include <functional>
#include <utility>

// The diagram as JSON: writing it and reading it back.

namespace {

const QString keyVersion = QStringLiteral("version");
const QString keyType = QStringLiteral("type");
const QString keyEntities = QStringLiteral("entities");
const QString keyEdges = QStringLiteral("edges");
const QString keyAnnotations = QStringLiteral("annotations");
const QString keyDialect = QStringLiteral("dialect");

// While a large diagram loads, the passes of the event loop that let the
// busy indicator turn (user input stays queued until the load is over) find
// the whole scene due for an update: the scene then keeps no account of what
// each item added or changed would need repainted, and does not measure at
// every pass every item added since the last one. The canvas is repainted
// whole at the end.
class WholeSceneUpdates
{
public:
    explicit WholeSceneUpdates(QGraphicsScene* scene)
        : m_scene(scene)
    {
        m_scene->update();
    }

    void step()
    {
        if (eventpump::step())
            m_scene->update();
    }

private:
    QGraphicsScene* m_scene;
};

// Raised while a diagram is read.
class LoadingFlag
{
public:
    explicit LoadingFlag(bool& flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~LoadingFlag() { m_flag = false; }
    LoadingFlag(const LoadingFlag&) = delete;
    LoadingFlag& operator=(const LoadingFlag&) = delete;

private:
    bool& m_flag;
};

// Entities placed one by one would route edges that are about to be
// replaced; routing waits until everything is in place.
class RoutingSuspension
{
public:
    RoutingSuspension()
        : m_wasSuspended(EdgeItem::isRoutingSuspended())
    {
        EdgeItem::setRoutingSuspended(true);
    }
    ~RoutingSuspension() { EdgeItem::setRoutingSuspended(m_wasSuspended); }
    RoutingSuspension(const RoutingSuspension&) = delete;
    RoutingSuspension& operator=(const RoutingSuspension&) = delete;

private:
    bool m_wasSuspended;
};

// The event loop runs now and then while the diagram is read, so that the
// busy indicator turns; the canvas would be repainted at every such pass
// with half a diagram on it, at a cost that grows with what has been read
// so far. It is shown once, when complete. Nor is it painted when a widget
// above it asks: the busy indicator is translucent, and every turn of it
// would paint the canvas below it, edges and all.
class RepaintHold
{
public:
    explicit RepaintHold(const QList<QGraphicsView*>& views)
    {
        for (QGraphicsView* view : views) {
            m_views.append({view, view->viewportUpdateMode(), view->viewport()->updatesEnabled()});
            view->setViewportUpdateMode(QGraphicsView::NoViewportUpdate);
            view->viewport()->setUpdatesEnabled(false);
        }
    }
    ~RepaintHold()
    {
        for (const auto& [view, mode, painting] : std::as_const(m_views)) {
            if (!view)
                continue;
            view->setViewportUpdateMode(mode);
            view->viewport()->setUpdatesEnabled(painting);
            view->viewport()->update();
        }
    }
    RepaintHold(const RepaintHold&) = delete;
    RepaintHold& operator=(const RepaintHold&) = delete;

private:
    struct HeldView
    {
        QPointer<QGraphicsView> view;
        QGraphicsView::ViewportUpdateMode mode;
        bool painting;
    };
    QList<HeldView> m_views;
};

// While anything listens to the scene's changes, every geometry change of
// an item measures the item and queues its rectangle, and the rows of a
// large entity bring hundreds of thousands. The scene does nothing with them
// while loading (its own listener is paused with the views') and grows its
// rectangle once at the end; the views, which the scene's own listening has
// tied to the same signal, are held from repainting (RepaintHold) and are
// repainted whole when the load is over. Without a listener the scene hands
// its updates to the views directly.
class ChangeListenerPause
{
public:
    using Listener = void (ERScene::*)(const QList<QRectF>&);

    ChangeListenerPause(ERScene* scene, Listener listener)
        : m_scene(scene)
        , m_listener(listener)
    {
        QObject::disconnect(m_scene, &QGraphicsScene::changed, m_scene, m_listener);
        for (QGraphicsView* view : m_scene->views()) {
            // Tied by name, so untied and tied again by name.
            if (QObject::disconnect(m_scene, SIGNAL(changed(QList<QRectF>)), view, SLOT(updateScene(QList<QRectF>))))
                m_views.append(view);
        }
    }
    ~ChangeListenerPause()
    {
        // In the order they were tied: the scene's own first.
        QObject::connect(m_scene, &QGraphicsScene::changed, m_scene, m_listener);
        for (const QPointer<QGraphicsView>& view : std::as_const(m_views)) {
            if (view && view->scene() == m_scene)
                QObject::connect(m_scene, SIGNAL(changed(QList<QRectF>)), view.data(),
                                 SLOT(updateScene(QList<QRectF>)));
        }
    }
    ChangeListenerPause(const ChangeListenerPause&) = delete;
    ChangeListenerPause& operator=(const ChangeListenerPause&) = delete;

private:
    ERScene* m_scene;
    Listener m_listener;
    QList<QPointer<QGraphicsView>> m_views;
};

} // namespace

QJsonObject ERScene::toJson() const
{
    QJsonArray entities;
    QJsonArray edges;
    QJsonArray annotations;

    // Topmost first: the reader stacks the first element of an array on top.
    const QList<QGraphicsItem*> all = stackedDiagramItems();
    for (const QGraphicsItem* item : all) {
        switch (item->type()) {
        case DiagramItemType::Entity:
            entities.append(static_cast<const EntityItem*>(item)->toJson());
            break;
        case DiagramItemType::Edge:
            if (const auto* edge = dynamic_cast<const EdgeItem*>(item)) {
                QJsonObject obj = edge->toJson();
                if (edge->isViewEdge())
                    obj.insert(QStringLiteral("kind"), QStringLiteral("entity-view-edge"));
                edges.append(obj);
            }
            break;
        case DiagramItemType::Text:
            annotations.append(static_cast<const TextItem*>(item)->toJson());
            break;
        case DiagramItemType::Group:
            annotations.append(static_cast<const GroupItem*>(item)->toJson());
            break;
        default:
            continue; // slot handles, row labels and editors belong to their items
        }
        eventpump::step();
    }

    QJsonObject root;
    root.insert(keyVersion, QStringLiteral("1.0"));
    root.insert(keyType, QStringLiteral("er-diagram"));
    root.insert(keyEntities, entities);
    root.insert(keyEdges, edges);
    root.insert(keyAnnotations, annotations);
    root.insert(keyDialect, m_dialect);
    return root;
}

bool ERScene::loadFromJson(const QJsonObject& root)
{
    qCDebug(lcScene) << "loadFromJson: starting";
    {
        const LoadingFlag loading(m_loading);
        const RoutingSuspension suspension;
        const RepaintHold repaintHold(views());
        const ChangeListenerPause changePause(this, &ERScene::onSceneChanged);
        readDiagram(root);
    }
    growSceneRectAround(contentBoundingRect());
    qCDebug(lcScene) << "loadFromJson: completed successfully";
    return true;
}

QHash<QString, EntityItem*> ERScene::readEntities(const QJsonArray& entities, const std::function<void()>& step)
{
    QHash<QString, EntityItem*> entitiesById;
    entitiesById.reserve(entities.size());
    for (qsizetype i = entities.size() - 1; i >= 0; --i) {
        const QJsonObject obj = entities.at(i).toObject();
        const QJsonValue titleValue = obj.value(QStringLiteral("title"));
        const QString title = titleValue.isString() ? titleValue.toString() : QStringLiteral("Entity");
        auto* entity = new EntityItem(title, QSizeF(150, 70));
        if (obj.contains(QStringLiteral("id")))
            entity->setId(obj.value(QStringLiteral("id")).toString());
        // Of two entities with the same id, the one later in the array (met
        // first here) keeps it, and edges go to that one; the other gets a
        // fresh id, so that the model never merges two boxes into one table.
        if (entitiesById.contains(entity->id()))
            entity->setId(generateItemId());
        addItem(entity);
        entity->fromJson(obj);
        emit entityAdded(entity);

        entitiesById.insert(entity->id(), entity);
        if (entitiesById.size() % 8 == 0)
            step();
    }
    return entitiesById;
}

QList<EdgeItem*> ERScene::readEdges(const QJsonArray& edges, const QHash<QString, EntityItem*>& entitiesById,
                                   const std::function<void()>& step)
{
    QList<EdgeItem*> edgesToRoute;
    QSet<QString> edgeIds;
    for (qsizetype i = edges.size() - 1; i >= 0; --i) {
        const QJsonObject obj = edges.at(i).toObject();
        const QString from = obj.value(QStringLiteral("from")).toString();
        const QString to = obj.value(QStringLiteral("to")).toString();
        EntityItem* fromEntity = entitiesById.value(from);
        EntityItem* toEntity = entitiesById.value(to);
        if (!fromEntity || !toEntity) {
            qWarning() << "Edge references unknown entity:" << from << "->" << to;
            continue;
        }
        EdgeItem* edge = createEdge(fromEntity, toEntity, false);
        if (!edge)
            continue;
        edge->fromJson(obj);
        // Edge ids name relationships in the model: a repeated one would
        // merge two edges into one relationship.
        if (edgeIds.contains(edge->id()))
            edge->setId(generateItemId());
        edgeIds.insert(edge->id());
        // The entities and the slots of this edge are where they belong (no
        // slot moves while a diagram is read), so an edge that brought no
        // usable route of its own is routed at once: the scene has not yet
        // filed it in its index, from which a change would have to take it
        // out again.
        if (edge->route().size() < 2) {
            edgesToRoute.append(edge);
            edge->updatePath();
        }
        step();
    }
    return edgesToRoute;
}

void ERScene::readAnnotations(const QJsonArray& annotations)
{
    for (qsizetype i = annotations.size() - 1; i >= 0; --i) {
        const QJsonObject obj = annotations.at(i).toObject();
        const QString kind = obj.value(QStringLiteral("kind")).toString();
        if (kind == QLatin1String("text-item")) {
            auto* text = new TextItem(QStringLiteral("Text"));
            addItem(text);
            text->fromJson(obj);
        } else if (kind == QLatin1String("group-item")) {
            auto* group = new GroupItem(QStringLiteral("Group"), QSizeF(240, 160));
            addItem(group);
            group->fromJson(obj);
        }
    }
}

void ERScene::readDiagram(const QJsonObject& root)
{
    clearScene();
    m_dialect = root.value(keyDialect).toString();

    // Items of equal z stack in the order they are added, the last on top,
    // while the writer lists the topmost first. Each array is therefore read
    // from its end, so that a diagram comes back stacked as it was saved.
    WholeSceneUpdates pump(this);
    const std::function<void()> step = [&pump] { pump.step(); };
    // The item index, updated at the passes of the event loop, would be
    // built over and over while the entities come in, anew whenever their
    // count doubles. It is built once, when they are all there.
    ItemIndexPause indexPause(this);
    const QHash<QString, EntityItem*> entitiesById = readEntities(root.value(keyEntities).toArray(), step);

    indexPause.resume();
    // The scene's item index covers the scene rectangle; entities left
    // outside it would make every obstacle look-up of the routing below a
    // scan of the whole diagram. Grow it once, now that they are all there.
    growSceneRectAround(contentBoundingRect());

    const QList<EdgeItem*> edgesToRoute = readEdges(root.value(keyEdges).toArray(), entitiesById, step);
    readAnnotations(root.value(keyAnnotations).toArray());

    // A stored route that runs through an entity (one moved since the route
    // was made, by hand or by another program) would look joined to it.
    EdgeItem::rerouteEdgesCrossing(m_entities, QSet<EdgeItem*>(edgesToRoute.cbegin(), edgesToRoute.cend()));
}
