// SingleLineTextItem: keys, focus and the mouse.
#include "diagram/singlelinetextitem.h"

#include "diagram/entityitem.h"
#include "diagram/erscene.h"

#include <QApplication>
#include <QCursor>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneMouseEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QTextCursor>

namespace {

bool isBacktabKey(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Backtab
        || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
}

bool isTabKey(const QKeyEvent* key)
{
    return (key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier))
        || key->text() == QLatin1String("\t");
}

bool isReturnKey(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

// -------------------------------------------------------------------- keys

bool SingleLineTextItem::wantsShortcutOverride(const QKeyEvent* key) const
{
    if (!(textInteractionFlags() & Qt::TextEditable))
        return false;
    const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (mods == Qt::NoModifier) {
        if (key->key() < Qt::Key_Escape)
            return true;   // printable characters
        switch (key->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Insert:
            return true;
        default:
            break;
        }
    }
    static const QKeySequence::StandardKey editingKeys[] = {
        QKeySequence::Copy,           QKeySequence::Cut,           QKeySequence::Paste,
        QKeySequence::Undo,           QKeySequence::Redo,          QKeySequence::SelectAll,
        QKeySequence::Delete,         QKeySequence::Backspace,     QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteEndOfWord, QKeySequence::DeleteEndOfLine, QKeySequence::MoveToNextWord,
        QKeySequence::MoveToPreviousWord, QKeySequence::SelectNextWord, QKeySequence::SelectPreviousWord,
        QKeySequence::MoveToStartOfLine, QKeySequence::MoveToEndOfLine, QKeySequence::SelectStartOfLine,
        QKeySequence::SelectEndOfLine, QKeySequence::MoveToStartOfDocument, QKeySequence::MoveToEndOfDocument,
        QKeySequence::SelectStartOfDocument, QKeySequence::SelectEndOfDocument,
    };
    for (QKeySequence::StandardKey standard : editingKeys) {
        if (key->matches(standard))
            return true;
    }
    return false;
}

bool SingleLineTextItem::sceneEvent(QEvent* event)
{
    // What the pointer, the keys and the focus bring is handled by the text
    // control; the activation of the window and a tooltip request are not.
    switch (event->type()) {
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::GraphicsSceneHelp:
        break;
    default:
        ensureDocument();
        break;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isBacktabKey(key) || isTabKey(key) || wantsShortcutOverride(key)) {
            // The window's shortcuts (Delete, Backspace, ...) must not act on
            // the diagram while a cell is being edited.
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isBacktabKey(key)) {
            finishViaBacktab();
            event->accept();
            return true;
        }
        if (isTabKey(key)) {
            finishViaTab();
            event->accept();
            return true;
        }
    }
    return QGraphicsTextItem::sceneEvent(event);
}

void SingleLineTextItem::keyPressEvent(QKeyEvent* event)
{
    const bool backtab = isBacktabKey(event);
    const bool tab = !backtab && isTabKey(event);
    const bool ret = isReturnKey(event);

    // Tab and Backtab end editing below, the popup open or not;
    // finishViaTab takes the popup's row first.
    if (isCompletionPopupVisible() && !tab && !backtab) {
        if (event->key() == Qt::Key_Escape) {
            hidePopup();
            event->accept();
            return;
        }
        if (ret) {
            if (!takeCompletionFromPopup())
                hidePopup();
            finishViaReturn(event->modifiers() & Qt::ShiftModifier);
            event->accept();
            return;
        }
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            movePopupRow(event->key());
            event->accept();
            return;
        default:
            break;
        }
    }

    if (backtab) {
        finishViaBacktab();
        event->accept();
        return;
    }
    if (ret) {
        hidePopup();
        finishViaReturn(event->modifiers() & Qt::ShiftModifier);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        hidePopup();
        clearFocus();   // the focus loss ends editing; what was typed stays
        event->accept();
        return;
    }
    if (tab) {
        finishViaTab();
        event->accept();
        return;
    }
    QGraphicsTextItem::keyPressEvent(event);
    invalidateSize();
}

void SingleLineTextItem::finishViaReturn(bool shift)
{
    if (shift || inLastRow) {
        // The receiver adds a row and moves the focus into it.
        tieToEntity();
        emit newAttributeRequested();
        return;
    }
    dropFocusQuietly();
    tieToEntity();
    emit editingFinished(this, false, false);
}

