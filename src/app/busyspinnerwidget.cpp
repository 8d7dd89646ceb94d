#include "app/busyspinnerwidget.h"

#include "model/eventpump.h"

#include <QDebug>
#include <QEvent>
#include <QPainter>
#include <QPen>
#include <QThread>

#include <exception>
#include <memory>
#include <new>
#include <string>

BusySpinnerWidget::BusySpinnerWidget(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("background: transparent;"));
    setFocusPolicy(Qt::NoFocus);
    hide();

    timer.setInterval(16);
    connect(&timer, &QTimer::timeout, this, [this] {
        angle = (angle + 8) % 360;
        // Only the ring turns. The widget covers the whole window, and as it
        // is translucent, updating all of it would paint every widget below
        // at each turn: most of a long load's time on the event loop.
        update(ringRect().toAlignedRect().adjusted(-RingPenWidth, -RingPenWidth, RingPenWidth, RingPenWidth));
    });

    if (parent)
        parent->installEventFilter(this);
}

BusySpinnerWidget::~BusySpinnerWidget()
{
    if (workerThread) {
        // The completion must not run any more: the window is going away.
        disconnect(workerThread, nullptr, this, nullptr);
        if (workerThread->wait(shutdownWaitMs)) {
            delete workerThread;
        } else {
            // Destroying a running QThread aborts the process. Leave the
            // object alive and let it clean up after itself should the job
            // ever end while an event loop still runs.
            qWarning() << "BusySpinnerWidget: worker thread still running after"
                       << shutdownWaitMs << "ms; leaving it to finish on its own";
            QThread* thread = workerThread;
            connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        }
        workerThread = nullptr;
    }
}

bool BusySpinnerWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && isVisible()
        && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        fitToParent();
    }
    return QWidget::eventFilter(watched, event);
}

void BusySpinnerWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF square = ringRect();
    QPen pen(QColor(0x3b, 0x82, 0xf6));
    pen.setWidth(RingPenWidth);
    pen.setStyle(Qt::SolidLine);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(square, -angle * 16, 270 * 16);
}

QRectF BusySpinnerWidget::ringRect() const
{
    const qreal side = 56.0;
    return QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side);
}

void BusySpinnerWidget::fitToParent()
{
    if (auto* p = parentWidget()) {
        setGeometry(QRect(QPoint(0, 0), p->size()));
        raise();
    }
}

void BusySpinnerWidget::start()
{
    if (active)
        return;
    active = true;
    fitToParent();
    angle = 0;
    show();
    raise();
    grabMouse();
    grabKeyboard();
    timer.start();
    update();
}

void BusySpinnerWidget::stop()
{
    if (workerThread)
        return;
    timer.stop();
    releaseKeyboard();
    releaseMouse();
    hide();
    active = false;
    guiJobPending = false;
}

void BusySpinnerWidget::finish(std::function<void()> first, std::function<void()> second)
{
    if (first) {
        const eventpump::Scope pumping;
        first();
    }
    workerThread = nullptr;
    stop();
    if (second)
        second();
}

void BusySpinnerWidget::run(std::function<void()> work, std::function<void()> done)
{
    if (active || guiJobPending)
        return;
    start();
    guiJobPending = true;
    QTimer::singleShot(0, this, [this, work, done] {
        guiJobPending = false;
        if (work) {
            const eventpump::Scope pumping;
            work();
        }
        finish({}, done);
    });
}

QString BusySpinnerWidget::failureSentence(bool outOfMemory, const QString& what)
{
    if (outOfMemory)
        return QStringLiteral("There was not enough memory to finish; the open project was left as it was.");
    return QStringLiteral("The work stopped with an error (%1); the open project was left as it was.")
        .arg(what.isEmpty() ? QStringLiteral("unknown") : what);
}

void BusySpinnerWidget::runInThread(std::function<void()> work, std::function<void()> onFinished,
                                    std::function<void()> afterStop,
                                    std::function<void(const QString& sentence)> failed)
{
    if (active || guiJobPending)
        return;
    // What a job that threw left behind. Written by the worker only, read
    // on the GUI thread once it has finished.
    struct Failure
    {
        bool threw = false;
        bool outOfMemory = false;
        std::string what;
    };
    auto failure = std::make_shared<Failure>();
    start();
    QThread* thread = QThread::create([work, failure] {
        if (!work)
            return;
        // An exception that left the thread would end the process, and with
        // it the user's unsaved work. Nothing is allocated here before the
        // job's own memory has been given back.
        try {
            work();
        } catch (const std::bad_alloc&) {
            failure->threw = true;
            failure->outOfMemory = true;
        } catch (const std::exception& exception) {
            failure->threw = true;
            try {
                failure->what = exception.what();
            } catch (...) {
                failure->outOfMemory = true;
            }
        } catch (...) {
            failure->threw = true;
        }
    });
    workerThread = thread;
    connect(
        thread, &QThread::finished, this,
        [this, thread, onFinished, afterStop, failed, failure] {
            thread->deleteLater();
            if (!failure->threw) {
                finish(onFinished, afterStop);
                return;
            }
            const QString sentence =
                failureSentence(failure->outOfMemory, QString::fromLocal8Bit(failure->what.c_str()));
            qWarning() << "Worker job failed:" << sentence;
            finish(
                [failed, sentence] {
                    if (failed)
                        failed(sentence);
                },
                afterStop);
        },
        Qt::QueuedConnection);
    thread->start(QThread::InheritPriority);
}
