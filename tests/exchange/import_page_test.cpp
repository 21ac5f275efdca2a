#include "app/settings/param_dialog.h"
#include "exchange/page/import_page.h"
#include "exchange/page/import_page_files.h"

#include "app/main/main_window.h"
#include "exchange/page/import_grid.h"
#include "lib/codec.h"
#include "lib/mstring_grid.h"
#include "support/test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A program folder with the files an installation brings, and a main window that gets the import page
// the way the program installs it.
struct Program
{
    TestDir dir;
    MessageRecorder recorder;
    std::unique_ptr<Tmainf> w;
    explicit Program(const QByteArray &stations = "[MNK]\r\ncode=MNKI\r\n\r\n")
    {
        QDir(dir.path()).mkpath(u"system"_s);
        QDir(dir.path()).mkpath(u"specs"_s);
        for (const char *name : {"system/filters.txt", "system/waves.txt"})
            writeBytes(dir.file(QString::fromLatin1(name)), QByteArray());
        writeBytes(dir.file(u"system/Brenvale.ini"_s), "[global]\r\neffects=0\r\n");
        writeBytes(dir.file(u"system/Stations.ini"_s), stations);
        SetImportPageInstaller(&InstallImportPage);
        TmainfOptions options;
        options.programFolder = dir.path();
        options.arguments = QStringList();
        options.workArea = QRect(0, 0, 1280, 1024);
        w = std::make_unique<Tmainf>(options);
        SetImportPageInstaller(nullptr);
    }
    ImportPage &page() const { return *static_cast<ImportPage *>(w->importPage()); }
    QString spe(const char *code) const { return dir.file(u"specs/%1.spe"_s.arg(code)); }
    QWidget *control(const char *name) const { return w->findChild<QWidget *>(QString::fromLatin1(name)); }
};

TEST(ImportPage, StationWithoutImportTypeStartsAsTextAndTypeRoundTrips)
{
    Program p;
    ASSERT_NE(p.w->importPage(), nullptr);
    EXPECT_EQ(p.w->ifrom->currentText(), u"Текст"_s);
    EXPECT_FALSE(p.w->adde->isChecked());
    EXPECT_TRUE(p.w->imm->isChecked());
    EXPECT_TRUE(p.w->Edit5->isHidden());
    EXPECT_EQ(p.w->adde->text(), u"Сливать первые и последние события в TXT и БД"_s);
    EXPECT_TRUE(p.page().specsDirty()); // no format file yet
    for (int type : {0, 1, 3, 4, 2}) {
        p.w->SetImportType(type);
        EXPECT_EQ(p.w->ifrom->currentIndex(), type);
        EXPECT_EQ(p.w->GetImportType(), type);
    }
    EXPECT_EQ(p.recorder.count(), 0);
}

TEST(ImportPage, UserChangeOfTypeResetsFormatsButNotWhileInitializing)
{
    Program p;
    ASSERT_TRUE(p.w->SaveSpec(u"MNK"_s));
    p.page().setSpecsDirty(false);
    p.page().formats().importSpec[0].fdel = QLatin1Char(',');
    p.w->ClearImportGrid(true);

    p.w->initializing = true;
    p.w->ifrom->setCurrentIndex(0);
    EXPECT_TRUE(QFile::exists(p.spe("MNK")));
    EXPECT_FALSE(p.page().specsDirty());
    EXPECT_TRUE(p.w->gridLock());
    EXPECT_TRUE(p.w->Edit5->isHidden());

    p.w->initializing = false;
    p.w->ifrom->setCurrentIndex(3);
    EXPECT_FALSE(QFile::exists(p.spe("MNK")));
    EXPECT_TRUE(p.page().specsDirty());
    EXPECT_EQ(p.page().formats().importSpec[0].fdel, QLatin1Char(';'));
    EXPECT_FALSE(p.w->gridLock());
    EXPECT_FALSE(p.w->Edit5->isHidden());
    EXPECT_TRUE(p.w->Events->isHidden());
    EXPECT_EQ(p.w->findChild<QLabel *>("Label23")->text(),
              u"Нельзя закачивать экспорт из БД ORX в БДСТБЮЛ"_s);
    EXPECT_FALSE(p.control("Button11")->isEnabled());
    EXPECT_EQ(p.recorder.count(), 0);
}

