#include "dialogs/textpreviewitem.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

void TextPreviewItem::setFontAndColor(const QFont& font, const QColor& color)
{
    prepareGeometryChange();
    m_font = font;
    m_color = color;
    update();
}

QRectF TextPreviewItem::boundingRect() const
{
    const QFontMetricsF metrics(m_font);
    return {0, 0, std::max<qreal>(metrics.horizontalAdvance(m_text) + 16, 120),
            std::max<qreal>(metrics.height() + 10, 28)};
}

void TextPreviewItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->setFont(m_font);
    painter->setPen(m_color.isValid() ? m_color : QColor(Qt::black));
    painter->drawText(boundingRect(), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}
