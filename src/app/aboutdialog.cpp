#include "app/aboutdialog.h"

#include "ui_aboutdialog.h"

#include <QCoreApplication>
#include <QGraphicsDropShadowEffect>

namespace {

void addShadow(QWidget* widget, qreal blur, const QColor& color, QPointF offset)
{
    auto* shadow = new QGraphicsDropShadowEffect(widget);
    shadow->setBlurRadius(blur);
    shadow->setColor(color);
    shadow->setOffset(offset);
    widget->setGraphicsEffect(shadow);
}

} // namespace

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    setFixedSize(size());
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    connect(this, &QDialog::accepted, this, &QWidget::close);

    ui->frameChrome->setAttribute(Qt::WA_StyledBackground);
    ui->frameCentral->setAttribute(Qt::WA_StyledBackground);
    ui->frostedPane->setAttribute(Qt::WA_StyledBackground);
    ui->frostedPane->setAutoFillBackground(false);

    addShadow(ui->frameChrome, 28, QColor(0, 0, 0, 180), QPointF(0, 6));

    ui->plainTextEditAbout->setReadOnly(true);
    // Read-only text is selectable by default; this box is not.
    ui->plainTextEditAbout->setTextInteractionFlags(Qt::NoTextInteraction);
    ui->plainTextEditAbout->setCursorWidth(0);
    ui->plainTextEditAbout->appendPlainText(QStringLiteral("Version ")
                                            + QCoreApplication::applicationVersion());
    ui->plainTextEditAbout->appendPlainText(QString());
    ui->plainTextEditAbout->appendPlainText(
        QStringLiteral("Quillmap is a desktop application for designing, visualizing and managing "
                       "database metadata and entity-relationship diagrams."));

    addShadow(ui->labelTitle, 16, QColor(255, 255, 255, 150), QPointF(1, 1));
    addShadow(ui->labelAuthor, 16, QColor(255, 255, 255, 150), QPointF(1, 1));
}

AboutDialog::~AboutDialog()
{
    delete ui;
}
