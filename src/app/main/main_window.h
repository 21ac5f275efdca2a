#pragma once

#include "app/main/column_tables.h"
#include "app/main/report_plugins.h"
#include "app/settings/connection_params.h"
#include "app/settings/reference_tables.h"
#include "app/settings/settings_record.h"
#include "app/stations/station_types.h"
#include "lib/control_routines.h"
#include "lib/datetime.h"
#include "lib/font_routines.h"
#include "lib/ini_file.h"
#include "lib/string_table.h"
#include "lib/text_routines.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QTabWidget>

#include <array>
#include <memory>
#include <optional>

class DataSource;
class DbConnection;
class FadeAnimation;
class Tdm;
class ImportPageApi;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QSplitter;
class QTableWidget;
class TMStringGrid;
class QTimeEdit;
class QToolButton;

// The pages control; it also tells how much room its frame and tab bar take around a page.
class TPageControl : public QTabWidget
{
    Q_OBJECT
public:
    using QTabWidget::QTabWidget;
    QSize pageOverhead() const;
};

// How the program starts the main window; tests give their own folder, arguments and work area.
struct TmainfOptions
{
    QString programFolder;                // empty: $BRENVALE_HOME, else the executable's folder
    std::optional<QStringList> arguments; // none: the process's command line
    QRect workArea;                       // empty: the screen's available area
};

// The main window: it starts the program (InitMain), holds the settings record, the station list, the
// fonts and the column tables that every other window reads, and shuts down (DoneMain).
//
// Messages: InitMain installs the message window (GfxMessageDlg) as the error procedure only while that
// procedure is still the library's plain message box, so a procedure put there before the window was
// created (a test's recorder) stays in place.
//
// A start-up or reload that fails part-way is reported through MessageProc and leaves a usable window;
// until a later start-up succeeds, the shutdown then writes no settings, so files that could not be read
// are not overwritten with defaults.
class Tmainf : public QMainWindow
{
    Q_OBJECT
public:
    explicit Tmainf(const TmainfOptions &options = TmainfOptions(), QWidget *parent = nullptr);
    ~Tmainf() override;

    static Tmainf *instance();

    // Start-up (First) or re-initialisation, and the matching shutdown half (Final at the end).
    void InitMain(bool First);
    void DoneMain(bool Final);
    // The reload cycle of the handlers that change settings, connection or networks.
    void Reload();

    // Settings persistence.
    QString MainIniPath() const;
    void ReadGlobalIni();
    void ReadSettings();
    void SaveSettings();
    void ReadCommonKeys(SettingsAccess &Ini);
    void WriteCommonKeys(SettingsAccess &Ini);
    void ReadStationSettings(const QString &Code);
    void SaveStationSettings(const QString &Code);

    void ApplyStartMode(bool ShowSettings);
    void ApplyFullOrxMode();
    // The page the start-up activates: Current unless a start page applies. Pages hidden or beyond the
    // last fall back to the last visible page before them.
    static int StartPageIndex(const Tsett &s, bool First, int Current, const std::array<bool, 6> &Visible);
    static QString MainCaption(bool FullOrx, const QString &Name, const QString &Sta, const QString &Code);

    // User fonts and appearance.
    void ApplyFormFont(QWidget *Form, int Kind, const TUserFont &Font);
    void ApplyGridFont();
    void SetDoubleBuffered(QWidget *Form, bool Value);
    void EmphasizeControl(QWidget *Control, int SizeDelta, int Style);

