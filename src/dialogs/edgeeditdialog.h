#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class EdgeEditDialog;
}

// The relationship's "Edit" dialog: its name, an empty details group, OK
// and Cancel. It changes nothing on the edge.
class EdgeEditDialog : public QDialog
{
    Q_OBJECT
public:
    explicit EdgeEditDialog(const QString& name, QWidget* parent = nullptr);
    ~EdgeEditDialog() override;

    QString labelText() const;

private:
    std::unique_ptr<Ui::EdgeEditDialog> ui;
};
