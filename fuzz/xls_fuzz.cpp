#include "exchange/excel/workbook.h"
#include "lib/errors.h"
#include "platform/isolated_call.h"

#include <QFile>
#include <QTemporaryFile>
#include <QtEndian>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include <elf.h>
#include <link.h>

namespace {

// The section where the instrumented code keeps its 8-bit coverage counters, which libFuzzer reads after
// each input. It is looked up in the program's own ELF file: naming the linker's bounds of the section in
// code keeps libFuzzer from registering it at all.
struct Counters
{
    uint8_t *start = nullptr;
    qsizetype size = 0;
};

const Counters &counters()
{
    static const Counters found = [] {
        Counters c;
        QFile exe(QStringLiteral("/proc/self/exe"));
        if (!exe.open(QIODevice::ReadOnly))
            return c;
        const uchar *elf = exe.map(0, exe.size());
        if (!elf || exe.size() < qint64(sizeof(Elf64_Ehdr)))
            return c;
        const auto *h = reinterpret_cast<const Elf64_Ehdr *>(elf);
        if (h->e_shoff + quint64(h->e_shnum) * sizeof(Elf64_Shdr) > quint64(exe.size()) ||
            h->e_shstrndx >= h->e_shnum)
            return c;
        const auto *sections = reinterpret_cast<const Elf64_Shdr *>(elf + h->e_shoff);
        const char *names = reinterpret_cast<const char *>(elf + sections[h->e_shstrndx].sh_offset);
        uintptr_t bias = 0;
        dl_iterate_phdr(
            [](dl_phdr_info *info, size_t, void *data) {
                *static_cast<uintptr_t *>(data) = info->dlpi_addr; // the program itself comes first
                return 1;
            },
            &bias);
        for (int i = 0; i < h->e_shnum; ++i)
            if (qstrcmp(names + sections[i].sh_name, "__sancov_cntrs") == 0) {
                c.start = reinterpret_cast<uint8_t *>(bias + sections[i].sh_addr);
                c.size = qsizetype(sections[i].sh_size);
            }
        return c;
    }();
    return found;
}

// The counters the child reached, as (index, value) pairs behind its answer; the count of pairs last.
void appendCounters(QByteArray &out)
{
    quint32 pairs = 0;
    for (qsizetype i = 0; i < counters().size; ++i)
        if (const uint8_t v = counters().start[i]) {
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
        if (qsizetype(i) < counters().size)
            counters().start[i] = std::max(counters().start[i], uint8_t(p[4]));
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
