#include "explorer/projecttreeitemdelegate.h"

#include "diagram/itemdrawing.h"

#include <QFontMetrics>
#include <QLineEdit>

#include <algorithm>

ProjectTreeItemDelegate::ProjectTreeItemDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

ProjectTreeItemDelegate::~ProjectTreeItemDelegate() = default;

QSize ProjectTreeItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max({size.height(), 24, option.fontMetrics.height() + 10}));
    return size;
}

QWidget* ProjectTreeItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                               const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* lineEdit = qobject_cast<QLineEdit*>(editor))
        lineEdit->setTextMargins(2, 1, 2, 1);
    return editor;
}

void ProjectTreeItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                   const QModelIndex& index) const
{
    Q_UNUSED(index)
    if (editor)
        editor->setGeometry(option.rect.adjusted(1, 1, -1, -1));
}

void ProjectTreeItemDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (option && option->text.size() > ShownLineCharacters)
        option->text = shownLine(option->text);
}
