#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>

class QThread;

// A transparent overlay over its parent that shows a turning arc while a
// long job runs and swallows all input meanwhile. It is the one way to run
// work off the GUI thread, and it runs one job at a time: a request made
// while a job runs is ignored.
class BusySpinnerWidget : public QWidget
{
    Q_OBJECT
public:
    explicit BusySpinnerWidget(QWidget* parent);
    ~BusySpinnerWidget() override;

    bool isBusy() const { return active; }

    void start();
    // Hides the overlay; does nothing while a worker thread is registered.
    void stop();
    void fitToParent();

    // Ends a job: first (while the overlay is up), stop, then second.
    void finish(std::function<void()> first, std::function<void()> second);

    // Runs work on the GUI thread once the overlay had a chance to appear,
    // then stops and calls done.
    void run(std::function<void()> work, std::function<void()> done);

    // Runs work on a new worker thread. onFinished runs on the GUI thread
    // while the overlay is still up, afterStop once it is gone (the place for
    // message boxes). work must not touch widgets; results travel through
    // shared holders captured by the closures. Should work throw (an
    // allocation that failed, say), the process goes on: onFinished is
    // skipped, so that nothing is built from a half-done job, failed (on the
    // GUI thread, before afterStop) receives one sentence for the user, and
    // afterStop runs as ever.
    void runInThread(std::function<void()> work, std::function<void()> onFinished,
                     std::function<void()> afterStop,
                     std::function<void(const QString& sentence)> failed = {});

    // The sentence for a job that threw: what (the exception's own text)
    // is empty for one that ran out of memory.
    static QString failureSentence(bool outOfMemory, const QString& what);

    // How long the destructor waits for a running worker thread.
    static constexpr int shutdownWaitMs = 30000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer;
    QThread* workerThread = nullptr;
    static constexpr int RingPenWidth = 6;
    // Where the ring is drawn, its pen aside.
    QRectF ringRect() const;
    int angle = 0;
    bool active = false;
    bool guiJobPending = false;
};
