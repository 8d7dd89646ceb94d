#pragma once

#include <QColor>
#include <QGraphicsItem>

// A sample group frame ("group_1") in the colours being edited. Invalid
// colours paint in fallbacks: a #5A5A5A border, a translucent grey fill and
// a black title.
class GroupPreviewItem : public QGraphicsItem
{
public:
    GroupPreviewItem() = default;

    void setColors(const QColor& fill, const QColor& border, const QColor& title);
    QColor fill() const { return m_fill; }
    QColor border() const { return m_border; }
    QColor title() const { return m_title; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QColor m_fill;
    QColor m_border;
    QColor m_title;
};
