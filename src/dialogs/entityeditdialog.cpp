#include "dialogs/entityeditdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

EntityEditDialog::EntityEditDialog(const QString& name, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("EntityEditDialog"));
    setWindowTitle(tr("Edit Entity"));
    auto* layout = new QVBoxLayout(this);
    m_label = new QLabel(tr("Entity: %1").arg(name), this);
    m_label->setObjectName(QStringLiteral("labelEntityName"));
    m_label->setTextFormat(Qt::PlainText);
    layout->addWidget(m_label);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString EntityEditDialog::labelText() const
{
    return m_label->text();
}
