#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTabWidget;
class Tmainf;
class IniFile;
struct TUserFont;

// "Настройки": which keys are kept per station, the filter and wave tables, the Paradox interface, the
// report opener, the summary's event choice, the ORV export format, the view options and the two fonts.
// OK writes section "global" (and "font", "font_main") of the main INI file and the two reference files;
// a change of showempty asks the main window for the reload cycle (Main.reloadRequested).
class TSetts : public QDialog
{
    Q_OBJECT
public:
    explicit TSetts(Tmainf &Main, QWidget *owner = nullptr);

    QTabWidget *pc = nullptr;
    QWidget *TabSheet3 = nullptr, *TabSheet1 = nullptr, *TabSheet2 = nullptr, *ts1 = nullptr,
            *TabSheet4 = nullptr, *ts3 = nullptr;
    QLabel *Label1 = nullptr;
    QTableWidget *glo = nullptr, *sg = nullptr, *sg2 = nullptr;
    QCheckBox *glocb = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr;
    QComboBox *cb = nullptr;
    QRadioButton *rb1a = nullptr, *rb2a = nullptr, *rb1c = nullptr, *rb2c = nullptr;
    QLineEdit *rep_opexe = nullptr, *rep_oppar = nullptr, *rep_opname = nullptr;
    QPushButton *Button9 = nullptr;
    QComboBox *selperiod = nullptr, *orvfmt = nullptr;
    QCheckBox *cbveff = nullptr, *doublebuf = nullptr, *showempty = nullptr, *flagbeg = nullptr,
              *sg_main = nullptr;
    QPushButton *Button4a = nullptr, *Button5 = nullptr;
    QPushButton *okb = nullptr, *cancelb = nullptr;

    void LoadSettings();
    // False when nothing was written because a value does not fit its file (the reason has been shown).
    bool SaveSettings();
    static void SaveFont(IniFile &Ini, const TUserFont &Font, const QString &Section);

    void AddRow(QTableWidget *Grid);
    void DeleteRow(QTableWidget *Grid);
    void gloClick(int Row, int Column);
    bool mark(int Row) const { return m_marks.value(Row); }
    // Rows of a grid as its cells' texts.
    static QList<QStringList> GridRows(const QTableWidget *Grid);

private:
    void buildControls();
    void sgSelectCell(int Row, int Column);
    void setMark(int Row, bool Value);

    Tmainf &m_main;
    int m_paradox = 0;
    QList<bool> m_marks;
    int m_lastGloRow = -1;
};
