#pragma once

#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "diagram/singlelinetextitem.h"

#include "common/viewportmouse.h"

#include <QApplication>
#include <QTest>

#include <memory>

// A shown canvas (scene and view) that tests drive with real mouse and key
// events sent through the view's viewport.
class Canvas
{
public:
    Canvas()
        : scene(new ERScene)
        , view(std::make_unique<ERView>(scene))
    {
        view->resize(900, 650);
        view->setSceneRect(0, 0, 860, 610);
        view->show();
        view->activateWindow();
        exposed = QTest::qWaitForWindowExposed(view.get());
        view->setFocus();
    }

    ~Canvas()
    {
        view->setScene(nullptr);
        delete scene;
    }

    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool exposed = false;
    QWidget* viewport() const { return view->viewport(); }

    QPoint toView(QPointF scenePos) const { return view->mapFromScene(scenePos); }

    // A table at the point with the dialect's key row.
    EntityItem* table(QPointF at = QPointF(100, 100)) { return scene->addTableAt(at); }

    // The centre of a label in viewport pixels.
    QPoint centreOf(const QGraphicsItem* item) const
    {
        return toView(item->mapToScene(item->boundingRect().center()));
    }

    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        sendMouseEvent(viewport(), type, pos, button, buttons, mods);
    }

    void press(QPoint pos, Qt::MouseButton button = Qt::LeftButton)
    {
        mouse(QEvent::MouseButtonPress, pos, button, button);
    }
    void moveHeld(QPoint pos, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        mouse(QEvent::MouseMove, pos, Qt::NoButton, buttons);
    }
    void release(QPoint pos, Qt::MouseButton button = Qt::LeftButton)
    {
        mouse(QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
    }
    void click(QPoint pos)
    {
        press(pos);
        release(pos);
    }
    void doubleClick(QPoint pos)
    {
        press(pos);
        release(pos);
        mouse(QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
        release(pos);
    }
    void doubleClick(const QGraphicsItem* item) { doubleClick(centreOf(item)); }

    // Keys go to the viewport and travel from there like real typing.
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(viewport(), k, mods);
    }
    void type(const QString& text) { QTest::keyClicks(viewport(), text); }

    ERScene* scene;
    std::unique_ptr<ERView> view;
};
