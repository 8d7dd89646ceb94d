#include "app/busyspinnerwidget.h"

#include <QDebug>
#include <QEvent>
#include <QPainter>
#include <QPen>
#include <QThread>

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
    if (first)
        first();
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
        if (work)
            work();
        finish({}, done);
    });
}

void BusySpinnerWidget::runInThread(std::function<void()> work, std::function<void()> onFinished,
                                    std::function<void()> afterStop)
{
    if (active || guiJobPending)
        return;
    start();
    QThread* thread = QThread::create([work] {
        if (work)
            work();
    });
    workerThread = thread;
    connect(
        thread, &QThread::finished, this,
        [this, thread, onFinished, afterStop] {
            thread->deleteLater();
            finish(onFinished, afterStop);
        },
        Qt::QueuedConnection);
    thread->start(QThread::InheritPriority);
}
