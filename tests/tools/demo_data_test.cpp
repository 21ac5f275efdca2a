#include "demo_data.h"

#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "lib/codec.h"
#include "lib/epoch.h"
#include "lib/ini_file.h"
#include "support/test_support.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<DbConnection> open(const QString &provider, const QString &path)
{
    auto c = std::make_unique<DbConnection>();
    c->SetProvider(provider);
    c->SetConnectionString(u"Data Source=\"%1\";Mode=ReadWrite"_s.arg(path));
    c->Open(QString(), QString());
    return c;
}

std::unique_ptr<DbQuery> query(DbConnection &c, const QString &sql)
{
    auto q = std::make_unique<DbQuery>(&c);
    q->SetSQL(sql);
    q->Open();
    return q;
}

void exec(DbConnection &c, const QString &sql)
{
    DbCommand command(&c);
    command.SetCommandText(sql);
    command.Execute();
}

int count(DbConnection &c, const QString &sql)
{
    return query(c, sql)->Field(0)->AsInteger();
}

// Every row of a statement, values as text, for comparing two runs.
QStringList rows(DbConnection &c, const QString &sql)
{
    QStringList out;
    for (auto q = query(c, sql); !q->Eof(); q->Next()) {
        QStringList values;
        for (int i = 0; i < q->FieldCount(); ++i)
            values << q->Field(i)->AsString();
        out << values.join(QLatin1Char('|'));
    }
    return out;
}

const QString kJet = u"Microsoft.Jet.OLEDB.4.0"_s;
const QString kOdbc = u"MSDASQL"_s;

DemoParams small()
{
    DemoParams p;
    p.stations = 3;
    p.days = 2;
    p.eventsPerDay = 5;
    p.readingsPerEvent = 4;
    p.measurementsPerReading = 1.5;
    return p;
}

// One small demo folder, written once for the tests that only read it.
struct Demo
{
    TestDir dir;
    DemoSummary s = GenerateDemoFolder(dir.path(), small());
};
const Demo &demo()
{
    static const Demo d;
    return d;
}

