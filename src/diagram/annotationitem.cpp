#include "diagram/annotationitem.h"

#include "app/dialoghooks.h"
#include "app/thememanager.h"
#include "diagram/erscene.h"
#include "diagram/itemdrawing.h"
#include "diagram/resizegeometry.h"
#include "model/itemid.h"
#include "model/jsonfields.h"

#include <QGraphicsScene>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QMenu>

namespace {

// Room around the box for the resize handles (8 x 8, centred on the edge).
constexpr qreal HandleMargin = 6;

} // namespace

// ------------------------------------------------------------ construction

AnnotationItem::AnnotationItem(qreal zValue, QSizeF size, QGraphicsItem* parent)
    : QGraphicsObject(parent)
    , m_id(generateItemId())
    , m_zValue(zValue)
    , m_width(size.width())
    , m_height(size.height())
{
    setAcceptHoverEvents(true);
    setZValue(m_zValue);
    connect(&ThemeManager::instance(), &ThemeManager::themeChanged, this, &AnnotationItem::refreshEditorColor);
}

AnnotationItem::~AnnotationItem()
{
    stopEditing();
    // Deleted while on the scene: no scene change reaches itemChange.
    if (auto* erScene = qobject_cast<ERScene*>(scene()))
        erScene->unregisterAnnotation(this);
}

// ---------------------------------------------------------------- geometry

QRectF AnnotationItem::boundingRect() const
{
    return rect().adjusted(-HandleMargin, -HandleMargin, HandleMargin, HandleMargin);
}

void AnnotationItem::setRect(QRectF rect)
{
    prepareGeometryChange();
    setPos(rect.topLeft());
    m_width = rect.width();
    m_height = rect.height();
    update();
}

void AnnotationItem::setSize(QSizeF size)
{
    prepareGeometryChange();
    m_width = size.width();
    m_height = size.height();
}

QVariant AnnotationItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemSelectedChange) {
        prepareGeometryChange(); // the shape follows the selection
    } else if (change == ItemSelectedHasChanged) {
        if (auto* erScene = qobject_cast<ERScene*>(scene()))
            erScene->noteSelectionChange();
    } else if (change == ItemSceneChange) {
        if (auto* erScene = qobject_cast<ERScene*>(scene()))
            erScene->unregisterAnnotation(this);
    } else if (change == ItemSceneHasChanged) {
        setZValue(m_zValue);
        if (auto* erScene = qobject_cast<ERScene*>(scene()))
            erScene->registerAnnotation(this);
    }
    return QGraphicsObject::itemChange(change, value);
}

void AnnotationItem::refreshEditorColor()
{
    if (m_editor)
        m_editor->setDefaultTextColor(editedTextColor());
    update();
}

// ---------------------------------------------------------------- resizing

void AnnotationItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && isSelected()) {
        const int handle = resizeHandleAt(rect(), event->pos());
        if (handle != 0) {
            m_activeHandle = handle;
            m_resizeStartRect = QRectF(pos(), QSizeF(m_width, m_height));
            m_resizePressPos = event->scenePos();
            setFlag(ItemIsMovable, false);
            event->accept();
            return;
        }
    }
    QGraphicsObject::mousePressEvent(event);
}

void AnnotationItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_activeHandle == 0) {
        QGraphicsObject::mouseMoveEvent(event);
        return;
    }
    setRect(resizeRectByHandle(m_resizeStartRect, m_activeHandle, event->scenePos() - m_resizePressPos,
                               minimumResizeSize()));
    event->accept();
}

void AnnotationItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_activeHandle == 0) {
        QGraphicsObject::mouseReleaseEvent(event);
        return;
    }
    m_activeHandle = 0;
    setFlag(ItemIsMovable, true);
    event->accept();
}

void AnnotationItem::hoverMoveEvent(QGraphicsSceneHoverEvent* event)
{
    if (isSelected())
        setCursor(resizeCursorForHandle(resizeHandleAt(rect(), event->pos())));
    else
        unsetCursor();
    QGraphicsObject::hoverMoveEvent(event);
}

void AnnotationItem::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    unsetCursor();
    QGraphicsObject::hoverLeaveEvent(event);
}

// ----------------------------------------------------------------- editing

void AnnotationItem::startEditing()
{
    if (m_editor || !scene())
        return;
    auto* editor = new SingleLineTextItem();
    editor->dragEnabled = false;
    editor->setFlag(ItemIsSelectable, false);
    editor->setPlainText(editedText());
    editor->setFont(editedTextFont());
    editor->setDefaultTextColor(editedTextColor());
    placeEditor(editor);
    m_editor = editor;
    connect(editor, &SingleLineTextItem::editingFinished, this, [this] { finishEditing(); });
    editor->startEditing();
    update();
}

void AnnotationItem::finishEditing()
{
    if (!m_editor)
        return;
    const QString text = m_editor->toPlainText();
    stopEditing();
    applyEditedText(text);
    // The text shows again even where applying it changed nothing.
    update();
}

void AnnotationItem::stopEditing()
{
    SingleLineTextItem* editor = m_editor;
    if (!editor)
        return;
    m_editor = nullptr;
    disconnect(editor, nullptr, this, nullptr);
    // Hiding drops the keyboard focus; with the connection cut, the editor's
    // own report of that goes nowhere.
    editor->hide();
    editor->setParentItem(nullptr);
    // Out of the scene at once, so that nobody walking the scene meets an
    // orphaned editor before it is deleted.
    if (QGraphicsScene* s = editor->scene())
        s->removeItem(editor);
    editor->deleteLater();
}

// -------------------------------------------------------------------- JSON

QJsonObject AnnotationItem::boxJson(const QString& kind) const
{
    return QJsonObject{
        {QLatin1String("kind"), kind},
        {QLatin1String("id"), m_id},
        {QLatin1String("x"), pos().x()},
        {QLatin1String("y"), pos().y()},
        {QLatin1String("width"), m_width},
        {QLatin1String("height"), m_height},
    };
}

void AnnotationItem::readIdAndPosition(const QJsonObject& obj)
{
    jsonfields::readId(obj, m_id);
    setPos(jsonfields::readCoordinate(obj, QLatin1String("x"), pos().x()),
           jsonfields::readCoordinate(obj, QLatin1String("y"), pos().y()));
}

// ------------------------------------------------------------ context menu

void AnnotationItem::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    // As on an entity: a right click on an unselected item makes the menu
    // its own, unless Ctrl adds it to the selection.
    if (!isSelected() && !(event->modifiers() & Qt::ControlModifier) && scene())
        scene()->clearSelection();
    setSelected(true);
    QMenu menu;
    QAction* styleAction = menu.addAction(QStringLiteral("Colors and fonts…"));
    QPointer<AnnotationItem> self(this);
    QAction* chosen = DialogHooks::execMenu(&menu, event->screenPos());
    if (self && chosen == styleAction)
        requestStyleDialog();
    event->accept();
}
