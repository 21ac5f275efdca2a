#include "app/settings/param_dialog.h"
#include "db/db_test_env.h"
#include "demo_data.h"
#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "exchange/text/bulletin_export.h"
#include "exchange/text/text_cells.h"
#include "exchange_test_env.h"
#include "lib/mstring_grid.h"
#include "platform/zip_archive.h"
#include "support/program_env.h"
#include "support/smtp_server.h"

#include <QDateEdit>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonObject>
#include <QMenu>
#include <QRadioButton>
#include <QScrollBar>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace {

// A demo folder, the data module, the import page and a main window on the first station.
struct ExportProgram
{
    TestDir dir;
    QString out;
    MessageRecorder messages;
    Tdm dm;
    std::unique_ptr<Tmainf> w;

    ExportProgram()
    {
        DemoParams params;
        params.stations = 2;
        params.days = 3;
        params.lastDay = QDate(2026, 2, 5);
        params.eventsPerDay = 4;
        GenerateDemoFolder(dir.path(), params);
        out = dir.file(u"out"_s);
        QDir().mkpath(out);
        QDir().mkpath(dir.file(u"specs"_s));
        qputenv("ORX_INI_DIR", dir.file(u"system"_s).toLocal8Bit());
        w = startWithImportPage(dir);
    }
    ~ExportProgram() { qunsetenv("ORX_INI_DIR"); }

    void clickExport(QDate from, QDate to, bool mail)
    {
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto *par = qobject_cast<Tpar *>(QApplication::activeModalWidget())) {
                par->svodka_Date->setDate(from);
                par->End_Date->setDate(to);
                par->dir->setText(out);
                par->mail_send->setChecked(mail);
                par->Button1->click();
            }
        });
        answer.start(10);
        w->findChild<QPushButton *>(u"BitBtn14"_s)->click();
    }
    QString &bulletinPath() const
    {
        return w->stations[w->stas->currentItem()->data(Qt::UserRole).toInt()].out_file_jet;
    }
    // The exported files read back into the import grid.
    void readBack()
    {
        w->imm->setChecked(false);
        w->Events->setText(out + u"/Events4.txt"_s);
        w->Station_bulletin->setText(out + u"/Station_bulletin4.txt"_s);
        w->XM_Add->setText(out + u"/XM_Add4.txt"_s);
        messages.clear();
        w->findChild<QPushButton *>(u"Button11"_s)->click();
    }
};

// Rows as the text tables carry them: floats cut to four decimals, times to the second.
QStringList rows(DbConnection &db, const QString &sql)
{
    DbQuery q(&db);
    q.SetSQL(sql);
    q.Open();
    QStringList all;
    for (; !q.Eof(); q.Next()) {
        QStringList f;
        for (int i = 0; i < q.FieldCount(); ++i) {
            TField *field = q.Field(i);
            if (field->IsNull())
                f << u"-"_s;
            else if (IsFloatFieldType(field->DataType()))
                f << FloatCellText(field->AsFloat(), QLatin1Char('.'));
            else if (IsDateFieldType(field->DataType()))
                f << FormatDateTime(u"dd.mm.yyyy hh:nn:ss"_s, field->AsDateTime());
            else
                f << field->AsString().trimmed();
        }
        all << f.join(QLatin1Char('|'));
    }
    return all;
}

const QString kEventsSql =
    u"select num,[time],dec,lat,lon,depdp,deltagr,deltakm,seaz,emares,S_P_time,S_P_dec,"
    u"Kps,FlagQuake,StrQuake,comment,lddate from [События] where num in (select N_equake "
    u"from [Станционный бюллетень] where [Date] between %1 and %2) order by num"_s;
const QString kReadingsSql =
    u"select N_seismo,N_equake,Station_Cod,[Date],FM,Qual,Interpretation,Phase,"
    u"Channel_name,Channel_Cod,KPCH,Channel_component,[Time],[Dec],FM_NS,FM_EW,FM_Z,"
    u"FM_Period_NS,FM_Amp_NS,FM_Period_EW,FM_Amp_EW,FM_Period_Z,FM_Amp_Z,Comments from "
    u"[Станционный бюллетень] where [Date] between %1 and %2 order by arid"_s;
// Amplitudes by the position of their reading, since the readings get new counters.
const QString kAmplitudesSql =
    u"select (select count(*) from [Станционный бюллетень] b where b.arid<x.arid and b.[Date] between %1 and "
    u"%2),"
    u"Channel_nameXM,Channel_componentXM,Channel_CodXM,TimeXM,DecXm,Period_NS,Amp_NS,Period_EW,Amp_EW,Period_"
    u"Z,"
    u"Amp_Z,Magnitude_NE,Klass_NE,Magnitude_Z,Klass_Z from [Динамические замеры] x where x.arid in (select "
    u"arid "
    u"from [Станционный бюллетень] where [Date] between %1 and %2) order by x.arid,x.Id_XM"_s;

} // namespace

