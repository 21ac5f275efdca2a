#include "exchange/data_format_dialog.h"

#include "app/main/product_commands.h"
#include "db/db_query.h"
#include "exchange/data_format_rules.h"
#include "exchange/delimited_writer.h"
#include "exchange/import_page.h"
#include "exchange/import_type.h"
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

QString captionOf(const QWidget *w)
{
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    return w->windowTitle();
}

// The caption of the label that names an edit.
QString labelOf(const QWidget *dialog, const QWidget *control)
{
    for (auto *l : dialog->findChildren<QLabel *>())
        if (l->buddy() == control)
            return l->text();
    return {};
}

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
    struct Case
    {
        const char *what;
        QChar fdel, sdel, dtdel, tmdel, decdel;
        const char *order;
        bool ext0, foury;
        TDateTime moment;
        QString expected;
    } cases[] = {
        {"defaults", ';', '"', '/', ':', ',', "mdy", false, false, kMoment,
         u"1234;3/5/08 14:07:09;12,753;\"комментарий\""_s},
        {"padded day first", '\t', '"', '.', ':', '.', "dmy", true, true, kMoment,
         u"1234\t05.03.2008 14:07:09\t12.753\t\"комментарий\""_s},
        {"year first", '|', '\'', '-', '.', ',', "ymd", false, true, kMoment,
         u"1234|2008-3-5 14.07.09|12,753|'комментарий'"_s},
        {"decimal as field separator", ',', '"', '/', ':', ',', "mdy", false, false, kMoment,
         u"1234,3/5/08 14:07:09,\"12,753\",\"комментарий\""_s},
        {"decimal as qualifier", ';', '.', '/', ':', '.', "mdy", false, false, kMoment,
         u"1234;3/5/08 14:07:09;.12..753.;.комментарий."_s},
        {"date separator as field separator", ';', '"', ';', ':', ',', "mdy", false, false, kMoment,
         u"1234;\"3;5;08 14:07:09\";12,753;\"комментарий\""_s},
        {"time separator as qualifier", ';', '"', '/', '"', ',', "mdy", false, false, kMoment,
         u"1234;\"3/5/08 14\"\"07\"\"09\";12,753;\"комментарий\""_s},
        {"midnight gives the date alone", ';', '"', '/', ':', ',', "mdy", false, false,
         EncodeDate(2008, 3, 5), u"1234;3/5/08;12,753;\"комментарий\""_s},
    };
    for (const auto &c : cases) {
        tspec s;
        s.fdel = c.fdel;
        s.sdel = c.sdel;
        s.dtdel = c.dtdel;
        s.tmdel = c.tmdel;
        s.decdel = c.decdel;
        s.datefmt = QString::fromLatin1(c.order);
        s.ext0 = c.ext0;
        s.foury = c.foury;
        EXPECT_EQ(DataFormatSample(s, testLocale(), 2026, c.moment), c.expected) << c.what;
    }
}

TEST(DataFormatRules, RefusesFormatsNoReaderCanSplit)
{
    struct Case
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
        {"outside the code page", u'中', '"', ',',
         u"Символ \"中\" нельзя записать в формат данных:\rего нет в кодировке windows-1251."_s},
        {"outside the code page, decimal", ';', '"', u'ø',
         u"Символ \"ø\" нельзя записать в формат данных:\rего нет в кодировке windows-1251."_s},
    };
    for (const auto &c : cases) {
        tspec s;
        s.fdel = c.fdel;
        s.sdel = c.sdel;
        s.decdel = c.decdel;
        EXPECT_EQ(FormatRefusal(s), c.reason) << c.what;
    }
}

TEST(DataFormatRules, PivotExplanationNamesTheCenturies)
{
    const QString head = u"Пояснение: если год состоит из 2 цифр, то числа, начиная с граничного года, "
                         u"считаются принадлежащими "_s;
    EXPECT_EQ(PivotExplanation(2026), head + u"20 веку, а до граничного - 21 веку"_s);
    EXPECT_EQ(PivotExplanation(2000), head + u"20 веку, а до граничного - 21 веку"_s);
    EXPECT_EQ(PivotExplanation(1999), head + u"19 веку, а до граничного - 20 веку"_s);
}

