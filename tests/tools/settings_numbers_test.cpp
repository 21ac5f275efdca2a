// Every number the start-up reads from the two settings files, at the ends of what an integer holds and
// past them, the program set up as main() sets it up on the demo folder: it starts, and each number it
// took is one its use can take, or the key's default, as for a missing key.

#include "program_setup.h"
#include "tools/demo_program.h"

#include "lib/date_routines.h"
#include "lib/ini_file.h"
#include "lib/work_dates.h"

#include <QHash>
#include <QSplitter>

#include <climits>
#include <functional>

namespace {

// INT_MIN, -1, INT_MAX, INT_MAX + 1, a double past any integer, and no number at all.
const char *const kValues[] = {"-2147483648", "-1", "2147483647", "2147483648", "1e308", "NaN"};

// A key, the range its use can take and what the started program holds of it. A Boolean takes any
// integer, 0 being false; an empty range (first above last) takes none of the values above.
struct NumberKey
{
    const char *file; // under system/
    const char *section;
    const char *key;
    int defaultValue;
    qint64 first, last;
    bool boolean;
    std::function<int(const Tmainf &)> used;
};

// The demo's station; its keys live in its section of the stations file.
constexpr char kStation[] = "PET";

// The window opens in the work area, no larger than it.
int placedInWorkArea(const Tmainf &w)
{
    return int(kWorkArea.contains(w.pos()) && w.width() <= kWorkArea.width() &&
               w.height() <= kWorkArea.height());
}

int fontSize(const TUserFont &f)
{
    return f.Font.pointSize() > 0 ? f.Font.pointSize() : -f.Font.pixelSize();
}

const QList<NumberKey> &numberKeys()
{
    const auto sett = [](auto member) { return [member](const Tmainf &w) { return int(w.sett.*member); }; };
    const auto checked = [](QCheckBox *Tmainf::*box) {
        return [box](const Tmainf &w) { return int((w.*box)->isChecked()); };
    };
    // Dates are no integers: every value reads as the default day.
    const auto isDay = [](TDateTime Tsett::*member, int daysBefore) {
        return [member, daysBefore](const Tmainf &w) { return int(w.sett.*member == Today() - daysBefore); };
    };
    const qint64 any = INT_MIN, all = INT_MAX;
    const qint64 days = FirstWorkDate().daysTo(LastWorkDate());
    static const QList<NumberKey> keys = {
        {"Brenvale.ini", "global", "start_mode", 1, 0, 1, false, sett(&Tsett::start_mode)},
        {"Brenvale.ini", "global", "start_from", 0, 0, 4, false, sett(&Tsett::start_from)},
        {"Brenvale.ini", "global", "dbtype", 0, 0, 1, false, sett(&Tsett::dbtype)},
        {"Brenvale.ini", "global", "directORXwr", 1, any, all, true, sett(&Tsett::directORXwr)},
        {"Brenvale.ini", "global", "fullorx", 0, any, all, true, sett(&Tsett::fullorx)},
        {"Brenvale.ini", "global", "orxini", 1, any, all, true, sett(&Tsett::orxini)},
        {"Brenvale.ini", "global", "flagbeg", 1, any, all, true, sett(&Tsett::flagbeg)},
        {"Brenvale.ini", "global", "showempty", 1, any, all, true, sett(&Tsett::showempty)},
        {"Brenvale.ini", "global", "in_provider", 0, 0, 1, false, sett(&Tsett::in_provider)},
        {"Brenvale.ini", "global", "out_provider", 1, 0, 1, false, sett(&Tsett::out_provider)},
        {"Brenvale.ini", "global", "sg_main", 1, any, all, true, sett(&Tsett::sg_main)},
        {"Brenvale.ini", "global", "no_search", 0, any, all, true, checked(&Tmainf::nosearch)},
        // A count of values: any positive count reads the one value there.
        {"Brenvale.ini", "global", "nglobal_cnt", 0, 0, all, true,
         [](const Tmainf &w) { return int(w.sett.CommonKeys == QStringList{"svodka_dir"}); }},
        {"Brenvale.ini", "global", "svset", 0, 0, 3, false, sett(&Tsett::svset)},
        {"Brenvale.ini", "global", "repset", 0, 0, 3, false, sett(&Tsett::repset)},
        {"Brenvale.ini", "global", "expset", 0, 0, 3, false, sett(&Tsett::expset)},
        {"Brenvale.ini", "global", "smtp_port", 25, 1, 65535, false, sett(&Tsett::smtp_port)},
        {"Brenvale.ini", "global", "select_data", 1, any, all, true, checked(&Tmainf::select_data)},
        {"Brenvale.ini", "global", "onlyfull", 1, any, all, true, checked(&Tmainf::onlyfull)},
        {"Brenvale.ini", "global", "shownames", 0, 0, 1, false, sett(&Tsett::shownames)},
        // Pixels of the network panel, 2 being closed: the splitter gives it what it took.
        {"Brenvale.ini", "global", "nets_width", 2, 2, QWIDGETSIZE_MAX, false,
         [](const Tmainf &w) { return w.sett.fullorx ? w.Splitter2->sizes().value(0) : 2; }},
        {"Brenvale.ini", "global", "show_ts", 0, any, all, true,
         [](const Tmainf &w) { return int(!w.Panel10->isHidden()); }},
        {"Brenvale.ini", "global", "threshold", 1, 0, days, false,
         [](const Tmainf &w) { return w.Edit10->text() == QLatin1String("1") ? 1 : -1; }},
        {"Brenvale.ini", "global", "effects", 1, any, all, true, sett(&Tsett::effects)},
        {"Brenvale.ini", "global", "double_buf", 1, any, all, true, sett(&Tsett::double_buf)},
        {"Brenvale.ini", "global", "selperiod", 0, 0, 1, false, sett(&Tsett::selperiod)},
        {"Brenvale.ini", "global", "orvfmt", 0, 0, 1, false, sett(&Tsett::orvfmt)},
        {"Brenvale.ini", "font_main", "size", 8, -512, 512, false,
         [](const Tmainf &w) { return fontSize(w.mainFont); }},
        {"Brenvale.ini", "font_main", "charset", 1, 0, 255, false,
         [](const Tmainf &w) { return w.mainFont.Charset; }},
        {"Brenvale.ini", "font", "size", 8, -512, 512, false,
         [](const Tmainf &w) { return fontSize(w.gridFont); }},
        {"Brenvale.ini", "font", "charset", 1, 0, 255, false,
         [](const Tmainf &w) { return w.gridFont.Charset; }},
        // The placement takes any number and fits the window into the work area (the algorithm's own
        // sizes leave out the frame, which may reach a few pixels past the area's far edges).
        {"Brenvale.ini", "window", "winwidth", 1, any, all, true, placedInWorkArea},
        {"Brenvale.ini", "window", "winheight", 1, any, all, true, placedInWorkArea},
        {"Brenvale.ini", "window", "winx", 1, any, all, true, placedInWorkArea},
        {"Brenvale.ini", "window", "winy", 1, any, all, true, placedInWorkArea},
        {"Stations.ini", kStation, "start_date", 1, 1, 0, false, isDay(&Tsett::start_date, 1)},
        {"Stations.ini", kStation, "end_date", 1, 1, 0, false, isDay(&Tsett::end_date, 0)},
        {"Stations.ini", kStation, "svodka_date", 1, 1, 0, false, isDay(&Tsett::svodka_date, 0)},
        {"Stations.ini", kStation, "exp_start_date", 1, 1, 0, false, isDay(&Tsett::exp_start_date, 1)},
        {"Stations.ini", kStation, "exp_end_date", 1, 1, 0, false, isDay(&Tsett::exp_end_date, 0)},
        {"Stations.ini", kStation, "useflag", 0, any, all, true, sett(&Tsett::useflag)},
        {"Stations.ini", kStation, "dperiod", 1, any, all, true, sett(&Tsett::dperiod)},
        {"Stations.ini", kStation, "find_fopt", 0, 0, 3, false, sett(&Tsett::find_fopt)},
        {"Stations.ini", kStation, "find_ropt", 0, 0, 3, false, sett(&Tsett::find_ropt)},
        {"Stations.ini", kStation, "mails_global", 1, any, all, true, sett(&Tsett::mails_global)},
        {"Stations.ini", kStation, "mails_att", 0, any, all, true, sett(&Tsett::mails_att)},
        {"Stations.ini", kStation, "mails_send", 0, any, all, true, sett(&Tsett::mails_send)},
        {"Stations.ini", kStation, "maile_global", 1, any, all, true, sett(&Tsett::maile_global)},
        {"Stations.ini", kStation, "maile_send", 0, any, all, true, sett(&Tsett::maile_send)},
        // Read in the ORX-only mode alone, which the values that are true Booleans switch on.
        {"Stations.ini", kStation, "filter", 0, any, all, true, checked(&Tmainf::filter)},
        {"Stations.ini", kStation, "import_type", 2, 0, 4, false,
         [](const Tmainf &w) { return w.GetImportType(); }},
        {"Stations.ini", kStation, "add_event", 0, any, all, true, checked(&Tmainf::adde)},
        {"Stations.ini", kStation, "intxt_imm", 1, any, all, true, checked(&Tmainf::imm)},
    };
    return keys;
}

// What the key's value gives: the integer when its use takes it, the default otherwise.
int expected(const NumberKey &k, const char *value)
{
    bool isInt = false;
    const qint64 v = QByteArray(value).toLongLong(&isInt);
    if (!isInt || v < INT_MIN || v > INT_MAX || v < k.first || v > k.last)
        return k.defaultValue;
    return k.boolean ? int(v != 0) : int(v);
}

// The demo folder once for all the starts; each start begins from its settings files as written.
class SettingsNumbers : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TestDir;
        DemoParams params;
        params.days = 2;
        params.eventsPerDay = 2;
        GenerateDemoFolder(s_dir->path(), params);
        for (const char *file : {"Brenvale.ini", "Stations.ini"})
            s_files[QLatin1String(file)] = readBytes(path(file));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString path(const char *file)
    {
        return s_dir->file(QStringLiteral("system/") + QLatin1String(file));
    }