TEST(BulletinExport, DecadesOfTheYear)
{
    const struct
    {
        int month, day, decade;
    } cases[] = {{3, 5, 7}, {1, 21, 3}, {1, 31, 3}, {1, 10, 1}, {1, 11, 2}, {12, 31, 36}, {2, 29, 6}};
    for (const auto &c : cases)
        EXPECT_EQ(ExportDecade(EncodeDate(2008, c.month, c.day)), c.decade) << c.month << '.' << c.day;
}

TEST(BulletinExport, WritesPacksMailsAndReadsBackToTheSameRows)
{
    ExportProgram p;
    TestDir received;
    SmtpServer server(received.path());
    ASSERT_GT(server.port(), 0) << server.error().toStdString();
    p.w->sett.smtp_host = u"127.0.0.1"_s;
    p.w->sett.smtp_port = server.port();
    p.w->sett.maile_global = false;
    p.w->sett.maile_from = u"st@seismo.ru"_s;
    p.w->sett.maile_recv = u"bulletin@seismo.ru"_s;
    p.w->sett.maile_subj = u"Экспорт"_s;
    p.w->curName = u"Станция"_s;

    const QString source = p.bulletinPath();
    auto original = openStationFile(source);
    const QString from = u"46056"_s, to = u"46058"_s; // 3 to 5 February 2026
    const QStringList events = rows(*original, kEventsSql.arg(from, to));
    const QStringList readings = rows(*original, kReadingsSql.arg(from, to));
    const QStringList amplitudes = rows(*original, kAmplitudesSql.arg(from, to));
    original.reset();
    ASSERT_FALSE(events.isEmpty());
    ASSERT_FALSE(amplitudes.isEmpty());

    p.clickExport(QDate(2026, 2, 3), QDate(2026, 2, 5), true);
    ASSERT_EQ(p.messages.count(), 1);
    EXPECT_EQ(p.messages.last().icon, unsigned(MB_ICONINFORMATION));
    EXPECT_EQ(
        p.messages.last().text,
        u"Экспорт Station bulletin выполнен, %1 записей\rЭкспорт Events выполнен, %2 записей\r"
        u"Экспорт XM_Add выполнен, %3 записей\rЭкспорт успешно отправлен по почте."_s.arg(readings.size())
            .arg(events.size())
            .arg(amplitudes.size()));
    const QStringList names = {u"Station_bulletin4.txt"_s, u"Events4.txt"_s, u"XM_Add4.txt"_s};
    EXPECT_EQ(folderEntries(p.out), (QStringList{names[1], names[0], names[2]}));

    const QJsonObject mail = server.json(u"msg-1.json"_s).toObject();
    EXPECT_EQ(mail.value("to").toString(), u"bulletin@seismo.ru"_s);
    EXPECT_EQ(
        mail.value("text").toString().trimmed(),
        u"Экспорт с/с \"Станция\" из БД \"Станционный бюллетень\" (файл StBulExp_20260203_20260205.zip)"_s);
    const QJsonArray attachments = mail.value("attachments").toArray();
    ASSERT_EQ(attachments.size(), 1);
    EXPECT_EQ(attachments[0].toObject().value("filename").toString(), u"StBulExp_20260203_20260205.zip"_s);
    TestDir unpacked;
    unzipAll(received.file(attachments[0].toObject().value("file").toString()), unpacked.path());
    for (const QString &name : names)
        EXPECT_EQ(readBytes(unpacked.file(name)), readBytes(p.out + u"/"_s + name)) << name.toStdString();

    // Back through the import grid into a fresh bulletin file.
    const QString fresh = p.dir.file(u"fresh.mdb"_s);
    createBulletinFile(fresh);
    p.bulletinPath() = fresh;
    p.readBack();
    EXPECT_EQ(p.messages.count(), 0);
    EXPECT_EQ(p.w->sg->rowCount(), events.size() + 1);
    p.w->findChild<QRadioButton *>(u"Strb"_s)->setChecked(true);
    EXPECT_EQ(p.w->sg->rowCount(), readings.size() + 1);
    p.w->findChild<QPushButton *>(u"Button14"_s)->click();
    EXPECT_EQ(p.messages.count(), 0) << p.messages.last().text.toStdString();

    auto copy = openStationFile(fresh);
    EXPECT_EQ(rows(*copy, kEventsSql.arg(from, to)), events);
    EXPECT_EQ(rows(*copy, kReadingsSql.arg(from, to)), readings);
    EXPECT_EQ(rows(*copy, kAmplitudesSql.arg(from, to)), amplitudes);
}

// The open dialog of the import page, answering with one file.
struct ChosenFile : ImportPageDialogs
{
    QString file;
    bool ChooseFile(const QString &, const QString &, const QString &, int, QString &Chosen) override
    {
        Chosen = file;
        return true;
    }
    void EditNameSamples() override {}
};

