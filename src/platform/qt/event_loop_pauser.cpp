#include "platform/qt/event_loop_pauser.h"

#include <QEventLoop>
#include <QTimer>

namespace quorlan::platform {

void EventLoopPauser::pauseMilliseconds(int milliseconds) {
    QEventLoop loop;
    // Events already queued are handled before a zero-time timer fires, so 0 ms still lets
    // everything pending run.
    QTimer::singleShot(milliseconds < 0 ? 0 : milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace quorlan::platform