    // Station list.
    void LoadStationList();
    void LoadStationsIni();
    void LoadSTIORX();
    void SelectStationByCode(const QString &Code, bool Notify);
    void StationChanged(bool CheckData);
    void UpdateCaption(const QString &Name, const QString &Sta, const QString &Code);
    void ShowEmptyListHint(bool UpdateVisibility);
    void SortStations(bool Notify);
    // Below 0 when the station of the first item (internal code Code1, entry Entry1) goes first.
    int CompareStations(const QString &Code1, int Entry1, const QString &Code2, int Entry2) const;
    bool GetStationDBParams(QString &Source, QString &User, QString &Password, int Index, bool Silent);
    void RunOdbcAdmin();
    void OpenStationEditor();
    void CheckSTIORXData(bool CheckData);
    // The condition of the ORX station statements: stations with arrivals unless ShowEmpty, and of
    // Network unless it is none (all stations).
    static QString StationSiteCondition(bool ShowEmpty, const tnetcodes *Network);
    // A typed code character as it enters a code field; QChar(0) drops it.
    static QChar Cod_staKeyPress(QChar Key);
    static QString FilterCodeText(const QString &Text);
    void stasClick();
    void stasDblClick();
    // Draws the text of item Row inside the check box and selection the list has drawn.
    void stasDrawItem(class QPainter *Painter, const class QStyleOptionViewItem &Option, int Row) const;
    void Edit2Change();
    void Cod_stacChange(QComboBox *Sender);
    void Cod_staExit(QComboBox *Sender);
    void Button1Click();
    void Button5Click();
    void Button7Click();

    // Checked stations and station sets.
    void SetCheckedCodes(const dsarray &Codes);
    void BuildCheckedLists();
    void stasClickCheck(int Row);
    void SetAllChecks(bool Value, bool Invert);
    void RestoreChecks();
    void CodeToSta(const QString &Code, bool Mark, QString &Sta) const;
    void BuildStationSet(QStringList &List, const QString &PeriodCond, QString &SetName);

    // Networks.
    static tnetcodes ParseNetwork(const QString &NetName, const QString &NetList);
    void netsClick();
    void netsDblClick();
    void Button37Click();
    void Button38Click();
    void Button39Click();
    void Button40Click();
    void Button27Click();

private:
    void connectStationPage();
    // The list's current item changed by the user (keys, mouse, anything but the program itself): the
    // current station follows it, and the network list likewise reloads for the network it highlights.
    void stasSelectionChanged();
    void netsSelectionChanged();
    // Empties the station list without taking that for a change of station.
    void clearStationList();
    // While one lives, changes of the two lists are the program's own.
    struct QuietLists
    {
        explicit QuietLists(Tmainf *w) : w(w) { ++w->m_quietLists; }
        ~QuietLists() { --w->m_quietLists; }
        QuietLists(const QuietLists &) = delete;
        QuietLists &operator=(const QuietLists &) = delete;
        Tmainf *w;
    };
    int stationRow(const QString &Code) const; // case-insensitive; -1 when absent
    void setItemTick(int Row, bool Ticked);    // without running the tick handler
    // Writes Codes as the network's station list (NULL for none); false on a reported failure.
    bool updateNetworkList(const QString &Name, const QStringList &Codes, const QString &Failure);

public:
    // Connections: providers and templates by the settings, the ORX parameters, and the date literals
    // of the bulletin database's dialect.
    void SetupConnections();
    ConnParams GetOrxConnParams(const Tsett &Sett) const;
    // Opens Conn, by default the data module's ORX connection, with the ORX parameters in force; false
    // once the reason is shown.
    bool OpenOrx(Tdm &Dm, DbConnection *Conn = nullptr);
    void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) const;
    void LoadFiltersAndWaves();
    void LoadReportPlugins();
    void FreeReportPlugins();
    void TabSheet5Resize();
    void RefreshADB();
    void PostOrxEdits();
    // Writes what is typed on either event page, as a move would (before the station changes); false
    // when something could not be written (the reason shown) and is still pending.
    bool PostEventEdits();
    // Before the program closes: PostEventEdits, and what could not be written is given up only when the
    // analyst says so; false keeps the program open.
    bool EventEditsSettled();
    // Before the station changes to Code: PostEventEdits. What cannot be written keeps the event pages,
    // and so the window, on the station they hold: the list goes back to it, said with the refusal, and
    // the result is false. Where that station has left the list, the edit is given up, said likewise.
    bool EventPagesLeaveStation(const QString &Code);

    // Event page on the bulletin database.
    // The data sources of ime and ims belong to the page; the data module's data-change handlers of
    // the two are the members imdseDataChange and imdssDataChange, connected to them.
    DataSource *imdse = nullptr, *imdss = nullptr;
    void SetupEventPage();
    void EnableEventNav(bool Value);
    // Display text of the floating-point fields of ime and ims.
    static void FloatFieldGetText(const TField &Sender, QString &Text, bool DisplayText);
    void imdseDataChange();
    void imdssDataChange();
    void Svodka_Click();
    // The export button: the ORV export in ORX-only mode, the text export otherwise.
    void BitBtn14Click();

    // Event pages on the ORX database. The data sources of imo and ima belong to the pages; their
    // data-change handlers are the data module's.
    DataSource *imdso = nullptr, *imdsa = nullptr;
    void SetupOrxEventPages();
    void filterClick();
    void Button30Click();
    void pc2Changing(int Leaving);
    void BitBtn22Click(); // a new event
    void BitBtn25Click(); // a new arrival
    void MaskEditChange(QLineEdit *Sender);
    void MaskEdit1Exit(QLineEdit *Sender);
    void flagClick();
    void ShowChanDescr();

    // Handlers.
    void pgc1Change();
    void select_dataClick(QCheckBox *Sender);
    void onlyfullClick();
    void Splitter2Moved();
    void JvcbClick();
    // The dialogs of the settings page; OK of either may ask for the reload cycle (reloadRequested).
    void Button15Click();
    void Button26Click();
    void Button35Click();
    // The width the network panel may take: from 2 up to the right edge of Button5.
    int Splitter2CanResize(int NewWidth) const;
    bool reloadRequested = false;
    int selectedStationEntry() const;

    // Station editor and data periods.
    void Button8Click();
    void Edit10KeyDown(int Key);