TEST(ImportPage, RefusalReasons)
{
    Program p;
    const QString orx = u"Нельзя закачивать в БД ORX файлы Paradox, Excel и текст KRV"_s;
    const QString excel =
        u"Для этой станции нельзя читать из Excel-файла (не поддерживается формат данных)"_s;
    struct Case
    {
        bool fullorx;
        int type;
        const char *sta;
        QString reason;
    } cases[] = {{false, 1, "TBLG", {}}, {false, 1, "pet", excel}, {false, 4, "XYZ", {}},
                 {true, 1, "LVV", orx},  {true, 4, "LVV", orx},    {true, 3, "LVV", {}}};
    for (const Case &c : cases) {
        p.w->sett.fullorx = c.fullorx;
        p.w->curSta = QString::fromLatin1(c.sta);
        p.w->SetImportType(c.type);
        QString reason = u"old"_s;
        p.page().ImportRefusalReason(reason);
        EXPECT_EQ(reason, c.reason) << c.fullorx << c.type << c.sta;
    }
}

TEST(ImportPage, StationChangeSavesFormatFileOfTheTypesLayout)
{
    const QByteArray tooLong(256, 'P');
    Program p("[PET]\r\nimport_type=0\r\n\r\n[MNK]\r\ncode=MNKI\r\n\r\n[" + tooLong +
              "]\r\nname=" + toCp1251(u"Петропавловск"_s) + "\r\n");
    ASSERT_EQ(p.w->curCode, u"MNK"_s);
    p.w->SelectStationByCode(u"PET"_s, true);
    p.w->SelectStationByCode(u"MNK"_s, true);
    // Three full export records, then the import ones: all full for text, one header otherwise.
    EXPECT_EQ(QFile(p.spe("MNK")).size(), 6 * (24 + 4) + 2 * 60 * 74);
    EXPECT_EQ(QFile(p.spe("PET")).size(), 3 * (24 + 4) + 60 * 74 + 24);
    EXPECT_EQ(p.recorder.count(), 0);

    // A code no file name can hold: each change away from the station says so once, with the reason, and
    // the format set stays with the station. A search that finds it again at every key changes nothing.
    for (const char *typed : {"П", "ПЕ", "ПЕТ"})
        p.w->Edit2->setText(QString::fromUtf8(typed));
    ASSERT_EQ(p.w->curCode, QString::fromLatin1(tooLong));
    EXPECT_EQ(p.recorder.count(), 0);
    p.page().formats().exportSpec[SpecEvents].fdel = QLatin1Char('|');
    p.w->SelectStationByCode(u"MNK"_s, true);
    ASSERT_EQ(p.recorder.count(), 1);
    EXPECT_EQ(p.recorder.last().text,
              u"Ошибка при записи формата данных %1…: слишком длинное имя файла. Формат не записан и до "
              "закрытия программы хранится только в памяти"_s.arg(QString::fromLatin1(tooLong.left(200))));
    p.w->SelectStationByCode(QString::fromLatin1(tooLong), true);
    EXPECT_EQ(p.page().formats().exportSpec[SpecEvents].fdel, QLatin1Char('|'));
    EXPECT_EQ(p.recorder.count(), 1);
}

// A station's import choices come with the station and go back to Stations.ini when another is chosen.
TEST(ImportPage, StationChangeReadsAndSavesTheStationsImportChoices)
{
    Program p("[PET]\r\nname=Петропавловск\r\nimport_type=0\r\nin_file_jet=/data/j.db\r\nintxt_imm=0\r\n"
              "add_event=1\r\n\r\n[MNK]\r\ncode=MNKI\r\n\r\n");
    p.w->SelectStationByCode(u"PET"_s, true);
    EXPECT_EQ(p.w->GetImportType(), 0);
    EXPECT_EQ(p.w->ifrom->currentText(), u"Paradox"_s);
    EXPECT_EQ(p.w->Edit5->text(), u"/data/j.db"_s);
    EXPECT_EQ(p.w->sett.smp1, u"?"_s);
    EXPECT_FALSE(p.w->imm->isChecked());
    EXPECT_TRUE(p.w->adde->isChecked());

    p.w->Edit5->setText(u"/data/k.db"_s);
    p.w->SelectStationByCode(u"MNK"_s, true);
    EXPECT_EQ(p.w->GetImportType(), 2);
    EXPECT_TRUE(p.w->imm->isChecked());
    const QString stations = QString::fromLatin1(readBytes(p.dir.file(u"system/Stations.ini"_s)));
    for (const char *key : {"in_file_jet=/data/k.db\r\n", "smpjet=?\r\n", "intxt_imm=0\r\n",
                            "add_event=1\r\n", "import_type=0\r\n"})
        EXPECT_TRUE(stations.contains(QString::fromLatin1(key))) << key;
    EXPECT_EQ(p.recorder.count(), 0);
}