// The export's files read back through the buttons: the Events file chosen, its two siblings named by
// the templates, whose letter case differs from the export's ("Xm_Add4.txt" for "XM_Add4.txt").
TEST(BulletinExport, TheExportedEventsFileChosenReadsBackWithItsSiblings)
{
    ExportProgram p;
    p.clickExport(QDate(2026, 2, 3), QDate(2026, 2, 5), false);
    ASSERT_EQ(p.messages.count(), 1);
    ASSERT_EQ(p.w->sett.smp3, u"Xm_Add?"_s);
    auto *dialogs = new ChosenFile;
    dialogs->file = p.out + u"/Events4.txt"_s;
    static_cast<ImportPage *>(p.w->importPage())->setDialogs(std::unique_ptr<ImportPageDialogs>(dialogs));
    p.w->imm->setChecked(false);
    p.w->findChild<QRadioButton *>(u"Evrb"_s)->setChecked(true);
    p.messages.clear();
    p.w->findChild<QPushButton *>(u"Button12"_s)->click();
    EXPECT_EQ(shown(p.messages), QList<Shown>());
    EXPECT_EQ(p.w->Station_bulletin->text(), p.out + u"/Station_bulletin4.txt"_s);
    EXPECT_EQ(p.w->XM_Add->text(), p.out + u"/XM_Add4.txt"_s);
    ASSERT_TRUE(p.w->gridLock());
    const int events = p.w->sg->rowCount() - 1;
    EXPECT_GT(events, 0);
    EXPECT_EQ(p.w->importTable(0).RowCount(), events);
    EXPECT_GT(p.w->importTable(2).RowCount(), 0);
}

TEST(BulletinExport, NothingInThePeriodEndsAtTheFirstTable)
{
    ExportProgram p;
    p.clickExport(QDate(2020, 3, 1), QDate(2020, 3, 10), true);
    ASSERT_EQ(p.messages.count(), 1);
    EXPECT_EQ(p.messages.last().text, u"Экспорт Station bulletin не выполнен, 0 записей"_s);
    EXPECT_TRUE(folderEntries(p.out).isEmpty());
}

TEST(BulletinExport, TheDataModulesMenuEditsTheImportGrid)
{
    ExportProgram p;
    p.clickExport(QDate(2026, 2, 3), QDate(2026, 2, 5), false);
    p.readBack();
    TMStringGrid &sg = *p.w->sg;
    const QString num = GridCell(sg, 2, 1);
    ASSERT_FALSE(num.isEmpty());
    sg.setRangeSelected(QTableWidgetSelectionRange(1, 2, 1, 2), true);
    p.dm.N2->trigger(); // copy
    sg.clearSelection();
    sg.setRangeSelected(QTableWidgetSelectionRange(2, 16, 2, 16), true);
    p.dm.N3->trigger(); // paste
    EXPECT_EQ(GridCell(sg, 16, 2), num);
    p.dm.N1->trigger(); // cut
    EXPECT_EQ(GridCell(sg, 16, 2), u""_s);
    EXPECT_EQ(p.w->gridClip->GetCell(0, 0), num);

    // The wheel moves the grid by one row.
    QScrollBar *bar = sg.verticalScrollBar();
    bar->setValue(0);
    const QPointF at(10, 10);
    QWheelEvent down(at, sg.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(sg.viewport(), &down);
    EXPECT_EQ(bar->value(), std::min(1, bar->maximum()));
}

// "Экспорт данных", "...", the folder dialog cancelled, Backspace delivered to the start date while it has
// no focus, "Отмена". A desktop can hand the dialog the activation again while it is being torn down, and its
// first control, the start date, the focus: the key began no typing there, so nothing is said and nothing
// touches the edit half destroyed (the sanitized tree tells a call on one).
TEST(BulletinExport, ParamDialogClosedAfterAKeyToItsUnfocusedDate)
{
    ExportProgram p;
    p.w->show();
    QApplication::setActiveWindow(p.w.get());
    const auto clickWithMouse = [](QPushButton *b) {
        b->setFocus(Qt::MouseFocusReason);
        b->click();
    };
    int foldersCancelled = 0, dateFocused = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            d->reject();
            ++foldersCancelled;
        }
    });
    closer.start(10);
    QTimer::singleShot(0, [&] {
        auto *par = qobject_cast<Tpar *>(QApplication::activeModalWidget());
        ASSERT_TRUE(par);
        QApplication::setActiveWindow(par);
        clickWithMouse(par->sfb);
        QDateEdit *date = par->svodka_Date;
        ASSERT_FALSE(date->hasFocus());
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent backspace(type, Qt::Key_Backspace, Qt::NoModifier, u"\b"_s);
            QCoreApplication::sendEvent(date, &backspace);
        }
        QWidget *window = par;
        QObject::connect(par, &QObject::destroyed, [window, date, &dateFocused] {
            QApplication::setActiveWindow(window);
            dateFocused += QApplication::focusWidget() == date;
        });
        clickWithMouse(par->Button2);
    });
    p.w->findChild<QPushButton *>(u"BitBtn14"_s)->click();
    EXPECT_EQ(std::pair(foldersCancelled, dateFocused), std::pair(1, 1));
    EXPECT_EQ(shown(p.messages), QList<Shown>());
}
