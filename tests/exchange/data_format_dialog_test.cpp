#include "exchange/text/data_format_dialog.h"

#include "app/main/product_commands.h"
#include "exchange/page/import_page.h"
#include "exchange/page/import_type.h"
#include "exchange/text/data_format_rules.h"
#include "exchange_test_env.h"
#include "support/program_env.h"

#include <QFile>
#include <QGroupBox>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A locale with a fixed long time pattern, whatever the machine's.
TFormatSettings testLocale()
{
    TFormatSettings fs;
    fs.DateSeparator = QLatin1Char('.');
    fs.TimeSeparator = QLatin1Char(':');
    fs.DecimalSeparator = QLatin1Char(',');
    fs.LongTimeFormat = u"hh:nn:ss"_s;
    return fs;
}

const TDateTime kMoment = EncodeDate(2008, 3, 5) + EncodeTime(14, 7, 9, 0);

QStringList columnNames(const tspec &s)
{
    QStringList names;
    for (const auto &c : s.cols)
        names << c.name;
    return names;
}

QStringList listed(const QListWidget *clb)
{
    QStringList names;
    for (int i = 0; i < clb->count(); ++i)
        names << clb->item(i)->text();
    return names;
}

// Six formats as a station keeps them.
struct Formats
{
    TextFormats f;
    Formats()
    {
        f.SetDefaults();
        f.specsDirty = false;
    }
    void init(Tdfmtfrm &d, bool text)
    {
        d.Init(&f.exportSpec[0], &f.exportSpec[1], &f.exportSpec[2], &f.importSpec[0],
               text ? &f.importSpec[1] : nullptr, text ? &f.importSpec[2] : nullptr, &f.specsDirty);
    }
};

} // namespace

