#include "app/main/main_window.h"

#include "app/main/about_page.h"
#include "lib/mstring_grid.h"

#include "app/data/data_module.h"
#include "app/main/appearance.h"
#include "app/main/fade_animation.h"
#include "app/main/import_page_api.h"
#include "app/main/orx_ini.h"
#include "app/main/program_folder.h"
#include "app/main/user_fonts.h"
#include "app/settings/message_window.h"
#include "app/settings/param_dialog.h"
#include "app/settings/settings_persistence.h"
#include "app/settings/startup_dialog.h"
#include "db/db_connection.h"
#include "db/sql_literals.h"
#include "lib/combo_routines.h"
#include "lib/data_sources.h"
#include "lib/date_display.h"
#include "lib/date_routines.h"
#include "lib/dual_ini.h"
#include "lib/errors.h"
#include "lib/messages.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTableWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <stdexcept>

namespace {

Tmainf *g_mainf = nullptr;

using MsgBoxFn = int (*)(QWidget *, const QString &, unsigned, unsigned);

bool errorProcIsPlainBox()
{
    const MsgBoxFn *target = ErrorMessageProc.target<MsgBoxFn>();
    return target && *target == &MsgBox;
}

void applyUserAppearance(QWidget *form, FormKind kind)
{
    if (!g_mainf)
        return;
    g_mainf->ApplyFormFont(form, kind, g_mainf->mainFont);
    g_mainf->SetDoubleBuffered(form, g_mainf->sett.double_buf);
}

TFormatSettings withFormats(TFormatSettings fs, QChar dateSep, const char *shortDate)
{
    fs.DecimalSeparator = QLatin1Char('.');
    fs.DateSeparator = dateSep;
    fs.TimeSeparator = QLatin1Char(':');
    fs.ShortDateFormat = QString::fromLatin1(shortDate);
    fs.ShortTimeFormat = QStringLiteral("hh:nn:ss");
    return fs;
}

} // namespace

QSize TPageControl::pageOverhead() const
{
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    const QRect probe(0, 0, 1000, 1000);
    option.rect = probe;
    const QRect contents = style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this);
    return probe.size() - contents.size();
}

Tmainf::Tmainf(const TmainfOptions &options, QWidget *parent) : QMainWindow(parent), m_options(options)
{
    g_mainf = this;
    setObjectName(QStringLiteral("mainf"));
    setWindowTitle(QStringLiteral("Brenvale"));
    m_fade = new FadeAnimation(this);
    m_fade->onClosingDone = [this](QWidget *) {
        CloseAction = 2;
        close();
    };
    buildWindow();
    if (const ImportPageInstaller install = importPageInstaller())
        install(*this);
    if (Tdm *dm = Tdm::instance())
        dm->SetSettings(&sett);
    Tpar::SetMainSettings(&sett);
    SetAppearanceHook(&applyUserAppearance);
    netAddMode = false;
    runInitMain(true);
}

Tmainf::~Tmainf()
{
    if (!m_doneFinal) {
        try {
            DoneMain(true);
        } catch (const std::exception &) {
            // Nothing left to report to: the window is going away.
        }
    }
    if (g_mainf == this) {
        g_mainf = nullptr;
        Tpar::SetMainSettings(nullptr);
        SetAppearanceHook(nullptr);
    }
}

Tmainf *Tmainf::instance()
{
    return g_mainf;
}

QString Tmainf::MainIniPath() const
{
    return ProgramFolder() + QStringLiteral("system/Brenvale.ini");
}

QRect Tmainf::workArea() const
{
    return m_options.workArea.isEmpty() ? WorkAreaOf(this) : m_options.workArea;
}

void Tmainf::runInitMain(bool First)
{
    try {
        InitMain(First);
        initFailed = false;
    } catch (const std::exception &e) {
        recoverFromFailedInit(First, ExceptionText(e));
    }
}

void Tmainf::recoverFromFailedInit(bool First, const QString &message)
{
    initializing = false;
    for (QObject *c :
         {static_cast<QObject *>(Edit2), static_cast<QObject *>(Cod_stac), static_cast<QObject *>(icod_stac)})
        SetControlTag(c, 0);
    initFailed = true;
    if (First && !m_fade->fading()) {
        setWindowOpacity(1.0);
        CloseAction = 2;
    }
    setEnabled(true);
    MessageProc(this,
                QStringLiteral("InitMain: Не удалось прочитать настройки программы. Сообщение об ошибке:\r") +
                    message,
                MB_ICONERROR, MB_OK);
}

