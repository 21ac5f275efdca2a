// brenvale_monkey: the program started as main() starts it, on a fresh demo folder, offscreen, driven by
// a seeded monkey (monkey.h). Exit status 0 when the run ended clean; 1 on a failed check or an escaped
// exception, 3 on a hang, 2 when the run could not be set up. A crash under the sanitizers ends with
// their report followed by the seed and the last actions.

#include "action_log.h"
#include "db_integrity.h"
#include "monkey.h"

#include "demo_data.h"

#include "app/data/data_module.h"
#include "app/main/about_page.h"
#include "app/main/main_window.h"
#include "app/main/qt_translations.h"
#include "app/settings/odbc_admin.h"
#include "lib/errors.h"
#include "lib/ini_file.h"
#include "lib/messages.h"
#include "products/report_window.h"
#include "program_setup.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <thread>

namespace {

struct Options
{
    MonkeyConfig monkey;
    int watchdogSeconds = 120;
    int keepLast = 30;
    DemoParams demo;
    QString trace;
    bool keepFolder = false;
};

const char kUsage[] =
    "usage: brenvale_monkey [--seed N] [--actions N] [--seconds N] [--watchdog SECONDS]\n"
    "                       [--check-every N] [--keep-last N] [--locks fail|note|off]\n"
    "                       [--stations N] [--days N] [--events-per-day N] [--trace FILE] [--keep]\n"
    "Drives the program on a fresh demo folder with a seeded monkey; the same seed gives the same actions.\n";

bool parse(int argc, char **argv, Options &o)
{
    o.demo.stations = 3;
    o.demo.days = 7;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (a == "--keep") {
            o.keepFolder = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const QString v = QString::fromLocal8Bit(argv[++i]);
        bool ok = true;
        if (a == "--seed")
            o.monkey.seed = v.toULongLong(&ok);
        else if (a == "--actions")
            o.monkey.actions = v.toInt(&ok);
        else if (a == "--seconds")
            o.monkey.seconds = v.toInt(&ok);
        else if (a == "--watchdog")
            o.watchdogSeconds = v.toInt(&ok);
        else if (a == "--check-every")
            o.monkey.checkEvery = qMax(1, v.toInt(&ok));
        else if (a == "--keep-last")
            o.keepLast = v.toInt(&ok);
        else if (a == "--stations")
            o.demo.stations = v.toInt(&ok);
        else if (a == "--days")
            o.demo.days = v.toInt(&ok);
        else if (a == "--events-per-day")
            o.demo.eventsPerDay = v.toInt(&ok);
        else if (a == "--trace")
            o.trace = v;
        else if (a == "--locks" && (v == u"fail" || v == u"note" || v == u"off"))
            o.monkey.lockCheck = v == u"fail"   ? LockCheck::Fail
                                 : v == u"note" ? LockCheck::Note
                                                : LockCheck::Off;
        else
            return false;
        if (!ok)
            return false;
    }
    return true;
}

// A loopback port nobody listens on for the life of the process: bound, never listening, so a
// connection to it is refused at once.
int reserveClosedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// The state the failure reports need, also from a death callback or the watchdog's thread.
ActionLog *g_log = nullptr;
Monkey *g_monkey = nullptr;
const Options *g_options = nullptr;
std::string g_folder;

std::string reproduce()
{
    const Options &o = *g_options;
    int actions = o.monkey.actions, seconds = o.monkey.seconds;
    // A run its time wound down is repeated by the actions it had done, however fast the machine is.
    if (g_monkey && g_monkey->windDownAfter() >= 0 && g_monkey->windDownAfter() < actions) {
        actions = g_monkey->windDownAfter();
        seconds = 1000000;
    }
    return QStringLiteral("brenvale_monkey --seed %1 --actions %2 --seconds %3 --stations %4 --days %5 "
                          "--events-per-day %6")
        .arg(o.monkey.seed)
        .arg(actions)
        .arg(seconds)
        .arg(o.demo.stations)
        .arg(o.demo.days)
        .arg(o.demo.eventsPerDay)
        .toStdString();
}

std::string header(const std::string &what)
{
    const int actions = g_monkey ? g_monkey->actions() : 0;
    return "monkey: seed " + std::to_string(g_options->monkey.seed) + ": " + what + " (after " +
           std::to_string(actions) + " actions)\nreproduce: " + reproduce() + "\nrun folder: " + g_folder;
}

void reportDeath()
{
    if (g_log)
        g_log->dump(header("the program died"));
}

void reportHang()
{
    if (g_log)
        g_log->dump(header(
            "no event was processed for the watchdog's time: a hang; the main thread's stack follows"));
    InterruptMainThreadForStack();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    _exit(3);
}

void reportFailure(const QString &reason)
{
    if (g_log)
        g_log->dump(header(reason.toStdString()));
    std::fflush(stderr);
    _exit(1);
}

// Qt's own warnings go into the record, where the last actions put them in context.
void qtMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return;
    }
    // Left out: what QTest says of an event a widget ignored, and what the offscreen platform cannot do.
    if (g_log && !text.contains(QLatin1String("not accepted by receiving widget")) &&
        !text.startsWith(QLatin1String("This plugin does not support")))
        g_log->add(QStringLiteral("   qt: ") + text.left(200));
}

