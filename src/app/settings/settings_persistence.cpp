#include "app/settings/settings_persistence.h"

#include "lib/data_sources.h"
#include "lib/date_routines.h"
#include "lib/errors.h"
#include "lib/number_routines.h"
#include "lib/text_routines.h"
#include "lib/work_dates.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSet>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <optional>

namespace {

const QString G = QStringLiteral("global");

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// A day the products cannot carry (before 1900, or the calendar's last year) reads as the default, as
// text that is no date does.
TDateTime readDate(SettingsAccess &ini, const QString &section, const char *name, TDateTime defaultValue)
{
    const TDateTime date =
        StrToDateTimeDMY(ini.ReadString(section, key(name), QString()), nullptr, defaultValue);
    return IsWorkDate(date) ? date : defaultValue;
}

void writeDate(SettingsAccess &ini, const QString &section, const char *name, TDateTime value)
{
    ini.WriteString(section, key(name), DateTimeToStrDMY(value));
}

QString readFolder(SettingsAccess &ini, const QString &section, const char *name)
{
    const QString folder = ini.ReadString(section, key(name), QString());
    return folder.isEmpty() ? GetPersonalFolder() : folder;
}

std::optional<int> readOptionalInt(SettingsAccess &ini, const QString &section, const char *name)
{
    int value = 0;
    if (TryIniTextToInt(ini.ReadString(section, key(name), QString()), value))
        return value;
    return std::nullopt;
}

// A choice among the items its control offers.
int readChoice(SettingsAccess &ini, const QString &section, const char *name, int defaultValue, int last)
{
    return ini.ReadIntegerIn(section, key(name), defaultValue, 0, last);
}

} // namespace

void ReadStartKeys(SettingsAccess &ini, Tsett &s)
{
    const Tsett d;
    // Single- or multi-station mode; in the latter the start page, 0 to 2 as the start-up dialog offers
    // them and 3 and 4 for the pages above 'Импорт' ('Tests', 'О программе').
    s.start_mode = readChoice(ini, G, "start_mode", d.start_mode, 1);
    s.start_from = readChoice(ini, G, "start_from", d.start_from, 4);
}

void ReadDatabaseKeys(SettingsAccess &ini, Tsett &s)
{
    const Tsett d;
    s.dbtype = readChoice(ini, G, "dbtype", d.dbtype, 1); // ODBC or Oracle
    s.ORX_source = ini.ReadString(G, key("ORX_source"), d.ORX_source);
    s.ORX_user = ini.ReadString(G, key("ORX_user"), d.ORX_user);
    s.ORX_pass = ini.ReadString(G, key("ORX_pass"), d.ORX_pass);
    s.directORXwr = ini.ReadBool(G, key("directORXwr"), d.directORXwr);
    s.fullorx = ini.ReadBool(G, key("fullorx"), d.fullorx);
}

void ReadOptionKeys(SettingsAccess &ini, Tsett &s, QString &netName, bool bdeAvailable)
{
    const Tsett d;
    s.orxini = ini.ReadBool(G, key("orxini"), d.orxini);
    s.flagbeg = ini.ReadBool(G, key("flagbeg"), d.flagbeg);
    s.showempty = ini.ReadBool(G, key("showempty"), d.showempty);
    netName = ini.ReadString(G, key("net"), QString());
    s.in_provider = readChoice(ini, G, "in_provider", d.in_provider, 1);    // built in or BDE
    s.out_provider = readChoice(ini, G, "out_provider", d.out_provider, 1); // Access file or ODBC
    if (!bdeAvailable && s.in_provider == 1)
        s.in_provider = 0;
}

