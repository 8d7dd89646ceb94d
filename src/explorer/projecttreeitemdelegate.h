#pragma once

#include <QStyledItemDelegate>

// Row delegate of the Model Explorer: rows at least 24 pixels (and the font
// height + 10) tall, and an in-place editor that sits one pixel inside the
// row with a little room around its text. A name longer than a line shows
// is laid out cut, as the canvas shows it.
class ProjectTreeItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ProjectTreeItemDelegate(QObject* parent = nullptr);
    ~ProjectTreeItemDelegate() override;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
