#pragma once

#include "diagram/erscene.h"
#include "diagram/itemreadwatch.h"
#include "edges/edgepaths.h"
#include "edges/sidechoice.h"

#include <QGraphicsPathItem>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>

class EntityItem;
class QMenu;
class SlotItem;
struct EntityRouteRequest;

// A relationship between two entities of the diagram, or from an entity to
// itself: a right-angled route with rounded corners between two slot handles
// on the entities' borders, with a crow's-foot glyph at each end.
//
// The edge registers itself with both entities, owns the choice of its two
// slots, may create foreign-key rows on its "to" entity and removes them
// again when it goes (unless told not to). Routes come from the routers in
// this folder; this class gathers the rectangles, calls them and stores the
// result. Re-routing while entities are dragged is throttled class-wide: in
// batch mode scheduled updates are queued behind one 33 ms single-shot timer
// and the queue gets a full route when the batch ends.
//
// The QObject base only serves as receiver of connections and as context of
// deferred calls (so that they die with the edge).
class EdgeItem : public QObject, public QGraphicsPathItem
{
public:
    enum { Type = DiagramItemType::Edge };

    static constexpr int FlushIntervalMs = 33;
    static constexpr double GlyphSize = 14.0;

    // Normally only ERScene::createEdge builds edges; it adds them to the
    // scene. With createFKs the primary-key rows of from are copied into to
    // as foreign-key rows linked to this edge.
    EdgeItem(EntityItem* from, EntityItem* to, bool createFKs);
    ~EdgeItem() override;

    int type() const override { return Type; }
    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // True for the dashed link from an entity view to its entity.
    virtual bool isViewEdge() const { return false; }
    // Re-reads the theme colours and the preview state into the pen.
    virtual void updatePen();
    // Whether the ends carry cardinality glyphs (and the right-click menu).
    virtual bool drawsCardinality() const { return true; }

    // ---- data
    EntityItem* fromEntity() const { return m_from; }
    EntityItem* toEntity() const { return m_to; }
    SlotItem* fromSlot() const { return m_fromSlot; }
    SlotItem* toSlot() const { return m_toSlot; }
    bool isSelfRelation() const { return m_from && m_from == m_to; }
    const QString& id() const { return m_id; }
    void setId(const QString& id) { m_id = id; }
    const QList<QPointF>& route() const
    {
        ItemReadWatch::noteRead();
        return m_route;
    }
    // The relationship's name as a file gave it ("label"); kept and written
    // back, empty when there is none.
    const QString& label() const { return m_label; }
    void setLabel(const QString& label) { m_label = label; }
    int startCard() const { return m_startCard; }
    int endCard() const { return m_endCard; }
    // Both repaint.
    void setStartCard(int card);
    void setEndCard(int card);
    // Cleared by whoever deletes the edge but keeps its foreign-key rows.
    bool removeFkRowsOnDestroy() const { return m_removeFkRowsOnDestroy; }
    void setRemoveFkRowsOnDestroy(bool on) { m_removeFkRowsOnDestroy = on; }
    bool isHighlighted() const { return m_highlighted; }
    bool isRouteEditedByHand() const { return m_routeEditedByHand; }
    bool isSegmentDragActive() const { return m_segmentDragActive; }
    int draggedSegment() const { return m_draggedSegment; }

    // ---- drawing a route
    // Stores a computed route and shows it with rounded corners; ends a slot
    // drag preview and clears the hand-edited mark.
    void setRoutePoints(const QList<QPointF>& points);
    // The dashed straight preview between the two slots while a slot handle
    // is dragged; the stored route stays.
    void setStraightPath();

    // ---- routing (class-wide scheduling)
    static void setRoutingSuspended(bool on);
    static bool isRoutingSuspended();
    // Off flushes the timer queue at once and then, unless skipped, routes
    // every edge queued during the batch in full.
    static void setBatchMode(bool on);
    static bool isBatchMode();
    static void setSkipBatchFlush(bool on);
    // Forgets every queued update without routing and stops the timer: for
    // a caller that is about to route every edge itself.
    static void dropQueuedUpdates();
    // Edges waiting for the timer and for the end of the batch.
    static int pendingTimerEdgeCount();
    static int pendingBatchEdgeCount();
    static bool isFlushTimerActive();

