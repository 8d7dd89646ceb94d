#include "details/textcombodelegate.h"

#include <QComboBox>

#include <utility>

TextComboDelegate::TextComboDelegate(QObject* parent, ItemProvider provider, bool editable)
    : QStyledItemDelegate(parent)
    , provider(std::move(provider))
    , editable(editable)
{
}

TextComboDelegate::~TextComboDelegate() = default;

QWidget* TextComboDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    Q_UNUSED(option)
    auto* combo = new QComboBox(parent);
    combo->setEditable(editable);
    QStringList items = provider ? provider(index) : QStringList();
    const QString current = index.data(Qt::DisplayRole).toString();
    if (!current.isEmpty() && !items.contains(current, Qt::CaseSensitive))
        items.prepend(current);
    combo->addItems(items);
    return combo;
}

void TextComboDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (!combo)
        return;
    const QString text = index.data(Qt::DisplayRole).toString();
    const int found = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found >= 0)
        combo->setCurrentIndex(found);
    else if (combo->isEditable())
        combo->setCurrentText(text);
}

void TextComboDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (!combo || !model)
        return;
    const QString text = combo->currentText();
    if (text == index.data(Qt::DisplayRole).toString())
        return;
    model->setData(index, text, Qt::EditRole);
}
