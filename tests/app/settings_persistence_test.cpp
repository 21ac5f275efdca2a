#include "app/orx_ini.h"
#include "app/settings_persistence.h"
#include "lib/data_sources.h"
#include "lib/errors.h"
#include "support/program_env.h"

namespace {

QStringList keysNamed(int n)
{
    QStringList keys;
    for (int i = 1; i <= n; ++i)
        keys << QStringLiteral("k%1").arg(i);
    return keys;
}

TEST(CommonKeys, WrittenInValuesOfFiveAndReadBackInOrder)
{
    TestDir dir;
    IniFile ini(dir.file(QStringLiteral("Brenvale.ini")));
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

TEST(CommonKeys, ValuesSplitAtBlanksAndCommas)
{
    TestDir dir;
    IniFile ini(dir.file(QStringLiteral("Brenvale.ini")));
    ini.WriteString("global", "nglobal_cnt", "2");
    ini.WriteString("global", "ngopt0", "svodka_dir, exp_dir  mails_send");
    ini.WriteString("global", "ngopt1", "start_date");
    ini.WriteString("global", "ngopt2", "never_read");
    QStringList keys;
    ReadCommonKeys(ini, keys);
    EXPECT_EQ(keys, QStringList({"svodka_dir", "exp_dir", "mails_send", "start_date"}));
}

TEST(GlobalKeys, EngineReaderFallsBackWithoutTheEngine)
{
    TestDir dir;
    IniFile ini(dir.file(QStringLiteral("Brenvale.ini")));
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

TEST(GlobalKeys, SelectionKeysWrittenInTheirOrder)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("Brenvale.ini"));
    IniFile ini(path);
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

TEST(GlobalKeys, UserFontDefaultsAndBadColour)
{
    TestDir dir;
    IniFile ini(dir.file(QStringLiteral("Brenvale.ini")));
    TUserFont font;
    ReadUserFont(ini, QStringLiteral("font_main"), font);
    EXPECT_EQ(font.Font.family(), QStringLiteral("Arial"));
    EXPECT_EQ(font.Font.pointSize(), 8);
    EXPECT_EQ(font.Charset, 1);
    EXPECT_EQ(font.Color, clWindowText);
    EXPECT_FALSE(font.Font.bold());

    ini.WriteString("font", "color", "0x000000FF");
    ini.WriteString("font", "style", "bi");
    ini.WriteString("font", "size", "12");
    ReadUserFont(ini, QStringLiteral("font"), font);
    EXPECT_EQ(font.Color, clRed);
    EXPECT_TRUE(font.Font.bold() && font.Font.italic());
    EXPECT_EQ(font.Font.pointSize(), 12);

    ini.WriteString("font", "color", "zz");
    EXPECT_THROW(ReadUserFont(ini, QStringLiteral("font"), font), EConvertError);
}

TEST(StationKeys, DefaultsAndDatesThatDoNotExist)
{
    TestDir dir;
    IniFile ini(dir.file(QStringLiteral("Stations.ini")));
    ini.WriteString("PET", "start_date", "31.02.2008");
    ini.WriteString("PET", "end_date", "05.03.2008 12:30:00");
    const TDateTime today = EncodeDate(2024, 3, 1);
    Tsett s;
    ReadStationKeys(ini, QStringLiteral("PET"), s, today);
    EXPECT_EQ(s.start_date, today - 1);
    EXPECT_DOUBLE_EQ(s.end_date, EncodeDate(2008, 3, 5) + EncodeTime(12, 30, 0, 0));
    EXPECT_EQ(s.svodka_date, today);
    EXPECT_EQ(s.exp_start_date, today - 1);
    EXPECT_EQ(s.exp_end_date, today);
    EXPECT_EQ(s.svodka_dir, GetPersonalFolder());
    EXPECT_EQ(s.exp_dir, GetPersonalFolder());
    EXPECT_TRUE(s.dperiod);
    EXPECT_TRUE(s.mails_global);
    EXPECT_FALSE(s.maile_send);
}

TEST(StationKeys, WrittenValuesReadBack)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("Stations.ini"));
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
    {
        IniFile ini(path);
        WriteStationKeys(ini, QStringLiteral("MNK"), s);
        ini.UpdateFile();
    }
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("MNK", "end_date", ""), QStringLiteral("29.02.2008 23:59:58"));
    EXPECT_EQ(ini.ReadString("MNK", "start_date", ""), QStringLiteral("31.01.2008"));
    Tsett back;
    ReadStationKeys(ini, QStringLiteral("MNK"), back, EncodeDate(2024, 1, 1));
    EXPECT_EQ(back.start_date, s.start_date);
    EXPECT_DOUBLE_EQ(back.end_date, s.end_date);
    EXPECT_EQ(back.svodka_dir, s.svodka_dir);
    EXPECT_EQ(back.exp_end_date, s.exp_end_date);
    EXPECT_TRUE(back.useflag);
    EXPECT_FALSE(back.dperiod);
    EXPECT_EQ(back.find_fstr, s.find_fstr);
    EXPECT_EQ(back.find_ropt, 3);
    EXPECT_TRUE(back.mails_send);
    EXPECT_EQ(back.maile_subj, s.maile_subj);
}

