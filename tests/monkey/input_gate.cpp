#include "input_gate.h"

#include <QCoreApplication>
#include <QThread>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// The event-loop levels at which the running processEvents calls keep user input out, innermost last.
std::vector<int> g_excludedAt;

int loopLevel()
{
    return QThread::currentThread()->loopLevel();
}

using ProcessEventsFn = void (*)(QEventLoop::ProcessEventsFlags);

ProcessEventsFn qtProcessEvents()
{
    static const auto fn = reinterpret_cast<ProcessEventsFn>(
        dlsym(RTLD_NEXT, "_ZN16QCoreApplication13processEventsE6QFlagsIN10QEventLoop17ProcessEventsFlagEE"));
    if (!fn) {
        std::fputs("monkey: QCoreApplication::processEvents not found in Qt\n", stderr);
        std::abort();
    }
    return fn;
}

} // namespace

bool UserInputAllowed()
{
    return g_excludedAt.empty() || g_excludedAt.back() < loopLevel();
}

// The program's own calls come here: this definition in the executable takes precedence over Qt's,
// notes the flags and hands the call on to Qt.
void QCoreApplication::processEvents(QEventLoop::ProcessEventsFlags flags)
{
    const bool excluded = flags.testFlag(QEventLoop::ExcludeUserInputEvents);
    if (!excluded) {
        qtProcessEvents()(flags);
        return;
    }
    g_excludedAt.push_back(loopLevel());
    struct Pop
    {
        ~Pop() { g_excludedAt.pop_back(); }
    } pop;
    qtProcessEvents()(flags);
}