void Tmainf::reportDoneMainFailure(const std::exception &e)
{
    MessageProc(this,
                QStringLiteral("DoneMain: Не удалось сохранить настройки. Сообщение об ошибке:\r") +
                    ExceptionText(e),
                MB_ICONERROR, MB_OK);
}

void Tmainf::Reload()
{
    try {
        DoneMain(false);
    } catch (const std::exception &e) {
        reportDoneMainFailure(e);
        return;
    }
    runInitMain(false);
}

void Tmainf::InitMain(bool First)
{
    if (errorProcIsPlainBox())
        ErrorMessageProc = GfxMessageDlg;

    const OrxIniValues orx = ReadOrxIni();
    orxIniSource = orx.source;
    orxIniUser = orx.user;
    orxIniPassword = orx.password;

    if (First) {
        suppressOriginChange = false;
        computeMinimumSize();
        for (QTableWidget *grid : {sg2, sgts}) {
            grid->setHorizontalHeaderLabels({QStringLiteral("начало"), QStringLiteral("окончание")});
        }
        mainFont = TUserFont();
        gridFont = TUserFont();
        SetFontFromStr(mainFont, QStringLiteral("Arial"), 8, QString(), 1, QString());
        SetFontFromStr(gridFont, QStringLiteral("Arial"), 8, QString(), 1, QString());
        originColumns = OriginColumnTable();
        arrivalColumns = ArrivalColumnTable();
    }

    initializing = true;
    viewReload = false;
    for (QObject *c :
         {static_cast<QObject *>(Edit2), static_cast<QObject *>(Cod_stac), static_cast<QObject *>(icod_stac)})
        SetControlTag(c, 1);
    if (m_importPage)
        m_importPage->setSpecsDirty(false);

    if (First) {
        checkedStations.clear();
        sett.CommonKeys.clear();
        if (m_options.arguments)
            cmdLine = *m_options.arguments;
        else
            ParamsToStrings(&cmdLine);
        SetProgramFolder(resolvedProgramFolder());
        const bool tests = std::any_of(cmdLine.cbegin(), cmdLine.cend(), [](const QString &a) {
            return a.compare(QLatin1String("/t"), Qt::CaseInsensitive) == 0;
        });
        pgc1->setTabVisible(4, tests);

        curYear = StartupYear();
        centuryBase = (curYear / 100 - 1) * 100;
        centuryNext = curYear / 100 + 1;
        cellPad = 2 * 1 + 3; // the import grid draws one-pixel lines
        pivotDate = 36524;

        fsLocal = LocaleFormatSettings();
        fsSql = withFormats(fsLocal, QLatin1Char('/'), "dd/mm/yy");
        fsIso = withFormats(fsLocal, QLatin1Char('-'), "yyyy-mm-dd");
        fsDmy = withFormats(fsLocal, QLatin1Char('.'), "dd.mm.yyyy");

        refTable = std::make_unique<TD2D>();
        for (auto &table : importTables)
            table = std::make_unique<TD2D>();
        gridClip = std::make_unique<TD2D>();
        channelList.clear();
    }

    sg->setColumnWidth(0, 8);

    clearStationList();
    reportCounter = 0;
    if (m_importPage)
        ClearImportGrid(false);
    prevSta.clear();
    prevCode.clear();
    periodsCode.clear();
    periodsForced = false;
    checkEnabled = true;
    nets->clear();
    networks.clear();

    LoadFiltersAndWaves();
    ReadGlobalIni();
    // The station list reads only the section names; a damaged station file must stop the start here,
    // before the shutdown writes defaults over it. The image goes at once: the list reads its own.
    (void)IniFile(ProgramFolder() + QStringLiteral("system/Stations.ini"));
    LoadStationList();
    ReadSettings();

    std::array<bool, 6> visible{};
    for (int i = 0; i < 6; ++i)
        visible[size_t(i)] = pgc1->isTabVisible(i);
    setActivePage(StartPageIndex(sett, First, pgc1->currentIndex(), visible));
    pgc1Change();

    for (QObject *c :
         {static_cast<QObject *>(Edit2), static_cast<QObject *>(Cod_stac), static_cast<QObject *>(icod_stac)})
        SetControlTag(c, 0);
    initializing = false;

    if (First) {
        LoadReportPlugins();
        if (sett.effects) {
            FadeAnimation::SetAlpha(this, 0);
            m_fade->StartAnimation(1, {0, 255, 25, 0}, this);
        } else {
            CloseAction = 2;
        }
    }
}