TEST(DataFormatDialog, ControlsAndCaptions)
{
    MessageRecorder rec;
    Tdfmtfrm d(testLocale(), 2026);
    EXPECT_EQ(d.windowTitle(), u"Формат данных"_s);
    // Captions of the controls themselves, then of the labels that name the edits and lists.
    struct Caption
    {
        const char *name;
        QString caption;
        bool byLabel;
    } captions[] = {
        {"rgf", u"Формат для..."_s, false},
        {"foury", u"год из четырех знаков"_s, false},
        {"ext0", u"дополнять даты нулями"_s, false},
        {"Label8", PivotExplanation(2026), false},
        {"Label9", u"Образец"_s, false},
        {"tgb", u"Таблица"_s, false},
        {"Label10", u"Поля, включаемые в обработку (при импорте!) и порядок их следования"_s, false},
        {"BitBtn1", u"Вверх"_s, false},
        {"BitBtn2", u"Вниз"_s, false},
        {"okBtn", u"ОК"_s, false},
        {"CancelBtn", u"Отмена"_s, false},
        {"fdel", u"Разделитель полей"_s, true},
        {"sdel", u"Ограничитель текста"_s, true},
        {"datefmt", u"формат даты"_s, true},
        {"dtdel", u"разделитель даты"_s, true},
        {"tmdel", u"разделитель времени"_s, true},
        {"decdel", u"десятичный разделитель"_s, true},
        {"byear", u"граничный год"_s, true},
        {"ex", u"Образец"_s, true},
        {"clb", u"Поля, включаемые в обработку (при импорте!) и порядок их следования"_s, true},
    };
    for (const auto &c : captions) {
        auto *w = d.findChild<QWidget *>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(c.byLabel ? labelOf(&d, w) : captionOf(w), c.caption) << c.name;
    }
    for (const char *name : {"fdel", "sdel", "dtdel", "tmdel", "decdel"})
        EXPECT_EQ(d.findChild<QLineEdit *>(QString::fromLatin1(name))->maxLength(), 1) << name;
    EXPECT_EQ(d.byear->maxLength(), 2);
    EXPECT_EQ(d.rgfImport->text(), u"импорта"_s);
    EXPECT_EQ(d.rgfExport->text(), u"экспорта"_s);
    QStringList orders;
    for (int i = 0; i < d.datefmt->count(); ++i)
        orders << d.datefmt->itemText(i);
    EXPECT_EQ(orders, QStringList({u"ДМГ"_s, u"МДГ"_s, u"ГМД"_s}));
    EXPECT_EQ(d.tm->interval(), 1000);
    EXPECT_FALSE(d.tm->isActive()); // until Init
    EXPECT_EQ(rec.count(), 0);
}

