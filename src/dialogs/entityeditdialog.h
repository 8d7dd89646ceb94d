#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class EntityEditDialog;
}

// "Edit Entity": the entity's name, an empty details group, OK and Cancel.
// It changes nothing on the entity.
class EntityEditDialog : public QDialog
{
    Q_OBJECT
public:
    explicit EntityEditDialog(const QString& name, QWidget* parent = nullptr);
    ~EntityEditDialog() override;

    // The caption, "Entity: " and the name.
    QString labelText() const;

private slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonCancel_clicked();

private:
    std::unique_ptr<Ui::EntityEditDialog> ui;
};
