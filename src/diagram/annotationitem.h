#pragma once

#include "diagram/singlelinetextitem.h"

#include <QColor>
#include <QFont>
#include <QGraphicsObject>
#include <QJsonObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>

// What text items and group frames have in common: a box of their own size
// on a layer of their own, resized with eight handles while selected, whose
// text is edited in place with a temporary one-line editor, and whose
// context menu offers the item's "Colors and fonts…" dialog.
class AnnotationItem : public QGraphicsObject
{
    Q_OBJECT
public:
    ~AnnotationItem() override;

    QRectF boundingRect() const override;

    // A new item makes its own id; reading JSON may replace it.
    QString id() const { return m_id; }
    void setId(const QString& id) { m_id = id; }

    // The box in item coordinates: (0, 0, width, height).
    QRectF rect() const { return QRectF(0, 0, m_width, m_height); }
    // Moves the item to rect's top-left and takes its size as it is.
    virtual void setRect(QRectF rect);

    // In-place editing with a temporary one-line editor.
    void startEditing();
    void finishEditing();
    void stopEditing();
    SingleLineTextItem* editor() const { return m_editor; }

    // The handle being dragged (1 to 8, as resizeHandleAt numbers them), 0
    // when no resize is under way.
    int activeHandle() const { return m_activeHandle; }

protected:
    // The item keeps zValue in whatever scene it is put.
    AnnotationItem(qreal zValue, QSizeF size, QGraphicsItem* parent);

    // Changes the size and leaves the position.
    void setSize(QSizeF size);

    // The keys every annotation object of the diagram JSON starts with:
    // "kind", "id", "x", "y", "width" and "height".
    QJsonObject boxJson(const QString& kind) const;
    // Takes "id" when it is a string and "x" and "y" where they are numbers;
    // anything else keeps what the item has.
    void readIdAndPosition(const QJsonObject& obj);
    // Gives a running editor the current text colour and repaints.
    void refreshEditorColor();

    // The smallest box a resize may leave.
    virtual QSizeF minimumResizeSize() const = 0;
    // The text the editor starts with, in its font and its colour in the
    // current theme.
    virtual QString editedText() const = 0;
    virtual QFont editedTextFont() const = 0;
    virtual QColor editedTextColor() const = 0;
    // Puts a new editor over the text it edits.
    virtual void placeEditor(SingleLineTextItem* editor) = 0;
    // Takes the text the editor was left with, blank or not.
    virtual void applyEditedText(const QString& text) = 0;
    // Asks the scene for the dialog of the item's colours and fonts.
    virtual void requestStyleDialog() = 0;

    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;

private:
    QString m_id;
    qreal m_zValue = 0;
    qreal m_width = 0;
    qreal m_height = 0;
    int m_activeHandle = 0;
    QRectF m_resizeStartRect;
    QPointF m_resizePressPos;
    // Guarded: the editor is a QObject that the scene may delete first when
    // it is torn down.
    QPointer<SingleLineTextItem> m_editor;
};