// Each import type keeps its own file and name templates: a change of type brings the new type's from
// the station's keys and leaves the old type's there, so that no save stores one type's file, or an empty
// field, under another's key.
TEST(ImportPage, EachImportTypeKeepsItsOwnFile)
{
    Program p(
        "[PET]\r\nimport_type=2\r\nin_event=/data/Events1.txt\r\nin_stbul=/data/Station_bulletin1.txt\r\n"
        "in_xmadd=/data/Xm_Add1.txt\r\nin_file_jet=/data/j.db\r\nsmpjet=jet?\r\nin_krv=/data/tab_1.txt\r\n"
        "\r\n[MNK]\r\ncode=MNKI\r\n\r\n");
    p.w->SelectStationByCode(u"PET"_s, true);
    ASSERT_EQ(p.w->Events->text(), u"/data/Events1.txt"_s);

    p.w->ifrom->setCurrentIndex(0); // Текст -> Paradox
    EXPECT_EQ(p.w->Edit5->text(), u"/data/j.db"_s);
    EXPECT_EQ(p.w->sett.smp1, u"jet?"_s);
    p.w->SelectStationByCode(u"MNK"_s, true);
    p.w->SelectStationByCode(u"PET"_s, true);
    EXPECT_EQ(p.w->GetImportType(), 0);
    EXPECT_EQ(p.w->Edit5->text(), u"/data/j.db"_s);
    EXPECT_EQ(p.w->sett.smp1, u"jet?"_s);

    // A file chosen under one type is still there when the analyst comes back to it.
    p.w->Edit5->setText(u"/data/k.db"_s);
    p.w->ifrom->setCurrentIndex(1); // Excel: no file of its own yet
    EXPECT_EQ(p.w->Edit5->text(), QString());
    EXPECT_EQ(p.w->sett.smp1, u"?"_s);
    p.w->ifrom->setCurrentIndex(4);
    EXPECT_EQ(p.w->Edit5->text(), u"/data/tab_1.txt"_s);
    EXPECT_EQ(p.w->sett.smp1, u"tab_?"_s);
    p.w->ifrom->setCurrentIndex(0);
    EXPECT_EQ(p.w->Edit5->text(), u"/data/k.db"_s);
    p.w->ifrom->setCurrentIndex(2);
    EXPECT_EQ(p.w->Events->text(), u"/data/Events1.txt"_s);
    EXPECT_EQ(p.w->XM_Add->text(), u"/data/Xm_Add1.txt"_s);
    EXPECT_EQ(p.w->sett.smp3, u"Xm_Add?"_s);

    p.w->SelectStationByCode(u"MNK"_s, true);
    const QString stations = QString::fromLatin1(readBytes(p.dir.file(u"system/Stations.ini"_s)));
    for (const char *key :
         {"in_file_jet=/data/k.db\r\n", "smpjet=jet?\r\n", "in_excel=\r\n", "smpxls=?\r\n",
          "in_krv=/data/tab_1.txt\r\n", "smpkrv=tab_?\r\n", "in_event=/data/Events1.txt\r\n",
          "in_xmadd=/data/Xm_Add1.txt\r\n", "smpev=Events?\r\n", "import_type=2\r\n"})
        EXPECT_TRUE(stations.contains(QString::fromLatin1(key))) << key;
    EXPECT_EQ(p.recorder.count(), 0);
}

TEST(ImportPage, ImmediateModeAndElqButton)
{
    Program p;
    const QWidget *button11 = p.control("Button11");
    p.w->SetImmediateMode(true);
    EXPECT_TRUE(p.control("Button14")->isHidden());
    EXPECT_EQ(button11->property("text").toString(), u"Чтение и запись"_s);
    EXPECT_EQ(button11->toolTip(),
              u"Нажмите, чтобы прочитать данные из файла(ов) и записать в базу данных"_s);
    p.w->imm->click(); // off
    EXPECT_FALSE(p.control("Button14")->isHidden());
    EXPECT_EQ(button11->property("text").toString(), u"Чтение данных"_s);
    EXPECT_EQ(button11->toolTip(), u"Нажмите, чтобы прочитать данные из файла(ов) и вывести их в таблицу"_s);

    for (const char *code : {"MNK", "mnk", "MNKI", ""}) {
        p.w->curCode = QString::fromLatin1(code);
        p.w->UpdateELQButton();
        EXPECT_EQ(p.control("Button20")->isHidden(), p.w->curCode != QLatin1String("MNK")) << code;
    }
}