void ReadCommonKeys(SettingsAccess &ini, QStringList &keys)
{
    keys.clear();
    // The program writes at most 15 values (73 keys, five a value); a damaged or hand-made count beyond
    // any file's size would only stall the start-up on values that are not there.
    constexpr int maxValues = 1000;
    const int n = std::min(ini.ReadIntegerIn(G, key("nglobal_cnt"), 0, 0, INT_MAX), maxValues);
    // The keys are the file's like any other data it holds: within what is left of its share of memory.
    ReadBudget budget = ini.ValueBudget();
    const auto spend = [&](qint64 bytes) {
        if (!budget.spend(bytes))
            throw EFileError(ini.OverBudgetMessage(budget.limit()));
    };
    // The tokens of SplitTokens, one at a time rather than a list of a whole value's.
    const CharSet delimiters(" ,"), quotes("\"'");
    TokenChars token;
    const auto forEachToken = [&](const auto &take) {
        for (int i = 0; i < n; ++i) {
            const QString value = ini.ReadString(G, QStringLiteral("ngopt") + QString::number(i), QString());
            for (int pos = 1; pos > 0;) {
                GetNextTokenChars(value, int(value.size()), pos, delimiters, quotes, token);
                if (pos == 0 && token.isEmpty())
                    break;
                take();
            }
        }
    };
    // Counted first, so that the list is made at its size.
    qsizetype count = 0;
    forEachToken([&] { ++count; });
    // A common key sends the stores of the stations' settings to this file's section "station": they read
    // the file again while this image and the list live.
    if (count > 0)
        spend(ini.RereadBytes());
    spend(count * qint64(sizeof(QString)));
    QStringList read;
    read.reserve(count);
    // Each key is made a string once, so a key repeated costs its place in the list alone. A new one costs
    // its string and its node here, which the stores' index of the keys takes again (lib/dual_ini.cpp),
    // with the key's folded text where folding changes it.
    QSet<QString> distinct;
    forEachToken([&] {
        const QString text = token.isEmpty() ? QString() : QString(token.constData(), token.size());
        auto it = distinct.constFind(text);
        if (it == distinct.cend()) {
            const QString folded = text.toCaseFolded();
            spend(StringHeapBytes(text.size()) + 64 +
                  (folded.constData() == text.constData() ? 0 : StringHeapBytes(folded.size())));
            it = distinct.insert(text);
        }
        read.append(*it);
    });
    keys = std::move(read);
}

void WriteCommonKeys(SettingsAccess &ini, const QStringList &keys)
{
    if (keys.isEmpty()) {
        ini.WriteInteger(G, key("nglobal_cnt"), 0);
        return;
    }
    ini.WriteInteger(G, key("nglobal_cnt"), int((keys.size() - 1) / 5 + 1));
    QString value;
    int k = 0;
    for (int i = 0; i < keys.size(); ++i) {
        if (!value.isEmpty())
            value += QLatin1Char(',');
        value += keys.at(i);
        if ((i + 1) % 5 == 0 || i == keys.size() - 1) {
            ini.WriteString(G, QStringLiteral("ngopt") + QString::number(k++), value);
            value.clear();
        }
    }
}

