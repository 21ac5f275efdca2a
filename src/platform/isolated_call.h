#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Runs code that must not take the program down with it (a third-party reader of hostile files) in a
// forked child of bounded memory and time; the parent gets the bytes it returned, or why it gave none.

struct IsolatedLimits
{
    quint64 memoryBytes = quint64(1) << 30; // address space on top of what the program has mapped
    int timeLimitMs = 20000;                // wall time, after which the child is killed
    // The library the isolation is for (a file name part such as "libfreexl"): a sanitizer report from
    // inside it is the contained fault the child exists for.
    QString containedLibrary;
};

enum class IsolatedOutcome {
    Done,     // Work returned; bytes holds what it returned
    Failed,   // the child ended otherwise: an exception, a signal, out of memory
    TimedOut, // killed at the time limit
    // Sanitized builds only: a sanitizer report in the contained library. One outside it, a fault of
    // ours, aborts the parent with the report, so that the tests and the fuzz targets fail on it.
    ContainedFault,
};

struct IsolatedResult
{
    IsolatedOutcome outcome = IsolatedOutcome::Failed;
    QByteArray bytes;
};

// Work runs in the child only, and must not touch the GUI. Raises nothing; a failed fork or pipe gives
// Failed.
IsolatedResult RunIsolated(const std::function<QByteArray()> &Work, const IsolatedLimits &Limits);
