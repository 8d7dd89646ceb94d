#pragma once

#include <algorithm>

#include "diagram/erscene.h"
#include "diagram/singlelinetextitem.h"
#include "dialogs/dualthemecolorscheme.h"

#include <QColor>
#include <QFont>
#include <QGraphicsObject>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>

class EdgeItem;
class EntityRowTexts;
class SlotItem;

// The box of one table or entity view on the canvas: a title, attribute rows
// with a name and a type cell each (all editable in place), eight colours
// (background, border, header, text for each theme), a display mode that
// hides rows, and the relationship edges attached to it. It sizes itself
// from its texts and reports edits through titleChanged, attributeEdited and
// structureChanged. A row gets its two labels (items of their own) only once
// something needs them; till then a child of the entity draws its text. Its
// members are defined by concern: box and painting
// (entityitem.cpp), rows and editing (entityitemrows.cpp), edge hooks and
// foreign-key rows (entityitemedges.cpp), JSON (entityitemjson.cpp),
// interaction and display modes (entityiteminteraction.cpp).
class EntityItem : public QGraphicsObject
{
    Q_OBJECT
    friend class EntityRowTexts;

public:
    enum { Type = DiagramItemType::Entity };

    enum EntityKind : int { TableKind = 0, ViewKind = 1 };

    enum EntityDisplayMode : int {
        FullMode = 0,               // "full": every row
        NamePrimaryForeignMode = 1, // "name-primary-foreign": key and foreign-key rows
        NamePrimaryMode = 2,        // "name-primary": key rows
        NameMode = 3,               // "name": no row
    };

    // One attribute row.
    struct Attribute
    {
        QString name;
        QString type;
        bool isPrimaryKey = false;
        bool isUniqueKey = false;
        bool isForeignKey = false;
        QString fkEdgeId;      // the relationship that made this a foreign key; empty when typed by hand
        bool keyStyle = false; // isPrimaryKey || isUniqueKey
        bool inherited = false; // copied into an entity view from its source
    };

    // Layout constants, in scene units at zoom 1.
    static constexpr qreal HeaderHeight = 28;
    static constexpr qreal FirstRowY = 33;
    static constexpr qreal RowHeight = 18;
    static constexpr qreal TextMargin = 10;
    static constexpr qreal MinimumWidth = 140;

    EntityItem(const QString& title, QSizeF size, QGraphicsItem* parent = nullptr);
    ~EntityItem() override;

    int type() const override { return Type; }
    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // The box in item coordinates; its top-left is (0, 0).
    QRectF rect() const { return m_rect; }

    // ---- identity and appearance
    // The stable id, or the decimal address of the object while it has none.
    QString id() const;
    void setId(const QString& id) { m_id = id; }
    const QString& title() const { return m_title; }
    void setTitle(const QString& title);
    int kind() const { return m_kind; }
    void setKind(int kind);
    int displayMode() const { return m_displayMode; }
    void setDisplayMode(int mode);

    // The colours as stored (unset ones included) and with the unset ones
    // resolved from the theme colour sets.
    DualThemeColorScheme colors() const;
    DualThemeColorScheme effectiveColors() const;
    void setColors(const DualThemeColorScheme& colors);
    // Re-applies the label colours and repaints (also on a theme change).
    void refreshColors();

    // ---- rows
    const QList<Attribute>& attributes() const { return m_attributes; }
    int attributeCount() const { return static_cast<int>(m_attributes.size()); }
    QString attributeName(int i) const;
    QString attributeType(int i) const;
    QString attributeFkEdgeId(int i) const;
    bool attributeIsPrimaryKey(int i) const;
    bool attributeIsUniqueKey(int i) const;
    bool attributeIsForeignKey(int i) const;
    bool attributeIsInherited(int i) const;
    bool isAttributeVisible(int i) const;
    int visibleAttributeCount() const;

