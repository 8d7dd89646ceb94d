#include "common/testmain.h"
#include "diagram/erview.h"

#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

class TestERView : public QObject
{
    Q_OBJECT

private slots:
    void setZoomClamps_data();
    void setZoomClamps();
    void stepZoom();
    void fitAll();
    void ctrlWheelZooms_data();
    void ctrlWheelZooms();
    void plainWheelScrolls();
    void escapeOnlyLeavesAddModes();
    void clicksAndMovesBecomeScenePositions();
    void middleButtonPansWithoutSelecting();
    void explorerDropsAreAcceptedOthersRefused();
    void tabStaysInsideAnEditedRow();
};

void TestERView::setZoomClamps_data()
{
    QTest::addColumn<double>("requested");
    QTest::addColumn<double>("expected");
    QTest::newRow("above") << 10.0 << 4.0;
    QTest::newRow("below") << 0.01 << 0.1;
    QTest::newRow("inside") << 2.5 << 2.5;
}

void TestERView::setZoomClamps()
{
    QFETCH(double, requested);
    QFETCH(double, expected);
    QGraphicsScene scene;
    ERView view(&scene);
    QSignalSpy spy(&view, &ERView::zoomChanged);
    view.setZoom(requested);
    QCOMPARE(view.zoom(), expected);
    QCOMPARE(view.transform(), QTransform::fromScale(expected, expected));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toDouble(), expected);
}

void TestERView::stepZoom()
{
    ERView view;
    view.zoomIn();
    QCOMPARE(view.zoom(), 1.25);
    view.resetZoom();
    view.zoomOut();
    QCOMPARE(view.zoom(), 0.8);
    view.setZoom(4.0);
    QSignalSpy spy(&view, &ERView::zoomChanged);
    view.zoomIn();
    QCOMPARE(view.zoom(), 4.0);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toDouble(), 4.0);
}

void TestERView::fitAll()
{
    QGraphicsScene scene;
    ERView view(&scene);
    view.resize(600, 400);
    QSignalSpy spy(&view, &ERView::zoomChanged);
    view.fitAll();
    QCOMPARE(spy.count(), 0);
    QCOMPARE(view.zoom(), 1.0);

    scene.addRect(0, 0, 20000, 10000);
    view.fitAll();
    QCOMPARE(spy.count(), 1);
    QVERIFY(view.zoom() < view.minZoom()); // a fit is not clamped
    QCOMPARE(view.zoom(), view.transform().m11());
    view.zoomBy(1.0);
    QCOMPARE(view.zoom(), 0.1);
}

void TestERView::ctrlWheelZooms_data()
{
    QTest::addColumn<int>("delta");
    QTest::newRow("one notch up") << 120;
    QTest::newRow("one notch down") << -120;
}

void TestERView::ctrlWheelZooms()
{
    QFETCH(int, delta);
    QGraphicsScene scene;
    ERView view(&scene);
    view.resize(400, 300);
    view.show();
    const QPointF pos(200, 150);
    QWheelEvent wheel(pos, view.viewport()->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    QVERIFY(wheel.isAccepted());
    QVERIFY(qFuzzyCompare(view.zoom(), std::pow(1.0015, delta)));
}

void TestERView::plainWheelScrolls()
{
    QGraphicsScene scene(-2000, -2000, 4000, 4000);
    ERView view(&scene);
    view.resize(400, 300);
    view.show();
    const int v = view.verticalScrollBar()->value();
    const int h = view.horizontalScrollBar()->value();
    const QPointF pos(200, 150);
    QWheelEvent down(pos, view.viewport()->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &down);
    QCOMPARE(view.verticalScrollBar()->value(), v + 120);
    QWheelEvent shifted(pos, view.viewport()->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                        Qt::ShiftModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &shifted);
    QCOMPARE(view.horizontalScrollBar()->value(), h + 120);
    QCOMPARE(view.zoom(), 1.0);
}

void TestERView::escapeOnlyLeavesAddModes()
{
    QGraphicsScene scene;
    ERView view(&scene);
    view.show();
    QSignalSpy spy(&view, &ERView::escapePressed);
    QTest::keyClick(&view, Qt::Key_Escape);
    QCOMPARE(spy.count(), 0);

    view.setAddGroupMode(true);
    QVERIFY(view.isInAddMode());
    QCOMPARE(view.viewport()->cursor().shape(), Qt::CrossCursor);
    QTest::keyClick(&view, Qt::Key_Escape);
    QCOMPARE(spy.count(), 1);

    view.setAddGroupMode(false);
    QVERIFY(!view.isInAddMode());
    QVERIFY(!view.viewport()->testAttribute(Qt::WA_SetCursor));
}

void TestERView::clicksAndMovesBecomeScenePositions()
{
    QGraphicsScene scene(0, 0, 2000, 2000);
    ERView view(&scene);
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setZoom(2.0);
    QSignalSpy clicks(&view, &ERView::sceneClicked);
    QSignalSpy moves(&view, &ERView::sceneMouseMoved);
    const QPoint at(100, 60);
    QTest::mouseMove(view.viewport(), at);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.first().at(0).toPointF(), view.mapToScene(at));
    QCOMPARE(clicks.first().at(1).value<Qt::MouseButton>(), Qt::LeftButton);
    QVERIFY(moves.count() >= 1);
    QCOMPARE(moves.last().at(0).toPointF(), view.mapToScene(at));
}

