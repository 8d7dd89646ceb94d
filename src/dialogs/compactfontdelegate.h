#pragma once

#include <QStyledItemDelegate>

// Rows of a font family list: 26 pixels high, each family name drawn in its
// own face at 14 pixels.
class CompactFontDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