    // What the scheduler did, for tests and benchmarks.
    struct RoutingCounters
    {
        quint64 timerFlushes = 0;  // runs of the 33 ms flush
        quint64 batchFlushes = 0;  // full re-routes of a batch at its end
        quint64 fullUpdates = 0;   // updatePath calls
        quint64 quickUpdates = 0;  // quickUpdatePath calls
        quint64 straightShortcuts = 0; // quick updates that needed no router
    };
    static RoutingCounters routingCounters();
    static void resetRoutingCounters();

    // Called by entities after a move or resize: routes now, or queues the
    // edge while in batch mode; nothing while routing is suspended.
    void scheduleUpdate();
    // A full route now: the self-loop router for a self-relation, the
    // two-entity router otherwise.
    void updatePath();
    // The straight line when the slots line up with nothing between them,
    // otherwise a full route (the loop router for a self-relation). Nothing
    // without both slots and a current route.
    void quickUpdatePath();
    // Quick when the route was shaped by hand, full otherwise.
    void refreshRoute();
    // Routes afresh, one after the other once all are found, the edges of
    // the entities' scene whose route runs through one of the entities (an
    // edge's own two entities are not obstacles to it; self-relations and
    // the edges in `handled` are left alone). The other edges keep their
    // routes. Returns the edges routed.
    static QList<EdgeItem*> rerouteEdgesCrossing(const QList<EntityItem*>& entities,
                                                 const QSet<EdgeItem*>& handled = {});
    // A two-entity route now when both ends and slots exist and differ.
    void rerouteIfConnected();

    // The self-relation router's answer for the edge as it stands (no side
    // effects).
    QList<QPointF> routeSelfLoop() const;
    // Nesting index among the self-relations of the entity (0, 2, 4, ...);
    // -1 for other edges.
    int selfLoopIndex() const;
    // Stores a route: simplified, and for two entities checked against the
    // slots (re-routed when it does not fit). Fewer than 2 points: nothing.
    void applyRoute(const QList<QPointF>& route);

    // ---- routing off the GUI thread
    // What the routes and side choices of an edge between two different
    // entities depend on, as plain values: while the entities stand still,
    // the answers for many edges can be found at once on other threads and
    // then applied on the GUI thread, in order, as the calls above would.
    struct RouteInputs
    {
        // The rectangles and keys are set when both ends are present and
        // distinct; valid (and the rest) when both slots exist as well.
        bool valid = false;
        QPointF from;       // scene position of the from-slot
        QPointF to;
        int fromSide = 0;
        int toSide = 0;
        QRectF fromRect; // scene bounding rectangles of the two entities
        QRectF toRect;
        const void* fromKey = nullptr; // the two entities, as keys of a lookup
        const void* toKey = nullptr;
        QList<QPointF> route; // the stored route
    };
    // The scene bounding rectangles of the entities that meet a region,
    // without the two keyed ones, in a fixed order; called from any thread.
    using EntityRectLookup = std::function<QList<QRectF>(const QRectF& region, const void* a, const void* b)>;
    RouteInputs routeInputs() const;
    // The ends, sides and rectangles of a route request between the edge's
    // slots; the obstacles and search region are the caller's.
    static EntityRouteRequest routeRequest(const RouteInputs& inputs);
    // What updatePath would store for the edge (empty: keep the route).
    static QList<QPointF> findRouteAround(const RouteInputs& inputs, const EntityRectLookup& lookup);
    // The side pair chooseBestSides would pick (for two distinct ends).
    static SidePair findBestSides(const RouteInputs& inputs, const EntityRectLookup& lookup);
    // What tryImproveSlotSides would do.
    static SlotSideAdvice findSideImprovement(const RouteInputs& inputs, const EntityRectLookup& lookup);
    // The route applyRoute would store for a candidate (empty: the edge
    // keeps its own).
    static QList<QPointF> fitRoute(const RouteInputs& inputs, const QList<QPointF>& route, const EntityRectLookup& lookup);
    // Whether a route of the edge runs through an entity other than its
    // two, as countEntityCrossings counts.
    static bool crossesEntities(const RouteInputs& inputs, const QList<QPointF>& route, const EntityRectLookup& lookup);
    // Applies an answer found for the edge as it stood: setSlotSides for
    // chooseBestSides, applySideAdvice as tryImproveSlotSides does.
    bool applySideAdvice(const SlotSideAdvice& advice);