void Tmainf::computeMinimumSize()
{
    const QSize overhead = pgc1->pageOverhead();
    const int top = TabSheet2->layout() ? TabSheet2->layout()->contentsMargins().top() : 0;
    minWidth = overhead.width() + Image1->width();
    minHeight = top + Panel2->height() + overhead.height();
    const QRect area = workArea();
    minWidth = qMin(minWidth, area.width());
    minHeight = qMin(minHeight, area.height());
    setMinimumSize(minWidth, minHeight);
}

int Tmainf::StartPageIndex(const Tsett &s, bool First, int Current, const std::array<bool, 6> &Visible)
{
    int index;
    if (s.start_mode == 0)
        index = s.fullorx ? 2 : 1;
    else if (!First)
        return Current;
    else if (s.start_from <= 0)
        index = 0;
    else if (s.start_from == 1)
        index = s.fullorx ? 2 : 1;
    else
        index = s.start_from < int(Visible.size()) ? s.start_from + 1 : int(Visible.size()) - 1;

    index = qMin(index, int(Visible.size()) - 1);
    for (int i = index; i >= 0; --i)
        if (Visible[size_t(i)])
            return i;
    for (int i = index + 1; i < int(Visible.size()); ++i)
        if (Visible[size_t(i)])
            return i;
    return Current;
}

void Tmainf::setActivePage(int index)
{
    m_settingPage = true;
    pgc1->setCurrentIndex(index);
    m_settingPage = false;
}

void Tmainf::DoneMain(bool Final)
{
    if (!initFailed) {
        SaveSettings();
        SaveStationSettings(curCode);
    }
    if (m_importPage)
        m_importPage->ClearImportTables();
    for (auto &table : importTables)
        if (table)
            table->Clear();
    if (gridClip)
        gridClip->Clear();
    networks.clear();

    if (Final) {
        m_doneFinal = true;
        PostOrxEdits();
        FreeReportPlugins();
        for (auto &table : importTables)
            table.reset();
        gridClip.reset();
        refTable.reset();
        cmdLine.clear();
        checkedStations.clear();
        sett.CommonKeys.clear();
        channelList.clear();
    }
}

void Tmainf::finalShutdown()
{
    if (m_doneFinal)
        return;
    try {
        DoneMain(true);
    } catch (const std::exception &e) {
        reportDoneMainFailure(e);
    }
}

void Tmainf::closeEvent(QCloseEvent *event)
{
    // What is typed on the event pages is written before anything of the close begins.
    if (!EventEditsSettled()) {
        event->ignore();
        return;
    }
    const int action = CloseAction;
    if (sett.effects && CloseAction != 2 && !m_fade->fading())
        m_fade->StartAnimation(1, {255, 0, -25, 1}, this);
    if (action == 0) {
        event->ignore();
        return;
    }
    // The program ends with this window: the report windows go first, writing their settings while the
    // settings record they write through is still whole.
    if (!closeCompanions()) {
        event->ignore();
        // Seen again, should a fade have taken the window away; it closes at once when they are gone.
        setWindowOpacity(1.0);
        CloseAction = 2;
        m_closePending = true;
        return;
    }
    m_closePending = false;
    event->accept();
    finalShutdown();
}

void Tmainf::AddCompanionWindow(QWidget *Window)
{
    m_companions.removeAll(nullptr);
    m_companions << Window;
    connect(Window, &QObject::destroyed, this, [this] {
        if (m_closePending)
            QTimer::singleShot(0, this, [this] {
                if (m_closePending)
                    close();
            });
    });
}

