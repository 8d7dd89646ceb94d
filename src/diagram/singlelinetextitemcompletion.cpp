// SingleLineTextItem: the completion popup of type and name fields.
#include "diagram/singlelinetextitem.h"

#include "details/dialects.h"
#include "diagram/erscene.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QCursor>
#include <QFontMetrics>
#include <QFrame>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QStringListModel>
#include <QTextCursor>

namespace {

bool isLetterChar(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || c.isLetter();
}

bool isUpperChar(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c.category() == QChar::Letter_Uppercase;
}

} // namespace

QStringList SingleLineTextItem::adaptCompletionCase(const QStringList& candidates, const QString& typed)
{
    bool anyUpper = false;
    bool anyLower = false;
    for (QChar c : typed) {
        if (!isLetterChar(c))
            continue;
        if (isUpperChar(c))
            anyUpper = true;
        else
            anyLower = true;
    }
    if (!anyUpper && !anyLower)
        return candidates;
    QStringList adapted;
    adapted.reserve(candidates.size());
    if (anyUpper && !anyLower) {
        for (const QString& c : candidates)
            adapted << c.toUpper();
        return adapted;
    }
    if (anyLower && !anyUpper) {
        for (const QString& c : candidates)
            adapted << c.toLower();
        return adapted;
    }
    for (const QString& candidate : candidates) {
        QString out = candidate;
        bool upper = true;   // until a case has been seen
        for (qsizetype i = 0; i < out.size(); ++i) {
            const QChar c = out.at(i);
            if (!isLetterChar(c))
                continue;
            if (i < typed.size() && isLetterChar(typed.at(i)))
                upper = isUpperChar(typed.at(i));
            out[i] = upper ? c.toUpper() : c.toLower();
        }
        adapted << out;
    }
    return adapted;
}

QAbstractItemView* SingleLineTextItem::completionPopup() const
{
    return m_completer ? m_completer->popup() : nullptr;
}

bool SingleLineTextItem::isCompletionPopupVisible() const
{
    QAbstractItemView* popup = completionPopup();
    return popup && popup->isVisible();
}

void SingleLineTextItem::hidePopup()
{
    if (QAbstractItemView* popup = completionPopup())
        popup->hide();
}

void SingleLineTextItem::refreshCompletions()
{
    if (!completionEnabled)
        return;
    QString dialect;
    if (auto* erScene = qobject_cast<ERScene*>(scene()))
        dialect = erScene->dialect();
    const QStringList candidates = dataTypesForDialect(dialect);
    if (candidates.isEmpty()) {
        hidePopup();
        if (m_completionModel)
            m_completionModel->setStringList({});
        return;
    }
    if (!m_completer) {
        m_completer = new QCompleter(this);
        m_completer->setCompletionMode(QCompleter::PopupCompletion);
        m_completer->setCaseSensitivity(Qt::CaseInsensitive);
        m_completer->setFilterMode(Qt::MatchStartsWith);
        m_completer->setMaxVisibleItems(10);
        m_completer->setWrapAround(true);
        m_completionModel = new QStringListModel(m_completer);
        m_completer->setModel(m_completionModel);
        connect(m_completer, qOverload<const QString&>(&QCompleter::activated), this,
                &SingleLineTextItem::insertCompletion);
    }
    m_completionModel->setStringList(candidates);
    m_completer->popup()->setFont(font());
}

void SingleLineTextItem::updateCompletionPopup()
{
    refreshCompletions();
    if (!m_completer || !m_completionModel || m_completionModel->stringList().isEmpty()) {
        hidePopup();
        return;
    }
    const QString typed = toPlainText().trimmed();
    m_completionModel->setStringList(adaptCompletionCase(m_completionModel->stringList(), typed));
    m_completer->setCompletionPrefix(typed);

    QAbstractItemModel* completions = m_completer->completionModel();
    const int count = completions->rowCount();
    if (count == 0) {
        hidePopup();
        return;
    }
    if (count == 1
        && completions->index(0, 0).data().toString().compare(typed, Qt::CaseInsensitive) == 0) {
        hidePopup();
        return;
    }

    QGraphicsView* view = scene() && !scene()->views().isEmpty() ? scene()->views().constFirst() : nullptr;
    if (!view) {
        hidePopup();
        return;
    }
    QWidget* viewport = view->viewport();
    attachPopup(viewport);
    QAbstractItemView* popup = m_completer->popup();

    const QRect label = view->mapFromScene(mapToScene(boundingRect())).boundingRect();
    int rowHeight = popup->sizeHintForRow(0);
    if (rowHeight < 1)
        rowHeight = QFontMetrics(popup->font()).lineSpacing() + 4;
    int frame = 0;
    if (auto* asFrame = qobject_cast<QFrame*>(popup))
        frame = asFrame->frameWidth();
    const int height = std::min(count, 10) * rowHeight + 2 * frame;
    const int width = std::max(label.width(), 220);
    int top = label.bottom() + 1 + 2;
    if (top + height > viewport->height())
        top = label.top() - height - 2;
    int left = label.left();
    if (left + width > viewport->width())
        left = viewport->width() - width;
    popup->setGeometry(std::max(left, 0), std::max(top, 0), width, height);

    popup->raise();
    popup->show();
    if (popup->model() && popup->model()->rowCount() > 0 && !popup->currentIndex().isValid())
        popup->setCurrentIndex(popup->model()->index(0, 0));
}