// Whatever still reaches the desktop past the program's own hooks is recorded, and nothing opens.
class DesktopGuard : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl &url)
    {
        if (g_log)
            g_log->add(QStringLiteral("   !! the desktop was asked to open ") + url.toString());
    }
};

void prepareDemoSettings(const QString &demo, int smtpPort)
{
    IniFile ini(demo + QStringLiteral("/system/Brenvale.ini"));
    const QString g = QStringLiteral("global");
    // No fades: their timers would make the order of events depend on the machine's speed.
    ini.WriteBool(g, QStringLiteral("effects"), false);
    ini.WriteString(g, QStringLiteral("smtp_host"), QStringLiteral("127.0.0.1"));
    ini.WriteInteger(g, QStringLiteral("smtp_port"), smtpPort);
    ini.WriteString(g, QStringLiteral("mail_from"), QStringLiteral("monkey@example.invalid"));
    ini.WriteString(g, QStringLiteral("mail_recv"), QStringLiteral("analyst@example.invalid"));
    ini.WriteString(g, QStringLiteral("mail_subj"), QStringLiteral("Бюллетень"));
    ini.UpdateFile();
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir run(QDir::tempPath() + QStringLiteral("/brenvale-monkey-XXXXXX"));
    if (!run.isValid()) {
        std::fputs("monkey: cannot create the run folder\n", stderr);
        return 2;
    }
    run.setAutoRemove(!o.keepFolder);
    const QString demo = run.filePath(QStringLiteral("demo"));
    const QString home = run.filePath(QStringLiteral("home"));
    const QString work = run.filePath(QStringLiteral("work"));
    const QString out = run.filePath(QStringLiteral("out"));
    for (const QString &folder : {demo, home, work, out})
        QDir().mkpath(folder);
    // Nothing the run writes lands outside its folder: not the user's ~/.odbc.ini, not a relative path.
    qputenv("HOME", home.toLocal8Bit());
    QDir::setCurrent(work);
    // No mail and no name lookup leave the machine: the SMTP server is a closed local port, and every
    // other host libcurl may be given goes to a proxy that is not there (socks5h resolves no names).
    const int closedPort = reserveClosedPort();
    qputenv("all_proxy", QByteArray("socks5h://127.0.0.1:") + QByteArray::number(closedPort));
    qunsetenv("no_proxy");
    qunsetenv("NO_PROXY");
    qputenv("ORX_INI_DIR", (demo + QStringLiteral("/system")).toLocal8Bit());

    ProgramApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brenvale"));
    InstallQtTranslations();

    DemoSummary summary;
    try {
        summary = GenerateDemoFolder(demo, o.demo);
        prepareDemoSettings(demo, closedPort);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "monkey: the demo folder could not be written: %s\n",
                     ExceptionText(e).toLocal8Bit().constData());
        return 2;
    }

    ActionLog log(o.keepLast);
    if (!o.trace.isEmpty() && !log.openTrace(o.trace)) {
        std::fprintf(stderr, "monkey: cannot write %s\n", o.trace.toLocal8Bit().constData());
        return 2;
    }
    g_log = &log;
    g_options = &o;
    g_folder = run.path().toStdString();
    InstallDeathReport(&reportDeath);
    qInstallMessageHandler(qtMessages);
    Watchdog watchdog(o.watchdogSeconds, &reportHang);

    MonkeyConfig config = o.monkey;
    config.databases = QStringList{summary.orxPath} + summary.bulletinPaths;
    config.readFolder = demo;
    config.writeFolder = out;

    int status = 0;
    {
        Monkey monkey(config, log, &reportFailure);
        g_monkey = &monkey;
        monkey.onTick = [&watchdog] { watchdog.beat(); };
        const MessageProcType answerer = [&monkey](QWidget *, const QString &text, unsigned icon,
                                                   unsigned buttons) {
            return monkey.answer(text, icon, buttons);
        };
        MessageProc = answerer;
        ErrorMessageProc = answerer;

        // The desktop layer's hooks: no dialog waits, no program starts, no document opens.
        reportWindowShell() = ReportWindowShell{
            [&monkey](QWidget *, const QString &title, const QString &, const QString &name,
                      QString &chosen) {
                if (!monkey.decide(QStringLiteral("save dialog \"%1\"").arg(title)))
                    return false;
                const QString suffix = QFileInfo(name).suffix();
                chosen = monkey.newFileName(suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
                return true;
            },
            [&monkey](const QString &file) { return monkey.decide(QStringLiteral("open ") + file); },
            [&monkey](const QString &program, const QStringList &arguments) {
                return monkey.decide(
                    QStringLiteral("start %1 %2").arg(program, arguments.join(QLatin1Char(' '))));
            }};
        CurrentOdbcAdminSeams() = OdbcAdminSeams{
            [](const QString &) { return QString(); },
            [&monkey](const QString &program) { return monkey.decide(QStringLiteral("start ") + program); },
            [&monkey](const QString &file) { return monkey.decide(QStringLiteral("open ") + file); }};
        HelpDocumentOpener() = [&monkey](QWidget *, const QString &file) {
            return monkey.decide(QStringLiteral("open the help ") + file);
        };
        DesktopGuard guard;
        for (const char *scheme : {"file", "http", "https", "mailto", "ftp"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &guard, "open");

        // The program as main() sets it up. A run that closes it before its actions are done starts it
        // again on the same folder, as the analyst would, with what it saved.
        for (int start = 0;; ++start) {
            try {
                Tdm dm;
                InstallProgramCommands();
                TmainfOptions options;
                options.programFolder = demo;
                options.arguments = QStringList();
                options.workArea = QRect(0, 0, 1400, 900);
                Tmainf mainf(options);
                monkey.setMainWindow(&mainf);
                mainf.show();
                if (start == 0)
                    monkey.start();
                app.exec();
            } catch (const std::exception &e) {
                reportFailure(QStringLiteral("an exception escaped the event loop: ") + ExceptionText(e));
            } catch (...) {
                reportFailure(QStringLiteral("an exception of unknown type escaped the event loop"));
            }
            if (monkey.windingDown())
                break;
            log.add(
                QStringLiteral("-- the program ended after %1 actions; started again").arg(monkey.actions()));
            monkey.checkDatabases(QStringLiteral("after the program ended"));
        }
        for (const char *scheme : {"file", "http", "https", "mailto", "ftp"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        log.add(QStringLiteral("-- the program ended"));
        if (!monkey.checkDatabases(QStringLiteral("at the end")))
            status = 1;
        for (const QString &n : monkey.notes())
            std::printf("monkey: note: %s\n", n.toLocal8Bit().constData());
        std::printf("monkey: seed %llu: %d actions, %d messages answered, %d notes, databases whole\n",
                    static_cast<unsigned long long>(o.monkey.seed), monkey.actions(), monkey.messages(),
                    int(monkey.notes().size()));
        g_monkey = nullptr;
        MessageProc = MsgBox;
        ErrorMessageProc = MsgBox;
    }
    qInstallMessageHandler(nullptr);
    g_log = nullptr;
    return status;
}

#include "monkey_main.moc"