bool Tmainf::closeCompanions()
{
    bool all = true;
    for (const QPointer<QWidget> &w : QList<QPointer<QWidget>>(m_companions)) {
        if (!w || !w->isVisible())
            continue;
        // Qt drops the attribute once the close is accepted, leaving the deletion for later.
        const bool deleteOnClose = w->testAttribute(Qt::WA_DeleteOnClose);
        if (!w->close())
            all = false;
        else if (w && deleteOnClose)
            delete w.data(); // now, not later: it writes its settings through this window's record
    }
    m_companions.removeAll(nullptr);
    return all;
}

// ---- Settings ----

void Tmainf::ReadGlobalIni()
{
    IniFile ini(MainIniPath());
    ReadStartKeys(ini, sett);
    ApplyStartMode(false);
    ReadDatabaseKeys(ini, sett);
    ApplyFullOrxMode();
    ReadOptionKeys(ini, sett, netName, BDEAvailable());
    SetupConnections();
}

void Tmainf::ReadSettings()
{
    IniFile ini(MainIniPath());
    GlobalViewState view;
    ReadViewKeys(ini, sett, view);

    nosearch->setChecked(view.no_search);

    SetControlTag(select_data, 0);
    SetControlTag(select_data2, 0);
    select_data->setChecked(view.select_data);
    select_data2->setChecked(view.select_data);
    select_dataClick(select_data);
    SetControlTag(select_data, 1);
    SetControlTag(select_data2, 1);
    SetControlTag(onlyfull, 1);
    onlyfull->setChecked(view.onlyfull);
    SetControlTag(onlyfull, 0);
    onlyfullClick();

    m_netsWidth = qMax(2, view.nets_width);
    Splitter2->setSizes({m_netsWidth, qMax(1, Splitter2->width() - m_netsWidth)});
    Splitter2Moved();
    Panel10->setVisible(view.show_ts);
    Edit10->setText(view.threshold);

    m_storedStationCode = view.station_code;
    m_storedChecked = view.stations;
    SelectStationByCode(view.station_code, true);

    dsarray codes;
    SplitTokens(view.stations, CharSet(","), CharSet("\""), codes);
    SetCheckedCodes(codes);
    SortStations(false);

    ReadUserFont(ini, QStringLiteral("font"), gridFont);
    ApplyGridFont();
    ReadUserFont(ini, QStringLiteral("font_main"), mainFont);
    ApplyFormFont(this, KindMain, mainFont);

    // Without a stored size it opens large enough for its pages where the screen allows.
    LoadFormPlacement(this, ini, QStringLiteral("window"), minWidth, minHeight, workArea(), sizeHint());
    SetDoubleBuffered(this, sett.double_buf);
}

void Tmainf::SaveSettings()
{
    IniFile ini(MainIniPath());
    GlobalViewState view;
    if (m_stationListFailed) {
        // A list that could not be read holds no choice of the user's: the stored one stays.
        view.stations = m_storedChecked;
        view.station_code = m_storedStationCode;
    } else {
        view.stations = checkedPlain;
        if (QListWidgetItem *item = stas->currentItem(); item && item->isSelected())
            view.station_code = item->text();
    }
    view.no_search = nosearch->isChecked();
    view.nets_width = m_netsWidth;
    view.show_ts = !Panel10->isHidden();
    view.threshold = Edit10->text();
    view.select_data = select_data->isChecked();
    view.onlyfull = onlyfull->isChecked();
    QString net;
    if (QListWidgetItem *item = nets->currentItem(); item && item->isSelected())
        net = item->text();
    else if (nets->count() > 0)
        net = nets->item(0)->text();
    else
        net = netName; // the bulletin mode builds no network list: the chosen network stays
    WriteSelectionKeys(ini, sett, view, net);
    SaveFormPlacement(this, ini, QStringLiteral("window"));
    QDir().mkpath(ProgramFolder() + QStringLiteral("system"));
    ini.UpdateFile();
}

void Tmainf::ReadCommonKeys(SettingsAccess &Ini)
{
    ::ReadCommonKeys(Ini, sett.CommonKeys);
}

void Tmainf::WriteCommonKeys(SettingsAccess &Ini)
{
    ::WriteCommonKeys(Ini, sett.CommonKeys);
}

