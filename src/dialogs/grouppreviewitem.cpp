#include "dialogs/grouppreviewitem.h"

#include <QPainter>

void GroupPreviewItem::setColors(const QColor& fill, const QColor& border, const QColor& title)
{
    m_fill = fill;
    m_border = border;
    m_title = title;
    update();
}

QRectF GroupPreviewItem::boundingRect() const
{
    return {0, 0, 220, 150};
}

void GroupPreviewItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(m_border.isValid() ? m_border : QColor(0x5A, 0x5A, 0x5A), 1.5));
    painter->setBrush(m_fill.isValid() ? m_fill : QColor(200, 200, 200, 90));
    painter->drawRoundedRect(boundingRect(), 2, 2);

    QFont font(QStringLiteral("JetBrains Mono"), 10);
    font.setWeight(QFont::Bold);
    painter->setFont(font);
    painter->setPen(m_title.isValid() ? m_title : QColor(Qt::black));
    painter->drawText(QRectF(8, 4, 200, 22), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("group_1"));
}