void ReadViewKeys(SettingsAccess &ini, Tsett &s, GlobalViewState &view)
{
    const Tsett d;
    const GlobalViewState dv;
    s.sg_main = ini.ReadBool(G, key("sg_main"), d.sg_main);
    view.no_search = ini.ReadBool(G, key("no_search"), dv.no_search);
    ReadCommonKeys(ini, s.CommonKeys);
    s.multi_name = ini.ReadString(G, key("multi_name"), d.multi_name);
    // Station choices: the four radio buttons of "Делать ... по...".
    s.svset = readChoice(ini, G, "svset", d.svset, 3);
    s.repset = readChoice(ini, G, "repset", d.repset, 3);
    s.expset = readChoice(ini, G, "expset", d.expset, 3);
    s.smtp_host = ini.ReadString(G, key("smtp_host"), d.smtp_host);
    s.smtp_port = ini.ReadIntegerIn(G, key("smtp_port"), d.smtp_port, 1, 65535); // a TCP port
    s.smtp_user = ini.ReadString(G, key("smtp_user"), d.smtp_user);
    s.smtp_pass = ini.ReadString(G, key("smtp_pass"), d.smtp_pass);
    s.mail_from = ini.ReadString(G, key("mail_from"), d.mail_from);
    s.mail_recv = ini.ReadString(G, key("mail_recv"), d.mail_recv);
    s.mail_cc = ini.ReadString(G, key("mail_cc"), d.mail_cc);
    s.mail_subj = ini.ReadString(G, key("mail_subj"), d.mail_subj);
    view.select_data = ini.ReadBool(G, key("select_data"), dv.select_data);
    view.onlyfull = ini.ReadBool(G, key("onlyfull"), dv.onlyfull);
    s.shownames = readChoice(ini, G, "shownames", d.shownames, 1); // codes or names
    // The network panel's width in pixels: closed (2) up to the widest a widget may be.
    view.nets_width = ini.ReadIntegerIn(G, key("nets_width"), dv.nets_width, 2, QWIDGETSIZE_MAX);
    view.show_ts = ini.ReadBool(G, key("show_ts"), dv.show_ts);
    view.threshold = ini.ReadString(G, key("threshold"), dv.threshold);
    // A gap of days within the days the program works on.
    double days = 0;
    if (!TryStrToFloatAny(view.threshold, days) ||
        !(days >= 0 && days <= FirstWorkDate().daysTo(LastWorkDate())))
        view.threshold = dv.threshold;
    view.station_code = ini.ReadString(G, key("station_code"), QString());
    view.stations = ini.ReadString(G, key("stations"), QString());
    s.effects = ini.ReadBool(G, key("effects"), d.effects);
    s.double_buf = ini.ReadBool(G, key("double_buf"), d.double_buf);
    s.selperiod = readChoice(ini, G, "selperiod", d.selperiod, 1); // first arrival or origin time
    s.orvfmt = readChoice(ini, G, "orvfmt", d.orvfmt, 1);          // ORV or text files
}

void WriteSelectionKeys(SettingsAccess &ini, const Tsett &s, const GlobalViewState &view, const QString &net)
{
    ini.WriteString(G, key("stations"), view.stations);
    ini.WriteString(G, key("station_code"), view.station_code);
    ini.WriteBool(G, key("no_search"), view.no_search);
    ini.WriteInteger(G, key("svset"), s.svset);
    ini.WriteInteger(G, key("repset"), s.repset);
    ini.WriteInteger(G, key("expset"), s.expset);
    ini.WriteInteger(G, key("nets_width"), view.nets_width);
    ini.WriteBool(G, key("show_ts"), view.show_ts);
    ini.WriteString(G, key("threshold"), view.threshold);
    ini.WriteBool(G, key("select_data"), view.select_data);
    ini.WriteBool(G, key("onlyfull"), view.onlyfull);
    ini.WriteString(G, key("multi_name"), s.multi_name);
    ini.WriteString(G, key("net"), net);
}

void ReadUserFont(SettingsAccess &ini, const QString &section, TUserFont &font)
{
    const QString color = ini.ReadString(section, key("color"), QString());
    const int charset = ini.ReadIntegerIn(section, key("charset"), 1, 0, 255); // a byte
    const QString style = ini.ReadString(section, key("style"), QString());
    // Points up to the largest the font dialog offers, a negative size a height in pixels, 0 the size
    // the font has.
    const int size = ini.ReadIntegerIn(section, key("size"), 8, -kLargestFontSize, kLargestFontSize);
    const QString name = ini.ReadString(section, key("name"), QStringLiteral("Arial"));
    SetFontFromStr(font, name, size, color, charset, style);
}