TEST(DataFormatRules, SampleLineRendersAsTheWriter)
{
    const struct
    {
        const char *what;
        tspec spec;
        QString expected;
        TDateTime moment = kMoment;
    } cases[] = {
        {"defaults", formatOf(u";\"/:,"_s), u"1234;3/5/08 14:07:09;12,753;\"комментарий\""_s},
        {"padded day first", formatOf(u"\t\".:."_s, "dmy", true, true),
         u"1234\t05.03.2008 14:07:09\t12.753\t\"комментарий\""_s},
        {"year first", formatOf(u"|'-.,"_s, "ymd", false, true),
         u"1234|2008-3-5 14.07.09|12,753|'комментарий'"_s},
        {"decimal as field separator", formatOf(u",\"/:,"_s),
         u"1234,3/5/08 14:07:09,\"12,753\",\"комментарий\""_s},
        {"decimal as qualifier", formatOf(u";./:."_s), u"1234;3/5/08 14:07:09;.12..753.;.комментарий."_s},
        {"date separator as field separator", formatOf(u";\";:,"_s),
         u"1234;\"3;5;08 14:07:09\";12,753;\"комментарий\""_s},
        {"time separator as qualifier", formatOf(u";\"/\","_s),
         u"1234;\"3/5/08 14\"\"07\"\"09\";12,753;\"комментарий\""_s},
        {"midnight gives the date alone", formatOf(u";\"/:,"_s), u"1234;3/5/08;12,753;\"комментарий\""_s,
         EncodeDate(2008, 3, 5)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DataFormatSample(c.spec, testLocale(), 2026, c.moment), c.expected) << c.what;
}

TEST(DataFormatRules, RefusesFormatsNoReaderCanSplitAndExplainsThePivot)
{
    const QString outside =
        u"Символ \"%1\" нельзя записать в формат данных:\rего нет в кодировке windows-1251."_s;
    const struct
    {
        const char *what;
        QChar fdel, sdel, decdel;
        QString reason; // empty: the format may be stored
    } cases[] = {
        {"defaults", ';', '"', ',', {}},
        {"tab and apostrophe", '\t', '\'', '.', {}},
        {"decimal equal to field separator is qualified, not refused", ',', '"', ',', {}},
        {"Cyrillic separator is a byte of the code page", u'ж', '"', ',', {}},
        {"same separator and qualifier", ';', ';', ',',
         u"Разделитель полей совпадает с ограничителем текста."_s},
        {"no field separator", QChar(), '"', ',', u"Не задан разделитель полей."_s},
        {"outside the code page", u'中', '"', ',', outside.arg(u"中"_s)},
        {"outside the code page, decimal", ';', '"', u'ø', outside.arg(u"ø"_s)},
    };
    for (const auto &c : cases) {
        tspec s;
        s.fdel = c.fdel;
        s.sdel = c.sdel;
        s.decdel = c.decdel;
        EXPECT_EQ(FormatRefusal(s), c.reason) << c.what;
    }

    const QString head = u"Пояснение: если год состоит из 2 цифр, то числа, начиная с граничного года, "
                         u"считаются принадлежащими "_s;
    EXPECT_EQ(PivotExplanation(2000), head + u"20 веку, а до граничного - 21 веку"_s);
    EXPECT_EQ(PivotExplanation(1999), head + u"19 веку, а до граничного - 20 веку"_s);
}

TEST(DataFormatDialog, TableChoiceFollowsImportType)
{
    for (bool text : {true, false}) {
        Formats f;
        f.f.importSpec[0].fdel = QLatin1Char('\t');
        f.f.exportSpec[2].fdel = QLatin1Char('|');
        Tdfmtfrm d(testLocale(), 2026);
        EXPECT_FALSE(d.tm->isActive()); // until Init
        f.init(d, text);
        EXPECT_TRUE(d.tm->isActive());
        EXPECT_TRUE(d.rgfImport->isChecked());
        EXPECT_EQ(d.showCols, text);
        EXPECT_EQ(d.tgb->isEnabled(), text);
        EXPECT_EQ(d.tbl->isEnabled(), text);
        EXPECT_EQ(d.tbl->count(), text ? 3 : 1);
        EXPECT_EQ(d.curSpec, &d.workSpec[0]);
        EXPECT_EQ(d.fdel->text(), u"\t"_s);
        EXPECT_EQ(d.clb->count(), text ? 18 : 0);

        d.rgfExport->setChecked(true); // the export side always lists its columns
        EXPECT_TRUE(d.showCols && d.tgb->isEnabled());
        EXPECT_EQ(d.tbl->count(), 3);
        d.tbl->setCurrentIndex(2);
        EXPECT_EQ(d.curSpec, &d.workSpec[5]);
        EXPECT_EQ(d.fdel->text(), u"|"_s);
        EXPECT_EQ(listed(d.clb), columnNames(f.f.exportSpec[2]));
        EXPECT_EQ(d.clb->item(0)->checkState(), Qt::Unchecked); // Id_XM
        EXPECT_EQ(d.clb->item(1)->checkState(), Qt::Checked);
    }
}

TEST(DataFormatDialog, EditsChangeTheShownCopyAndTheSampleFollows)
{
    MessageRecorder rec;
    Formats f;
    Tdfmtfrm d(testLocale(), 2026);
    f.init(d, true);
    const QString before = d.ex->text();
    EXPECT_TRUE(before.startsWith(u"1234;"_s) && before.endsWith(u";12,753;\"комментарий\""_s))
        << before.toStdString();

    d.fdel->setText(u"|"_s);
    d.sdel->setText(u"'"_s);
    d.decdel->setText(u"."_s);
    d.datefmt->setCurrentIndex(2);
    d.foury->setChecked(true);
    d.ext0->setChecked(true);
    d.dtdel->setText(u"-"_s);
    d.byear->setText(u"30"_s);
    EXPECT_EQ(d.ex->text(), before); // the timer brings the change
    d.tm->setInterval(0);            // the next tick at once
    for (int i = 0; i < 100 && d.ex->text() == before; ++i)
        QCoreApplication::processEvents();
    const tspec &w = d.workSpec[0];
    EXPECT_EQ(SpecHeaderBytes(w), SpecHeaderBytes([] {
                  tspec s = formatOf(u"|'-:."_s, "ymd", true, true);
                  s.byear = 30;
                  return s;
              }()));
    const QRegularExpression sample(
        u"^1234\\|\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\|12\\.753\\|'комментарий'$"_s);
    EXPECT_TRUE(sample.match(d.ex->text()).hasMatch()) << d.ex->text().toStdString();
    EXPECT_EQ(f.f.importSpec[0].fdel, QLatin1Char(';')); // nothing written back before OK

    // Emptied edits take their defaults back; a pivot that is no number shows "50" and keeps its value.
    for (QLineEdit *e : {d.fdel, d.sdel, d.dtdel, d.tmdel, d.decdel})
        e->clear();
    EXPECT_EQ(
        QStringList({d.fdel->text(), d.sdel->text(), d.dtdel->text(), d.tmdel->text(), d.decdel->text()}),
        QStringList({u";"_s, u"\""_s, u"."_s, u":"_s, u","_s}));
    EXPECT_EQ(QStringList({w.fdel, w.sdel, w.dtdel, w.tmdel, w.decdel}).join(QString()), u";\".:,"_s);
    for (const QString &bad : {u"x"_s, u"-5"_s, QString()}) {
        d.byear->setText(bad);
        EXPECT_EQ(d.byear->text(), u"50"_s) << bad.toStdString();
        EXPECT_EQ(w.byear, 30);
    }
    EXPECT_EQ(rec.count(), 0);
}

TEST(DataFormatDialog, ColumnsMoveAndTick)
{
    Formats f;
    Tdfmtfrm d(testLocale(), 2026);
    f.init(d, true);
    d.tbl->setCurrentIndex(1); // import Station_bulletin
    const tspec &w = d.workSpec[1];
    QStringList expected = columnNames(w);

    d.clb->setCurrentRow(0);
    d.BitBtn1->click(); // the first cannot go up
    d.clb->setCurrentRow(24);
    d.BitBtn2->click(); // nor the last down
    EXPECT_EQ(columnNames(w), expected);

    d.clb->setCurrentRow(0);
    d.BitBtn2->click();
    d.BitBtn2->click();
    expected.move(0, 2);
    EXPECT_EQ(columnNames(w), expected);
    EXPECT_EQ(listed(d.clb), expected);
    EXPECT_EQ(d.clb->currentRow(), 2);
    EXPECT_TRUE(!w.cols[2].used && w.cols[2].key); // arid keeps its flags
    d.BitBtn1->click();
    expected.move(2, 1);
    EXPECT_EQ(columnNames(w), expected);

    d.clb->item(3)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(w.cols[3].used);
    d.clb->item(1)->setCheckState(Qt::Checked);
    EXPECT_TRUE(w.cols[1].used);
    EXPECT_EQ(columnNames(f.f.importSpec[1]),
              columnNames(tspec{.cols = DefaultSpecColumns(SpecStationBulletin)}));
}

TEST(DataFormatDialog, OkWritesBackGivenFormatsCancelNothing)
{
    for (bool text : {true, false}) {
        for (bool ok : {true, false}) {
            Formats f;
            Tdfmtfrm d(testLocale(), 2026);
            f.init(d, text);
            d.fdel->setText(u"\t"_s); // import Events
            d.rgfExport->setChecked(true);
            d.tbl->setCurrentIndex(1);
            d.decdel->setText(u"."_s); // export Station_bulletin
            d.clb->setCurrentRow(0);
            d.BitBtn2->click();
            d.workSpec[1].fdel = QLatin1Char('!'); // not given unless text
            (ok ? d.okBtn : d.CancelBtn)->click();
            EXPECT_EQ(d.result(), ok ? QDialog::Accepted : QDialog::Rejected);
            EXPECT_EQ(f.f.specsDirty, ok);
            EXPECT_EQ(f.f.importSpec[0].fdel, ok ? QLatin1Char('\t') : QLatin1Char(';'));
            EXPECT_EQ(f.f.exportSpec[1].decdel, ok ? QLatin1Char('.') : QLatin1Char(','));
            EXPECT_EQ(f.f.exportSpec[1].cols[0].name, ok ? u"N_seismo"_s : u"arid"_s);
            EXPECT_EQ(f.f.importSpec[1].fdel, ok && text ? QLatin1Char('!') : QLatin1Char(';'));
            EXPECT_EQ(f.f.importSpec[1].cols.size(), 25); // the page keeps its own column array
        }
    }
}

TEST(DataFormatDialog, UnreadableFormatIsRefusedAndShown)
{
    MessageRecorder rec;
    Formats f;
    f.f.exportSpec[2].fdel = QChar(); // as a damaged file may give it
    Tdfmtfrm d(testLocale(), 2026);
    f.init(d, false);
    d.sdel->setText(u";"_s);
    d.okBtn->click();
    EXPECT_EQ(shown(rec), QList<Shown>({{u"Разделитель полей совпадает с ограничителем текста.\r"
                                         u"Формат импорта (все таблицы) не сохранен."_s,
                                         MB_ICONERROR}}));
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.curSpec, &d.workSpec[0]);

    d.sdel->setText(u"\""_s);
    d.rgfExport->setChecked(true); // the export Events is shown: the refusal brings XM_Add up
    d.okBtn->click();
    ASSERT_EQ(rec.count(), 2);
    EXPECT_EQ(
        lastShown(rec),
        Shown(u"Не задан разделитель полей.\rФормат экспорта (таблица XM_Add) не сохранен."_s, MB_ICONERROR));
    EXPECT_EQ(d.curSpec, &d.workSpec[5]);
    EXPECT_EQ(d.tbl->currentIndex(), 2);
    EXPECT_FALSE(f.f.specsDirty);
    EXPECT_EQ(f.f.importSpec[0].sdel, QLatin1Char('"'));

    d.fdel->setText(u"中"_s);
    d.okBtn->click();
    EXPECT_EQ(rec.count(), 3);
    EXPECT_FALSE(f.f.specsDirty);

    d.fdel->setText(u","_s);
    d.okBtn->click();
    EXPECT_EQ(rec.count(), 3);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(f.f.exportSpec[2].fdel, QLatin1Char(','));
    EXPECT_TRUE(f.f.specsDirty);
}

