#pragma once

#include "dialogs/stylerecords.h"

#include <QColor>
#include <QFont>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineF>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>

#include <array>
#include <optional>
#include <cstdint>
#include <functional>
#include <utility>

class QTimer;
class AnnotationItem;
class EdgeItem;
class EntityItem;
class EntityRectIndex;
class EdgeItem;
class TextItem;
class GroupItem;

// The scene's signals carry these before their classes are known here.
Q_DECLARE_OPAQUE_POINTER(EntityItem*)
Q_DECLARE_OPAQUE_POINTER(EdgeItem*)

// Item type codes of the diagram items; the scene and everything that walks
// it tells items apart by QGraphicsItem::type() alone.
namespace DiagramItemType {
enum : int {
    Entity = QGraphicsItem::UserType + 100,
    Edge = QGraphicsItem::UserType + 101,     // also entity-view edges
    Slot = QGraphicsItem::UserType + 102,
    Text = QGraphicsItem::UserType + 104,
    Group = QGraphicsItem::UserType + 105,
};
}

// The scene of the one live diagram. It owns every item on the canvas, paints
// the background grid, grows its rectangle as items move outwards, makes the
// selected items glow, carries the diagram's dialect and the defaults that
// the style commands set for new items.
class ERScene : public QGraphicsScene
{
    Q_OBJECT
public:
    explicit ERScene(QObject* parent = nullptr);
    ~ERScene() override;

    // Path of the file the diagram was last saved to or loaded from.
    QString currentFilePath() const { return m_filePath; }
    void setCurrentFilePath(const QString& path);

    // SQL dialect of the diagram ("Conceptual ER" for a new scene).
    QString dialect() const { return m_dialect; }
    void setDialect(const QString& dialect);

    // Grid and background; switched only while a diagram is rendered for
    // export. Callers repaint the scene rectangle after a change.
    bool isGridVisible() const { return m_gridVisible; }
    void setGridVisible(bool on);
    bool hasCustomBackground() const { return m_customBackground; }
    QColor customBackgroundColor() const { return m_customBackgroundColor; }
    void setCustomBackground(bool on);
    void setCustomBackgroundColor(const QColor& color);
    // Counts the passes that paint the scene (each starts with its
    // background), so that an item can tell whether it was drawn in this one.
    quint64 paintPass() const { return m_paintPass; }

    // Colours for new tables and entity views: background, header, border and
    // text for the light theme, then for the dark theme. They apply only when
    // all eight are valid.
    std::array<QColor, 8> defaultEntityColors() const { return m_defaultEntityColors; }
    void setDefaultEntityColors(const std::array<QColor, 8>& colors);
    bool hasDefaultEntityColors() const;

    // Style for new text items.
    bool hasDefaultTextStyle() const { return m_hasDefaultTextStyle; }
    TextItemStyle defaultTextStyle() const { return m_defaultTextStyle; }
    void setDefaultTextStyle(const QFont& font, const QColor& light, const QColor& dark);

    // Style for new groups: light fill, border, title, then dark fill,
    // border, title.
    bool hasDefaultGroupStyle() const { return m_hasDefaultGroupStyle; }
    GroupItemStyle defaultGroupStyle() const { return m_defaultGroupStyle; }
    std::array<QColor, 6> defaultGroupColors() const { return m_defaultGroupStyle.toArray(); }
    void setDefaultGroupStyle(const QColor& lightFill, const QColor& lightBorder, const QColor& lightTitle,
                              const QColor& darkFill, const QColor& darkBorder, const QColor& darkTitle);

    // True while clearScene() runs.
    bool isClearing() const { return m_clearing; }

    // Removes and deletes every item: edges first, then entities, then text
    // items and groups. A nested call returns at once.
    void clearScene();

    // A new table "table_<n>" (n = tables on the scene + 1) with its key row
    // "table_<n>_id" typed by the dialect, top-left corner at scenePos.
    EntityItem* addTableAt(QPointF scenePos);
    // A new entity view "view_<n>" with the first free n, no rows.
    EntityItem* addViewAt(QPointF scenePos);
    // A new text item "Text" in the default text style (when one is set),
    // top-left corner at scenePos.
    TextItem* addTextAt(QPointF scenePos);
    // A new 240 x 160 group "group_<n>" with the first free n, in the
    // default group style (when one is set), top-left corner at scenePos.
    GroupItem* addGroupAt(QPointF scenePos);

    // A relationship edge between two entities of this scene (an entity
    // view link when either is a view), or null. With createFKs a table edge
    // adds foreign-key rows to `to` and a view link copies the other
    // entity's rows into the view. Emits edgeAdded.
    EdgeItem* createEdge(EntityItem* from, EntityItem* to, bool createFKs);