void ReadStationKeys(SettingsAccess &ini, const QString &code, Tsett &s, TDateTime today)
{
    const Tsett d;
    s.start_date = readDate(ini, code, "start_date", today - 1);
    s.end_date = readDate(ini, code, "end_date", today);
    s.svodka_date = readDate(ini, code, "svodka_date", today);
    s.svodka_dir = readFolder(ini, code, "svodka_dir");
    s.useflag = ini.ReadBool(code, key("useflag"), d.useflag);
    s.dperiod = ini.ReadBool(code, key("dperiod"), d.dperiod);
    s.exp_start_date = readDate(ini, code, "exp_start_date", today - 1);
    s.exp_end_date = readDate(ini, code, "exp_end_date", today);
    s.exp_dir = readFolder(ini, code, "exp_dir");
    s.find_fstr = ini.ReadString(code, key("find_fstr"), d.find_fstr);
    // Find options: the radio buttons of the parameter dialog.
    s.find_fopt = readChoice(ini, code, "find_fopt", d.find_fopt, 3);
    s.find_rfstr = ini.ReadString(code, key("find_rfstr"), d.find_rfstr);
    s.find_rstr = ini.ReadString(code, key("find_rstr"), d.find_rstr);
    s.find_ropt = readChoice(ini, code, "find_ropt", d.find_ropt, 3);
    s.mails_global = ini.ReadBool(code, key("mails_global"), d.mails_global);
    s.mails_att = ini.ReadBool(code, key("mails_att"), d.mails_att);
    s.mails_send = ini.ReadBool(code, key("mails_send"), d.mails_send);
    s.mails_from = ini.ReadString(code, key("mails_from"), d.mails_from);
    s.mails_recv = ini.ReadString(code, key("mails_recv"), d.mails_recv);
    s.mails_cc = ini.ReadString(code, key("mails_cc"), d.mails_cc);
    s.mails_subj = ini.ReadString(code, key("mails_subj"), d.mails_subj);
    s.maile_global = ini.ReadBool(code, key("maile_global"), d.maile_global);
    s.maile_send = ini.ReadBool(code, key("maile_send"), d.maile_send);
    s.maile_from = ini.ReadString(code, key("maile_from"), d.maile_from);
    s.maile_recv = ini.ReadString(code, key("maile_recv"), d.maile_recv);
    s.maile_cc = ini.ReadString(code, key("maile_cc"), d.maile_cc);
    s.maile_subj = ini.ReadString(code, key("maile_subj"), d.maile_subj);
}

void WriteStationKeys(SettingsAccess &ini, const QString &code, const Tsett &s)
{
    writeDate(ini, code, "start_date", s.start_date);
    writeDate(ini, code, "end_date", s.end_date);
    writeDate(ini, code, "svodka_date", s.svodka_date);
    ini.WriteString(code, key("svodka_dir"), s.svodka_dir);
    ini.WriteBool(code, key("useflag"), s.useflag);
    ini.WriteBool(code, key("dperiod"), s.dperiod);
    writeDate(ini, code, "exp_start_date", s.exp_start_date);
    writeDate(ini, code, "exp_end_date", s.exp_end_date);
    ini.WriteString(code, key("exp_dir"), s.exp_dir);
    ini.WriteString(code, key("find_fstr"), s.find_fstr);
    ini.WriteInteger(code, key("find_fopt"), s.find_fopt);
    ini.WriteString(code, key("find_rfstr"), s.find_rfstr);
    ini.WriteString(code, key("find_rstr"), s.find_rstr);
    ini.WriteInteger(code, key("find_ropt"), s.find_ropt);
    ini.WriteBool(code, key("mails_global"), s.mails_global);
    ini.WriteBool(code, key("mails_att"), s.mails_att);
    ini.WriteBool(code, key("mails_send"), s.mails_send);
    ini.WriteString(code, key("mails_from"), s.mails_from);
    ini.WriteString(code, key("mails_recv"), s.mails_recv);
    ini.WriteString(code, key("mails_cc"), s.mails_cc);
    ini.WriteString(code, key("mails_subj"), s.mails_subj);
    ini.WriteBool(code, key("maile_global"), s.maile_global);
    ini.WriteBool(code, key("maile_send"), s.maile_send);
    ini.WriteString(code, key("maile_from"), s.maile_from);
    ini.WriteString(code, key("maile_recv"), s.maile_recv);
    ini.WriteString(code, key("maile_cc"), s.maile_cc);
    ini.WriteString(code, key("maile_subj"), s.maile_subj);
}

