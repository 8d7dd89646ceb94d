#include "diagram/erview.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGraphicsTextItem>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

const char* const ExplorerMimeType = "application/x-quillmap-explorer";

ERView::ERView(QWidget* parent)
    : QGraphicsView(parent)
{
    init();
}

ERView::ERView(QGraphicsScene* scene, QWidget* parent)
    : QGraphicsView(scene, parent)
{
    init();
}

void ERView::init()
{
    setRenderHint(QPainter::Antialiasing, true);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setDragMode(QGraphicsView::RubberBandDrag);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    setResizeAnchor(QGraphicsView::AnchorViewCenter);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

// ---------------------------------------------------------------- add modes

void ERView::setAddTableMode(bool on)
{
    m_addTableMode = on;
    updateModeCursor();
}

void ERView::setAddViewMode(bool on)
{
    m_addViewMode = on;
    updateModeCursor();
}

void ERView::setAddRelationshipMode(bool on)
{
    m_addRelationshipMode = on;
    updateModeCursor();
}

void ERView::setAddTextMode(bool on)
{
    m_addTextMode = on;
    updateModeCursor();
}

void ERView::setAddGroupMode(bool on)
{
    m_addGroupMode = on;
    updateModeCursor();
}

bool ERView::isInAddMode() const
{
    return m_addTableMode || m_addViewMode || m_addRelationshipMode || m_addTextMode || m_addGroupMode;
}

void ERView::updateModeCursor()
{
    if (isInAddMode()) {
        setCursor(Qt::CrossCursor);
        viewport()->setCursor(Qt::CrossCursor);
    } else {
        unsetCursor();
        viewport()->unsetCursor();
    }
}

// --------------------------------------------------------------------- zoom

void ERView::setZoom(double z)
{
    m_zoom = std::clamp(z, m_minZoom, m_maxZoom);
    applyZoom();
    emit zoomChanged(m_zoom);
}

void ERView::zoomBy(double factor)
{
    setZoom(m_zoom * factor);
}

void ERView::zoomIn()
{
    zoomBy(1.25);
}

void ERView::zoomOut()
{
    zoomBy(0.8);
}

void ERView::resetZoom()
{
    setZoom(1.0);
}

void ERView::fitAll()
{
    if (!scene() || scene()->items().isEmpty())
        return;
    const QRectF r = scene()->itemsBoundingRect().adjusted(-40, -40, 40, 40);
    if (r.width() <= 0 || r.height() <= 0)
        return;
    fitInView(r, Qt::KeepAspectRatio);
}

void ERView::fitInView(const QRectF& rect, Qt::AspectRatioMode mode)
{
    QGraphicsView::fitInView(rect, mode);
    // A fit may leave the zoom range; the next zoom step clamps it again.
    m_zoom = transform().m11();
    emit zoomChanged(m_zoom);
}

void ERView::applyZoom()
{
    setTransform(QTransform::fromScale(m_zoom, m_zoom));
}

// -------------------------------------------------------------------- mouse

namespace {

QMouseEvent leftButtonTwin(QEvent::Type type, const QMouseEvent* event)
{
    const QPointF pos = event->position().toPoint();
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    return QMouseEvent(type, pos, event->scenePosition(), event->globalPosition(), Qt::LeftButton, buttons,
                       event->modifiers(), QPointingDevice::primaryPointingDevice());
}

} // namespace

void ERView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton) {
        setDragMode(QGraphicsView::ScrollHandDrag);
        QMouseEvent press = leftButtonTwin(QEvent::MouseButtonPress, event);
        QGraphicsView::mousePressEvent(&press);
        event->accept();
        return;
    }
    emit sceneClicked(mapToScene(event->position().toPoint()), event->button());
    QGraphicsView::mousePressEvent(event);
}

void ERView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton) {
        QMouseEvent release = leftButtonTwin(QEvent::MouseButtonRelease, event);
        QGraphicsView::mouseReleaseEvent(&release);
        setDragMode(QGraphicsView::RubberBandDrag);
        event->accept();
        return;
    }
    QGraphicsView::mouseReleaseEvent(event);
}

void ERView::mouseMoveEvent(QMouseEvent* event)
{
    emit sceneMouseMoved(mapToScene(event->position().toPoint()));
    QGraphicsView::mouseMoveEvent(event);
}

void ERView::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        zoomBy(std::pow(m_wheelZoomBase, delta.y()));
    } else if (event->modifiers() & Qt::ShiftModifier) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta.y());
    } else {
        verticalScrollBar()->setValue(verticalScrollBar()->value() - delta.y());
        if (delta.x() != 0)
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta.x());
    }
    event->accept();
}

// ----------------------------------------------------------------- keyboard

void ERView::keyPressEvent(QKeyEvent* event)
{
    // Escape in a cell being edited ends the edit, not the tool.
    if (event->key() == Qt::Key_Escape && isInAddMode() && !activeTextEditor()) {
        emit escapePressed();
        event->accept();
        return;
    }
    QGraphicsView::keyPressEvent(event);
}

QGraphicsTextItem* ERView::activeTextEditor() const
{
    if (!scene())
        return nullptr;
    // The one-line editors keep QGraphicsTextItem's item type.
    auto* text = qgraphicsitem_cast<QGraphicsTextItem*>(scene()->focusItem());
    if (text && (text->textInteractionFlags() & Qt::TextEditable))
        return text;
    return nullptr;
}

bool ERView::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool isTab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab
            || key->text() == QLatin1String("\t");
        if (isTab) {
            if (QGraphicsTextItem* editor = activeTextEditor()) {
                event->accept();
                if (event->type() == QEvent::KeyPress)
                    scene()->sendEvent(editor, event);
                return true;
            }
        }
    }
    return QGraphicsView::event(event);
}

bool ERView::focusNextPrevChild(bool next)
{
    if (activeTextEditor())
        return false;
    return QGraphicsView::focusNextPrevChild(next);
}

// -------------------------------------------------------------------- drops

namespace {

QString explorerMimeType()
{
    return QString::fromLatin1(ExplorerMimeType);
}

bool carriesExplorerItems(const QMimeData* data)
{
    return data && data->hasFormat(explorerMimeType());
}

} // namespace

bool ERView::viewportEvent(QEvent* event)
{
    // Every event of the viewport passes here (paints, mouse moves), so
    // nothing is prepared before a drag or drop is known.
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (carriesExplorerItems(drag->mimeData())) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        break;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (carriesExplorerItems(drop->mimeData())) {
            const QPointF scenePos = mapToScene(drop->position().toPoint());
            emit explorerDropRequested(drop->mimeData()->data(explorerMimeType()), scenePos);
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QGraphicsView::viewportEvent(event);
}
