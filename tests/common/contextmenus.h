#pragma once

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>

// Picks the context menu entry with that text as soon as the menu is up (a
// menu without it is closed). *entries receives the texts of the menu's
// entries, *seen whether a menu came up at all.
inline void chooseMenuEntry(const QString& text, QStringList* entries = nullptr, bool* seen = nullptr)
{
    QTimer::singleShot(0, [text, entries, seen] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (seen)
            *seen = menu != nullptr;
        if (!menu)
            return;
        for (QAction* action : menu->actions()) {
            if (entries)
                entries->append(action->text());
        }
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
        }
        menu->close();
    });
}
