#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class EdgeEditDialog;
}

// "Edit Relationship": the relationship's name, an empty details group, OK
// and Cancel. It changes nothing on the edge.
class EdgeEditDialog : public QDialog
{
    Q_OBJECT
public:
    explicit EdgeEditDialog(const QString& name, QWidget* parent = nullptr);
    ~EdgeEditDialog() override;

    // The caption, "Relationship: " and the name.
    QString labelText() const;

private slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonCancel_clicked();

private:
    std::unique_ptr<Ui::EdgeEditDialog> ui;
};