namespace {

// A main window with the import page and the format command installed as the program installs them.
struct FormatProgram : Program
{
    MessageRecorder rec;
    std::unique_ptr<Tmainf> w;
    explicit FormatProgram(bool install = true)
    {
        QDir(dir.path()).mkpath(u"specs"_s);
        writeGlobal();
        write("system/Stations.ini", u"[MNK]\r\ncode=MNKI\r\n\r\n"_s);
        if (install)
            InstallDataFormatCommand();
        SetImportPageInstaller(&InstallImportPage);
        w = start();
        SetImportPageInstaller(nullptr);
        w->fsLocal = testLocale();
    }
    ~FormatProgram() { productCommands().dataFormat = nullptr; }
    QString spe() const { return path("specs/MNK.spe"); }
    QPushButton *button18() const { return w->findChild<QPushButton *>(u"Button18"_s); }
    // Clicks Button18 and works the modal dialog once it is up.
    void run(const std::function<void(Tdfmtfrm &)> &work)
    {
        bool reached = false;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<Tdfmtfrm *>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            reached = true;
            work(*d);
            if (d->isVisible())
                d->reject();
        });
        button18()->click();
        EXPECT_TRUE(reached);
    }
};

} // namespace

TEST(DataFormatCommand, ButtonIsOffWithoutTheCommand)
{
    FormatProgram p(false);
    EXPECT_FALSE(p.button18()->isEnabled());
}