void TestERView::middleButtonPansWithoutSelecting()
{
    QGraphicsScene scene(-2000, -2000, 4000, 4000);
    auto* item = scene.addRect(-1500, -1500, 50, 50);
    item->setFlag(QGraphicsItem::ItemIsSelectable);
    ERView view(&scene);
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy clicks(&view, &ERView::sceneClicked);
    const int h = view.horizontalScrollBar()->value();
    const int v = view.verticalScrollBar()->value();

    QTest::mousePress(view.viewport(), Qt::MiddleButton, Qt::NoModifier, QPoint(200, 150));
    QCOMPARE(view.dragMode(), QGraphicsView::ScrollHandDrag);
    QMouseEvent move(QEvent::MouseMove, QPointF(150, 110), view.viewport()->mapToGlobal(QPointF(150, 110)),
                     Qt::NoButton, Qt::MiddleButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::MiddleButton, Qt::NoModifier, QPoint(150, 110));

    QCOMPARE(view.dragMode(), QGraphicsView::RubberBandDrag);
    QCOMPARE(view.horizontalScrollBar()->value(), h + 50);
    QCOMPARE(view.verticalScrollBar()->value(), v + 40);
    QVERIFY(scene.selectedItems().isEmpty());
    QCOMPARE(clicks.count(), 0);
}

void TestERView::explorerDropsAreAcceptedOthersRefused()
{
    QGraphicsScene scene(0, 0, 1000, 1000);
    ERView view(&scene);
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(view.viewport()->acceptDrops());
    QSignalSpy drops(&view, &ERView::explorerDropRequested);

    QMimeData text;
    text.setText(QStringLiteral("plain"));
    QDragEnterEvent plainEnter(QPoint(50, 50), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton,
                               Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &plainEnter);
    QDragMoveEvent plainMove(QPoint(60, 60), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton,
                             Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &plainMove);
    QVERIFY(!plainMove.isAccepted());
    QDropEvent plainDrop(QPointF(60, 60), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &plainDrop);
    QCOMPARE(drops.count(), 0);

    const QByteArray payload(R"({"items":[{"kind":"table","id":"abc"}]})");
    QMimeData explorer;
    explorer.setData(QString::fromLatin1(ExplorerMimeType), payload);
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction | Qt::MoveAction, &explorer, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);

    QDropEvent drop(QPointF(120, 80), Qt::CopyAction | Qt::MoveAction, &explorer, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drops.count(), 1);
    QCOMPARE(drops.first().at(0).toByteArray(), payload);
    QCOMPARE(drops.first().at(1).toPointF(), view.mapToScene(QPoint(120, 80)));
}

void TestERView::tabStaysInsideAnEditedRow()
{
    QGraphicsScene scene(0, 0, 500, 500);
    auto* editor = new QGraphicsTextItem(QStringLiteral("id"));
    editor->setTextInteractionFlags(Qt::TextEditorInteraction);
    scene.addItem(editor);
    ERView view(&scene);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setFocus();
    scene.setFocusItem(editor);
    QCOMPARE(scene.focusItem(), editor);

    QTest::keyClick(&view, Qt::Key_Tab);
    QVERIFY(view.hasFocus());
    QVERIFY(editor->toPlainText().contains(QLatin1Char('\t')));

    // Without an editor Tab leaves the canvas as usual.
    editor->setTextInteractionFlags(Qt::NoTextInteraction);
    QKeyEvent tab(QEvent::ShortcutOverride, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QApplication::sendEvent(&view, &tab);
    QVERIFY(!tab.isAccepted());
}

QUILLMAP_TEST_MAIN(TestERView)
#include "tst_erview.moc"
