#include "dialogs/compactfontdelegate.h"

#include "dialogs/constrainedfontcombobox.h"

#include <QPainter>

QSize CompactFontDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {option.rect.width(), ConstrainedFontComboBox::RowHeight};
}

void CompactFontDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    painter->save();
    const bool selected = opt.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(opt.rect, opt.palette.brush(QPalette::Highlight));
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QString family = index.data(Qt::DisplayRole).toString();
    QFont font(family);
    font.setPixelSize(14);
    painter->setFont(font);
    painter->setClipRect(opt.rect);
    painter->drawText(opt.rect.adjusted(8, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter, family);
    painter->restore();
}
