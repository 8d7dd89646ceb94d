#include "dialogs/entityeditdialog.h"

#include "ui_entityeditdialog.h"

EntityEditDialog::EntityEditDialog(const QString& name, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::EntityEditDialog>())
{
    ui->setupUi(this);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // Names come from the user and from imported files: never markup.
    ui->labelEntityName->setTextFormat(Qt::PlainText);
    ui->labelEntityName->setText(tr("Entity: %1").arg(name));
}

EntityEditDialog::~EntityEditDialog() = default;

QString EntityEditDialog::labelText() const
{
    return ui->labelEntityName->text();
}

void EntityEditDialog::on_pushButtonOK_clicked()
{
    accept();
}

void EntityEditDialog::on_pushButtonCancel_clicked()
{
    reject();
}
