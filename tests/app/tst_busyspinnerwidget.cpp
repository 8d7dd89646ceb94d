#include "app/busyspinnerwidget.h"
#include "common/testmain.h"
#include "model/eventpump.h"

#include <QAtomicInt>
#include <QPointer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>
#include <new>
#include <stdexcept>

class TestBusySpinnerWidget : public QObject
{
    Q_OBJECT

private slots:
    void guiJobRunsAfterTheOverlayAppearsThenStops();
    void workerJobCompletesOnGuiThreadWhileBusyAndAfterStopOnceIdle();
    void refusesWorkWhileBusy_data();
    void refusesWorkWhileBusy();
    void stopLeavesOverlayUpWhileWorkerRegistered();
    void destructionWaitsForWorkerAndSkipsCompletion();
    void overlayFollowsParentGeometry();
    void workerThatThrowsEndsWithASentence_data();
    void workerThatThrowsEndsWithASentence();
};

void TestBusySpinnerWidget::guiJobRunsAfterTheOverlayAppearsThenStops()
{
    QWidget parent;
    parent.resize(300, 200);
    parent.show();
    BusySpinnerWidget spinner(&parent);

    QStringList order;
    spinner.run(
        [&] {
            QVERIFY(spinner.isBusy());
            QVERIFY(spinner.isVisible());
            QCOMPARE(QThread::currentThread(), qApp->thread());
            // The long loops of the job let the indicator turn.
            QVERIFY(eventpump::active());
            order << QStringLiteral("work");
        },
        [&] {
            QVERIFY(!spinner.isBusy());
            QVERIFY(!spinner.isVisible());
            QVERIFY(!eventpump::active());
            order << QStringLiteral("done");
        });
    // The job waits for the event loop, so the overlay can paint first.
    QVERIFY(spinner.isBusy());
    QVERIFY(order.isEmpty());
    QTRY_COMPARE(order, (QStringList{QStringLiteral("work"), QStringLiteral("done")}));
    QVERIFY(!spinner.isBusy());
}

void TestBusySpinnerWidget::workerJobCompletesOnGuiThreadWhileBusyAndAfterStopOnceIdle()
{
    QWidget parent;
    parent.resize(300, 200);
    parent.show();
    BusySpinnerWidget spinner(&parent);

    auto result = std::make_shared<QString>();
    auto workerThread = std::make_shared<QThread*>(nullptr);
    QStringList order;
    bool busyInCompletion = false;
    bool pumpingInCompletion = false;
    bool busyAfterStop = true;
    spinner.runInThread(
        [result, workerThread] {
            *workerThread = QThread::currentThread();
            *result = QStringLiteral("written");
        },
        [&] {
            busyInCompletion = spinner.isBusy();
            pumpingInCompletion = eventpump::active();
            QCOMPARE(QThread::currentThread(), qApp->thread());
            order << QStringLiteral("finished:") + *result;
        },
        [&] {
            busyAfterStop = spinner.isBusy();
            order << QStringLiteral("afterStop");
        });
    QVERIFY(spinner.isBusy());
    QTRY_COMPARE(order.size(), 2);
    QCOMPARE(order, (QStringList{QStringLiteral("finished:written"), QStringLiteral("afterStop")}));
    QVERIFY(busyInCompletion);
    QVERIFY(pumpingInCompletion);
    QVERIFY(!busyAfterStop);
    QVERIFY(*workerThread != nullptr);
    QVERIFY(*workerThread != qApp->thread());
    QVERIFY(!spinner.isVisible());
}

void TestBusySpinnerWidget::refusesWorkWhileBusy_data()
{
    QTest::addColumn<bool>("firstInThread");
    QTest::addColumn<bool>("secondInThread");
    QTest::newRow("gui then gui") << false << false;
    QTest::newRow("gui then worker") << false << true;
    QTest::newRow("worker then gui") << true << false;
    QTest::newRow("worker then worker") << true << true;
}