    // ---- stored routes
    // A route read from a file fitted to the slots as they are now.
    void reanchorStoredRoute(const QList<QPointF>& points);
    // Shifts the dragged inner segment across itself and redraws.
    void moveSegment(double delta);
    // Whether the stored route runs through another entity.
    bool countEntityCrossings() const;

    // ---- slot sides
    // After a drag: ends whose facing side changed move to the new facing
    // side, then a new route.
    void reassignSlots();
    // Automatic layout: the best side pair for the edge (self-relations:
    // left and right).
    void chooseBestSides();
    // Automatic layout: a better route or side pair when it gains more than
    // 12; true when the slots moved (the caller re-routes).
    bool tryImproveSlotSides();
    void resetSlotsFacing();
    void setSlotSides(int fromSide, int toSide);
    // Releases the to-slot and acquires slots on the given sides facing the
    // other entity (the caller released the from-slot).
    void assignSlotsForSides(int fromSide, int toSide);

    // ---- interaction
    // The draggable inner segment under a scene point, -1 when none.
    int segmentAt(QPointF scenePos) const;
    void openEditDialog();
    // The name the edit dialog shows: "from — to", or "Relationship".
    QString displayName() const;

    // ---- JSON
    QJsonObject toJson() const;
    // Applies a stored edge object to an edge the scene has just made.
    void fromJson(const QJsonObject& obj);

    // ---- lifetime hooks of entities and slots
    // The entity is going: its end of the edge is cut without touching it.
    void forgetEntity(EntityItem* entity);
    // The slot is going.
    void forgetSlot(SlotItem* slot);

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;

    // The base path drawn without the selection frame.
    void paintPath(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget);
    // Segment drag state changes of the interaction.
    void startSegmentDrag(int segment, const QPointF& scenePos);

private:
    static void flushTimerEdges();
    // Spreads the slots of the sides the two slots stand on (when another
    // edge shares one) and routes the other edges whose slot moved.
    void spreadSidesOfSlots();
    static void flushBatchEdges();
    void applyCardinalityChoice(int code, const QPointF& scenePos);
    QMenu* ensureContextMenu();

    QList<QPointF> m_route;
    EntityItem* m_from = nullptr;
    EntityItem* m_to = nullptr;
    SlotItem* m_fromSlot = nullptr;
    SlotItem* m_toSlot = nullptr;
    QPointF m_fromCenter;
    QPointF m_toCenter;
    int m_startCard = CardinalityMany;
    int m_endCard = CardinalityMany;
    bool m_highlighted = false;
    bool m_routeEditedByHand = false;
    bool m_segmentDragActive = false;
    int m_draggedSegment = -1;
    Qt::Orientation m_draggedSegmentOrientation = Qt::Vertical;
    QPointF m_lastDragPos;
    QString m_id;
    QString m_label;
    bool m_removeFkRowsOnDestroy = true;
    bool m_dying = false; // set while the destructor runs
    QPointer<QMenu> m_contextMenu;
    // The hit shape and what it was stroked from (the path and the pen's
    // width), kept until either changes.
    mutable QPainterPath m_shape;
    mutable QPainterPath m_shapeSource;
    mutable double m_shapeWidth = -1.0;
};

// Applies a stored slot object ("side", "x", "y") to a slot handle and snaps
// it onto its entity's border; a null slot is ignored.
void applySlotJson(SlotItem* slot, const QJsonObject& obj);
// The slot object of a handle: its side and its position in its entity.
QJsonObject slotToJson(const SlotItem* slot);
