// EdgeItem: selection, the mouse on an edge, its menu and its dialog.
#include "edges/edgeitem.h"

#include "app/dialoghooks.h"
#include "diagram/entityitem.h"
#include "diagram/slotitem.h"
#include "dialogs/edgeeditdialog.h"
#include "edges/routegeometry.h"
#include "edges/storedroute.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGraphicsScene>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QMenu>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

QString trEdge(const char* text)
{
    return QCoreApplication::translate("EdgeItem", text);
}

} // namespace

// ============================================================ selection

QVariant EdgeItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemSelectedHasChanged) {
        if (auto* erScene = qobject_cast<ERScene*>(scene()))
            erScene->noteSelectionChange();
        const bool selected = value.toBool();
        QTimer::singleShot(0, this, [this, selected] {
            if (!scene())
                return;
            updatePen();
            if (m_fromSlot && m_from && m_from->scene())
                m_fromSlot->setActive(selected);
            if (m_toSlot && m_to && m_to->scene())
                m_toSlot->setActive(selected);
            if (m_to && m_to->scene())
                m_to->highlightEdgeRows(this, selected);
        });
    }
    return QGraphicsPathItem::itemChange(change, value);
}

// ============================================================ interaction

int EdgeItem::segmentAt(QPointF scenePos) const
{
    return routeSegmentAt(m_route, scenePos);
}

void EdgeItem::startSegmentDrag(int segment, const QPointF& scenePos)
{
    m_draggedSegment = segment;
    m_segmentDragActive = true;
    m_draggedSegmentOrientation = routeSegmentOrientation(m_route, segment);
    m_lastDragPos = scenePos;
    setSelected(true);
    setCursor(m_draggedSegmentOrientation == Qt::Vertical ? Qt::SizeHorCursor : Qt::SizeVerCursor);
}

QMenu* EdgeItem::ensureContextMenu()
{
    if (m_contextMenu)
        return m_contextMenu;
    auto* menu = new QMenu;
    const struct {
        const char* text;
        int code;
    } entries[] = {{"One", CardinalityOne},
                   {"Zero or One", CardinalityZeroOrOne},
                   {"Many", CardinalityMany},
                   {"Zero or Many", CardinalityZeroOrMany}};
    for (const auto& entry : entries)
        menu->addAction(QString::fromLatin1(entry.text))->setData(entry.code);
    menu->addSeparator();
    menu->addAction(trEdge("Edit"))->setData(QStringLiteral("edit"));
    m_contextMenu = menu;
    return menu;
}

void EdgeItem::applyCardinalityChoice(int code, const QPointF& scenePos)
{
    if (!m_fromSlot || !m_toSlot)
        return;
    const QPointF a = m_fromSlot->scenePos();
    const QPointF b = m_toSlot->scenePos();
    const auto d2 = [](const QPointF& p, const QPointF& q) {
        const QPointF d = p - q;
        return d.x() * d.x() + d.y() * d.y();
    };
    if (d2(scenePos, a) < d2(scenePos, b) || a == b)
        m_startCard = code;
    else
        m_endCard = code;
    update();
}

void EdgeItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int segment = segmentAt(event->scenePos());
        if (segment < 0) {
            update();
            QGraphicsPathItem::mousePressEvent(event);
            return;
        }
        if (!(event->modifiers() & Qt::ControlModifier) && scene())
            scene()->clearSelection();
        startSegmentDrag(segment, event->scenePos());
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        if (!(event->modifiers() & Qt::ControlModifier) && scene())
            scene()->clearSelection();
        setSelected(true);
        if (!drawsCardinality()) {
            event->accept();
            return;
        }
        QPointer<EdgeItem> self(this);
        const QPointF pressPos = event->scenePos();
        QMenu* menu = ensureContextMenu();
        QAction* chosen = DialogHooks::execMenu(menu, event->screenPos());
        if (!self)
            return; // the edge went while the menu was open
        event->accept();
        if (!chosen) {
            update();
            return;
        }
        if (chosen->data().toString() == QLatin1String("edit"))
            openEditDialog();
        else
            applyCardinalityChoice(chosen->data().toInt(), pressPos);
        if (self)
            update();
        return;
    }
    update();
    QGraphicsPathItem::mousePressEvent(event);
}

void EdgeItem::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    // The right press has dealt with the menu (or, on a view edge, with
    // having none); the context-menu event of that press must not open the
    // menu of an item beneath, such as a group frame.
    event->accept();
}

void EdgeItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (!m_segmentDragActive) {
        QGraphicsPathItem::mouseMoveEvent(event);
        return;
    }
    const QPointF p = event->scenePos();
    const double delta = m_draggedSegmentOrientation == Qt::Vertical ? p.x() - m_lastDragPos.x()
                                                                     : p.y() - m_lastDragPos.y();
    moveSegment(delta);
    m_routeEditedByHand = true;
    m_lastDragPos = p;
    event->accept();
}

void EdgeItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_segmentDragActive && event->button() == Qt::LeftButton) {
        m_segmentDragActive = false;
        m_draggedSegment = -1;
        setCursor(Qt::ArrowCursor);
        event->accept();
        return;
    }
    QGraphicsPathItem::mouseReleaseEvent(event);
}

void EdgeItem::hoverMoveEvent(QGraphicsSceneHoverEvent* event)
{
    if (m_segmentDragActive) {
        event->accept();
        return;
    }
    const int segment = segmentAt(event->scenePos());
    if (segment < 0)
        setCursor(Qt::ArrowCursor);
    else
        setCursor(routeSegmentOrientation(m_route, segment) == Qt::Vertical ? Qt::SizeHorCursor
                                                                             : Qt::SizeVerCursor);
    QGraphicsPathItem::hoverMoveEvent(event);
}

void EdgeItem::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    if (!m_segmentDragActive)
        setCursor(Qt::ArrowCursor);
    QGraphicsPathItem::hoverLeaveEvent(event);
}

QString EdgeItem::displayName() const
{
    const QString fromTitle = m_from ? m_from->title() : QString();
    const QString toTitle = m_to ? m_to->title() : QString();
    if (fromTitle.isEmpty() && toTitle.isEmpty())
        return trEdge("Relationship");
    return trEdge("%1 \u2014 %2").arg(fromTitle, toTitle);
}

void EdgeItem::openEditDialog()
{
    QWidget* parent = nullptr;
    if (QGraphicsScene* s = scene()) {
        if (!s->views().isEmpty())
            parent = s->views().constFirst();
    }
    EdgeEditDialog dialog(displayName(), parent);
    DialogHooks::execDialog(&dialog);
}

void EdgeItem::moveSegment(double delta)
{
    if (!moveRouteSegment(m_route, m_draggedSegment, m_draggedSegmentOrientation, delta))
        return;
    setPath(buildRoundedPath(m_route, EdgeCornerRadius));
    updatePen();
}
