#include "app/main/diagnostics_page.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/program_folder.h"
#include "app/settings/progress_window.h"
#include "db/db_query.h"
#include "lib/codec.h"
#include "lib/date_routines.h"
#include "lib/epoch.h"
#include "lib/errors.h"
#include "lib/ini_file.h"
#include "lib/messages.h"
#include "lib/number_routines.h"
#include "lib/safe_write.h"
#include "lib/statements.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>

#include <cmath>

namespace {

const QString kFixedDateTime = QStringLiteral("dd.mm.yyyy hh:nn:ss");

QLineEdit *pageEdit(QWidget *page, const char *name)
{
    return page->findChild<QLineEdit *>(QString::fromLatin1(name));
}

} // namespace

QByteArray TestSqlText()
{
    QString out;
    out.reserve(1100 * 80);
    const QString end = QStringLiteral("\r\n\r\n");
    for (int i = 1; i <= 1000; ++i) {
        out += QStringLiteral("insert into tab1 (id,s,i,fl,d) values (") + QString::number(i) +
               QStringLiteral(",'") + QChar(u'A' + (i - 1) % 26) +
               QStringLiteral("%1").arg(1000 - i, 3, 10, QLatin1Char('0')) + QStringLiteral("',") +
               QString::number(2 * i) + QLatin1Char(',') + QString::number(3 * i) + QLatin1Char('.') +
               QString::number(i % 100) + QStringLiteral(",sysdate+") + QString::number(i - 1) +
               QStringLiteral(");") + end;
        for (int j = 1; j <= 10; ++j)
            out += QStringLiteral("insert into tab2 (id2,id,i,d) values (") +
                   QString::number((i - 1) * 10 + j) + QLatin1Char(',') + QString::number(i) +
                   QLatin1Char(',') + QString::number(4 * i - j) + QStringLiteral(",sysdate+") +
                   QString::number((1000 - i) * 10 + j) + QStringLiteral(");") + end;
    }
    return out.toLatin1();
}

QString TestSqlPath(const QString &ProgramDir)
{
    return ProgramDir + QStringLiteral("tmp/1000.sql");
}

QStringList IniKeyNames(const QString &Text)
{
    QStringList names;
    for (const QString &line : Text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString name = line.left(eq).trimmed().toLower();
        if (!names.contains(name))
            names << name;
    }
    names.sort();
    return names;
}

QString DateTextToEpochText(const QString &Text)
{
    bool error = false;
    const TDateTime d = StrToDateTimeDMY(Text.trimmed(), &error, 0);
    if (error)
        throw EConvertError(NotDateTimeText(Text));
    int y, mo, day, h, mi, s, ms;
    DecodeDateTime(d, y, mo, day, h, mi, s, ms);
    return FloatToStr(htoe(quint16(y), quint16(mo), quint16(day), quint16(h), quint16(mi), s + ms / 1000.0));
}

QString EpochTextToDateText(const QString &Text)
{
    const double epoch = StrToFloatAny(Text.trimmed());
    quint16 y, mo, d, h, mi;
    double sec = 0;
    if (!EpochToParts(epoch, y, mo, d, h, mi, sec))
        throw EConvertError(NotNumberText(Text));
    return FormatDateTime(kFixedDateTime, EncodeDate(y, mo, d) + EncodeTime(h, mi, int(std::floor(sec)), 0));
}

void RunStopDemo(QWidget *Owner, int Total, const std::function<qint64()> &Elapsed)
{
    bool stop = false;
    auto *pro = new Tpro(Owner);
    pro->SetCancelFlag(true, &stop);
    pro->pb->setMaximum(Total);
    pro->show();
    qint64 last = -1;
    for (qint64 t = Elapsed(); t < Total && !stop; t = Elapsed()) {
        if (t % 25 == 0 && t != last) {
            last = t;
            pro->pb->setValue(int(t));
            pro->setWindowTitle((stop ? QStringLiteral("stop (") : QStringLiteral("non-stop (")) +
                                QString::number(t) + QStringLiteral(" из ") + QString::number(Total) +
                                QLatin1Char(')'));
            QApplication::processEvents();
        }
    }
    delete pro;
}

