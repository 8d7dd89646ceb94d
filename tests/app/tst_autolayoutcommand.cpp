// The Auto-layout command of the main window: the layout runs behind the
// busy indicator, then the whole arrangement is in view at 100 %; while
// another job runs the command does nothing.

#include "common/testmain.h"
#include "app/applicationsetup.h"
#include "app/busyspinnerwidget.h"
#include "app/mainwindow.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"

#include "common/mainwindowparts.h"
#include "common/sceneitems.h"

#include <QAction>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestAutoLayoutCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpApplication(); }
    void init()
    {
        window = std::make_unique<MainWindow>();
        window->resize(1200, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void arrangesAndShowsAllAtFullSize()
    {
        const QList<QPointF> before = placeTables();
        ERView* view = canvasView(window.get());
        view->setZoom(2.5);
        QSignalSpy zoom(view, &ERView::zoomChanged);

        windowAction(window.get(), "actionAuto_layout")->trigger();
        QVERIFY(waitUntilIdle(window.get()));

        const QList<EntityItem*> entities = itemsOfType<EntityItem>(*scene());
        QCOMPARE(entities.size(), before.size());
        QList<QPointF> after;
        for (qsizetype a = 0; a < entities.size(); ++a) {
            after.append(entities.at(a)->pos());
            for (qsizetype b = a + 1; b < entities.size(); ++b)
                QVERIFY(!entities.at(a)->sceneBoundingRect().intersects(entities.at(b)->sceneBoundingRect()));
        }
        QVERIFY(after != before);
        QCOMPARE(view->zoom(), 1.0);
        QVERIFY(!zoom.isEmpty());
        QCOMPARE(zoom.last().first().toDouble(), 1.0);
        QCOMPARE(scene()->sceneRect(), scene()->itemsBoundingRect().adjusted(-100, -100, 100, 100));
        QVERIFY(view->isInteractive());
    }

    void doesNothingWhileAnotherJobRuns()
    {
        const QList<QPointF> before = placeTables();
        auto* busy = window->findChild<BusySpinnerWidget*>();
        QVERIFY(busy);
        // A worker job (as a save would be) that waits until released.
        QSemaphore release;
        busy->runInThread([&release] { release.acquire(); }, {}, {});
        QVERIFY(busy->isBusy());

        windowAction(window.get(), "actionAuto_layout")->trigger();
        QCoreApplication::processEvents();
        release.release();
        QVERIFY(waitUntilIdle(window.get()));

        QList<QPointF> after;
        for (const EntityItem* e : itemsOfType<EntityItem>(*scene()))
            after.append(e->pos());
        QCOMPARE(after, before);
    }

private:
    ERScene* scene() const { return canvasScene(window.get()); }

    // Six tables on top of one another in pairs, two relationships; their
    // positions, topmost first.
    QList<QPointF> placeTables()
    {
        QList<EntityItem*> tables;
        for (int i = 0; i < 6; ++i)
            tables.append(scene()->addTableAt(QPointF(40.0 * (i / 2), 30.0 * (i / 2))));
        scene()->createEdge(tables.at(0), tables.at(1), true);
        scene()->createEdge(tables.at(1), tables.at(2), true);
        QList<QPointF> positions;
        for (const EntityItem* e : itemsOfType<EntityItem>(*scene()))
            positions.append(e->pos());
        return positions;
    }

    std::unique_ptr<MainWindow> window;
};

QUILLMAP_TEST_MAIN(TestAutoLayoutCommand)
#include "tst_autolayoutcommand.moc"