    // Appends a row, or updates the row of the same (right-trimmed) name.
    void addAttribute(const QString& name, const QString& type, bool isPrimaryKey = false,
                      bool isUniqueKey = false, bool isForeignKey = false, bool inherited = false);
    // Removes the row that owns a name or type label and emits
    // structureChanged; false, changing nothing, for a foreign label.
    bool removeAttributeForLabel(SingleLineTextItem* label);
    // Removes the first row of that name, with the edges that depend on it.
    void removeAttribute(const QString& name);
    void setAttributeName(int row, const QString& name);
    void setAttributeType(int row, const QString& type);
    void setAttributeKeyFlags(int row, bool isPrimaryKey, bool isUniqueKey);
    // On an entity view: copies of the source's rows, marked inherited.
    void inheritAttributesFrom(EntityItem* source, const QString& edgeId);
    // Moves a row with its labels; nothing for bad or equal indices.
    void moveAttribute(int from, int to);
    // name, or name + "_" + n (n = 2, 3, ...) when another row has it.
    QString uniqueAttributeName(const QString& name, int exceptRow = -1) const;
    // (name, type) of every primary-key row, in row order.
    QList<QPair<QString, QString>> primaryKeyAttributes() const;
    // Type a row gets when its type cell is left blank.
    QString defaultTypeForRow(int row) const;
    // Re-applies fonts, weights and the underline of a row's labels.
    void styleRowLabels(int row);

    // Re-measures the texts and resizes the box.
    void relayoutRows();

    // ---- labels
    // A row's name and type labels are made when first asked for (or when
    // input reaches the row); until then the entity draws the row's text
    // itself, exactly as they would.
    SingleLineTextItem* titleLabel() const { return m_titleLabel; }
    SingleLineTextItem* nameLabel(int row) const;
    SingleLineTextItem* typeLabel(int row) const;
    // Makes the labels of the shown rows whose cells hold scenePos, so that
    // an event there finds them; the scene calls it before dispatching one.
    void makeRowLabelsAt(QPointF scenePos);
    // Makes the labels of every row, in row order (an export paints them).
    void makeAllRowLabels();
    // The row of a name or type label, or -1.
    int rowOfLabel(const SingleLineTextItem* label) const;
    int highlightedRow() const { return m_highlightedRow; }
    void updateRowHighlight(SingleLineTextItem* label, bool focused);
    void clearRowHighlight();
    void onLabelSelectionChanged(SingleLineTextItem* label, bool selected);

    // ---- row drag
    bool isRowDragging() const { return m_dragging; }
    int dragSourceIndex() const { return m_dragSourceIndex; }
    int dropIndex() const { return m_dropIndex; }
    // The row index a dragged row would be inserted before, from the y of
    // a point in item coordinates; the row count means "at the end".
    int dropIndexAt(const QPointF& itemPos) const;

    // ---- edges
    // The attached edges; a self-relation stands in it twice.
    const QList<EdgeItem*>& edges() const { return m_edges; }
    void attachEdge(EdgeItem* edge);
    void removeEdge(EdgeItem* edge);
    // Empties the list at once, for a scene that deletes every edge.
    void detachAllEdges() { m_edges.clear(); }

    // ---- slot handles (child items; a slot is free while it has no edge)
    const QList<SlotItem*>& slotHandles() const { return m_slots; }
    // The first free slot, or a new one at (8, 20 x count + 38) clamped into
    // the box.
    SlotItem* acquireFreeSlot();
    // The first free slot or a new one, put on side at pos (item
    // coordinates) and snapped onto that side.
    SlotItem* acquireSlotForEdge(int side, QPointF pos);
    // A free or new slot in the middle of the side that faces scenePos.
    SlotItem* slotForEdgeAt(QPointF scenePos);
    // Marks one of this entity's slots free; others are ignored.
    void releaseSlot(SlotItem* slot);
    // Told by a slot of this entity (index in slotHandles) that it became
    // free.
    void noteSlotFreed(qsizetype index) { m_freeSlotFrom = std::min(m_freeSlotFrom, index); }