void Tmainf::ReadStationSettings(const QString &Code)
{
    if (Code.isEmpty())
        return;
    TDualIni ini(&sett.CommonKeys, ProgramFolder());
    const TDateTime today = Today();
    ReadStationKeys(ini, Code, sett, today);

    m_filterCode.clear();
    if (sett.fullorx) {
        const OrxFilterState f = ReadOrxFilterKeys(ini, Code, today);
        const QDateTime beg = ToQDateTime(f.beg);
        const QDateTime end = ToQDateTime(f.end);
        dat1->setDate(beg.date());
        tim1->setTime(beg.time());
        dat2->setDate(end.date());
        tim2->setTime(end.time());
        SetControlTag(filter, 0);
        filter->setChecked(f.filter);
        SetControlTag(filter, 1);
        m_filterCode = Code;
    }

    if (m_importPage)
        readImportSettings(ini, Code);

    const int entry = selectedStationEntry();
    Edit6->setText(entry >= 0 ? stations.at(entry).out_file_jet : QString());

    if (m_importPage)
        LoadSpec(Code, false);
}

// The station's import choices: its import type, the files and samples of that type, and the page's two
// switches.
void Tmainf::readImportSettings(SettingsAccess &Ini, const QString &Code)
{
    // The import page's change handler must not take this for a choice of the user.
    initializing = true;
    SetImportType(Ini.ReadIntegerIn(Code, QStringLiteral("import_type"), 2, 0, 4)); // the five import sources
    initializing = false;
    SetupImportControls();

    readImportFiles(Ini, Code, GetImportType());

    UpdateImportControls();
    adde->setChecked(Ini.ReadBool(Code, QStringLiteral("add_event"), false));
    imm->setChecked(Ini.ReadBool(Code, QStringLiteral("intxt_imm"), true));
    SetImmediateMode(imm->isChecked());
}

QList<QLineEdit *> Tmainf::importFileEdits(int Type) const
{
    // The text import keeps three files, every other type one.
    if (Type == 2)
        return {Events, Station_bulletin, XM_Add};
    return {Edit5};
}

void Tmainf::readImportFiles(SettingsAccess &Ini, const QString &Code, int Type)
{
    const ImportTypeKeySet keys = ImportKeysOfType(Type);
    if (keys.fileKeys.isEmpty())
        return;
    const QList<QLineEdit *> edits = importFileEdits(Type);
    for (int i = 0; i < edits.size(); ++i)
        edits[i]->setText(Ini.ReadString(Code, keys.fileKeys.at(i), QString()));
    QString *samples[] = {&sett.smp1, &sett.smp2, &sett.smp3};
    for (int i = 0; i < keys.sampleKeys.size(); ++i)
        *samples[i] = Ini.ReadString(Code, keys.sampleKeys.at(i), keys.sampleDefaults.at(i));
}

void Tmainf::saveImportFiles(SettingsAccess &Ini, const QString &Code, int Type)
{
    const ImportTypeKeySet keys = ImportKeysOfType(Type);
    if (keys.fileKeys.isEmpty())
        return;
    const QList<QLineEdit *> edits = importFileEdits(Type);
    for (int i = 0; i < edits.size(); ++i)
        Ini.WriteString(Code, keys.fileKeys.at(i), edits[i]->text());
    const QString samples[] = {sett.smp1, sett.smp2, sett.smp3};
    for (int i = 0; i < keys.sampleKeys.size(); ++i)
        Ini.WriteString(Code, keys.sampleKeys.at(i), samples[i]);
}

void Tmainf::SwitchImportFiles(int FromType)
{
    // The single file field and the templates serve four types: left as they are, the next save would
    // store one type's file (or an empty field) under another type's key.
    if (curCode.isEmpty() || !m_importPage || FromType == GetImportType())
        return;
    try {
        TDualIni ini(&sett.CommonKeys, ProgramFolder());
        saveImportFiles(ini, curCode, FromType);
        QDir().mkpath(ProgramFolder() + QStringLiteral("system"));
        ini.UpdateFile();
        readImportFiles(ini, curCode, GetImportType());
    } catch (const BrenvaleError &e) {
        MessageProc(this, e.message(), MB_ICONERROR, MB_OK);
    }
}

