#include "model/eventpump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <algorithm>

namespace eventpump {

namespace {

int scopes = 0;
// How long the next pass waits: IntervalMs, or longer after a pass that took
// long itself. A pass can cost time that grows with the scene (its pending
// repaints and index updates), and passes at a fixed interval would then
// take over the work they are meant to interleave.
qint64 waitMs = IntervalMs;
constexpr qint64 MaxWaitMs = 400;

QElapsedTimer& sinceLastPass()
{
    static QElapsedTimer timer;
    return timer;
}

bool onGuiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

Scope::Scope()
{
    if (!onGuiThread())
        return;
    if (scopes++ == 0) {
        sinceLastPass().start();
        waitMs = IntervalMs;
    }
}

Scope::~Scope()
{
    if (onGuiThread() && scopes > 0)
        --scopes;
}

bool active()
{
    return onGuiThread() && scopes > 0;
}

bool step()
{
    if (!onGuiThread() || scopes == 0)
        return false;
    QElapsedTimer& timer = sinceLastPass();
    if (timer.isValid() && timer.elapsed() < waitMs)
        return false;
    timer.start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // At most about a third of the time goes to the passes, and the wait
    // never grows beyond what would freeze the indicator.
    waitMs = std::clamp<qint64>(2 * timer.elapsed(), IntervalMs, MaxWaitMs);
    timer.start();
    return true;
}

} // namespace eventpump
