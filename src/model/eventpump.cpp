#include "model/eventpump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

namespace eventpump {

namespace {

int scopes = 0;

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
    if (scopes++ == 0)
        sinceLastPass().start();
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

void step()
{
    if (!onGuiThread() || scopes == 0)
        return;
    QElapsedTimer& timer = sinceLastPass();
    if (timer.isValid() && timer.elapsed() < IntervalMs)
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    timer.start();
}

} // namespace eventpump
