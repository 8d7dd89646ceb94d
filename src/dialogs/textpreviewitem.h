#pragma once

#include <QColor>
#include <QFont>
#include <QGraphicsItem>
#include <QString>

// "Sample text" in the font and colour being edited; its box grows with the
// text and never shrinks below 120 x 28.
class TextPreviewItem : public QGraphicsItem
{
public:
    TextPreviewItem() = default;

    QString text() const { return m_text; }
    QFont font() const { return m_font; }
    QColor color() const { return m_color; }
    void setFontAndColor(const QFont& font, const QColor& color);

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QString m_text = QStringLiteral("Sample text");
    QFont m_font;
    QColor m_color;
};
