#include "dialogs/edgeeditdialog.h"

#include "ui_edgeeditdialog.h"

EdgeEditDialog::EdgeEditDialog(const QString& name, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::EdgeEditDialog>())
{
    ui->setupUi(this);
    ui->labelRelationship->setText(tr("Relationship: %1").arg(name));
}

EdgeEditDialog::~EdgeEditDialog() = default;

QString EdgeEditDialog::labelText() const
{
    return ui->labelRelationship->text();
}
