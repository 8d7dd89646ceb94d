#pragma once

#include "diagram/erscene.h"
#include "diagram/singlelinetextitem.h"
#include "dialogs/stylerecords.h"

#include <QColor>
#include <QFont>
#include <QGraphicsObject>
#include <QJsonObject>
#include <QJsonValue>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>

// The colour named by a JSON string in any form QColor::fromString accepts
// ("#RRGGBB", "#AARRGGBB", colour names); fallback for anything else.
QColor colorFromJson(const QJsonValue& value, const QColor& fallback);

// A free-standing text annotation: one line of text in its own font and
// colour per theme, inside a box that can be moved, resized with eight
// handles while selected, and edited in place with a double click. Text
// items lie above everything else on the canvas (z 1000). Painted without a
// widget (export), the text becomes glyph outlines and no handles show.
class TextItem : public QGraphicsObject
{
    Q_OBJECT
public:
    enum { Type = DiagramItemType::Text };
    static constexpr qreal ZValue = 1000;

    explicit TextItem(const QString& text, QGraphicsItem* parent = nullptr);
    ~TextItem() override;

    int type() const override { return Type; }
    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    QString id() const { return m_id; }
    void setId(const QString& id) { m_id = id; }

    QString text() const { return m_text; }
    // Changes the text; the box grows to fit it but never shrinks.
    void setText(const QString& text);

    QFont font() const { return m_font; }
    // Changes the font; the box grows to fit the text but never shrinks.
    void setFont(const QFont& font);

    // The stored colours; an invalid one stands for the theme's text colour.
    QColor lightColor() const { return m_lightColor; }
    QColor darkColor() const { return m_darkColor; }
    // Stores each colour that is valid and leaves the other unchanged.
    void setColors(const QColor& light, const QColor& dark);
    // The colour of the current theme, the theme's text colour when unset.
    QColor effectiveColor() const;

    // Font and stored colours as one record.
    TextItemStyle style() const { return {m_font, m_lightColor, m_darkColor}; }

    // The box in item coordinates: (0, 0, width, height).
    QRectF rect() const { return QRectF(0, 0, m_width, m_height); }
    // Moves the item to rect's top-left and takes its size as it is.
    void setRect(QRectF rect);

    // The smallest box that shows the text ("Text" while it is empty).
    QSizeF textBoxSize() const;

    // In-place editing with a temporary one-line editor (a child item).
    void startEditing();
    void finishEditing();
    void stopEditing();
    SingleLineTextItem* editor() const { return m_editor; }

    // The handle being dragged (1 to 8, as resizeHandleAt numbers them), 0
    // when no resize is under way.
    int activeHandle() const { return m_activeHandle; }

    // The "text-item" object of the diagram JSON.
    QJsonObject toJson() const;
    void fromJson(const QJsonObject& obj);

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;

private:
    void growToFitText();
    void onThemeChanged();
    void paintTextAsPath(QPainter* painter, const QRectF& textRect) const;

    QString m_id;
    QString m_text;
    QFont m_font;
    QColor m_lightColor;
    QColor m_darkColor;
    qreal m_width = 0;
    qreal m_height = 0;
    int m_activeHandle = 0;
    QRectF m_resizeStartRect;
    QPointF m_resizePressPos;
    // Guarded: the editor is a QObject that the scene may delete first when
    // it is torn down.
    QPointer<SingleLineTextItem> m_editor;
};