TEST(DataFormatDialog, TableChoiceFollowsImportType)
{
    const QStringList tables = {u"Events (События)"_s, u"Station_bulletin (Станционный бюллетень)"_s,
                                u"XM_Add (Динамические замеры)"_s};
    for (bool text : {true, false}) {
        Formats f;
        f.f.importSpec[0].fdel = QLatin1Char('\t');
        f.f.exportSpec[2].fdel = QLatin1Char('|');
        Tdfmtfrm d(testLocale(), 2026);
        f.init(d, text);
        EXPECT_TRUE(d.tm->isActive());
        EXPECT_TRUE(d.rgfImport->isChecked());
        EXPECT_EQ(d.showCols, text);
        EXPECT_EQ(d.tgb->isEnabled(), text);
        EXPECT_EQ(d.tbl->isEnabled(), text);
        QStringList items;
        for (int i = 0; i < d.tbl->count(); ++i)
            items << d.tbl->itemText(i);
        EXPECT_EQ(items, text ? tables : QStringList{u"Главная"_s});
        EXPECT_EQ(d.curSpec, &d.workSpec[0]);
        EXPECT_EQ(d.fdel->text(), u"\t"_s);
        EXPECT_EQ(d.clb->count(), text ? 18 : 0);

        d.rgfExport->setChecked(true); // the export side always lists its columns
        EXPECT_TRUE(d.showCols);
        EXPECT_TRUE(d.tgb->isEnabled());
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
    EXPECT_TRUE(before.startsWith(u"1234;"_s)) << before.toStdString();
    EXPECT_TRUE(before.endsWith(u";12,753;\"комментарий\""_s)) << before.toStdString();

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
    EXPECT_EQ(w.fdel, QLatin1Char('|'));
    EXPECT_EQ(w.sdel, QLatin1Char('\''));
    EXPECT_EQ(w.decdel, QLatin1Char('.'));
    EXPECT_EQ(w.datefmt, u"ymd"_s);
    EXPECT_TRUE(w.foury && w.ext0);
    EXPECT_EQ(w.byear, 30);
    const QRegularExpression sample(
        u"^1234\\|\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\|12\\.753\\|'комментарий'$"_s);
    EXPECT_TRUE(sample.match(d.ex->text()).hasMatch()) << d.ex->text().toStdString();
    EXPECT_EQ(f.f.importSpec[0].fdel, QLatin1Char(';')); // nothing written back before OK

    // Emptied edits take their defaults back; a pivot that is no number shows "50" and keeps its value.
    struct Emptied
    {
        QLineEdit *edit;
        QChar tspec::*field;
        QChar expected;
    } emptied[] = {
        {d.fdel, &tspec::fdel, ';'},   {d.sdel, &tspec::sdel, '"'},     {d.dtdel, &tspec::dtdel, '.'},
        {d.tmdel, &tspec::tmdel, ':'}, {d.decdel, &tspec::decdel, ','},
    };
    for (const auto &e : emptied) {
        e.edit->clear();
        EXPECT_EQ(e.edit->text(), QString(e.expected)) << e.edit->objectName().toStdString();
        EXPECT_EQ(w.*e.field, e.expected) << e.edit->objectName().toStdString();
    }
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
    EXPECT_FALSE(w.cols[2].used); // arid keeps its flags
    EXPECT_TRUE(w.cols[2].key);
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
    ASSERT_EQ(rec.count(), 1);
    EXPECT_EQ(lastShown(rec), Shown(u"Разделитель полей совпадает с ограничителем текста.\r"
                                    u"Формат импорта (все таблицы) не сохранен."_s,
                                    MB_ICONERROR));
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
    EXPECT_EQ(p.button18()->text(), u"Формат данных"_s);
    EXPECT_FALSE(p.button18()->isEnabled());
}

TEST(DataFormatCommand, OkStoresTheStationsFormatFileCancelAndRefusalWriteNothing)
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
        p.run([](Tdfmtfrm &d) {
            d.sdel->setText(u";"_s);
            d.okBtn->click();
            EXPECT_TRUE(d.isVisible()); // refused: the dialog stays
        });
        EXPECT_FALSE(QFile::exists(p.spe()));
        ASSERT_EQ(p.rec.count(), 1);
        EXPECT_EQ(p.rec.last().icon, unsigned(MB_ICONERROR));

        p.run([](Tdfmtfrm &d) {
            d.fdel->setText(u"\t"_s);
            d.datefmt->setCurrentIndex(0);
            d.rgfExport->setChecked(true);
            d.tbl->setCurrentIndex(2);
            d.clb->setCurrentRow(16);
            d.BitBtn1->click();
            d.okBtn->click();
        });
        // Three full export records, then the import records of the type's layout.
        const bool text = type == ImportText;
        EXPECT_EQ(readBytes(p.spe()).size(), text ? 9048 : 4548);
        TextFormats stored;
        ASSERT_TRUE(stored.LoadSpec(p.dir.base(), u"MNK"_s, false, type));
        EXPECT_EQ(stored.importSpec[0].fdel, QLatin1Char('\t'));
        EXPECT_EQ(stored.importSpec[0].datefmt, u"dmy"_s);
        EXPECT_EQ(stored.exportSpec[2].cols[15].name, u"Klass_Z"_s);
        EXPECT_EQ(stored.exportSpec[2].cols[16].name, u"Magnitude_Z"_s);
        EXPECT_EQ(stored.exportSpec[0].fdel, QLatin1Char(';'));
        EXPECT_EQ(p.rec.count(), 1);
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

    SqliteEnv env;
    auto db = env.open();
    exec(*db,
         "create table ev (orid integer,num integer,time date,dec integer,lat float,lon float,depdp float,"
         "deltagr float,deltakm float,seaz float,emares float,S_P_time float,S_P_dec integer,Kps float,"
         "FlagQuake integer,StrQuake varchar(10),comment varchar(20),lddate date)");
    const QVariant null;
    exec(*db, u"insert into ev (orid,num,time,dec,lat,comment) values (?,?,?,?,?,?)"_s,
         {null, 7, kMoment, 3, 52.25, u"ok \"x\""_s});
    // As the export of the station bulletin database takes its format and settings; 18 columns, 17 tabs.
    const tspec &spec = static_cast<ImportPage *>(p.w->importPage())->formats().exportSpec[SpecEvents];
    TFormatSettings fs;
    TspecToFormatSettings(fs, spec, p.w->fsLocal, p.w->curYear);
    DbQuery q(db.get());
    EXPECT_EQ(ExportQueryToFile(q, p.dir.path(), u"Events1"_s, spec, u"select * from ev"_s, true, fs), 1);
    EXPECT_EQ(
        readBytes(p.path("Events1.txt")).toStdString(),
        std::string("7\t\t05.03.2008 14:07:09\t3\t52.25\t\t\t\t\t\t\t\t\t\t\t\t\"ok \"\"x\"\"\"\t\r\n"));
    EXPECT_EQ(p.rec.count(), 0);
}
