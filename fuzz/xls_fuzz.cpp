#include "exchange/excel/workbook.h"
#include "lib/errors.h"
#include "platform/isolated_call.h"

#include <QTemporaryFile>
#include <QtEndian>

#include <algorithm>
#include <cstddef>
#include <cstdint>

// The linker's bounds of the section where the instrumented code keeps its 8-bit coverage counters, which
// libFuzzer reads after each input.
extern "C" {
extern uint8_t __start___sancov_cntrs[] __attribute__((weak));
extern uint8_t __stop___sancov_cntrs[] __attribute__((weak));
}

namespace {

qsizetype counterCount()
{
    return __start___sancov_cntrs ? qsizetype(__stop___sancov_cntrs - __start___sancov_cntrs) : 0;
}

// The counters the child reached, as (index, value) pairs behind its answer; the count of pairs last.
void appendCounters(QByteArray &out)
{
    quint32 pairs = 0;
    for (qsizetype i = 0; i < counterCount(); ++i)
        if (const uint8_t v = __start___sancov_cntrs[i]) {
            char pair[5];
            qToLittleEndian<quint32>(quint32(i), pair);
            pair[4] = char(v);
            out.append(pair, 5);
            ++pairs;
        }
    char count[4];
    qToLittleEndian<quint32>(pairs, count);
    out.append(count, 4);
}

// Takes the child's counters off its answer into ours, so that what the child covered counts as this
// input's coverage; false when the answer carries none (the child never finished).
bool takeCounters(QByteArray &answer)
{
    if (answer.size() < 4)
        return false;
    const quint32 pairs = qFromLittleEndian<quint32>(answer.constData() + answer.size() - 4);
    const qint64 tail = qint64(pairs) * 5 + 4;
    if (tail > answer.size())
        return false;
    const char *p = answer.constData() + answer.size() - tail;
    for (quint32 k = 0; k < pairs; ++k, p += 5) {
        const quint32 i = qFromLittleEndian<quint32>(p);
        if (qsizetype(i) < counterCount())
            __start___sancov_cntrs[i] = std::max(__start___sancov_cntrs[i], uint8_t(p[4]));
    }
    answer.chop(tail);
    return true;
}

} // namespace

// An .xls workbook, which the BIFF reader takes from a file in a child process of bounded memory and time,
// as the program runs it: any bytes give sheets or a message. The child's coverage is carried back.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryFile file;
    if (!file.isOpen() && !file.open())
        return 0;
    file.resize(0);
    file.seek(0);
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.flush();
    const QString name = file.fileName();
    IsolatedResult run = RunIsolated(
        [&] {
            QByteArray out = ReadXlsInChild(name);
            appendCounters(out);
            return out;
        },
        XlsChildLimits(qint64(size)));
    if (run.outcome == IsolatedOutcome::Done && !takeCounters(run.bytes))
        run.outcome = IsolatedOutcome::Failed;
    try {
        XlsWorkbookFromChild(name, qint64(size), run);
    } catch (const BrenvaleError &) {
    }
    return 0;
}