    // ---- foreign-key rows of relationships
    // A new foreign-key row (tables only) name + suffix, made unique, linked
    // to the edge.
    void addForeignKeyAttribute(const QString& name, const QString& type, const QString& edgeId,
                                const QString& suffix);
    void markAttributeForeignKey(int row, const QString& edgeId);
    // Marks the row as a foreign key of that edge or relationship, or, with
    // an empty id, as no foreign key at all.
    void setAttributeForeignKey(int row, const QString& edgeId);
    // Removes the foreign-key rows the edge made, nothing else.
    void removeForeignKeyAttributesOfEdge(const QString& edgeId);
    // Lights the rows linked to the edge up, or down.
    void highlightEdgeRows(EdgeItem* edge, bool on);
    // The rows linked to the edge: those carrying its id, or else the
    // foreign-key rows matching a primary key of its "from" entity.
    QList<int> rowsLinkedToEdge(const EdgeItem* edge) const;

    // ---- menu
    void showContextMenu(const QPoint& screenPos, Qt::KeyboardModifiers modifiers);
    // True when a press may start a drag of several selected items whose
    // edges can be re-routed once at the end.
    static bool canMoveSelectionAsBatch(QGraphicsScene* scene);

    // ---- JSON
    QJsonObject toJson() const;
    void fromJson(const QJsonObject& obj);
    static QString displayModeName(int mode);
    static int displayModeFromJson(const QJsonValue& value);

    // True for empty text and text made only of white space and
    // non-printable characters.
    static bool isBlankText(const QString& text);
    static QString rightTrimmed(const QString& text);

signals:
    void titleChanged(QString title);
    void attributeEdited(int index, QString oldName, QString name, QString type);
    void structureChanged();

public slots:
    void onAttributeEditingFinished(SingleLineTextItem* item, bool viaTab, bool viaBacktab);
    void onAttributeEditingFinished(SingleLineTextItem* item, bool viaTab);
    void onAttributeEditingFinished(SingleLineTextItem* item);
    void onNewAttributeRequested();
    void onAttributeDragStarted(SingleLineTextItem* item, QPointF scenePos);
    void onAttributeDragMoved(QPointF localPos);
    void finishAttributeDrag();
    // Ties a row label's editing, new-row and drag signals to this entity;
    // the label asks before it first emits one.
    void tieRowLabel(SingleLineTextItem* label);

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;

private:
    // The first free slot from m_freeSlotFrom on, or null.
    SlotItem* firstFreeSlot();
    // A new slot at the end of the list.
    SlotItem* appendSlot();

    // The faces and colours of the labels, and the entities of a scene;
    // shared by the source files of this class (entityitem.cpp).
    static QFont labelFont(int weight = QFont::Normal, bool italic = false);
    static QFont rowLabelFont(const Attribute& a, int kind);
    // The face of rowLabelFont: 1 for bold, 2 for italic, or both.
    static int rowFace(const Attribute& a, int kind);
    static void setLabelFont(SingleLineTextItem* label, const QFont& font);
    static void setLabelColor(SingleLineTextItem* label, const QColor& color);
    static QList<EntityItem*> entitiesOn(QGraphicsScene* scene);