TEST(DemoData, SettingsAndReferenceFiles)
{
    const auto &[dir, s] = demo();
    const QString orx = dir.file(u"data/orx.db"_s);
    EXPECT_EQ(s.orxPath, orx);
    EXPECT_EQ(s.stationCodes, QStringList({"PET", "MNK", "OBN"}));

    // Brenvale.ini exactly, in windows-1251 with CR LF (the settings store ends a section with a blank line).
    EXPECT_EQ(readBytes(dir.file(u"system/Brenvale.ini"_s)).toStdString(),
              toCp1251(QStringLiteral("[global]\r\nstart_mode=1\r\ndbtype=0\r\nout_provider=0\r\norxini=1\r\n"
                                      "fullorx=0\r\nORX_source=%1\r\nshowempty=1\r\nnet=Восток\r\n"
                                      "station_code=PET\r\n\r\n")
                           .arg(orx))
                  .toStdString());
    IniFile orxIni(dir.file(u"system/orx.ini"_s));
    EXPECT_EQ(orxIni.ReadString(u"database"_s, u"odbc"_s, QString()), orx);

    IniFile stations(dir.file(u"system/Stations.ini"_s));
    EXPECT_EQ(stations.ReadSections(), s.stationCodes);
    for (const QString &code : s.stationCodes) {
        const QString file = stations.ReadString(code, u"out_file_jet"_s, QString());
        EXPECT_EQ(file, dir.file(u"data/%1.mdb"_s.arg(code)));
        EXPECT_TRUE(IsSqliteFile(file)) << file.toStdString();
        EXPECT_EQ(stations.ReadString(code, u"user"_s, QString()), u"admin"_s);
        EXPECT_FALSE(stations.ReadString(code, u"name"_s, QString()).isEmpty());
    }
    EXPECT_EQ(stations.ReadString(u"MNK"_s, u"name"_s, QString()), u"Минск"_s);
    // The place of each station as the bulletin mode reads it: degrees, minutes and seconds in 2 + 2 + 2
    // and 3 + 2 + 2 characters, each left-aligned, and the hemisphere; the height in metres.
    const struct
    {
        const char *code, *fi, *lamb, *hval;
    } places[] = {{"PET", "531 25N", "158390 E", "110"},
                  {"MNK", "546 17N", "27 253 E", "210"},
                  {"OBN", "556 53N", "36 343 E", "160"}};
    for (const auto &place : places) {
        const QString code = QString::fromLatin1(place.code);
        EXPECT_EQ(stations.ReadString(code, u"fi"_s, QString()), QString::fromLatin1(place.fi)) << place.code;
        EXPECT_EQ(stations.ReadString(code, u"lamb"_s, QString()), QString::fromLatin1(place.lamb))
            << place.code;
        EXPECT_EQ(stations.ReadString(code, u"hval"_s, QString()), QString::fromLatin1(place.hval))
            << place.code;
        EXPECT_EQ(stations.ReadString(code, u"subter"_s, QString()), u"0"_s) << place.code;
    }
    // The first station's file fields name the samples, each of them there; the event file is named after
    // the samples' two days, five days before the demo's first (29.11.2026).
    const std::pair<const char *, QString> samples[] = {{"in_file_jet", u"PET_journal.db"_s},
                                                        {"in_excel", u"PET.xlsx"_s},
                                                        {"in_event", u"Events1.txt"_s},
                                                        {"in_stbul", u"Station_bulletin1.txt"_s},
                                                        {"in_xmadd", u"Xm_Add1.txt"_s},
                                                        {"in_krv", u"tab_1.txt"_s},
                                                        {"in_orv", u"PET_20261124_20261125.orv"_s}};
    for (const auto &[key, name] : samples) {
        const QString file = stations.ReadString(u"PET"_s, QString::fromLatin1(key), QString());
        EXPECT_EQ(file, dir.file(u"samples/"_s + name)) << key;
        EXPECT_TRUE(QFileInfo(file).isFile()) << key;
    }
    EXPECT_EQ(stations.ReadString(u"MNK"_s, u"in_event"_s, u"<none>"_s), u"<none>"_s);

    // Products go inside the folder; the dates lie in the two days of data up to 30.11.2026, the bulletin
    // on the last decade of November. The import from ORX runs to the day of the last reading, which the
    // last events' waves may carry past midnight.
    for (const char *folder : {"specs", "svodki", "export", "reports"})
        EXPECT_TRUE(QFileInfo(dir.file(QString::fromLatin1(folder))).isDir()) << folder;
    auto orxDb = open(kOdbc, s.orxPath);
    quint16 y, mo, d, h, mi, sec, tenths;
    etoh(query(*orxDb, u"select max(itime) from arrival"_s)->Field(0)->AsFloat(), y, mo, d, h, mi, sec,
         tenths, false);
    const QString lastReadingDay =
        QDate(y, mo, d) > QDate(2026, 11, 30) ? QDate(y, mo, d).toString(u"dd.MM.yyyy"_s) : u"30.11.2026"_s;
    const std::pair<const char *, QString> keys[] = {{"svodka_dir", dir.file(u"svodki"_s)},
                                                     {"exp_dir", dir.file(u"export"_s)},
                                                     {"repfile", dir.file(u"reports/OBN.htm"_s)},
                                                     {"svodka_date", u"30.11.2026"_s},
                                                     {"start_date", u"29.11.2026"_s},
                                                     {"end_date", lastReadingDay + u" 23:59:59"_s},
                                                     {"exp_start_date", u"29.11.2026"_s},
                                                     {"exp_end_date", u"30.11.2026 23:59:59"_s},
                                                     {"filt_beg", u"29.11.2026"_s},
                                                     {"filt_end", u"30.11.2026 23:59:59"_s},
                                                     {"repbeg", u"21.11.2026"_s},
                                                     {"repend", u"30.11.2026"_s}};
    for (const auto &[key, value] : keys)
        EXPECT_EQ(stations.ReadString(u"OBN"_s, QString::fromLatin1(key), QString()), value) << key;

    // Fixed columns: filters (1,7) (8,8) (16,8); waves (1,10) (11,10) (21,10) (31,20). Every phase of the
    // ORX arrivals has its wave row (LRM is looked up as LR).
    auto cell = [](const QString &line, int start, int width) {
        return line.mid(start - 1, width).trimmed();
    };
    const QStringList filters =
        fromCp1251(readBytes(dir.file(u"system/filters.txt"_s))).split(u"\r\n"_s, Qt::SkipEmptyParts);
    ASSERT_FALSE(filters.isEmpty());
    for (const QString &line : filters) {
        bool low = false, high = false;
        cell(line, 8, 8).toDouble(&low);
        cell(line, 16, 8).toDouble(&high);
        EXPECT_TRUE(low && high && cell(line, 1, 7).size() == 2) << line.toStdString();
    }
    QStringList wavePhases;
    for (const QString &line :
         fromCp1251(readBytes(dir.file(u"system/waves.txt"_s))).split(u"\r\n"_s, Qt::SkipEmptyParts)) {
        bool number = false;
        cell(line, 21, 10).toDouble(&number);
        EXPECT_TRUE(number && !cell(line, 1, 10).isEmpty()) << line.toStdString();
        wavePhases << cell(line, 11, 10);
    }
    auto db = open(kOdbc, orx);
    for (QString phase : rows(*db, u"select distinct iphase from arrival"_s)) {
        if (phase == QLatin1String("LRM"))
            phase = u"LR"_s;
        EXPECT_TRUE(wavePhases.contains(phase)) << phase.toStdString();
    }
}

