#pragma once

#include <QObject>

class QAbstractItemView;

// Keeps the edit key (F2) with an item view whose current row can be edited
// in place. The main window binds F2 to a canvas command for the whole
// window, and a window shortcut wins over the key press of the focused
// widget unless that widget claims the key first; this filter claims it on
// the view's behalf exactly when the view would start editing. On rows that
// cannot be edited the key goes on to the window's command.
class ExplorerEditKeyFilter : public QObject
{
    Q_OBJECT
public:
    // Installs itself on view; the view owns it.
    explicit ExplorerEditKeyFilter(QAbstractItemView* view);
    ~ExplorerEditKeyFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView* m_view;
};