void TestBusySpinnerWidget::refusesWorkWhileBusy()
{
    QFETCH(bool, firstInThread);
    QFETCH(bool, secondInThread);
    QWidget parent;
    parent.show();
    BusySpinnerWidget spinner(&parent);

    QSemaphore release;
    QAtomicInt firstRuns = 0;
    QAtomicInt secondRuns = 0;
    bool firstDone = false;
    const auto firstWork = [&] {
        if (firstInThread)
            release.acquire();
        firstRuns.fetchAndAddOrdered(1);
    };
    if (firstInThread)
        spinner.runInThread(firstWork, {}, [&] { firstDone = true; });
    else
        spinner.run(firstWork, [&] { firstDone = true; });

    const auto secondWork = [&] { secondRuns.fetchAndAddOrdered(1); };
    if (secondInThread)
        spinner.runInThread(secondWork, {}, {});
    else
        spinner.run(secondWork, {});

    release.release();
    QTRY_VERIFY(firstDone);
    QTest::qWait(20);
    QCOMPARE(firstRuns.loadAcquire(), 1);
    QCOMPARE(secondRuns.loadAcquire(), 0);
    QVERIFY(!spinner.isBusy());
}

void TestBusySpinnerWidget::stopLeavesOverlayUpWhileWorkerRegistered()
{
    QWidget parent;
    parent.show();
    BusySpinnerWidget spinner(&parent);
    QSemaphore release;
    bool finished = false;
    spinner.runInThread([&] { release.acquire(); }, {}, [&] { finished = true; });

    spinner.stop();
    QVERIFY(spinner.isBusy());
    QVERIFY(spinner.isVisible());

    release.release();
    QTRY_VERIFY(finished);
    QVERIFY(!spinner.isBusy());
}

void TestBusySpinnerWidget::destructionWaitsForWorkerAndSkipsCompletion()
{
    auto* parent = new QWidget;
    auto* spinner = new BusySpinnerWidget(parent);
    auto written = std::make_shared<QAtomicInt>(0);
    bool completionRan = false;
    spinner->runInThread(
        [written] {
            QThread::msleep(150);
            written->storeRelease(1);
        },
        [&] { completionRan = true; }, [&] { completionRan = true; });
    delete parent; // destroys the spinner while the job still runs

    QCOMPARE(written->loadAcquire(), 1);
    QTest::qWait(50);
    QVERIFY(!completionRan);
}

void TestBusySpinnerWidget::overlayFollowsParentGeometry()
{
    QWidget parent;
    parent.resize(300, 200);
    parent.show();
    BusySpinnerWidget spinner(&parent);
    spinner.start();
    QCOMPARE(spinner.geometry(), QRect(0, 0, 300, 200));
    parent.resize(520, 410);
    QCOMPARE(spinner.geometry(), QRect(0, 0, 520, 410));
    spinner.stop();
    QVERIFY(!spinner.isBusy());
    QVERIFY(!spinner.isVisible());
}

void TestBusySpinnerWidget::workerThatThrowsEndsWithASentence_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("out of memory") << 0 << BusySpinnerWidget::failureSentence(true, QString());
    QTest::newRow("an error") << 1 << BusySpinnerWidget::failureSentence(false, QStringLiteral("disk gone"));
    QTest::newRow("not an exception") << 2 << BusySpinnerWidget::failureSentence(false, QString());
}

// A job that throws on the worker never ends the process: what it would
// have built is skipped and the user reads one sentence.
void TestBusySpinnerWidget::workerThatThrowsEndsWithASentence()
{
    QFETCH(int, kind);
    QFETCH(QString, sentence);
    QWidget parent;
    BusySpinnerWidget spinner(&parent);
    QStringList order;
    spinner.runInThread(
        [kind] {
            if (kind == 0)
                throw std::bad_alloc();
            if (kind == 1)
                throw std::runtime_error("disk gone");
            throw 42;
        },
        [&] { order << QStringLiteral("finished"); }, [&] { order << QStringLiteral("afterStop"); },
        [&](const QString& text) { order << text; });
    QTRY_COMPARE(order.size(), 2);
    QCOMPARE(order, (QStringList{sentence, QStringLiteral("afterStop")}));
    QVERIFY(!spinner.isBusy());
}

QUILLMAP_TEST_MAIN(TestBusySpinnerWidget)
#include "tst_busyspinnerwidget.moc"
