#pragma once

#include <QDialog>
#include <QString>

class QLabel;

// The entity's "Edit" dialog: the entity's name with OK and Cancel.
class EntityEditDialog : public QDialog
{
    Q_OBJECT
public:
    explicit EntityEditDialog(const QString& name, QWidget* parent = nullptr);

    QString labelText() const;

private:
    QLabel* m_label = nullptr;
};
