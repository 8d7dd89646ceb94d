#pragma once

#include <QStringList>
#include <QStyledItemDelegate>

#include <functional>

// Edits a grid's text cell in a combo box whose items a provider gives for
// the cell being edited. A text that the list lacks is offered first, so
// opening and closing the editor never changes a cell by itself.
class TextComboDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using ItemProvider = std::function<QStringList(const QModelIndex& index)>;

    // editable: whether the combo box accepts free text.
    TextComboDelegate(QObject* parent, ItemProvider provider, bool editable);
    ~TextComboDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    ItemProvider provider;
    bool editable;
};