ImportTypeKeySet ImportKeysOfType(int importType)
{
    switch (importType) {
    case 0:
        return {{key("in_file_jet")}, {key("smpjet")}, {QStringLiteral("?")}};
    case 1:
        return {{key("in_excel")}, {key("smpxls")}, {QStringLiteral("?")}};
    case 2:
        return {{key("in_event"), key("in_stbul"), key("in_xmadd")},
                {key("smpev"), key("smpst"), key("smpxm")},
                {QStringLiteral("Events?"), QStringLiteral("Station_bulletin?"), QStringLiteral("Xm_Add?")}};
    case 3:
        return {{key("in_orv")}, {key("smporx")}, {QStringLiteral("orx?")}};
    case 4:
        return {{key("in_krv")}, {key("smpkrv")}, {QStringLiteral("tab_?")}};
    default:
        return {};
    }
}

OrxFilterState ReadOrxFilterKeys(SettingsAccess &ini, const QString &code, TDateTime today)
{
    OrxFilterState state;
    state.beg = readDate(ini, code, "filt_beg", today);
    state.end = readDate(ini, code, "filt_end", today + 1);
    state.filter = ini.ReadBool(code, key("filter"), false);
    return state;
}

void WriteOrxFilterKeys(SettingsAccess &ini, const QString &code, const OrxFilterState &state)
{
    ini.WriteBool(code, key("filter"), state.filter);
    writeDate(ini, code, "filt_beg", state.beg);
    writeDate(ini, code, "filt_end", state.end);
}

StoredPlacement ReadStoredPlacement(SettingsAccess &ini, const QString &section)
{
    StoredPlacement stored;
    stored.winstate = ini.ReadString(section, key("winstate"), QStringLiteral("norm"));
    if (stored.winstate == QLatin1String("max"))
        return stored; // a maximised window keeps its bounds to itself
    stored.width = readOptionalInt(ini, section, "winwidth");
    stored.height = readOptionalInt(ini, section, "winheight");
    stored.x = readOptionalInt(ini, section, "winx");
    stored.y = readOptionalInt(ini, section, "winy");
    return stored;
}

void WritePlacement(SettingsAccess &ini, const QString &section, bool maximized, const QRect &bounds)
{
    ini.WriteString(section, key("winstate"), maximized ? QStringLiteral("max") : QStringLiteral("norm"));
    ini.WriteInteger(section, key("winwidth"), bounds.width());
    ini.WriteInteger(section, key("winheight"), bounds.height());
    ini.WriteInteger(section, key("winx"), bounds.x());
    ini.WriteInteger(section, key("winy"), bounds.y());
}

QRect WorkAreaOf(const QWidget *form)
{
    QScreen *screen = form ? form->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

void SaveFormPlacement(QWidget *form, SettingsAccess &ini, const QString &section)
{
    WritePlacement(ini, section, form->isMaximized(), QRect(form->pos(), form->size()));
}

void LoadFormPlacement(QWidget *form, SettingsAccess &ini, const QString &section, int minWidth,
                       int minHeight, const QRect &workArea, const QSize &preferred)
{
    const QRect area = workArea.isEmpty() ? WorkAreaOf(form) : workArea;
    QSize frame = form->frameGeometry().size() - form->geometry().size();
    if (!form->isVisible()) {
        const QStyle *style = form->style();
        const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, form);
        frame = QSize(2 * border, style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, form) + 2 * border);
    }
    const FormPlacement placement =
        ComputeFormPlacement(ReadStoredPlacement(ini, section), area, minWidth, minHeight, preferred, frame);
    if (placement.maximized) {
        form->setWindowState(form->windowState() | Qt::WindowMaximized);
        return;
    }
    form->setWindowState(form->windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    form->resize(placement.bounds.size());
    form->move(placement.bounds.topLeft());
}