private:
    void connectDataPeriods();
    void showPeriodRows();
    QList<QStringList> m_periodRows; // the grid rows of the periods of periodsCode

public:
    // The import page, installed by the program's installer while the window is created. The import
    // state is the page's alone: the calls below throw std::logic_error without a page, and a window
    // started without one (the window's own tests) leaves the import side out of its start-up, station
    // changes and shutdown.
    void SetImportPage(ImportPageApi *Page);
    ImportPageApi *importPage() const { return m_importPage; }
    void ClearImportGrid(bool Lock);
    bool gridLock() const;
    // The import table of a slot (0 to 2), made on first use.
    TD2D &importTable(int Slot);
    void SetImportType(int Value);
    int GetImportType() const;
    void SetupImportControls();
    void UpdateImportControls();
    void SetImmediateMode(bool Immediate);
    void UpdateELQButton();
    bool LoadSpec(const QString &Name, bool Reset);
    bool SaveSpec(const QString &Name);
    // The analyst changed the import type: the file fields and name templates held for FromType go to
    // the current station's keys of that type, and those of the type now in force come from its own.
    void SwitchImportFiles(int FromType);

    // A window that lives beside this one (a report window): the main window's close closes it first, and
    // the main window stays while one refuses (it is finishing its work) and closes once that one is gone.
    void AddCompanionWindow(QWidget *Window);

    FadeAnimation &fade() const { return *m_fade; }
    QRect workArea() const;

    // State read by the rest of the program.
    Tsett sett;
    int CloseAction = 0; // 0 refuse the close, 2 close for good
    int minWidth = 0;
    int minHeight = 0;
    QString orxIniSource, orxIniUser, orxIniPassword;
    bool initializing = false;
    TUserFont mainFont, gridFont;
    QStringList cmdLine;
    int curYear = 0, centuryBase = 0, centuryNext = 0;
    int cellPad = 0;
    int pivotDate = 0;
    TFormatSettings fsLocal, fsSql, fsIso, fsDmy;
    std::unique_ptr<TD2D> refTable;
    tfilts filters;
    tmulss waves;
    ReportPlugins plugins;
    std::array<std::unique_ptr<TD2D>, 3> importTables;
    std::unique_ptr<TD2D> gridClip;
    QStringList checkedStations; // sorted, case-insensitive, no duplicates
    QString checkedQuoted, checkedPlain;
    bool checkEnabled = true;
    QStringList channelList;
    tcwarr originColumns, arrivalColumns;
    QList<tstainfo> stations;
    QList<tnetcodes> networks;
    QString netName;
    int reportCounter = 0;
    QString curSta, curCode, curName, prevSta, prevCode;
    QString eventPagesCode; // the station whose rows the event pages last read
    bool viewReload = false;
    bool netAddMode = false;
    bool suppressOriginChange = false;
    QString periodsCode;
    bool periodsForced = false;
    bool initFailed = false;

    // Controls the start-up and the settings touch; every other control is found by its object name.
    TPageControl *pgc1 = nullptr;
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr, *TabSheet4 = nullptr,
            *TabSheet5 = nullptr, *TabSheet6 = nullptr;
    QToolButton *Jvcb = nullptr;
    QWidget *Panel2 = nullptr, *Panel7 = nullptr, *Panel8 = nullptr, *Panel10 = nullptr;
    QLabel *Image1 = nullptr, *hlp = nullptr, *Label44 = nullptr, *Label27 = nullptr;
    QSplitter *Splitter2 = nullptr;
    QListWidget *stas = nullptr, *nets = nullptr;
    QLineEdit *Edit2 = nullptr, *Edit10 = nullptr, *Edit5 = nullptr, *Edit6 = nullptr;
    QLineEdit *Events = nullptr, *Station_bulletin = nullptr, *XM_Add = nullptr;
    QComboBox *Cod_stac = nullptr, *icod_stac = nullptr, *ifrom = nullptr, *dss = nullptr;
    QCheckBox *nosearch = nullptr, *select_data = nullptr, *select_data2 = nullptr, *onlyfull = nullptr,
              *filter = nullptr, *adde = nullptr, *imm = nullptr;
    QTableWidget *sgts = nullptr, *sg2 = nullptr;
    TMStringGrid *sg = nullptr;
    QDateEdit *dat1 = nullptr, *dat2 = nullptr;
    QTimeEdit *tim1 = nullptr, *tim2 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWindow();
    void buildSettingsPage();
    void buildBulletinPage();
    void buildOrxPage();
    void buildImportPage();
    void buildTestsPage();
    void buildAboutPage();

    QString resolvedProgramFolder() const;
    void runInitMain(bool First);
    void recoverFromFailedInit(bool First, const QString &message);
    void computeMinimumSize();
    void setActivePage(int index);
    void connectDialogButtons();
    void finalShutdown();
    QList<QLineEdit *> importFileEdits(int Type) const;
    ImportPageApi &installedImportPage() const;
    void readImportSettings(SettingsAccess &Ini, const QString &Code);
    void saveImportSettings(SettingsAccess &Ini, const QString &Code);
    void readImportFiles(SettingsAccess &Ini, const QString &Code, int Type);
    void saveImportFiles(SettingsAccess &Ini, const QString &Code, int Type);
    void reportDoneMainFailure(const std::exception &e);

    // Closes the companion windows; false while one of them is not yet ready to go.
    bool closeCompanions();

    TmainfOptions m_options;
    QList<QPointer<QWidget>> m_companions;
    bool m_closePending = false;
    FadeAnimation *m_fade = nullptr;
    ImportPageApi *m_importPage = nullptr;
    bool m_settingPage = false;
    bool m_doneFinal = false;
    int m_netsWidth = 2;
    // Above 0 while the program itself changes the station or network list's items or selection.
    int m_quietLists = 0;
    // A mouse press on the list started a click whose change of selection was already followed.
    bool m_stationFollowed = false, m_networkFollowed = false;
    int m_loadedNetRow = -1; // the network the station list was built for
    // The station list could not be read: the shutdown keeps the stored choices instead of blanks.
    bool m_stationListFailed = false;
    QString m_storedStationCode, m_storedChecked;
    // The station whose ORX event filter the pickers hold; only that station's filter is written back.
    QString m_filterCode;
};
