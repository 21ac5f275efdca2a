// Large settings files through a start: each read within its share of memory (lib/read_budget.h) and in
// processor time linear in its size, or refused, named, with the file kept.

#include "lib/read_budget.h"
#include "support/cpu_time.h"
#include "support/peak_memory.h"
#include "support/program_env.h"

#include <QRegularExpression>

#include <functional>
#include <iostream>

using namespace Qt::StringLiterals;

namespace {

// A [global] section whose common keys, a thousand values of them, fill about Bytes: Key(i) is the i-th.
QByteArray commonKeys(qint64 bytes, const std::function<QByteArray(qint64)> &key)
{
    constexpr int values = 1000;
    QByteArray text = "[global]\r\neffects=0\r\nnglobal_cnt=" + QByteArray::number(values) + "\r\n";
    qint64 next = 0;
    for (int v = 0; v < values; ++v) {
        QByteArray value = "ngopt" + QByteArray::number(v) + '=';
        while (value.size() < bytes / values)
            value += key(next++) + ',';
        text += value + "\r\n";
    }
    return text;
}

QByteArray stations(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        const QByteArray code = QByteArray::number(100000 + i);
        text += "[S" + code + "]\r\nname=Station " + code + "\r\ncode=C" + code + "\r\n";
    }
    return text;
}

struct LargeCase
{
    const char *name;
    QByteArray brenvale; // system/Brenvale.ini
    QByteArray stations; // system/Stations.ini
    // What the start shows; an empty list for a quiet start.
    std::function<QList<Shown>(const Program &)> messages;
    // What the started window holds of the files, checked when the start was quiet.
    std::function<void(const Tmainf &)> check;
    int seconds; // the processor time the start may take
    // The peak a start may reach, in MiB; 0: the share of the two files.
    qint64 peakMiB = 0;
    // Made when the case runs, in place of brenvale: a file too large for every run of the program to
    // hold, measured in the plain build only (the sanitizer's allocator is no measure, and slow at it).
    std::function<QByteArray()> makeBrenvale = {};
};

const QList<LargeCase> &largeCases()
{
    static const QList<LargeCase> cases = {
        // 20 MB of the catalogue's keys over and over: 1.8 million keys of six strings.
        {"common keys of 20 MB repeated",
         commonKeys(20'000'000,
                    [](qint64 i) {
                        static const QByteArray keys[] = {"svodka_dir", "exp_dir", "mails_send",
                                                          "winx",       "useflag", "repnum"};
                        return keys[i % 6];
                    }),
         stations(3),
         {},
         [](const Tmainf &w) {
             EXPECT_GT(w.sett.CommonKeys.size(), 1'500'000);
             EXPECT_EQ(w.sett.CommonKeys.mid(0, 3), QStringList({"svodka_dir", "exp_dir", "mails_send"}));
             EXPECT_EQ(w.stas->count(), 3);
             EXPECT_EQ(w.curCode, u"S100000"_s);
         },
         10},
        // 20 MB of keys each new: 2.2 million strings would take more than the file's share, 8 times its
        // 20 MB and 64 MiB.
        {"common keys of 20 MB each new",
         commonKeys(20'000'000, [](qint64 i) { return "k" + QByteArray::number(10'000'000 + i); }),
         stations(3),
         [](const Program &p) {
             return QList<Shown>{
                 {u"InitMain: Не удалось прочитать настройки программы. Сообщение об ошибке:\rНе удалось "
                  "прочитать файл %1: данные файла заняли бы в памяти больше предела в 216 МиБ"_s.arg(
                      QDir::toNativeSeparators(p.path("system/Brenvale.ini"))),
                  MB_ICONERROR}};
         },
         {},
         10},
        // A hundred thousand stations: the list, its two code fields and the ticks built in linear time.
        // What the list holds of each station (its item, its codes twice and its record) takes more than
        // the file's share; 400 MiB bounds it.
        {"100,000 stations",
         "[global]\r\neffects=0\r\nstation_code=S150000\r\nstations=S100000,S199999,s150000\r\n",
         stations(100'000),
         {},
         [](const Tmainf &w) {
             EXPECT_EQ(w.stas->count(), 100'000);
             EXPECT_EQ(w.Cod_stac->count(), 100'000);
             EXPECT_EQ(w.curCode, u"S150000"_s);
             EXPECT_EQ(w.checkedPlain, u"S100000,s150000,S199999"_s);
         },
         6,
         400},
        // 100 MiB of one key over and over: 9.5 million entries would pass the share of 864 MiB. The image
        // holds what it counts up to the refusal (its lists grow in place, its strings take their size):
        // the peak is the share and the few MiB the refusal finds allocated past it.
        {"100 MiB of one key over and over",
         {},
         stations(3),
         [](const Program &p) {
             return QList<Shown>{
                 {u"InitMain: Не удалось прочитать настройки программы. Сообщение об ошибке:\rНе удалось "
                  "прочитать файл %1: данные файла заняли бы в памяти больше предела в 864 МиБ"_s.arg(
                      QDir::toNativeSeparators(p.path("system/Brenvale.ini"))),
                  MB_ICONERROR}};
         },
         {},
         60,
         880,
         [] { return "[global]\r\neffects=0\r\n" + QByteArray("effects=0\r\n").repeated(9'532'508); }},
    };
    return cases;
}

class LargeSettings : public ::testing::TestWithParam<int>
{
};

TEST_P(LargeSettings, StartWithinShareAndTime)
{
    const LargeCase &c = largeCases()[GetParam()];
#ifdef LARGE_SETTINGS_ASAN
    if (c.makeBrenvale)
        GTEST_SKIP() << "large inputs are measured in the plain build";
#endif
    const QByteArray brenvale = c.makeBrenvale ? c.makeBrenvale() : c.brenvale;
    {
        // The window's own first costs (fonts, styles) are not the files'.
        Program first;
        first.writeGlobal();
        first.start();
    }
    Program p;
    ASSERT_TRUE(writeBytes(p.path("system/Brenvale.ini"), brenvale));
    ASSERT_TRUE(writeBytes(p.path("system/Stations.ini"), c.stations));
    MessageRecorder recorder;

    const CpuTime cpu;
    const PeakMemory peak;
    auto w = p.start();
    const qint64 took = cpu.milliseconds(), mebibytes = peak.mebibytes();

    const QList<Shown> messages = c.messages ? c.messages(p) : QList<Shown>();
    EXPECT_EQ(shown(recorder), messages);
    if (messages.isEmpty())
        c.check(*w);
    EXPECT_LT(took, c.seconds * 1000 * kSanitizerSlowdown) << "ms of processor time";
    if (kPeakMemoryMeasures) {
        const qint64 share = ReadBudgetBytes(brenvale.size() + c.stations.size()) / kMiB;
        EXPECT_LE(mebibytes, c.peakMiB > 0 ? c.peakMiB : share);
    }
    w.reset();
    if (!messages.isEmpty()) {
        EXPECT_EQ(readBytes(p.path("system/Brenvale.ini")), brenvale);
    }
    std::cerr << c.name << ": " << took << " ms of processor time, " << mebibytes << " MiB\n";
}

INSTANTIATE_TEST_SUITE_P(Files, LargeSettings, ::testing::Range(0, int(largeCases().size())),
                         [](const ::testing::TestParamInfo<int> &info) {
                             QString name = QString::fromLatin1(largeCases()[info.param].name);
                             name.replace(QRegularExpression(u"[^A-Za-z0-9]"_s), u"_"_s);
                             return name.toStdString();
                         });

} // namespace
