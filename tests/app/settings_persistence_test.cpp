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
    TestDir dir;
    const QString path = dir.file(QStringLiteral("Brenvale.ini"));
    IniFile ini{path};
};
using CommonKeys = IniTest;
using GlobalKeys = IniTest;
using StationKeys = IniTest;
using Placement = IniTest;
using OrxIni = IniTest;

QStringList keysNamed(int n)
{
    QStringList keys;
    for (int i = 1; i <= n; ++i)
        keys << QStringLiteral("k%1").arg(i);
    return keys;
}

TEST_F(CommonKeys, WrittenInValuesOfFiveAndReadBackInOrder)
{
    WriteCommonKeys(ini, keysNamed(12));
    EXPECT_EQ(ini.ReadString("global", "nglobal_cnt", ""), QStringLiteral("3"));
    EXPECT_EQ(ini.ReadString("global", "ngopt0", ""), QStringLiteral("k1,k2,k3,k4,k5"));
    EXPECT_EQ(ini.ReadString("global", "ngopt1", ""), QStringLiteral("k6,k7,k8,k9,k10"));
    EXPECT_EQ(ini.ReadString("global", "ngopt2", ""), QStringLiteral("k11,k12"));
    QStringList back;
    ReadCommonKeys(ini, back);
    EXPECT_EQ(back, keysNamed(12));

    // Exactly five keys make one value.
    WriteCommonKeys(ini, keysNamed(5));
    EXPECT_EQ(ini.ReadString("global", "nglobal_cnt", ""), QStringLiteral("1"));
    ReadCommonKeys(ini, back);
    EXPECT_EQ(back, keysNamed(5));

    // Shrinking to nothing leaves the old values in the file, where the count makes them ignored.
    WriteCommonKeys(ini, {});
    EXPECT_EQ(ini.ReadString("global", "nglobal_cnt", ""), QStringLiteral("0"));
    EXPECT_EQ(ini.ReadString("global", "ngopt2", ""), QStringLiteral("k11,k12"));
    ReadCommonKeys(ini, back);
    EXPECT_TRUE(back.isEmpty());
}

TEST_F(CommonKeys, ValuesSplitAtBlanksAndCommas)
{
    ini.WriteString("global", "nglobal_cnt", "2");
    ini.WriteString("global", "ngopt0", "svodka_dir, exp_dir  mails_send");
    ini.WriteString("global", "ngopt1", "start_date");
    ini.WriteString("global", "ngopt2", "never_read");
    QStringList keys;
    ReadCommonKeys(ini, keys);
    EXPECT_EQ(keys, QStringList({"svodka_dir", "exp_dir", "mails_send", "start_date"}));
}

TEST_F(CommonKeys, AHugeCountReadsOnlyTheValuesThere)
{
    ini.WriteString("global", "nglobal_cnt", "2147483647");
    ini.WriteString("global", "ngopt0", "svodka_dir");
    ini.WriteString("global", "ngopt14", "exp_dir");
    QStringList keys;
    ReadCommonKeys(ini, keys);
    EXPECT_EQ(keys, QStringList({"svodka_dir", "exp_dir"}));
}

TEST_F(GlobalKeys, EngineReaderFallsBackWithoutTheEngine)
{
    ini.WriteString("global", "in_provider", "1");
    ini.WriteString("global", "net", "Камчатка");
    Tsett s;
    QString net;
    ReadOptionKeys(ini, s, net, true);
    EXPECT_EQ(s.in_provider, 1);
    EXPECT_EQ(net, QStringLiteral("Камчатка"));
    ReadOptionKeys(ini, s, net, false);
    EXPECT_EQ(s.in_provider, 0);
}

TEST_F(GlobalKeys, SelectionKeysWrittenInTheirOrder)
{
    Tsett s;
    s.svset = 2;
    s.multi_name = QStringLiteral("все");
    GlobalViewState view;
    view.stations = QStringLiteral("MNK,PET");
    view.station_code = QStringLiteral("PET");
    view.no_search = true;
    view.nets_width = 140;
    view.show_ts = true;
    view.threshold = QStringLiteral("3");
    view.onlyfull = false;
    WriteSelectionKeys(ini, s, view, QStringLiteral("net1"));
    WritePlacement(ini, QStringLiteral("window"), false, QRect(10, 20, 640, 480));
    ini.UpdateFile();
    const QByteArray expected =
        "[global]\r\nstations=MNK,PET\r\nstation_code=PET\r\nno_search=1\r\nsvset=2\r\n"
        "repset=0\r\nexpset=0\r\nnets_width=140\r\nshow_ts=1\r\nthreshold=3\r\n"
        "select_data=1\r\nonlyfull=0\r\nmulti_name=\xE2\xF1\xE5\r\nnet=net1\r\n\r\n"
        "[window]\r\nwinstate=norm\r\nwinwidth=640\r\nwinheight=480\r\nwinx=10\r\n"
        "winy=20\r\n\r\n";
    EXPECT_EQ(readBytes(path), expected);
}