    // ---- diagram JSON
    // {"version": "1.0", "type": "er-diagram", "entities", "edges",
    // "annotations", "dialect"}; each array lists its items topmost first.
    QJsonObject toJson() const;
    // Replaces the whole content by the diagram in root. Never fails: what
    // cannot be read is left out. The first element of each array ends up
    // topmost, so writing the result again gives the arrays in the same
    // order. Routing is suspended while loading; edges without a usable
    // stored route are routed at the end. Pending events (user input
    // excluded) are processed now and then, so the busy indicator turns.
    bool loadFromJson(const QJsonObject& root);

    // The union of the scene bounding rectangles of all items: what
    // itemsBoundingRect gives, without first sorting every item (the row
    // labels of a large diagram number hundreds of thousands) into stacking
    // order, which is most of what that costs.
    QRectF itemsExtent() const;

    // The entities, then the edges, then the text items and groups of the
    // scene, each kind topmost first: the order items(Qt::DescendingOrder)
    // gives them in, found without sorting every row label and slot handle
    // of the diagram with them. Where the scene holds an item of these
    // kinds that it did not place itself, the scene's own sort decides.
    QList<QGraphicsItem*> stackedDiagramItems() const;

    // Emits entityAdded for an entity the caller placed itself.
    void notifyEntityAdded(EntityItem* entity);

    // ---- the entities on the scene
    // Every entity on the scene, in the order they came onto it (which is
    // their stacking order: entities all share one z value). Kept without
    // walking the scene's items, where the row labels outnumber the
    // entities many times over.
    const QList<EntityItem*>& entityItems() const { return m_entities; }
    // The scene bounding rectangles of the visible entities whose bounding
    // rectangle meets region, leaving out a and b, bottom-most first: what
    // items(region, Qt::IntersectsItemBoundingRect, Qt::AscendingOrder)
    // gives for the entities, at a fraction of the cost. The routes' look-up
    // of the entities they must keep out of.
    QList<QRectF> entityRectsIn(const QRectF& region, const EntityItem* a = nullptr,
                                const EntityItem* b = nullptr) const;
    // An entity reports that it came onto this scene or leaves it (or is
    // deleted while on it). Only EntityItem calls these.
    void registerEntity(EntityItem* entity);
    void unregisterEntity(EntityItem* entity);

    // ---- moves of many items (diagram/erscenemoves.cpp)
    // A move that changes a large share of the scene's items at once (an
    // entity dragged or placed with thousands of relationships and their
    // slots) runs without the item index: every change would walk the
    // index's cells, which such items crowd, so that the move would cost the
    // square of its items. It is set aside only when the items moved, their
    // children and their edges are at least a quarter of the scene's, and
    // stays aside until the scene is cleared: made anew, the index would
    // file each of those routes in thousands of its cells, and the next such
    // move would set it aside again. Calls nest.
    void beginBulkMove(const QList<EntityItem*>& moved);
    void endBulkMove();
    // The scene is cleared: the index comes back for what comes next.
    void endBulkMoves();
    // Turns the scene's item index off while it lives, or until resume(),
    // and brings it back afterwards: for many items coming in or moving at
    // once, each of which would update the index.
    class ItemIndexPause
    {
    public:
        explicit ItemIndexPause(ERScene* scene);
        ~ItemIndexPause() { resume(); }
        void resume();
        ItemIndexPause(const ItemIndexPause&) = delete;
        ItemIndexPause& operator=(const ItemIndexPause&) = delete;

    private:
        ERScene* m_scene;
        ItemIndexMethod m_method;
    };

    // ---- automatic layout
    // Arranges every entity by connected groups of relationships, packs the
    // groups around the diagram's old centre and routes every edge afresh.
    // Views do not repaint meanwhile; pending events (user input excluded)
    // are processed between stages. The same diagram always gives the same
    // arrangement.
    void autoLayout();
    // Spreads the slots of the entity's edges along each side of its box,
    // ordered by where the other end of each edge lies; free slots stay.
    static void assignEdgeSlots(EntityItem* entity);
    // Longest first by the distance between the centres of the two ends;
    // edges with a missing end last; ties by address.
    static bool edgeLengthGreater(const EdgeItem* a, const EdgeItem* b);
    // ---- the text items and group frames on the scene, kept like the
    // entities, in the order they came onto it. Only AnnotationItem calls
    // the two functions that keep the list.
    const QList<AnnotationItem*>& annotationItems() const { return m_annotations; }
    void registerAnnotation(AnnotationItem* item);
    void unregisterAnnotation(AnnotationItem* item);

    // The bounding rectangle of the entities, their edges and the
    // annotations with everything on them: itemsBoundingRect without
    // putting every row label of the diagram in stacking order first.
    QRectF contentBoundingRect() const;

