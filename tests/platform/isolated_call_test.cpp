#include "platform/isolated_call.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <thread>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ISOLATED_TEST_ASAN 1
#endif
#endif

namespace {

IsolatedLimits limits(int timeLimitMs)
{
    IsolatedLimits l;
    l.timeLimitMs = timeLimitMs;
    l.memoryBytes = quint64(256) << 20;
    l.containedLibrary = QStringLiteral("libfreexl");
    return l;
}

} // namespace

TEST(RunIsolated, OutcomesOfTheChild)
{
    struct Case
    {
        const char *name;
        std::function<QByteArray()> work;
        int timeLimitMs;
        IsolatedOutcome outcome;
        QByteArray bytes;
    };
    const QByteArray large = QByteArray("sheet data ").repeated(100000); // more than a pipe holds
    const Case cases[] = {
        {"bytes come back", [&] { return large; }, 20000, IsolatedOutcome::Done, large},
        {"nothing to say", [] { return QByteArray(); }, 20000, IsolatedOutcome::Done, {}},
        {"an exception",
         []() -> QByteArray { throw std::runtime_error("damaged"); },
         20000,
         IsolatedOutcome::Failed,
         {}},
        {"killed by a signal",
         []() -> QByteArray {
             kill(getpid(), SIGKILL);
             return "never";
         },
         20000,
         IsolatedOutcome::Failed,
         {}},
        // A reader stuck waiting is killed at the limit, whatever it wrote before.
        {"stuck",
         []() -> QByteArray {
             for (;;)
                 std::this_thread::sleep_for(std::chrono::milliseconds(50));
         },
         700,
         IsolatedOutcome::TimedOut,
         {}},
        // One stuck computing is killed at the limit too, by the parent and said so: the processor time
        // behind it (a second more) would end the child as a failure. A busy machine only slows the child,
        // so it reaches that second only when the kill comes late.
        {"stuck in a loop",
         []() -> QByteArray {
             volatile unsigned spins = 0;
             for (;;)
                 spins = spins + 1;
         },
         1000,
         IsolatedOutcome::TimedOut,
         {}},
    };
    for (const Case &c : cases) {
        QElapsedTimer clock;
        clock.start();
        const IsolatedResult r = RunIsolated(c.work, limits(c.timeLimitMs));
        EXPECT_EQ(int(r.outcome), int(c.outcome)) << c.name;
        EXPECT_EQ(r.bytes, c.bytes) << c.name;
        // A child that ends is not waited for to the limit; one that does not is ended at the limit, however
        // long a busy machine then takes to say so.
        if (c.outcome == IsolatedOutcome::TimedOut) {
            EXPECT_GE(clock.elapsed(), c.timeLimitMs) << c.name;
        } else {
            EXPECT_LT(clock.elapsed(), c.timeLimitMs) << c.name;
        }
    }
}

#ifndef ISOLATED_TEST_ASAN
// The address space is bounded on top of what the program had: a reader that asks for more fails alone.
TEST(RunIsolated, MemoryPastTheLimitFailsTheChildOnly)
{
    const IsolatedResult r = RunIsolated(
        [] {
            const QByteArray block(qsizetype(1) << 30, 'x');
            return QByteArray::number(block.count('x'));
        },
        limits(20000));
    EXPECT_EQ(int(r.outcome), int(IsolatedOutcome::Failed));
}
#else
// Under the sanitizers the child's report is judged by where it lies: in the contained library (here
// this file stands for it) it is the fault the child exists for; anywhere else it is ours, and the
// parent dies with it, so that no test or fuzz run passes over it.
int overread(int offset)
{
    auto *block = new char[8]();
    const int value = block[offset];
    delete[] block;
    return value;
}

TEST(RunIsolated, SanitizerReportsAreJudgedByTheirLibrary)
{
    IsolatedLimits contained = limits(20000);
    contained.containedLibrary = QStringLiteral("isolated_call_test");
    volatile int offset = 16;
    const IsolatedResult r = RunIsolated([&] { return QByteArray::number(overread(offset)); }, contained);
    EXPECT_EQ(int(r.outcome), int(IsolatedOutcome::ContainedFault));

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(RunIsolated([&] { return QByteArray::number(overread(offset)); }, limits(20000)),
                 "a fault of ours");
}
#endif