DiagnosticsPage::DiagnosticsPage(Tmainf &Main, QWidget *Page) : QObject(Page), m_main(Main), m_page(Page)
{
    const std::pair<const char *, void (DiagnosticsPage::*)()> handlers[] = {
        {"Button2", &DiagnosticsPage::Button2Click},   {"Button3", &DiagnosticsPage::Button3Click},
        {"Button23", &DiagnosticsPage::Button23Click}, {"Button43", &DiagnosticsPage::Button43Click},
        {"Button44", &DiagnosticsPage::Button44Click}, {"Button45", &DiagnosticsPage::Button45Click},
        {"Button31", &DiagnosticsPage::Button31Click}, {"Button32", &DiagnosticsPage::Button32Click},
        {"Button47", &DiagnosticsPage::Button47Click},
    };
    for (const auto &[name, handler] : handlers)
        if (auto *b = Page->findChild<QPushButton *>(QString::fromLatin1(name)))
            connect(b, &QPushButton::clicked, this, handler);
    // These three were never more than placeholders.
    for (const char *name : {"Button4", "Button17", "Button36"})
        if (auto *b = Page->findChild<QPushButton *>(QString::fromLatin1(name)))
            b->setEnabled(false);
}

void DiagnosticsPage::runStatement(const QString &Sql, bool Exec)
{
    if (Sql.trimmed().isEmpty()) {
        MessageProc(&m_main, QStringLiteral("Команда не задана!"), MB_ICONERROR, MB_OK);
        return;
    }
    Tdm *dm = Tdm::instance();
    if (!dm)
        return;
    dm->WithOrx(m_main, &m_main, QString(), [&](Tdm &dm) {
        if (!QAct(Exec ? *dm.acmi : *dm.rstORX, Sql, false, nullptr, Exec))
            return false;
        MessageProc(&m_main, QStringLiteral("OK"), 0, MB_OK);
        return true;
    });
}

void DiagnosticsPage::Button2Click()
{
    runStatement(pageEdit(m_page, "Edit8")->text(), false);
}

void DiagnosticsPage::Button3Click()
{
    runStatement(pageEdit(m_page, "Edit9")->text(), true);
}

void DiagnosticsPage::Button23Click()
{
    QElapsedTimer timer;
    timer.start();
    RunStopDemo(&m_main, 50000, [&timer] { return timer.elapsed(); });
}

void DiagnosticsPage::Button43Click()
{
    try {
        pageEdit(m_page, "Edit4")->setText(DateTextToEpochText(pageEdit(m_page, "Edit3")->text()));
    } catch (const BrenvaleError &e) {
        MessageProc(&m_main, e.message(), MB_ICONERROR, MB_OK);
    }
}

void DiagnosticsPage::Button44Click()
{
    pageEdit(m_page, "Edit3")->setText(FormatDateTime(kFixedDateTime, Now()));
}

void DiagnosticsPage::Button45Click()
{
    try {
        pageEdit(m_page, "Edit3")->setText(EpochTextToDateText(pageEdit(m_page, "Edit4")->text()));
    } catch (const BrenvaleError &e) {
        MessageProc(&m_main, e.message(), MB_ICONERROR, MB_OK);
    }
}

void DiagnosticsPage::Button31Click()
{
    MessageProc(&m_main, QStringLiteral("<b>A</b> <i>Simple</i> <u>Message</u>"), MB_ICONINFORMATION, MB_OK);
}

void DiagnosticsPage::Button32Click()
{
    const QString path = TestSqlPath(ProgramFolder());
    QString reason;
    if (!SafeWriteFile(path, TestSqlText(), &reason))
        MessageProc(&m_main, SafeWriteMessage(path, reason), MB_ICONERROR, MB_OK);
}

void DiagnosticsPage::Button47Click()
{
    const QString dir = ProgramFolder() + QStringLiteral("system/");
    for (const char *name : {"Brenvale", "Stations"}) {
        const QString base = dir + QString::fromLatin1(name);
        QFile in(base + QStringLiteral(".ini"));
        QString text;
        if (in.open(QIODevice::ReadOnly))
            text = IniFileText(in.readAll());
        const QStringList names = IniKeyNames(text);
        QString out;
        for (const QString &n : names)
            out += n + QStringLiteral("\r\n");
        QString reason;
        if (!SafeWriteFile(base + QStringLiteral(".txt"), toCp1251(out), &reason)) {
            MessageProc(&m_main, SafeWriteMessage(base + QStringLiteral(".txt"), reason), MB_ICONERROR,
                        MB_OK);
            return;
        }
    }
}
