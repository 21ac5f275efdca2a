#pragma once

#include "products/bulletin_report.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class DbConnection;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStatusBar;
class QTableWidget;
class QTextBrowser;
class QCloseEvent;
class ReportWindowHost;
class Tdm;
class Tmainf;

// How a report window reaches the desktop; tests replace these.
struct ReportWindowShell
{
    // The save dialog; true with Chosen set on OK.
    std::function<bool(QWidget *Owner, const QString &Title, const QString &Filter, const QString &Name,
                       QString &Chosen)>
        saveDialog;
    // Opens a file with the desktop's program for it.
    std::function<bool(const QString &FileName)> openFile;
    // Starts a program with its arguments.
    std::function<bool(const QString &Program, const QStringList &Arguments)> startProgram;
};
ReportWindowShell &reportWindowShell();

// The report window: makes the HTML station bulletin of a period, shows it, saves a copy, opens it in
// another program and mails it. Modeless; every window has its own temporary file and a frozen copy of
// the main window's settings and report stations, and frees itself when closed. While a bulletin is being
// made the modal progress window keeps the user's close from the window (an ORX run is cancelled there);
// a close the program asks for then cancels the run where it can and waits for its end. The main window's
// close closes its report windows first, and a window that outlives the main window calls nothing of it.
class TRepfrm : public QWidget
{
    Q_OBJECT
public:
    TRepfrm(Tmainf &Mainf, Tdm &Dm);
    ~TRepfrm() override;

    void SetReportStyle(int Kind);
    void ReadPeriodControls();
    void UpdateCaption();
    bool CheckReportMade();
    void SaveReportAs();
    void SaveReportCopy(const QString &FileName);
    void OpenReport();
    void mainbtnClick();
    bool LoadSTIORX();

    ReportState &state() { return m_state; }
    const QString &tempFileName() const { return m_state.tempFile; }
    // True while "Создать отчёт" runs.
    bool running() const { return m_running; }

    QComboBox *rstyle = nullptr, *rmonth = nullptr, *rmdec = nullptr, *qtype = nullptr;
    QDateEdit *rbegdate = nullptr, *renddate = nullptr;
    QSpinBox *rnum = nullptr, *rydec = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
    QPushButton *mainbtn = nullptr, *Button1 = nullptr, *Button2 = nullptr, *showc = nullptr,
                *hidec = nullptr;
    QRadioButton *rs1 = nullptr, *rs2 = nullptr, *rs3 = nullptr, *rs4 = nullptr;
    QCheckBox *mail_send = nullptr, *mail_global = nullptr, *putbegdate = nullptr, *drawtable = nullptr,
              *dline = nullptr, *savetxt = nullptr;
    QTableWidget *sg1 = nullptr;
    QLineEdit *subter = nullptr, *fi = nullptr, *lamb = nullptr, *hval = nullptr, *txtwids = nullptr;
    QWidget *Panel1 = nullptr, *Panel2 = nullptr, *Panel3 = nullptr;
    QTextBrowser *rwin = nullptr;
    QPlainTextEdit *rtwin = nullptr;
    QStatusBar *stb1 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void build();
    // The bulletin shown is no longer what the window's choices would make: it can be neither saved,
    // opened nor mailed, and the view is emptied.
    void invalidateReport();
    void readSettings();
    void writeSettings();
    bool writeSiteRow();
    void readOptions();
    void applyTextMode();
    void mailSendClick();
    void mailGlobalClick();
    void coordinateChanged(QLineEdit *Edit);
    // Text mode makes and saves nothing; true once that has been said.
    bool refuseTextMode();
    // True for a coordinate edit the user changed to a sound value; a bad one is named and left unsaved.
    bool typedCoordinate(QLineEdit *Edit, bool IsLon);

    // Cleared when the main window goes first: nothing of it is called, nothing is written back then.
    QPointer<Tmainf> m_mainf;
    Tdm &m_dm;
    ReportState m_state;
    std::unique_ptr<ReportWindowHost> m_host;
    // Children of the window, so that a failed action's transaction on them can be found and undone.
    DbConnection *dbs = nullptr, *conPubs = nullptr;
    bool m_running = false;
    bool m_closeRequested = false;
    QGridLayout *m_periodGrid = nullptr;
    bool m_periodSetting = false;
    bool m_coordsChanged = false;
    bool m_loading = true;
    QString m_mailFrom, m_mailTo, m_mailSubject, m_mailCc;
    QString m_opExe, m_opPar, m_opName;
    int m_minWidth = 0, m_minHeight = 0;
    QSize m_preferred; // the size it opens at without a stored one, where that is more than the default
};

// The bulletin as the analysts' browsers show it, for the report window's view: the entities browsers
// take without their semicolon ("&nbsp") get it, and the Latin letters of a Symbol-font span become the
// Greek letters that font draws for them ("j" is φ, "l" λ, "D" Δ). The file itself stays as written.
QString BulletinViewHtml(const QString &Html);

// What the view is given of a bulletin file of Size bytes whose first bytes are Head: the whole file up to
// Limit bytes; past that its rows up to the first row end after Limit, the table closed and a line saying
// where the rest is. A view of tens of megabytes would take the program minutes and gigabytes.
QByteArray BulletinViewPart(const QByteArray &Head, qint64 Size, qsizetype Limit);
constexpr qsizetype kBulletinViewLimit = 2 * 1024 * 1024;

// Why a coordinate as its edit shows it ("55° 45' 30\" N") is no latitude (IsLon false) or longitude;
// empty for a sound or blank one. Degrees up to 90 or 180, minutes and seconds up to 59, hemisphere N or
// S, E or W.
QString CoordinateProblem(const QString &Shown, bool IsLon);

// The name a copy is saved under: ".htm" added unless the name ends in ".htm" or ".html" (exact case).
QString ReportCopyName(const QString &FileName);

// Opens a new report window on the main window; the event pages' report buttons run this.
void OpenReportWindow(Tmainf &Mainf, bool ORX);
void InstallReportCommand();