TEST(DataFormatCommand, OkStoresTheStationsFormatFileCancelWritesNothing)
{
    for (int type : {ImportText, ImportExcel}) {
        FormatProgram p;
        ASSERT_EQ(p.w->curCode, u"MNK"_s);
        p.w->SetImportType(type);
        ASSERT_TRUE(p.button18()->isEnabled());

        p.run([](Tdfmtfrm &d) {
            d.fdel->setText(u"\t"_s);
            d.CancelBtn->click();
        });
        EXPECT_FALSE(QFile::exists(p.spe()));

        p.run([](Tdfmtfrm &d) {
            d.fdel->setText(u"\t"_s);
            d.datefmt->setCurrentIndex(0);
            d.rgfExport->setChecked(true);
            d.tbl->setCurrentIndex(2);
            d.clb->setCurrentRow(16);
            d.BitBtn1->click();
            d.okBtn->click();
        });
        TextFormats stored;
        ASSERT_TRUE(stored.LoadSpec(p.dir.base(), u"MNK"_s, false, type));
        EXPECT_EQ(stored.importSpec[0].fdel, QLatin1Char('\t'));
        EXPECT_EQ(stored.importSpec[0].datefmt, u"dmy"_s);
        EXPECT_EQ(stored.exportSpec[2].cols[15].name, u"Klass_Z"_s);
        EXPECT_EQ(stored.exportSpec[2].cols[16].name, u"Magnitude_Z"_s);
        EXPECT_EQ(stored.exportSpec[0].fdel, QLatin1Char(';'));
        EXPECT_EQ(p.rec.count(), 0);
    }
}

TEST(DataFormatCommand, TheNextExportWritesInTheNewFormat)
{
    FormatProgram p;
    p.run([](Tdfmtfrm &d) {
        d.rgfExport->setChecked(true); // export Events
        d.fdel->setText(u"\t"_s);
        d.decdel->setText(u"."_s);
        d.datefmt->setCurrentIndex(0);
        d.dtdel->setText(u"."_s);
        d.foury->setChecked(true);
        d.ext0->setChecked(true);
        d.clb->setCurrentRow(1); // num before orid
        d.BitBtn1->click();
        d.okBtn->click();
    });
    ASSERT_EQ(p.rec.count(), 0);
    // The export of the station bulletin database takes the page's formats.
    const tspec &spec = static_cast<ImportPage *>(p.w->importPage())->formats().exportSpec[SpecEvents];
    EXPECT_EQ(SpecHeaderBytes(spec), SpecHeaderBytes(formatOf(u"\t\".:."_s, "dmy", true, true)));
    EXPECT_EQ(columnNames(spec).mid(0, 3), QStringList({u"num"_s, u"orid"_s, u"time"_s}));
}