    // Ends the selection glow and clears the selection with the scene's
    // signals blocked; nothing while clearing.
    void releaseSelection();

    // A diagram item was selected or deselected. The glow follows on the
    // next pass of the event loop, even when the change came while the
    // scene's signals were blocked.
    void noteSelectionChange();

    // One step of the pulsing glow of the selected items.
    void updateSelectionGlow();
    bool isGlowActive() const;

    static bool isGlowable(const QGraphicsItem* item);

    // The background grid over an exposed rectangle: vertical lines at the
    // multiples of the spacing from its left edge to its right, horizontal
    // ones likewise, each across the whole rectangle. The spacing is
    // GridSpacing, doubled as often as needed to keep each direction within
    // MaxGridLines; nothing for an empty or non-finite rectangle.
    static QList<QLineF> gridLines(const QRectF& rect);

    static constexpr int GlowIntervalMs = 40;
    static constexpr int GridSpacing = 20;
    static constexpr int MaxGridLines = 4096;

    // Gives every entity all its row labels, as an export paints them.
    void makeAllRowLabels();

signals:
    void textStyleDialogRequested();
    void groupStyleDialogRequested();
    void entityAdded(EntityItem* entity);
    void edgeAdded(EdgeItem* edge);

protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    // The rows of an entity get their labels when input first reaches them:
    // a press, double click, move, context menu or drag makes the labels of
    // the rows at the event's point, then is dispatched as usual.
    bool event(QEvent* event) override;

private:
    void makeRowLabelsAt(QPointF scenePos);
    // clearScene's first sweep: the edges of the listed entities, the
    // entities and the annotations.
    void deleteRegisteredItems();
    // releaseSelection without its guards: the caller blocks the signals.
    void releaseSelectionNow();
    void onSelectionChanged();
    void handleSelection();
    // Takes the glow off every item that has it but is no longer selected.
    void dropStaleGlow();
    void onThemeChanged();
    void onSceneChanged(const QList<QRectF>& region);
    // Grows the rectangle to hold every item with SceneMargin around it.
    void growSceneRect();
    // The same around bounds, the items' bounding rectangle measured by the
    // caller.
    void growSceneRectAround(const QRectF& bounds);
    void readDiagram(const QJsonObject& root);
    // The steps of readDiagram, each array read from its end; step lets the
    // busy indicator turn.
    QHash<QString, EntityItem*> readEntities(const QJsonArray& entities, const std::function<void()>& step);
    // The edges that brought no route of their own, routed afresh.
    QList<EdgeItem*> readEdges(const QJsonArray& edges, const QHash<QString, EntityItem*>& entitiesById,
                               const std::function<void()>& step);
    void readAnnotations(const QJsonArray& annotations);
    // Gives a new table or view an id and the default colours (when set),
    // puts it at scenePos and reports it.
    EntityItem* placeNewEntity(EntityItem* entity, QPointF scenePos);

    // Room the scene rectangle keeps around the items.
    static constexpr qreal SceneMargin = 300;

    QList<EntityItem*> m_entities;
    int m_bulkMoveDepth = 0;
    std::optional<ItemIndexPause> m_bulkMovePause;
    // Set while automatic layout routes its edges and the entities stand
    // still: entityRectsIn answers from it instead of measuring them all.
    const EntityRectIndex* m_entityRectIndex = nullptr;
    QList<AnnotationItem*> m_annotations;
    // The edges this scene made, numbered in the order they came onto it:
    // among items of one z value that is their stacking order.
    QHash<const EdgeItem*, quint64> m_edgeOrder;
    quint64 m_edgesMade = 0;
    // The items given a glow, with it. An item owns its effect: while the
    // effect lives the item does, and still glows.
    QList<std::pair<QGraphicsItem*, QPointer<QGraphicsDropShadowEffect>>> m_glowing;
    QString m_filePath;
    bool m_gridVisible = true;
    bool m_customBackground = false;
    quint64 m_paintPass = 0;
    QColor m_customBackgroundColor = Qt::white;
    std::array<QColor, 8> m_defaultEntityColors;
    bool m_hasDefaultTextStyle = false;
    TextItemStyle m_defaultTextStyle;
    bool m_hasDefaultGroupStyle = false;
    GroupItemStyle m_defaultGroupStyle;
    QString m_dialect = QStringLiteral("Conceptual ER");
    QTimer* m_glowTimer = nullptr;
    double m_glowPhase = 0.0;
    std::uint64_t m_selectionGeneration = 0;
    bool m_clearing = false;
    bool m_loading = false;     // loadFromJson runs
    // The rectangle held every item with its margin when last measured, and
    // nobody else has set it since.
    bool m_rectCoversItems = false;
    bool m_selectionHandlingPending = false;
};