void Tmainf::SaveStationSettings(const QString &Code)
{
    if (Code.isEmpty())
        return;
    TDualIni ini(&sett.CommonKeys, ProgramFolder());
    WriteStationKeys(ini, Code, sett);

    if (m_importPage)
        saveImportSettings(ini, Code);
    // By the mode the settings were read in: a switch of mode before this save must neither write the
    // pickers' defaults over the station's filter nor drop the analyst's last filter.
    if (m_filterCode == Code) {
        OrxFilterState f;
        f.filter = filter->isChecked();
        f.beg = FromQDateTime(QDateTime(dat1->date(), tim1->time()));
        f.end = FromQDateTime(QDateTime(dat2->date(), tim2->time()));
        WriteOrxFilterKeys(ini, Code, f);
    }
    QDir().mkpath(ProgramFolder() + QStringLiteral("system"));
    ini.UpdateFile();
    if (m_importPage)
        SaveSpec(Code);
}

void Tmainf::saveImportSettings(SettingsAccess &Ini, const QString &Code)
{
    saveImportFiles(Ini, Code, GetImportType());
    Ini.WriteBool(Code, QStringLiteral("intxt_imm"), imm->isChecked());
    Ini.WriteBool(Code, QStringLiteral("add_event"), adde->isChecked());
    Ini.WriteInteger(Code, QStringLiteral("import_type"), GetImportType());
}

void Tmainf::ApplyStartMode(bool ShowSettings)
{
    if (sett.start_mode == 0) {
        pgc1->setTabVisible(3, false);
        pgc1->setTabVisible(0, ShowSettings);
    } else if (sett.start_mode == 1) {
        pgc1->setTabVisible(0, true);
        pgc1->setTabVisible(3, true);
    }
}

void Tmainf::ApplyFullOrxMode()
{
    const bool f = sett.fullorx;
    if (auto *b = findChild<QWidget *>(QStringLiteral("Button27")))
        b->setEnabled(f);
    Panel8->setVisible(f);
    Splitter2->handle(1)->setVisible(f);
    for (const char *name : {"Label62", "Edit10", "sgts"})
        if (auto *w = findChild<QWidget *>(QString::fromLatin1(name)))
            w->setEnabled(f);
    pgc1->setTabVisible(1, !f);
    pgc1->setTabVisible(2, f);
}

QString Tmainf::MainCaption(bool FullOrx, const QString &Name, const QString &Sta, const QString &Code)
{
    const QString word = FullOrx ? QStringLiteral("ORX") : QStringLiteral("БДСТБЮЛ");
    const QString sta = Sta.isEmpty() ? QStringLiteral("?") : Sta;
    QString caption = QStringLiteral("Brenvale - ") + word + QStringLiteral(" - ");
    if (!Name.isEmpty())
        caption += Name + QStringLiteral(" (") + sta + QStringLiteral(", ") + Code + QLatin1Char(')');
    else
        caption += sta + QStringLiteral(", ") + Code;
    return caption;
}

// ---- Fonts ----

void Tmainf::ApplyFormFont(QWidget *Form, int Kind, const TUserFont &Font)
{
    if (::ApplyFormFont(Form, Kind, Font) && Kind == KindMain) {
        ShowEmptyListHint(false);
        TabSheet5Resize();
    }
}

void Tmainf::ApplyGridFont()
{
    ::ApplyGridFont(sg, mainFont, gridFont, sett.sg_main, cellPad, m_importPage && gridLock());
}

void Tmainf::SetDoubleBuffered(QWidget *Form, bool Value)
{
    ::SetDoubleBuffered(Form, Value);
}

void Tmainf::EmphasizeControl(QWidget *Control, int SizeDelta, int Style)
{
    ::EmphasizeControl(Control, SizeDelta, Style);
}

// ---- Connections ----

void Tmainf::SetupConnections()
{
    FillDataSourceCombos(sett.dbtype, {dss}, false, nullptr);
    if (auto *importOrx = findChild<QWidget *>(QStringLiteral("Button9")))
        importOrx->setEnabled(!sett.fullorx);
    const ConnectionSetup setup = ComputeConnectionSetup(sett);
    Label27->setText(setup.label27Caption);
    Edit6->setVisible(setup.showAccessFile);
    dss->setVisible(setup.showSourceCombo);
    if (Tdm *dm = Tdm::instance()) {
        dm->dbs->SetProvider(setup.dbsProvider);
        dm->dbs->SetConnectionString(setup.dbsTemplate);
        dm->conPubs->SetProvider(setup.orxProvider);
        dm->conPubs->SetConnectionString(setup.orxTemplate);
    }
}

