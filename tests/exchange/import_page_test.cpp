#include "exchange/import_page.h"

#include "app/main/main_window.h"
#include "lib/mstring_grid.h"
#include "support/test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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
    Program p("[PET]\r\nimport_type=0\r\n\r\n[MNK]\r\ncode=MNKI\r\n\r\n");
    ASSERT_EQ(p.w->curCode, u"MNK"_s);
    p.w->SelectStationByCode(u"PET"_s, true);
    p.w->SelectStationByCode(u"MNK"_s, true);
    // Three full export records, then the import ones: all full for text, one header otherwise.
    EXPECT_EQ(QFile(p.spe("MNK")).size(), 6 * (24 + 4) + 2 * 60 * 74);
    EXPECT_EQ(QFile(p.spe("PET")).size(), 3 * (24 + 4) + 60 * 74 + 24);
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
            sg->setItem(r, c, new QTableWidgetItem(u"x"_s));
    sg->setColumnWidth(1, 300);

    p.w->ClearImportGrid(true);
    EXPECT_TRUE(p.w->gridLock());
    EXPECT_EQ(sg->item(3, 4)->text(), u"x"_s);

    p.w->ClearImportGrid(false);
    EXPECT_FALSE(p.w->gridLock());
    EXPECT_EQ(sg->rowCount(), 2);
    EXPECT_EQ(sg->columnCount(), 2);
    EXPECT_EQ(sg->columnWidth(1), sg->horizontalHeader()->defaultSectionSize());
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_TRUE(!sg->item(r, c) || sg->item(r, c)->text().isEmpty()) << r << c;
}

} // namespace
