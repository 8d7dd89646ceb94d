#pragma once

#include <QColor>
#include <QGraphicsItem>

// A sample table ("customer" with four columns) in the colours being edited.
// The header colour is kept but not painted: the header band shows the
// background under the title.
class EntityPreviewItem : public QGraphicsItem
{
public:
    EntityPreviewItem() = default;

    void setColors(const QColor& background, const QColor& header, const QColor& border, const QColor& text);
    QColor background() const { return m_background; }
    QColor header() const { return m_header; }
    QColor border() const { return m_border; }
    QColor text() const { return m_text; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QColor m_background;
    QColor m_header;
    QColor m_border;
    QColor m_text;
};