TEST(ImportPage, ClearImportGrid)
{
    Program p("");
    TMStringGrid *sg = p.w->sg;
    sg->setColumnCount(5);
    sg->setRowCount(4);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 5; ++c)
            SetGridCell(*sg, c, r, u"x"_s);
    sg->setColumnWidth(1, 300);

    p.w->ClearImportGrid(true);
    EXPECT_TRUE(p.w->gridLock());
    EXPECT_EQ(GridCell(*sg, 4, 3), u"x"_s);

    // The panels speak of the grid: they stay with its rows and go with them.
    QLabel *st[] = {p.w->findChild<QLabel *>(u"st1"_s), p.w->findChild<QLabel *>(u"st2"_s),
                    p.w->findChild<QLabel *>(u"st3"_s)};
    for (QLabel *label : st)
        label->setText(u"нарушена нумерация событий"_s);
    for (QLabel *label : {st[1], st[2]})
        label->setStyleSheet(u"color: red; font-weight: bold;"_s);
    p.w->ClearImportGrid(true);
    EXPECT_EQ(st[2]->text(), u"нарушена нумерация событий"_s);

    p.w->ClearImportGrid(false);
    EXPECT_FALSE(p.w->gridLock());
    EXPECT_EQ(sg->rowCount(), 2);
    EXPECT_EQ(sg->columnCount(), 2);
    EXPECT_EQ(sg->columnWidth(1), sg->horizontalHeader()->defaultSectionSize());
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(GridCell(*sg, c, r), QString()) << r << c;
    for (QLabel *label : st) {
        EXPECT_EQ(label->text(), QString()) << label->objectName().toStdString();
        EXPECT_EQ(label->styleSheet(), QString()) << label->objectName().toStdString();
    }
}

// Three text files of which the first holds no line: there is nothing to show or write, and the analyst
// is told which file is empty.
TEST(ImportPage, TextFilesWithoutEventsHaveNoData)
{
    for (bool immediate : {false, true}) {
        Program p;
        p.w->ifrom->setCurrentIndex(2);
        const QString events = p.dir.file(u"Events7.txt"_s);
        writeBytes(events, QByteArray());
        writeBytes(p.dir.file(u"Station_bulletin7.txt"_s), QByteArray());
        writeBytes(p.dir.file(u"Xm_Add7.txt"_s), QByteArray());
        p.w->Events->setText(events);
        p.w->Station_bulletin->setText(p.dir.file(u"Station_bulletin7.txt"_s));
        p.w->XM_Add->setText(p.dir.file(u"Xm_Add7.txt"_s));
        p.w->imm->setChecked(immediate);
        p.page().ReadData();
        ASSERT_EQ(p.recorder.count(), 1);
        EXPECT_EQ(p.recorder.last().text, u"В файле \"Events7.txt\" нет данных!"_s);
        EXPECT_EQ(p.recorder.last().icon, unsigned(MB_ICONWARNING));
        EXPECT_FALSE(p.page().gridLock());
        EXPECT_EQ(p.w->sg->rowCount(), 2);
        EXPECT_EQ(p.w->findChild<QLabel *>(u"st1"_s)->text(), QString());
    }
}

// Looking at a file that is no event file touches no database: the message says the file could not be
// read, and why.
TEST(ImportPage, EventFileThatIsNoArchive)
{
    Program p;
    p.w->sett.fullorx = true;
    p.w->ifrom->setCurrentIndex(3);
    p.w->imm->setChecked(false);
    const QString file = p.dir.file(u"junk.orv"_s);
    writeBytes(file, "this is no archive");
    p.w->Edit5->setText(file);
    p.page().ReadData();
    ASSERT_EQ(p.recorder.count(), 1);
    const QString text = p.recorder.last().text;
    EXPECT_TRUE(
        text.startsWith(u"ReadORV: Не удалось прочитать файл \"junk.orv\".\rСообщение об ошибке:\r"_s))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(u": файл не является архивом ZIP (libzip: Not a zip archive)"_s))
        << text.toStdString();
    EXPECT_EQ(p.recorder.last().icon, unsigned(MB_ICONERROR));
    EXPECT_FALSE(p.page().gridLock());
    // Nothing is shown, so nothing is said to be only for viewing.
    EXPECT_TRUE(p.w->findChild<QLabel *>(u"Label61"_s)->isHidden());
}

