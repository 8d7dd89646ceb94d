#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QPoint>
#include <QPointingDevice>
#include <QWidget>

// Sends a mouse event to a view's viewport at a viewport position, carrying
// its global position and device as one from the window system does.
inline void sendMouseEvent(QWidget* viewport, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                           Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(pos), QPointF(viewport->mapToGlobal(pos)), button, buttons, mods,
                      QPointingDevice::primaryPointingDevice());
    QApplication::sendEvent(viewport, &event);
}