TEST(StationKeys, OrxFilterSurvivesAndBadTextsGiveDefaults)
{
    TestDir dir;
    IniFile ini(dir.file(QStringLiteral("Stations.ini")));
    const TDateTime today = EncodeDate(2024, 5, 10);
    OrxFilterState f = ReadOrxFilterKeys(ini, QStringLiteral("PET"), today);
    EXPECT_EQ(f.beg, today);
    EXPECT_EQ(f.end, today + 1);
    EXPECT_FALSE(f.filter);

    f.beg = EncodeDate(2024, 1, 2) + EncodeTime(3, 4, 5, 0);
    f.end = EncodeDate(2024, 1, 3);
    f.filter = true;
    WriteOrxFilterKeys(ini, QStringLiteral("PET"), f);
    EXPECT_EQ(ini.ReadString("PET", "filt_beg", ""), QStringLiteral("02.01.2024 03:04:05"));
    const OrxFilterState back = ReadOrxFilterKeys(ini, QStringLiteral("PET"), today);
    EXPECT_DOUBLE_EQ(back.beg, f.beg);
    EXPECT_EQ(back.end, f.end);
    EXPECT_TRUE(back.filter);

    ini.WriteString("PET", "filt_end", "1/3/2024");
    EXPECT_EQ(ReadOrxFilterKeys(ini, QStringLiteral("PET"), today).end, today + 1);
}

TEST(Placement, StoredKeys)
{
    TestDir dir;
    IniFile ini(dir.file(QStringLiteral("Brenvale.ini")));
    ini.WriteString("window", "winwidth", "700");
    ini.WriteString("window", "winheight", "wide");
    const StoredPlacement p = ReadStoredPlacement(ini, QStringLiteral("window"));
    EXPECT_EQ(p.winstate, QStringLiteral("norm"));
    EXPECT_EQ(p.width, 700);
    EXPECT_FALSE(p.height.has_value()); // not a number: the default applies
    EXPECT_FALSE(p.x.has_value());
}

TEST(OrxIni, DefaultsAndEmptyValues)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("orx.ini"));
    OrxIniValues v = ReadOrxIni(path);
    EXPECT_EQ(v.source, QString());
    EXPECT_EQ(v.user, QStringLiteral("qzv"));
    EXPECT_EQ(v.password, QStringLiteral("qzv"));

    ASSERT_TRUE(writeBytes(path, "[database]\r\nodbc=orxdb\r\nuser=\r\npassword=secret\r\n"));
    v = ReadOrxIni(path);
    EXPECT_EQ(v.source, QStringLiteral("orxdb"));
    EXPECT_EQ(v.user, QStringLiteral("qzv"));
    EXPECT_EQ(v.password, QStringLiteral("secret"));

    const QByteArray old = qgetenv("ORX_INI_DIR");
    qputenv("ORX_INI_DIR", dir.path().toUtf8());
    EXPECT_EQ(OrxIniPath(), path);
    qunsetenv("ORX_INI_DIR");
    EXPECT_EQ(OrxIniPath(), QStringLiteral("/etc/orx.ini"));
    if (!old.isEmpty())
        qputenv("ORX_INI_DIR", old);
}

} // namespace