TEST(ImportPage, TextFileSiblingsFollowTheTemplates)
{
    const std::array<QString, 3> part = {u"Events?"_s, u"Station_bulletin?"_s, u"Xm_Add?"_s};
    const std::array<QString, 3> fixed = {u"ev_?_a"_s, u"sb_?_b"_s, u"xm_?_c"_s};
    const std::array<QString, 3> bare = {u"Events"_s, u"SB?long"_s, u"XM?"_s};
    struct Case
    {
        std::array<QString, 3> templates;
        int checked;
        QString chosen;
        std::array<QString, 3> files;
    } cases[] = {
        {part, 1, u"/f/Station_bulletin12.txt"_s, {u"/f/Events12.txt"_s, QString(), u"/f/Xm_Add12.txt"_s}},
        {part, 1, u"/f/Station_bulletin.txt"_s, {u"/f/Events.txt"_s, QString(), u"/f/Xm_Add.txt"_s}},
        // Only the digits right before the suffix count, and the prefix is never compared.
        {part,
         0,
         u"/f/x7y2026.1.txt"_s,
         {QString(), u"/f/Station_bulletin2026.txt"_s, u"/f/Xm_Add2026.txt"_s}},
        {fixed, 0, u"/f/ev_0307_a.txt"_s, {QString(), u"/f/sb_0307_b.txt"_s, u"/f/xm_0307_c.txt"_s}},
        {fixed, 2, u"/f/xm_0307_c"_s, {u"/f/ev__a.txt"_s, u"/f/sb__b.txt"_s, QString()}},
        {bare, 1, u"/f/1.txt"_s, {u"/f/Events.txt"_s, QString(), u"/f/XM.txt"_s}},
        {bare, 2, u"Xm5.txt"_s, {u"Events5.txt"_s, u"SB5long.txt"_s, {}}},
    };
    for (const Case &c : cases) {
        std::array<QString, 3> expected = c.files;
        expected[c.checked] = c.chosen;
        EXPECT_EQ(TextFileSiblings(c.templates, c.checked, c.chosen), expected) << c.chosen.toStdString();
    }
}

// A text file's name is matched without regard to letter case when the name as given is not there.
TEST(ImportPage, TextFileNamesIgnoreCase)
{
    TestDir dir;
    for (const char *name : {"XM_Add4.txt", "Events4.txt"})
        writeBytes(dir.file(QString::fromLatin1(name)), QByteArray());
    const std::pair<QString, QString> cases[] = {
        {dir.file(u"Xm_Add4.txt"_s), dir.file(u"XM_Add4.txt"_s)},
        {dir.file(u"xm_add4.TXT"_s), dir.file(u"XM_Add4.txt"_s)},
        {dir.file(u"Events4.txt"_s), dir.file(u"Events4.txt"_s)},
        {dir.file(u"Events5.txt"_s), dir.file(u"Events5.txt"_s)},
        {dir.file(u"none/Events4.txt"_s), dir.file(u"none/Events4.txt"_s)},
        {QString(), QString()},
    };
    for (const auto &[given, found] : cases)
        EXPECT_EQ(ExistingFileIgnoringCase(given), found) << given.toStdString();
}

// The open dialog as the test answers it: what it was shown, and the file it gives (none: cancelled).
struct FakeDialogs : ImportPageDialogs
{
    QStringList asked;
    QString answer;
    int samples = 0;
    bool ChooseFile(const QString &Title, const QString &Filter, const QString &FileName, int FilterIndex,
                    QString &Chosen) override
    {
        asked << Title << Filter << FileName << QString::number(FilterIndex);
        Chosen = answer;
        return !answer.isEmpty();
    }
    void EditNameSamples() override { ++samples; }
};

