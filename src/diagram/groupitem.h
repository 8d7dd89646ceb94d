#pragma once

#include "diagram/erscene.h"
#include "diagram/singlelinetextitem.h"
#include "dialogs/stylerecords.h"

#include <QColor>
#include <QFont>
#include <QGraphicsObject>
#include <QJsonObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>

// A titled, rounded frame drawn behind entities to group them visually. It
// lies below everything else (z -1000), can be moved, selected and resized
// with eight handles (never below 80 x 40), edits its title in place on a
// double click on the title, and has its own fill, border and title colours
// for the light and the dark theme.
class GroupItem : public QGraphicsObject
{
    Q_OBJECT
public:
    enum { Type = DiagramItemType::Group };
    static constexpr qreal ZValue = -1000;
    static constexpr qreal MinimumWidth = 80;
    static constexpr qreal MinimumHeight = 40;

    // The size is taken as given; only setRect, resizing and reading JSON
    // keep the minimum.
    GroupItem(const QString& title, QSizeF size, QGraphicsItem* parent = nullptr);
    ~GroupItem() override;

    int type() const override { return Type; }
    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    QString id() const { return m_id; }
    void setId(const QString& id) { m_id = id; }

    QString title() const { return m_title; }
    void setTitle(const QString& title);
    QFont titleFont() const { return m_titleFont; }

    // The frame in item coordinates: (0, 0, width, height).
    QRectF rect() const { return QRectF(0, 0, m_width, m_height); }
    // Moves the item to rect's top-left; the size is raised to 80 x 40.
    void setRect(QRectF rect);

    // Where the title is drawn, in item coordinates.
    QRectF titleRect() const;

    // Stores each valid colour and keeps the current one for each invalid.
    void setColors(const QColor& fillLight, const QColor& borderLight, const QColor& textColorLight,
                   const QColor& fillDark, const QColor& borderDark, const QColor& textColorDark);
    void setColors(const GroupItemStyle& style);
    // The six stored colours (light fill, border, title, then dark).
    GroupItemStyle colors() const;

    // The colours of the current theme; an unset one falls back to the
    // theme's entity fill with alpha 90, border colour or text colour.
    QColor fillColor() const;
    QColor borderColor() const;
    QColor textColor() const;

    // In-place editing of the title with a temporary one-line editor that
    // lives in the scene on top of everything.
    void startEditing();
    void finishEditing();
    void stopEditing();
    SingleLineTextItem* editor() const { return m_editor; }

    // The handle being dragged (1 to 8), 0 when no resize is under way.
    int activeHandle() const { return m_activeHandle; }

    // The "group-item" object of the diagram JSON.
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
    void onThemeChanged();
    void paintTitleAsPath(QPainter* painter, const QRectF& titleRect) const;

    QString m_id;
    QString m_title;
    QFont m_titleFont;
    QColor m_fillLight;
    QColor m_fillDark;
    QColor m_borderLight;
    QColor m_borderDark;
    QColor m_textColorLight;
    QColor m_textColorDark;
    qreal m_width = 0;
    qreal m_height = 0;
    int m_activeHandle = 0;
    QRectF m_resizeStartRect;
    QPointF m_resizePressPos;
    // Guarded: the editor is a QObject that the scene may delete first when
    // it is torn down.
    QPointer<SingleLineTextItem> m_editor;
};
