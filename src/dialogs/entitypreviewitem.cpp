#include "dialogs/entitypreviewitem.h"

#include <QPainter>

#include <algorithm>

namespace {
constexpr qreal HeaderHeight = 32;
constexpr qreal RowHeight = 22;
constexpr qreal FirstRowTop = 40;
constexpr qreal SideMargin = 12;
constexpr qreal TypeColumnWidth = 80;
} // namespace

void EntityPreviewItem::setColors(const QColor& background, const QColor& header, const QColor& border,
                                  const QColor& text)
{
    m_background = background;
    m_header = header;
    m_border = border;
    m_text = text;
    update();
}

QRectF EntityPreviewItem::boundingRect() const
{
    return {0, 0, 220, 164};
}

void EntityPreviewItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const QRectF r = boundingRect();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(m_border, 2));
    painter->setBrush(m_background);
    painter->drawRoundedRect(r, 8, 8);

    const QRectF header(r.left(), r.top(), r.width(), HeaderHeight);
    painter->setPen(QPen(m_border, 1));
    painter->drawLine(QPointF(r.left(), r.top() + HeaderHeight), QPointF(r.right(), r.top() + HeaderHeight));

    painter->setPen(m_text);
    const QFont base = painter->font();
    QFont titleFont = base;
    titleFont.setWeight(QFont::Bold);
    if (base.pointSizeF() > 0)
        titleFont.setPointSizeF(base.pointSizeF() + 1);
    painter->setFont(titleFont);
    painter->drawText(header, Qt::AlignCenter, QStringLiteral("customer"));

    QFont rowFont = base;
    rowFont.setWeight(QFont::Normal);
    rowFont.setStyle(QFont::StyleNormal);
    if (base.pointSizeF() > 0)
        rowFont.setPointSizeF(std::max<qreal>(base.pointSizeF() - 1, 8));
    QFont keyFont = rowFont;
    keyFont.setWeight(QFont::Bold);
    QFont typeFont = rowFont;
    typeFont.setItalic(true);

    struct Row
    {
        const char* name;
        const char* type;
        bool key;
    };
    static const Row rows[] = {{"id_customer", "uuid", true},
                               {"name", "varchar", false},
                               {"email", "varchar", false},
                               {"created_at", "timestamp", false}};
    const qreal width = r.width() - 2 * SideMargin;
    qreal top = r.top() + FirstRowTop;
    for (const Row& row : rows) {
        const QRectF nameRect(r.left() + SideMargin, top, width - TypeColumnWidth, RowHeight);
        const QRectF typeRect(nameRect.right(), top, TypeColumnWidth, RowHeight);
        painter->setFont(row.key ? keyFont : rowFont);
        painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(row.name));
        painter->setFont(typeFont);
        painter->drawText(typeRect, Qt::AlignRight | Qt::AlignVCenter, QString::fromLatin1(row.type));
        top += RowHeight;
    }
    painter->setFont(base);
}