void SingleLineTextItem::tieToEntity()
{
    if (!rowOfEntity || m_tiedToEntity)
        return;
    m_tiedToEntity = true;
    if (auto* entity = qgraphicsitem_cast<EntityItem*>(parentItem()))
        entity->tieRowLabel(this);
}

void SingleLineTextItem::dropFocusQuietly()
{
    m_finishingQuietly = true;
    clearFocus();
    m_finishingQuietly = false;
}

void SingleLineTextItem::finishViaTab()
{
    if (isCompletionPopupVisible()) {
        if (!takeCompletionFromPopup())
            hidePopup();
    }
    m_finishingViaTab = true;
    clearFocus();
    tieToEntity();
    emit editingFinished(this, true, false);
    m_finishingViaTab = false;
}

void SingleLineTextItem::finishViaBacktab()
{
    hidePopup();
    m_finishingViaBacktab = true;
    clearFocus();
    tieToEntity();
    emit editingFinished(this, false, true);
    m_finishingViaBacktab = false;
}

// ------------------------------------------------------------------- focus

void SingleLineTextItem::focusInEvent(QFocusEvent* event)
{
    settlePendingCaret();
    if (auto* entity = qgraphicsitem_cast<EntityItem*>(parentItem()))
        entity->updateRowHighlight(this, true);
    QGraphicsTextItem::focusInEvent(event);
}

void SingleLineTextItem::focusOutEvent(QFocusEvent* event)
{
    if (pointerOverPopup()) {
        // A click into the completion list must not end editing.
        event->accept();
        return;
    }
    m_editing = false;
    hidePopup();
    if (textInteractionFlags() & Qt::TextEditable) {
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        if (!m_finishingViaTab && !m_finishingViaBacktab && !m_finishingQuietly) {
            tieToEntity();
            emit editingFinished(this, false, false);
        }
    }
    m_finishingViaTab = false;
    m_finishingViaBacktab = false;
    QTextCursor cursor = textCursor();
    cursor.clearSelection();
    setTextCursor(cursor);
    invalidateSize();
    QGraphicsTextItem::focusOutEvent(event);
    if (auto* entity = qgraphicsitem_cast<EntityItem*>(parentItem()))
        entity->updateRowHighlight(this, false);
}

// ------------------------------------------------------------------- mouse

void SingleLineTextItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    settlePendingCaret();
    if (event->button() == Qt::RightButton) {
        if (auto* entity = qgraphicsitem_cast<EntityItem*>(parentItem())) {
            event->accept();
            entity->showContextMenu(event->screenPos(), event->modifiers());
            return;
        }
    }
    if (event->button() == Qt::LeftButton && dragEnabled) {
        m_dragging = false;
        m_pressPos = event->pos();
    }
    QGraphicsTextItem::mousePressEvent(event);
}

void SingleLineTextItem::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    // In an entity the right press has shown the entity's menu; the text
    // menu must not follow it.
    if (qgraphicsitem_cast<EntityItem*>(parentItem())) {
        event->accept();
        return;
    }
    QGraphicsTextItem::contextMenuEvent(event);
}

void SingleLineTextItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) && dragEnabled) {
        auto* entity = qgraphicsitem_cast<EntityItem*>(parentItem());
        if (!m_dragging) {
            if (QLineF(m_pressPos, event->pos()).length() > 5.0) {
                m_dragging = true;
                setCursor(Qt::ClosedHandCursor);
                tieToEntity();
                emit dragStarted(this, event->scenePos());
                event->accept();
                return;
            }
        } else {
            if (entity)
                entity->onAttributeDragMoved(entity->mapFromScene(event->scenePos()));
            event->accept();
            return;
        }
    }
    QGraphicsTextItem::mouseMoveEvent(event);
}

void SingleLineTextItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_dragging) {
        m_dragging = false;
        unsetCursor();
        if (auto* entity = qgraphicsitem_cast<EntityItem*>(parentItem()))
            entity->finishAttributeDrag();
        event->accept();
        return;
    }
    QGraphicsTextItem::mouseReleaseEvent(event);
}

void SingleLineTextItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    startEditing();
    QGraphicsTextItem::mouseDoubleClickEvent(event);
}

QVariant SingleLineTextItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemSelectedHasChanged) {
        if (auto* entity = qgraphicsitem_cast<EntityItem*>(parentItem()))
            entity->onLabelSelectionChanged(this, value.toBool());
    }
    return QGraphicsTextItem::itemChange(change, value);
}