    // The demo's settings files with Keys set (file, section, key, value).
    void writeSettings(const QList<std::tuple<const char *, QString, QString, QString>> &keys)
    {
        for (auto it = s_files.cbegin(); it != s_files.cend(); ++it)
            ASSERT_TRUE(writeBytes(path(it.key().toLatin1().constData()), it.value()));
        for (const char *file : {"Brenvale.ini", "Stations.ini"}) {
            IniFile ini(path(file));
            for (const auto &[f, section, key, value] : keys)
                if (qstrcmp(f, file) == 0)
                    ini.WriteString(section, key, value);
            ini.UpdateFile();
        }
    }

    // The program as main() sets it up on the folder, shown and its fade run through.
    std::unique_ptr<Tmainf> start()
    {
        qputenv("ORX_INI_DIR", s_dir->file(QStringLiteral("system")).toUtf8());
        InstallProgramCommands();
        auto w = startMainWindow(s_dir->path());
        SetImportPageInstaller(nullptr);
        w->show();
        for (int i = 0; i < 100 && w->fade().fading(); ++i)
            w->fade().tick();
        return w;
    }

    static TestDir *s_dir;
    static QHash<QString, QByteArray> s_files;
    Tdm dm;
    MessageRecorder recorder;
};

TestDir *SettingsNumbers::s_dir = nullptr;
QHash<QString, QByteArray> SettingsNumbers::s_files;

