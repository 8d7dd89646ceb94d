#include "explorer/explorereditkeyfilter.h"

#include <QAbstractItemView>
#include <QKeyEvent>

ExplorerEditKeyFilter::ExplorerEditKeyFilter(QAbstractItemView* view)
    : QObject(view)
    , m_view(view)
{
    view->installEventFilter(this);
}

ExplorerEditKeyFilter::~ExplorerEditKeyFilter() = default;

bool ExplorerEditKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_view || event->type() != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F2 || key->modifiers() != Qt::NoModifier)
        return false;
    if (!m_view->editTriggers().testFlag(QAbstractItemView::EditKeyPressed))
        return false;
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid() || !(current.flags() & Qt::ItemIsEditable))
        return false;
    // Accepting the override delivers F2 to the view as a plain key press,
    // which opens the row's editor.
    event->accept();
    return true;
}
