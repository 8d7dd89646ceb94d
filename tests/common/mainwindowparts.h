#pragma once

#include "app/busyspinnerwidget.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"

#include <QAction>
#include <QCoreApplication>
#include <QString>
#include <QTest>
#include <QWidget>

// The parts of a main window that tests reach by object name, and waiting
// for its busy indicator.

inline ERView* canvasView(const QWidget* window)
{
    return window->findChild<ERView*>(QStringLiteral("view"));
}

inline ERScene* canvasScene(const QWidget* window)
{
    return qobject_cast<ERScene*>(canvasView(window)->scene());
}

inline QAction* windowAction(const QWidget* window, const char* objectName)
{
    return window->findChild<QAction*>(QLatin1String(objectName));
}

// Waits up to timeout milliseconds for the window's busy indicator to stop,
// then lets the step that follows a stop (message boxes) run; false when it
// is still busy.
inline bool waitUntilIdle(const QWidget* window, int timeout = 10000)
{
    const auto* busy = window->findChild<BusySpinnerWidget*>();
    if (!busy || !QTest::qWaitFor([busy] { return !busy->isBusy(); }, timeout))
        return false;
    QCoreApplication::processEvents();
    return true;
}