// One start for each value, every key holding it (the count's one value names a key of the catalogue).
TEST_F(SettingsNumbers, EveryNumberTakenIsOneItsUseCanTake)
{
    for (const char *value : kValues) {
        QList<std::tuple<const char *, QString, QString, QString>> keys;
        keys.append({"Brenvale.ini", QStringLiteral("global"), QStringLiteral("ngopt0"),
                     QStringLiteral("svodka_dir")});
        for (const NumberKey &k : numberKeys())
            keys.append({k.file, QLatin1String(k.section), QLatin1String(k.key), QLatin1String(value)});
        writeSettings(keys);
        recorder.clear();
        auto w = start();
        for (const NumberKey &k : numberKeys())
            EXPECT_EQ(k.used(*w), expected(k, value)) << k.section << " " << k.key << "=" << value;
        EXPECT_EQ(shown(recorder), QList<Shown>()) << value;
        EXPECT_FALSE(w->initFailed) << value;
        w.reset();
        EXPECT_EQ(shown(recorder), QList<Shown>()) << value;
    }
}

// The start page of a number past the pages is the first page, 'Настройка'; the one above 'Импорт' is
// 'О программе' when 'Tests' is hidden.
TEST_F(SettingsNumbers, StartPageOfAnyNumber)
{
    for (const auto &[value, page] : {std::pair("2147483647", 0), std::pair("2147483648", 0),
                                      std::pair("-2147483648", 0), std::pair("4", 5), std::pair("3", 3)}) {
        writeSettings(
            {{"Brenvale.ini", QStringLiteral("global"), QStringLiteral("start_from"), QLatin1String(value)}});
        auto w = start();
        EXPECT_EQ(w->pgc1->currentIndex(), page) << value;
        EXPECT_EQ(recorder.count(), 0) << value;
    }
}

// A font's colour is text that converts to an integer or stops the start with the conversion error,
// the settings file kept; every integer is a colour (one whose top byte is set the window-text colour).
TEST_F(SettingsNumbers, ColourOfAFontConvertsOrIsReported)
{
    const QString path = SettingsNumbers::path("Brenvale.ini");
    for (const char *value : kValues) {
        writeSettings(
            {{"Brenvale.ini", QStringLiteral("font_main"), QStringLiteral("color"), QLatin1String(value)}});
        const QByteArray before = readBytes(path);
        recorder.clear();
        auto w = start();
        bool isInt = false;
        const int colour = QByteArray(value).toInt(&isInt);
        if (isInt) {
            EXPECT_EQ(recorder.count(), 0) << value;
            EXPECT_EQ(w->mainFont.Color, colour) << value;
        } else {
            EXPECT_EQ(
                shown(recorder),
                QList<Shown>({{QStringLiteral("InitMain: Не удалось прочитать настройки программы. Сообщение "
                                              "об ошибке:\r\"%1\" - не целое число")
                                   .arg(QLatin1String(value)),
                               MB_ICONERROR}}))
                << value;
        }
        w.reset();
        if (!isInt) {
            EXPECT_EQ(readBytes(path), before) << value;
        }
    }
}

} // namespace