TEST_F(GlobalKeys, UserFontDefaultsAndBadColour)
{
    TUserFont font;
    ReadUserFont(ini, QStringLiteral("font_main"), font);
    EXPECT_EQ(
        std::tuple(font.Font.family(), font.Font.pointSize(), font.Charset, font.Color, font.Font.bold()),
        std::tuple(QString("Arial"), 8, 1, clWindowText, false));

    ini.WriteString("font", "color", "0x000000FF");
    ini.WriteString("font", "style", "bi");
    ini.WriteString("font", "size", "12");
    ReadUserFont(ini, QStringLiteral("font"), font);
    EXPECT_EQ(std::tuple(font.Color, font.Font.bold(), font.Font.italic(), font.Font.pointSize()),
              std::tuple(clRed, true, true, 12));

    ini.WriteString("font", "color", "zz");
    EXPECT_THROW(ReadUserFont(ini, QStringLiteral("font"), font), EConvertError);
}

TEST_F(StationKeys, DefaultsAndDatesThatDoNotExist)
{
    ini.WriteString("PET", "start_date", "31.02.2008");
    ini.WriteString("PET", "end_date", "05.03.2008 12:30:00");
    const TDateTime today = EncodeDate(2024, 3, 1);
    Tsett s;
    ReadStationKeys(ini, QStringLiteral("PET"), s, today);
    EXPECT_DOUBLE_EQ(s.end_date, EncodeDate(2008, 3, 5) + EncodeTime(12, 30, 0, 0));
    EXPECT_EQ(std::tuple(s.start_date, s.svodka_date, s.exp_start_date, s.exp_end_date, s.svodka_dir,
                         s.exp_dir, s.dperiod, s.mails_global, s.maile_send),
              std::tuple(today - 1, today, today - 1, today, GetPersonalFolder(), GetPersonalFolder(), true,
                         true, false));
}

TEST_F(StationKeys, WrittenValuesReadBack)
{
    Tsett s;
    s.start_date = EncodeDate(2008, 1, 31);
    s.end_date = EncodeDate(2008, 2, 29) + EncodeTime(23, 59, 58, 0);
    s.svodka_date = EncodeDate(2008, 2, 1);
    s.svodka_dir = QStringLiteral("/home/оператор/сводки");
    s.exp_start_date = EncodeDate(2007, 12, 1);
    s.exp_end_date = EncodeDate(2007, 12, 31);
    s.exp_dir = QStringLiteral("/tmp/exp");
    s.useflag = true;
    s.dperiod = false;
    s.find_fstr = QStringLiteral("LQ");
    s.find_ropt = 3;
    s.mails_send = true;
    s.maile_subj = QStringLiteral("экспорт");
    WriteStationKeys(ini, QStringLiteral("MNK"), s);
    ini.UpdateFile();
    IniFile reread(path);
    EXPECT_EQ(reread.ReadString("MNK", "end_date", ""), QStringLiteral("29.02.2008 23:59:58"));
    EXPECT_EQ(reread.ReadString("MNK", "start_date", ""), QStringLiteral("31.01.2008"));
    Tsett back;
    ReadStationKeys(reread, QStringLiteral("MNK"), back, EncodeDate(2024, 1, 1));
    EXPECT_DOUBLE_EQ(back.end_date, s.end_date);
    const auto kept = [](const Tsett &t) {
        return std::tuple(t.start_date, t.svodka_date, t.svodka_dir, t.exp_start_date, t.exp_end_date,
                          t.exp_dir, t.useflag, t.dperiod, t.find_fstr, t.find_ropt, t.mails_send,
                          t.maile_subj);
    };
    EXPECT_EQ(kept(back), kept(s));
}

TEST_F(StationKeys, OrxFilterSurvivesAndBadTextsGiveDefaults)
{
    const TDateTime today = EncodeDate(2024, 5, 10);
    OrxFilterState f = ReadOrxFilterKeys(ini, QStringLiteral("PET"), today);
    EXPECT_EQ(std::tuple(f.beg, f.end, f.filter), std::tuple(today, today + 1, false));

    f.beg = EncodeDate(2024, 1, 2) + EncodeTime(3, 4, 5, 0);
    f.end = EncodeDate(2024, 1, 3);
    f.filter = true;
    WriteOrxFilterKeys(ini, QStringLiteral("PET"), f);
    EXPECT_EQ(ini.ReadString("PET", "filt_beg", ""), QStringLiteral("02.01.2024 03:04:05"));
    const OrxFilterState back = ReadOrxFilterKeys(ini, QStringLiteral("PET"), today);
    EXPECT_DOUBLE_EQ(back.beg, f.beg);
    EXPECT_EQ(std::pair(back.end, back.filter), std::pair(f.end, true));

    ini.WriteString("PET", "filt_end", "1/3/2024");
    EXPECT_EQ(ReadOrxFilterKeys(ini, QStringLiteral("PET"), today).end, today + 1);
}

TEST_F(Placement, StoredKeys)
{
    ini.WriteString("window", "winwidth", "700");
    ini.WriteString("window", "winheight", "wide");
    const StoredPlacement p = ReadStoredPlacement(ini, QStringLiteral("window"));
    EXPECT_EQ(p.winstate, QStringLiteral("norm"));
    EXPECT_EQ(p.width, 700);
    EXPECT_FALSE(p.height.has_value()); // not a number: the default applies
    EXPECT_FALSE(p.x.has_value());
}

TEST_F(OrxIni, DefaultsAndEmptyValues)
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