TEST(DemoData, OrxTablesHoldTogether)
{
    const auto &[dir, s] = demo();
    auto db = open(kOdbc, s.orxPath);
    EXPECT_EQ(rows(*db, u"select netname,netlist from networks order by netname"_s),
              QStringList({"Восток|PET;", "Запад|MNK;OBN;"}));
    EXPECT_EQ(rows(*db, u"select rtrim(sta),cod from site order by nindex"_s),
              QStringList({"PET|PET", "MNK|MNK", "OBN|OBN"}));
    EXPECT_EQ(rows(*db, u"select keyname,keyvalue from lastid order by keyname"_s),
              QStringList({u"arid|%1"_s.arg(count(*db, u"select max(arid) from arrival"_s)),
                           u"orid|%1"_s.arg(count(*db, u"select max(orid) from origin"_s))}));
    // Every arrival names an event, a station and one of its described channels.
    EXPECT_EQ(
        count(*db, QStringLiteral("select count(*) from arrival a where not exists (select * from sitechan c "
                                  "where c.sta=a.sta and c.chan=a.chan) or eventid not in (select "
                                  "eventid from origin)")),
        0);
}

// The demo ORX database finds readings and events the way the bulletin, the summary and the copy ask for
// them through an index, as a working one does; a full scan made those runs quadratic in the data.
TEST(DemoData, OrxLookupsUseIndexes)
{
    const auto &[dir, s] = demo();
    auto db = open(kOdbc, s.orxPath);
    const struct
    {
        const char *where;
        const char *index;
    } cases[] = {
        {"select * from arrival where eventid='2024001'", "arrival_eventid"},
        {"select count(*) from arrival where arrival.eventid=origin.eventid", "arrival_eventid"},
        {"select * from arrival where rtrim(sta) = 'PET' and itime>=1 and itime<2", "arrival_itime"},
        {"select * from arrival where rtrim(sta) = 'PET'", "arrival_rsta"},
        {"select * from arrival where sta='PET'", "arrival_sta"},
        {"select distinct eventid from arrival where itime>=45000 and itime<45001", "arrival_itime"},
        {"select eventid from origin where origintime>=45000 and origintime<45010", "origin_origintime"},
        {"select * from origin where eventid='2024001'", "sqlite_autoindex_origin_1"},
        {"select count(eventid) from origin where rtrim(eventid)='2024001'", "origin_reventid"},
    };
    for (const auto &c : cases) {
        const QString sql = QString::fromUtf8(c.where);
        const QString plan = rows(*db, u"explain query plan "_s +
                                           (sql.contains(u"origin.eventid"_s)
                                                ? u"select eventid from origin where ("_s + sql + u") > 0"_s
                                                : sql))
                                 .join(QLatin1Char('\n'));
        EXPECT_TRUE(plan.contains(QLatin1String(c.index))) << c.where << "\n" << plan.toStdString();
    }
    EXPECT_GT(count(*db, u"select count(*) from sqlite_stat1"_s), 0);
}