TEST(ImportPage, ChoiceOfTheFileFillsTheFieldsAndReads)
{
    Program p;
    auto *fake = new FakeDialogs;
    p.page().setDialogs(std::unique_ptr<ImportPageDialogs>(fake));
    const QString all = u"|Все файлы (*.*)|*.*"_s;
    const QString missing =
        u"Заданный файл не найден.\rУбедитесь, что правильно задали путь,\rи файл действительно там есть и доступен для чтения."_s;
    const QString folder = p.dir.base();
    p.w->sett.smp1 = u"Events?"_s;
    p.w->sett.smp2 = u"Station_bulletin?"_s;
    p.w->sett.smp3 = u"Xm_Add?"_s;
    struct Case
    {
        int type;
        QString filter;
        QString answer;
        QString caption; // of the read's missing-file message
    } cases[] = {
        {0, u"Базы данных Paradox (*.db)|*.db"_s + all, u"j.db"_s, {}},
        {1, u"Документы Excel (*.xls)|*.xls"_s + all, u"w.xls"_s, {}},
        {2, u"Текстовые файлы (*.txt)|*.txt"_s + all, u"Station_bulletin12.txt"_s, u"Events: "_s},
        {3, u"Файлы экспорта ORX (*.orv)|*.orv"_s + all, u"o.orv"_s, {}},
        {4, u"Текстовые файлы формата KRV (*.txt;*.dat)|*.txt;*.dat"_s + all, u"k.dat"_s, {}},
    };
    // Every type is allowed here: full ORX mode for the event file, an Excel station for the workbook.
    p.w->curSta = u"TBLG"_s;
    for (const Case &c : cases) {
        p.w->sett.fullorx = c.type == 3;
        p.w->ifrom->setCurrentIndex(c.type);
        ASSERT_TRUE(p.control("Button12")->isEnabled()) << c.type;
        EXPECT_EQ(p.w->adde->isEnabled(), c.type == 2 || c.type == 3);
        EXPECT_FALSE(p.w->adde->isHidden());
        if (c.type == 2)
            p.w->findChild<QRadioButton *>("Strb")->setChecked(true);
        QLineEdit *field = c.type == 2 ? p.w->Station_bulletin : p.w->Edit5;
        field->setText(u"old"_s);
        fake->asked.clear();
        fake->answer.clear();
        static_cast<QPushButton *>(p.control("Button12"))->click();
        EXPECT_EQ(fake->asked, (QStringList{u"Выберите файл для импорта"_s, c.filter, u"old"_s, u"1"_s}));
        EXPECT_EQ(field->text(), u"old"_s);
        EXPECT_EQ(p.recorder.count(), 0);

        fake->answer = folder + c.answer;
        static_cast<QPushButton *>(p.control("Button12"))->click();
        EXPECT_EQ(field->text(), fake->answer);
        ASSERT_EQ(p.recorder.count(), 1) << c.type;
        EXPECT_EQ(p.recorder.last().text, c.caption + missing);
        EXPECT_EQ(p.recorder.last().icon, unsigned(MB_ICONERROR));
        p.recorder.clear();
    }
    EXPECT_EQ(p.w->Events->text(), folder + u"Events12.txt"_s);
    EXPECT_EQ(p.w->XM_Add->text(), folder + u"Xm_Add12.txt"_s);

    static_cast<QPushButton *>(p.control("Button25"))->click();
    EXPECT_EQ(fake->samples, 1);
}

TEST(ImportPage, SampleButtonEditsTheTemplatesOfTheMainSettings)
{
    Program p;
    p.w->sett.smp1 = u"Events?"_s;
    QStringList shown;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto *par = qobject_cast<Tpar *>(QApplication::activeModalWidget());
        if (!par)
            return;
        shown << par->dir->text() << par->Label21->text() << par->Label22->text() << par->Label1->text();
        par->dir->setText(u"ev?"_s);
        par->stb->setText(u"sb?"_s);
        par->xm->setText(u"xm?"_s);
        par->Button1->click();
    });
    answer.start(10);
    static_cast<QPushButton *>(p.control("Button25"))->click();
    EXPECT_EQ(shown, (QStringList{u"Events?"_s, u"События"_s, u"Станц.бюллетень"_s, u"Дин.замеры"_s}));
    EXPECT_EQ(p.w->sett.smp1, u"ev?"_s);
    EXPECT_EQ(p.w->sett.smp2, u"sb?"_s);
    EXPECT_EQ(p.w->sett.smp3, u"xm?"_s);
    EXPECT_EQ(p.recorder.count(), 0);
}

} // namespace