ConnParams Tmainf::GetOrxConnParams(const Tsett &Sett) const
{
    return ::GetOrxConnParams(Sett, sett.orxini, {orxIniSource, orxIniUser, orxIniPassword});
}

bool Tmainf::OpenOrx(Tdm &Dm, DbConnection *Conn)
{
    const ConnParams p = GetOrxConnParams(sett);
    return Dm.OpenDB_ADO(Conn ? Conn : Dm.conPubs, p.source, p.user, p.password);
}

void Tmainf::SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) const
{
    // In direct mode the bulletin tables are the ORX database's, reached through ODBC whatever the
    // Access-file setting says, so they take the ODBC literal.
    const bool odbc = IsDirectMode(sett) || sett.out_provider != 0;
    SqlDateRangeLiterals(odbc, FromDate, ToDate, FromLit, ToLit);
}

QString Tmainf::resolvedProgramFolder() const
{
    return m_options.programFolder.isEmpty() ? ResolveProgramFolder() : m_options.programFolder;
}

void Tmainf::LoadFiltersAndWaves()
{
    ::LoadFiltersAndWaves(ProgramFolder(), *refTable, filters, waves);
}

void Tmainf::LoadReportPlugins()
{
    plugins.LoadReportPlugins(ProgramFolder(), this);
}

void Tmainf::FreeReportPlugins()
{
    plugins.FreeReportPlugins();
}

void Tmainf::TabSheet5Resize()
{
    ::TabSheet5Resize(TabSheet5);
}

// ---- Handlers ----

void Tmainf::onlyfullClick()
{
    if (ControlTag(onlyfull) >= 1)
        return;
    viewReload = true;
    RefreshADB();
}

void Tmainf::Splitter2Moved()
{
    auto *button = findChild<QPushButton *>(QStringLiteral("Button27"));
    if (!button)
        return;
    if (m_netsWidth > 2 && button->text().endsWith(QLatin1Char('>')))
        button->setText(QStringLiteral("Список сетей <<"));
    else if (m_netsWidth <= 2 && button->text().endsWith(QLatin1Char('<')))
        button->setText(QStringLiteral("Список сетей >>"));
}

void Tmainf::JvcbClick()
{
    Tstartupf dialog(
        sett, MainIniPath(), [this] { ApplyStartMode(true); }, this);
    dialog.exec();
}

// ---- Import page ----

void Tmainf::SetImportPage(ImportPageApi *Page)
{
    m_importPage = Page;
}

ImportPageApi &Tmainf::installedImportPage() const
{
    // A second copy of the import state here would hide a program that forgot to install the page.
    if (!m_importPage)
        throw std::logic_error("Tmainf: no import page installed; the program names its installer at start");
    return *m_importPage;
}

void Tmainf::ClearImportGrid(bool Lock)
{
    installedImportPage().ClearImportGrid(Lock);
}

TD2D &Tmainf::importTable(int Slot)
{
    auto &table = importTables.at(Slot);
    if (!table)
        table = std::make_unique<TD2D>();
    return *table;
}

bool Tmainf::gridLock() const
{
    return installedImportPage().gridLock();
}

void Tmainf::SetImportType(int Value)
{
    installedImportPage().SetImportType(Value);
}

int Tmainf::GetImportType() const
{
    return installedImportPage().GetImportType();
}

void Tmainf::SetupImportControls()
{
    installedImportPage().SetupImportControls();
}

void Tmainf::UpdateImportControls()
{
    installedImportPage().UpdateImportControls();
}

void Tmainf::SetImmediateMode(bool Immediate)
{
    installedImportPage().SetImmediateMode(Immediate);
}

void Tmainf::UpdateELQButton()
{
    installedImportPage().UpdateELQButton();
}

bool Tmainf::LoadSpec(const QString &Name, bool Reset)
{
    return installedImportPage().LoadSpec(Name, Reset);
}

bool Tmainf::SaveSpec(const QString &Name)
{
    return installedImportPage().SaveSpec(Name);
}
