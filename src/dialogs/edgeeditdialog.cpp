#include "dialogs/edgeeditdialog.h"

#include "ui_edgeeditdialog.h"

EdgeEditDialog::EdgeEditDialog(const QString& name, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::EdgeEditDialog>())
{
    ui->setupUi(this);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // Names come from the user and from imported files: never markup.
    ui->labelRelationshipName->setTextFormat(Qt::PlainText);
    ui->labelRelationshipName->setText(tr("Relationship: %1").arg(name));
}

EdgeEditDialog::~EdgeEditDialog() = default;

QString EdgeEditDialog::labelText() const
{
    return ui->labelRelationshipName->text();
}

void EdgeEditDialog::on_pushButtonOK_clicked()
{
    accept();
}

void EdgeEditDialog::on_pushButtonCancel_clicked()
{
    reject();
}
