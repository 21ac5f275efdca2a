#include "app/main/orx_ini.h"
#include "app/settings/settings_persistence.h"
#include "lib/data_sources.h"
#include "lib/errors.h"
#include "support/program_env.h"

namespace {

// Each test on a settings file of its own.
class IniTest : public ::testing::Test
{
protected:
    QString read(const char *section, const char *key) { return ini.ReadString(section, key, ""); }
    TestDir dir;
    const QString path = dir.file(QStringLiteral("Brenvale.ini"));
    IniFile ini{path};
};
using SettingsFile = IniTest;

QStringList keysNamed(int n)
{
    QStringList keys;
    for (int i = 1; i <= n; ++i)
        keys << QStringLiteral("k%1").arg(i);
    return keys;
}

TEST_F(SettingsFile, CommonKeysInValuesOfFive)
{
    QStringList back;
    for (const int n : {12, 5, 0}) {
        WriteCommonKeys(ini, keysNamed(n));
        EXPECT_EQ(read("global", "nglobal_cnt"), QString::number((n + 4) / 5));
        ReadCommonKeys(ini, back);
        EXPECT_EQ(back, keysNamed(n));
    }
    // Shrinking leaves the old values in the file, where the count makes them ignored.
    EXPECT_EQ(QStringList({read("global", "ngopt0"), read("global", "ngopt1"), read("global", "ngopt2")}),
              QStringList({"k1,k2,k3,k4,k5", "k6,k7,k8,k9,k10", "k11,k12"}));

    // Values split at blanks and commas.
    ini.WriteString("global", "nglobal_cnt", "2");
    ini.WriteString("global", "ngopt0", "svodka_dir, exp_dir  mails_send");
    ini.WriteString("global", "ngopt1", "start_date");
    ReadCommonKeys(ini, back);
    EXPECT_EQ(back, QStringList({"svodka_dir", "exp_dir", "mails_send", "start_date"}));

    // A count beyond any file's values reads the values there (the older "ngopt2" among them) at once.
    ini.WriteString("global", "nglobal_cnt", "2147483647");
    ini.WriteString("global", "ngopt14", "exp_dir");
    ReadCommonKeys(ini, back);
    EXPECT_EQ(back,
              QStringList({"svodka_dir", "exp_dir", "mails_send", "start_date", "k11", "k12", "exp_dir"}));
}

TEST_F(SettingsFile, GlobalKeys)
{
    // The engine reader falls back without the engine.
    ini.WriteString("global", "in_provider", "1");
    Tsett s;
    QString net;
    ReadOptionKeys(ini, s, net, true);
    EXPECT_EQ(s.in_provider, 1);
    ReadOptionKeys(ini, s, net, false);
    EXPECT_EQ(s.in_provider, 0);

    // The selection keys go out in their order, texts windows-1251.
    s.svset = 2;
    s.multi_name = QStringLiteral("все");
    GlobalViewState view;
    view.stations = QStringLiteral("MNK,PET");
    view.station_code = QStringLiteral("PET");
    view.no_search = view.show_ts = true;
    view.nets_width = 140;
    view.threshold = QStringLiteral("3");
    view.onlyfull = false;
    IniFile out(dir.file(QStringLiteral("out.ini")));
    WriteSelectionKeys(out, s, view, QStringLiteral("net1"));
    WritePlacement(out, QStringLiteral("window"), false, QRect(10, 20, 640, 480));
    out.UpdateFile();
    EXPECT_EQ(
        readBytes(dir.file(QStringLiteral("out.ini"))),
        QByteArray(
            "[global]\r\nstations=MNK,PET\r\nstation_code=PET\r\nno_search=1\r\nsvset=2\r\n"
            "repset=0\r\nexpset=0\r\nnets_width=140\r\nshow_ts=1\r\nthreshold=3\r\n"
            "select_data=1\r\nonlyfull=0\r\nmulti_name=\xE2\xF1\xE5\r\nnet=net1\r\n\r\n"
            "[window]\r\nwinstate=norm\r\nwinwidth=640\r\nwinheight=480\r\nwinx=10\r\nwiny=20\r\n\r\n"));

    // A stored placement: a value that is no number leaves the default.
    ini.WriteString("window", "winwidth", "700");
    ini.WriteString("window", "winheight", "wide");
    const StoredPlacement p = ReadStoredPlacement(ini, QStringLiteral("window"));
    EXPECT_EQ(std::tuple(p.winstate, p.width, p.height.has_value(), p.x.has_value()),
              std::tuple(QString("norm"), std::optional(700), false, false));
}

TEST_F(SettingsFile, UserFontDefaultsAndBadColour)
{
    TUserFont font;
    ReadUserFont(ini, QStringLiteral("font_main"), font);
    EXPECT_EQ(
        std::tuple(font.Font.family(), font.Font.pointSize(), font.Charset, font.Color, font.Font.bold()),
        std::tuple(QString("Arial"), 8, 1, clWindowText, false));
    ini.WriteString("font", "color", "0x000000FF");
    ini.WriteString("font", "style", "bi");
    ReadUserFont(ini, QStringLiteral("font"), font);
    EXPECT_EQ(std::tuple(font.Color, font.Font.bold(), font.Font.italic()), std::tuple(clRed, true, true));
    ini.WriteString("font", "color", "zz");
    EXPECT_THROW(ReadUserFont(ini, QStringLiteral("font"), font), EConvertError);
}

TEST_F(SettingsFile, StationKeysReadBackAndDatesThatDoNotExistGiveDefaults)
{
    Tsett s;
    s.start_date = EncodeDate(2008, 1, 31);
    s.end_date = EncodeDate(2008, 2, 29) + EncodeTime(23, 59, 58, 0);
    s.svodka_dir = QStringLiteral("/home/оператор/сводки");
    s.exp_end_date = EncodeDate(2007, 12, 31);
    s.useflag = true;
    s.dperiod = false;
    s.find_ropt = 3;
    s.maile_subj = QStringLiteral("экспорт");
    WriteStationKeys(ini, QStringLiteral("MNK"), s);
    ini.UpdateFile();
    ini = IniFile(path);
    EXPECT_EQ(QStringList({read("MNK", "start_date"), read("MNK", "end_date")}),
              QStringList({"31.01.2008", "29.02.2008 23:59:58"}));
    Tsett back;
    ReadStationKeys(ini, QStringLiteral("MNK"), back, EncodeDate(2024, 1, 1));
    const auto kept = [](const Tsett &t) {
        return std::tuple(t.start_date, t.svodka_dir, t.exp_end_date, t.useflag, t.dperiod, t.find_ropt,
                          t.maile_subj);
    };
    EXPECT_EQ(kept(back), kept(s));
    EXPECT_DOUBLE_EQ(back.end_date, s.end_date);

    ini.WriteString("PET", "start_date", "31.02.2008");
    const TDateTime today = EncodeDate(2024, 3, 1);
    ReadStationKeys(ini, QStringLiteral("PET"), back, today);
    EXPECT_EQ(std::tuple(back.start_date, back.svodka_date, back.exp_end_date, back.exp_dir, back.dperiod,
                         back.mails_global, back.maile_send),
              std::tuple(today - 1, today, today, GetPersonalFolder(), true, true, false));
}

// A day the products cannot carry, before 1900 or in the calendar's last year, reads as the default as
// text that is no date does; the first and the last day carried stay.
TEST_F(SettingsFile, DaysOutsideTheCalendarCarriedReadAsDefaults)
{
    const TDateTime today = EncodeDate(2024, 3, 1);
    const std::pair<const char *, TDateTime> cases[] = {
        {"31.12.1899", today - 1},
        {"01.01.1900", EncodeDate(1900, 1, 1)},
        {"31.12.9998 23:59:59", EncodeDate(9998, 12, 31) + EncodeTime(23, 59, 59, 0)},
        {"01.01.9999", today - 1},
        {"01.01.0001", today - 1},
    };
    for (const auto &[text, day] : cases) {
        ini.WriteString("PET", "start_date", text);
        ini.WriteString("PET", "filt_beg", text);
        Tsett s;
        ReadStationKeys(ini, QStringLiteral("PET"), s, today);
        EXPECT_DOUBLE_EQ(s.start_date, day) << text;
        EXPECT_DOUBLE_EQ(ReadOrxFilterKeys(ini, QStringLiteral("PET"), today).beg,
                         day == today - 1 ? today : day)
            << text;
    }
}

TEST_F(SettingsFile, OrxFilterSurvivesAndBadTextsGiveDefaults)
{
    const TDateTime today = EncodeDate(2024, 5, 10);
    OrxFilterState f = ReadOrxFilterKeys(ini, QStringLiteral("PET"), today);
    EXPECT_EQ(std::tuple(f.beg, f.end, f.filter), std::tuple(today, today + 1, false));
    f.beg = EncodeDate(2024, 1, 2) + EncodeTime(3, 4, 5, 0);
    f.filter = true;
    WriteOrxFilterKeys(ini, QStringLiteral("PET"), f);
    EXPECT_EQ(read("PET", "filt_beg"), QStringLiteral("02.01.2024 03:04:05"));
    const OrxFilterState back = ReadOrxFilterKeys(ini, QStringLiteral("PET"), today);
    EXPECT_DOUBLE_EQ(back.beg, f.beg);
    EXPECT_TRUE(back.filter);
    ini.WriteString("PET", "filt_end", "1/3/2024");
    EXPECT_EQ(ReadOrxFilterKeys(ini, QStringLiteral("PET"), today).end, today + 1);
}

TEST_F(SettingsFile, OrxIniDefaultsAndEmptyValues)
{
    const QString orxIni = dir.file(QStringLiteral("orx.ini"));
    OrxIniValues v = ReadOrxIni(orxIni);
    EXPECT_EQ(QStringList({v.source, v.user, v.password}), QStringList({"", "qzv", "qzv"}));
    ASSERT_TRUE(writeBytes(orxIni, "[database]\r\nodbc=orxdb\r\nuser=\r\npassword=secret\r\n"));
    v = ReadOrxIni(orxIni);
    EXPECT_EQ(QStringList({v.source, v.user, v.password}), QStringList({"orxdb", "qzv", "secret"}));

    const QByteArray old = qgetenv("ORX_INI_DIR");
    qputenv("ORX_INI_DIR", dir.path().toUtf8());
    EXPECT_EQ(OrxIniPath(), orxIni);
    qunsetenv("ORX_INI_DIR");
    EXPECT_EQ(OrxIniPath(), QStringLiteral("/etc/orx.ini"));
    if (!old.isEmpty())
        qputenv("ORX_INI_DIR", old);
}

} // namespace
