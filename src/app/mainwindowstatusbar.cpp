// MainWindow: the header bar, the status bar and zoom.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "diagram/erview.h"

#include <QDockWidget>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStatusBar>
#include <QToolButton>

#include <cmath>

void MainWindow::setupStatusBar()
{
    // Header bar above the canvas: no title bar, fixed in the top area.
    QDockWidget* header = ui->dockWidgetPrjModDiag;
    auto* emptyTitle = new QWidget(header);
    emptyTitle->setFixedHeight(0);
    header->setTitleBarWidget(emptyTitle);
    header->setFeatures(QDockWidget::NoDockWidgetFeatures);
    header->setAllowedAreas(Qt::TopDockWidgetArea);
    header->setFloating(false);
    header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    header->show();

    projectCaption = ui->labelProjectCaption;
    modelCaption = ui->labelModelCaption;
    dialectCaption = ui->labelDialectCaption;
    diagramCaption = ui->labelDiagramCaption;
    projectNameEdit = ui->editProjectName;
    modelNameEdit = ui->editModelName;
    diagramNameEdit = ui->editDiagramName;
    dialectCombo = ui->comboBoxDatabase;
    connect(projectNameEdit, &QLineEdit::editingFinished, this, &MainWindow::onProjectNameEditingFinished);
    connect(modelNameEdit, &QLineEdit::editingFinished, this, &MainWindow::onModelNameEditingFinished);
    connect(diagramNameEdit, &QLineEdit::editingFinished, this, &MainWindow::onDiagramNameEditingFinished);

    QStatusBar* bar = statusBar();

    filenameFrame = new QFrame(bar);
    filenameFrame->setObjectName(QStringLiteral("filenameFrame"));
    auto* fileLayout = new QHBoxLayout(filenameFrame);
    fileLayout->setContentsMargins(5, 2, 5, 2);
    labelFileName = new QLabel(filenameFrame);
    labelFileName->setObjectName(QStringLiteral("labelFileName"));
    // A file name is shown as it is, never interpreted as markup.
    labelFileName->setTextFormat(Qt::PlainText);
    labelFileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labelFileName->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    labelFileName->setMinimumWidth(80);
    labelFileName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fileLayout->addWidget(labelFileName);
    bar->addWidget(filenameFrame, 1);
    setFilePathDisplay(QString());

    alertsFrame = new QFrame(bar);
    alertsFrame->setObjectName(QStringLiteral("alertsFrame"));
    auto* alertsLayout = new QHBoxLayout(alertsFrame);
    alertsLayout->setContentsMargins(5, 2, 5, 2);
    buttonAlerts = new QToolButton(alertsFrame);
    buttonAlerts->setObjectName(QStringLiteral("buttonAlerts"));
    buttonAlerts->setAutoRaise(true);
    buttonAlerts->setIcon(QIcon(QStringLiteral(":/images/resources/images/notification.png")));
    buttonAlerts->setEnabled(false);
    alertsLayout->addWidget(buttonAlerts);
    bar->addPermanentWidget(alertsFrame, 0);

    zoomFrame = new QFrame(bar);
    zoomFrame->setObjectName(QStringLiteral("zoomFrame"));
    zoomFrame->setMinimumWidth(248);
    auto* zoomLayout = new QHBoxLayout(zoomFrame);
    zoomLayout->setContentsMargins(5, 2, 5, 2);
    zoomLayout->setSpacing(4);

    buttonFitAll = new QToolButton(zoomFrame);
    buttonFitAll->setObjectName(QStringLiteral("buttonFitAll"));
    buttonFitAll->setAutoRaise(true);
    buttonFitAll->setIconSize(QSize(16, 16));
    buttonFitAll->setToolButtonStyle(Qt::ToolButtonIconOnly);
    buttonFitAll->setDefaultAction(fitAllAction);
    zoomLayout->addWidget(buttonFitAll);

    buttonZoomReset = new QToolButton(zoomFrame);
    buttonZoomReset->setObjectName(QStringLiteral("buttonZoomReset"));
    buttonZoomReset->setAutoRaise(true);
    buttonZoomReset->setToolButtonStyle(Qt::ToolButtonTextOnly);
    buttonZoomReset->setDefaultAction(resetZoomAction);
    zoomLayout->addWidget(buttonZoomReset);

    zoomSlider = new QSlider(Qt::Horizontal, zoomFrame);
    zoomSlider->setObjectName(QStringLiteral("zoomSlider"));
    zoomSlider->setRange(10, 400);
    zoomSlider->setValue(100);
    zoomSlider->setSingleStep(10);
    zoomSlider->setPageStep(10);
    zoomSlider->setTickInterval(10);
    zoomSlider->setMinimumWidth(90);
    zoomSlider->setToolTip(QStringLiteral("Zoom 100%"));
    zoomLayout->addWidget(zoomSlider, 1);

    labelZoomPercent = new QLabel(QStringLiteral("100%"), zoomFrame);
    labelZoomPercent->setObjectName(QStringLiteral("labelZoomPercent"));
    labelZoomPercent->setMinimumWidth(40);
    labelZoomPercent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    zoomLayout->addWidget(labelZoomPercent);

    bar->addPermanentWidget(zoomFrame, 0);
    connect(zoomSlider, &QSlider::valueChanged, this, &MainWindow::setViewZoom);

    bar->show();
}

void MainWindow::sliderSetZoom(double value)
{
    const int percent = static_cast<int>(std::lround(value * 100.0));
    labelZoomPercent->setText(QStringLiteral("%1%").arg(percent));
    zoomSlider->setToolTip(QStringLiteral("Zoom %1%").arg(percent));
    if (updatingViewZoom)
        return;
    updatingZoomSlider = true;
    zoomSlider->setValue(percent);
    updatingZoomSlider = false;
}

void MainWindow::setViewZoom(int value)
{
    // The view's own change, shown already: the slider may have clamped it,
    // and the label keeps the view's scale.
    if (updatingZoomSlider)
        return;
    labelZoomPercent->setText(QStringLiteral("%1%").arg(value));
    zoomSlider->setToolTip(QStringLiteral("Zoom %1%").arg(value));
    updatingViewZoom = true;
    ui->view->setZoom(value / 100.0);
    updatingViewZoom = false;
}

void MainWindow::setFilePathDisplay(const QString& path)
{
    currentFilePath = path;
    const QString shown = path.isEmpty() ? QStringLiteral("No file") : QFileInfo(path).fileName();
    const QString tip = path.isEmpty() ? QStringLiteral("No file") : path;
    labelFileName->setText(shown);
    labelFileName->setToolTip(tip);
    filenameFrame->setToolTip(tip);
}