// A station's bulletin is what the copy from the ORX database makes of its arrivals: one event row per
// recorded event, one reading per arrival, measurements only where the arrival has an amplitude.
TEST(DemoData, BulletinsFollowTheOrxArrivals)
{
    const auto &[dir, s] = demo();
    auto orx = open(kOdbc, s.orxPath);
    for (int k = 0; k < s.stationCodes.size(); ++k) {
        const QString code = s.stationCodes[k];
        SCOPED_TRACE(code.toStdString());
        auto db = open(kJet, s.bulletinPaths[k]);
        for (const char *table : {"События", "Станционный бюллетень", "Динамические замеры",
                                  "Обозначения волн", "Каналы", "origin", "arrival"})
            EXPECT_TRUE(db->TableNames().contains(QString::fromUtf8(table))) << table;
        // The working copies hold what the copy left: the station's arrivals and their events.
        EXPECT_EQ(rows(*db, u"select eventid,itime,chan,iphase,ampl from arrival order by itime,chan"_s),
                  rows(*orx, u"select eventid,itime,chan,iphase,ampl from arrival where rtrim(sta)='%1' "
                             "order by itime,chan"_s.arg(code)));
        EXPECT_EQ(rows(*db, u"select eventid,lat,origintime,comment from origin order by eventid"_s),
                  rows(*orx, u"select eventid,lat,origintime,' ' from origin where eventid in (select "
                             "eventid from arrival where rtrim(sta)='%1') order by eventid"_s.arg(code)));
        EXPECT_EQ(
            count(*db, u"select count(*) from [События]"_s),
            count(*orx, u"select count(distinct eventid) from arrival where rtrim(sta)='%1'"_s.arg(code)));
        EXPECT_EQ(
            count(*db, QStringLiteral("select count(*) from [Станционный бюллетень] where N_equake not in "
                                      "(select num from [События]) or Station_Cod<>'%1'")
                           .arg(code)),
            0);
        EXPECT_EQ(count(*db, QStringLiteral("select count(*) from [Динамические замеры] where arid not in "
                                            "(select arid from [Станционный бюллетень])")),
                  0);

        auto arrivals = query(*orx, QStringLiteral("select iphase,itime,chan,per,ampl from arrival where "
                                                   "rtrim(sta)='%1' order by eventid,itime")
                                        .arg(code));
        auto readings =
            query(*db, QStringLiteral("select arid,Phase,[Time],[Dec],Channel_Cod,Channel_component "
                                      "from [Станционный бюллетень] order by N_equake,[Time],[Dec]"));
        ASSERT_EQ(readings->RecordCount(), arrivals->RecordCount());
        for (; !arrivals->Eof(); arrivals->Next(), readings->Next()) {
            EXPECT_EQ(readings->FieldByName("Phase")->AsString(),
                      arrivals->FieldByName("iphase")->AsString());
            EXPECT_EQ(readings->FieldByName("Channel_Cod")->AsString() +
                          readings->FieldByName("Channel_component")->AsString(),
                      arrivals->FieldByName("chan")->AsString());
            quint16 y, mo, d, h, mi, sec, tenths;
            etoh(arrivals->FieldByName("itime")->AsFloat(), y, mo, d, h, mi, sec, tenths, false);
            EXPECT_DOUBLE_EQ(readings->FieldByName("Time")->AsFloat(),
                             EncodeDate(y, mo, d) + EncodeTime(h, mi, sec, 0));
            EXPECT_EQ(readings->FieldByName("Dec")->AsInteger(), tenths);

            auto xm = query(*db, QStringLiteral("select * from [Динамические замеры] where arid=%1 order by "
                                                "TimeXM,DecXm,Id_XM")
                                     .arg(readings->FieldByName("arid")->AsInteger()));
            // With 1.5 measurements per reading every amplitude has at least one.
            const bool amplitude = !arrivals->FieldByName("ampl")->IsNull();
            EXPECT_EQ(xm->RecordCount() > 0, amplitude);
            if (amplitude && xm->RecordCount() > 0) {
                const QString axis = readings->FieldByName("Channel_component")->AsString();
                const QString suffix = axis == QLatin1String("Z")   ? u"Z"_s
                                       : axis == QLatin1String("N") ? u"NS"_s
                                                                    : u"EW"_s;
                EXPECT_DOUBLE_EQ(xm->FieldByName("Amp_" + suffix)->AsFloat(),
                                 arrivals->FieldByName("ampl")->AsFloat());
                EXPECT_DOUBLE_EQ(xm->FieldByName("Period_" + suffix)->AsFloat(),
                                 arrivals->FieldByName("per")->AsFloat());
            }
        }
    }
}