void SingleLineTextItem::attachPopup(QWidget* viewport)
{
    QAbstractItemView* popup = m_completer->popup();
    if (popup->parentWidget() != viewport) {
        popup->hide();
        popup->setParent(viewport);
        disconnect(m_viewportConnection);
        // A viewport deletes its children; the completer must keep its popup.
        m_viewportConnection = connect(viewport, &QObject::destroyed, this, [this] { detachPopup(); });
    }
    popup->setAttribute(Qt::WA_ShowWithoutActivating, true);
    popup->setFocusPolicy(Qt::NoFocus);
    popup->setEditTriggers(QAbstractItemView::NoEditTriggers);
    popup->setSelectionMode(QAbstractItemView::SingleSelection);
    popup->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    popup->setFont(font());
    if (!m_popupClickConnected) {
        m_popupClickConnected = true;
        connect(popup, &QAbstractItemView::clicked, this,
                [this](const QModelIndex& index) { insertCompletion(index.data().toString()); });
    }
}

void SingleLineTextItem::detachPopup()
{
    disconnect(m_viewportConnection);
    if (!m_completer)
        return;
    m_completer->setWidget(nullptr);
    QAbstractItemView* popup = m_completer->popup();
    popup->hide();
    popup->setParent(nullptr);
}

bool SingleLineTextItem::pointerOverPopup() const
{
    QAbstractItemView* popup = completionPopup();
    if (!popup || !popup->isVisible())
        return false;
    const QPoint global = QCursor::pos();
    if (popup->rect().contains(popup->mapFromGlobal(global)))
        return true;
    for (QWidget* w = QApplication::widgetAt(global); w; w = w->parentWidget()) {
        if (w == popup)
            return true;
    }
    return false;
}

void SingleLineTextItem::movePopupRow(int key)
{
    // The list is moved here rather than by handing the key to the popup:
    // the completer filters the popup's events and expects a widget of its
    // own to forward them to, which an item on a canvas cannot be.
    QAbstractItemView* popup = completionPopup();
    if (!popup || !popup->model())
        return;
    const int rows = popup->model()->rowCount();
    if (rows == 0)
        return;
    const int current = popup->currentIndex().isValid() ? popup->currentIndex().row() : -1;
    const int page = std::max(1, std::min(rows, 10) - 1);
    int next = current;
    switch (key) {
    case Qt::Key_Down:
        next = current + 1 >= rows ? 0 : current + 1;   // wraps around
        break;
    case Qt::Key_Up:
        next = current <= 0 ? rows - 1 : current - 1;
        break;
    case Qt::Key_PageDown:
        next = std::min(rows - 1, std::max(current, 0) + page);
        break;
    case Qt::Key_PageUp:
        next = std::max(0, current - page);
        break;
    default:
        return;
    }
    const QModelIndex index = popup->model()->index(next, 0);
    popup->setCurrentIndex(index);
    popup->scrollTo(index);
}

bool SingleLineTextItem::takeCompletionFromPopup()
{
    QAbstractItemView* popup = completionPopup();
    if (!popup || !popup->model())
        return false;
    QModelIndex index = popup->currentIndex();
    if (!index.isValid() && popup->model()->rowCount() > 0)
        index = popup->model()->index(0, 0);
    if (!index.isValid())
        return false;
    insertCompletion(index.data(Qt::DisplayRole).toString());
    return true;
}

void SingleLineTextItem::insertCompletion(const QString& text)
{
    if (text.isEmpty())
        return;
    m_insertingCompletion = true;
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    setTextCursor(cursor);
    m_insertingCompletion = false;
    hidePopup();
    invalidateSize();
    update();
    setFocus(Qt::OtherFocusReason);
}