    int insertOrUpdateAttribute(const QString& name, const QString& type, bool pk, bool uk, bool fk,
                                bool inherited);
    // insertOrUpdateAttribute for a caller that already knows the row of
    // that (right-trimmed) name: `existing`, or -1 for none, when a new row
    // is appended. Returns the row.
    // Replaces the rows with those of a file's entity object.
    void readRowsFromJson(const QJsonArray& rows);
    int putAttribute(int existing, const QString& trimmedName, const QString& type, bool pk, bool uk, bool fk,
                     bool inherited);
    // The first row of that name other than exceptRow, or -1.
    int indexOfAttribute(const QString& name, int exceptRow = -1) const;
    // "column_" + n for the first n from the row count + 1 that no row but
    // exceptRow has.
    QString freeColumnName(int exceptRow = -1) const;
    // A row label, not yet in the box: the caller puts it there.
    SingleLineTextItem* createRowLabel(bool isType, const QFont& font);
    // Makes the row's two labels unless they exist; stacked among the
    // other row labels in row order when that is cheap.
    void makeRowLabels(int row, bool keepOrder = true);
    // The advance of a row's name or type as its label measures it, made
    // or not.
    qreal cellWidth(int row, bool type) const;
    // The x of a shown row's type cell.
    qreal typeCellX(qreal nameWidth, qreal typeWidth) const;
    // The lowest shown row, or -1.
    int lastShownRow() const;
    // Draws the text of the shown rows without labels (for m_rowTexts).
    void paintRowTexts(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget);
    // What a row's name or type label would show.
    SingleLineTextItem::Look rowLook(int row, bool type) const;
    // Shows m_rowTexts only while it has something to draw: every item
    // painted, even one that paints nothing, leaves its trace in an export.
    void updateRowTextsShown();
    void removeRowAt(int row);
    void ensureKeyRow();
    void layoutLabels();
    // How many rows are shown, and the widest name and type among them.
    struct RowExtent
    {
        int visible = 0;
        qreal nameWidth = 0;
        qreal typeWidth = 0;
    };
    RowExtent visibleRowExtent() const;
    void applyLabelVisibility();
    void refreshLastRowMarks();
    void applyLabelColors();
    QColor currentTextColor() const;
    QString currentDialect() const;
    void onTitleEditingFinished();
    QString defaultEntityTitle() const;
    void startEditingLabel(SingleLineTextItem* label);

    // Hooks into the relationship edges; see the definitions.
    void updateAttachedEdges();
    void deleteEdgesDependingOnRow(int row);
    void setRowEdgesSelected(int row, bool selected);
    QString referencedKeyType(int row) const;
    void propagateKeyType(int row);

    QRectF m_rect;
    QString m_title;
    int m_kind = TableKind;
    int m_displayMode = FullMode;
    QList<EdgeItem*> m_edges;
    QList<Attribute> m_attributes;
    SingleLineTextItem* m_titleLabel = nullptr;
    // The child that draws the rows without labels, stacked right above the
    // title, where the first row label would be.
    EntityRowTexts* m_rowTexts = nullptr;
    int m_rowsWithLabels = 0;
    // A row's labels, or nulls while it has none.
    QList<SingleLineTextItem*> m_nameLabels;
    QList<SingleLineTextItem*> m_typeLabels;
    // The shown rows from top to bottom, as last laid out.
    QList<int> m_shownRows;
    // The measured widths of the rows' texts and what they were measured
    // for; a row asks again once its text or face has changed.
    struct CellWidths
    {
        QString name;
        QString type;
        int face = -1;
        qreal nameWidth = 0;
        qreal typeWidth = 0;
    };
    mutable QList<CellWidths> m_cellWidths;
    QColor m_bgLight;
    QColor m_fgLight;
    QColor m_bgDark;
    QColor m_fgDark;
    QColor m_hdrLight;
    QColor m_hdrDark;
    QColor m_txtLight;
    QColor m_txtDark;
    QList<SlotItem*> m_slots;
    // Every slot before this index is taken: the search for a free one
    // starts here, so that many edges on one entity do not make it
    // quadratic.
    qsizetype m_freeSlotFrom = 0;
    int m_highlightedRow = -1;
    QString m_id;
    bool m_dragging = false;
    // The scene whose bulk move (see ERScene::beginBulkMove) a drag of this
    // entity, or a change of its position, opened and has to end.
    QPointer<ERScene> m_dragBulkMove;
    QPointer<ERScene> m_positionBulkMove;
    int m_dragSourceIndex = -1;
    SingleLineTextItem* m_dragLabel = nullptr;
    QPointF m_dragPos;
    int m_dropIndex = -1;
    int m_layoutDeferred = 0;   // > 0 while many rows are added at once
    // The rows' JSON as toJson last wrote it, and the rows it was written
    // from. The copy shares the rows' storage until they change, which
    // gives them storage of their own: while both are the same, so is the
    // JSON.
    mutable QList<Attribute> m_rowsJsonSource;
    mutable QJsonArray m_rowsJson;
};