// Every station database brings what the imports need and the program never creates: the channels with
// their codes, and the staging table Access with its stored query Add_time, which gives the staged lines
// back in their order. The readings hold what the copy from ORX makes: no channel names.
TEST(DemoData, StationDatabasesHoldWhatEveryImportNeeds)
{
    const auto &[dir, s] = demo();
    TestDir scratch;
    for (const QString &path : s.bulletinPaths) {
        SCOPED_TRACE(path.toStdString());
        const QString copy = scratch.file(QFileInfo(path).fileName());
        ASSERT_TRUE(QFile::copy(path, copy));
        auto db = open(kJet, copy);
        EXPECT_EQ(rows(*db, u"select channel_name,channel_cod from [Каналы] order by channel_cod"_s),
                  QStringList({"СКД_LP|LP", "СМ-3_MP|MP", "СКМ-3_SP|SP"}));
        for (const char *line : {"1|9001|05.11.2026|eP|СКМ-3_SPZ|3|13|6.4||||+|0-15|1.1||Камчатка",
                                 "2|||SgM|СКМ-3_SPN|3|13|22.5|0.8||12.5|||||"}) {
            QStringList values = QString::fromUtf8(line).split(u'|');
            QStringList quoted;
            for (const QString &v : values)
                quoted << (v.isEmpty() ? u"null"_s : u"'"_s + v + u"'"_s);
            exec(*db,
                 u"insert into Access ([N c/c],[N event],[Data],[Faza],[Dev],[Ho],[Min],[Sek],[T],[A E-W],"
                 "[A N-S],[A Z],[S-P],[Del],[M],[Notes]) values (%1)"_s.arg(quoted.join(u',')));
        }
        EXPECT_EQ(rows(*db, u"select * from [Add_time]"_s),
                  QStringList({"1|9001|05.11.2026|eP|СКМ-3_SPZ|3|13|6.4||||+|0-15|1.1||Камчатка",
                               "2|||SgM|СКМ-3_SPN|3|13|22.5|0.8||12.5|||||"}));
        EXPECT_EQ(
            count(*db, u"select count(*) from [Станционный бюллетень] where Channel_name is not null"_s), 0);
        EXPECT_EQ(
            count(*db, u"select count(*) from [Динамические замеры] where Channel_nameXM is not null"_s), 0);
    }
}

TEST(DemoData, SameParametersGiveTheSameFolder)
{
    TestDir dir;
    auto snapshot = [&] {
        const DemoSummary s = GenerateDemoFolder(dir.path(), small());
        QStringList all;
        for (const char *file : {"Brenvale.ini", "Stations.ini", "orx.ini", "filters.txt", "waves.txt"})
            all << QString::fromLatin1(readBytes(dir.file(u"system/"_s + QLatin1String(file))).toHex());
        auto orx = open(kOdbc, s.orxPath);
        for (const char *table : {"origin", "arrival", "site", "sitechan", "networks", "lastid"})
            all << rows(*orx, u"select * from %1 order by 1,2"_s.arg(QLatin1String(table)));
        auto bulletin = open(kJet, s.bulletinPaths.last());
        for (const char *table : {"События", "Станционный бюллетень", "Динамические замеры"})
            all << rows(*bulletin, u"select * from [%1] order by 1"_s.arg(QString::fromUtf8(table)));
        return all;
    };
    const QStringList first = snapshot();
    EXPECT_EQ(snapshot(), first); // the second run replaces the first one's files
}

TEST(DemoData, ParametersScaleTheCounts)
{
    const std::tuple<int, int, int, double, double, int, int, int, int> cases[] = {
        {2, 1, 100, 7.5, 5.0 / 3, 100, 1500, 1500, 2500}, // the busy day of the benchmarks
        {4, 3, 2, 3, 0.5, 6, 72, 36, 36},
        {1, 2, 0, 5, 1, 0, 0, 0, 0},
    };
    for (const auto &[stations, days, eventsPerDay, perEvent, perReading, events, arrivals, withAmplitude,
                      measurements] : cases) {
        SCOPED_TRACE(arrivals);
        TestDir dir;
        DemoParams p;
        p.stations = stations;
        p.days = days;
        p.eventsPerDay = eventsPerDay;
        p.readingsPerEvent = perEvent;
        p.measurementsPerReading = perReading;
        const DemoSummary s = GenerateDemoFolder(dir.path(), p);
        EXPECT_EQ(s.events, events);
        EXPECT_EQ(s.arrivals, arrivals);
        EXPECT_EQ(s.amplitudeReadings, withAmplitude);
        EXPECT_EQ(s.measurements, measurements);
        auto orx = open(kOdbc, s.orxPath);
        EXPECT_EQ(count(*orx, u"select count(*) from origin"_s), events);
        EXPECT_EQ(count(*orx, u"select count(*) from site"_s), stations);
        EXPECT_EQ(count(*orx, u"select count(*) from arrival where ampl is not null"_s), withAmplitude);
        int readings = 0, xm = 0;
        for (const QString &path : s.bulletinPaths) {
            auto db = open(kJet, path);
            readings += count(*db, u"select count(*) from [Станционный бюллетень]"_s);
            xm += count(*db, u"select count(*) from [Динамические замеры]"_s);
        }
        EXPECT_EQ(readings, arrivals);
        EXPECT_EQ(xm, measurements);
    }

    TestDir dir;
    DemoParams tooMany;
    tooMany.stations = DemoStationLimit() + 1;
    EXPECT_THROW(GenerateDemoFolder(dir.path(), tooMany), EConvertError);
    EXPECT_FALSE(QFileInfo::exists(dir.file(u"system"_s)));
}

} // namespace
