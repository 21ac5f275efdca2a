#pragma once

#include "app/settings/settings_record.h"
#include "app/stations/station_types.h"

#include <QDialog>

class QComboBox;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class Tmainf;

// "Настройки подключения": the working mode, the ORX connection, the current station's bulletin database
// and the mail transport. OK writes section "global" of the main INI file and the station's section of
// the stations file, and either asks the main window for a reload (Main.reloadRequested) or re-reads the
// current station.
class Tcpar : public QDialog
{
    Q_OBJECT
public:
    explicit Tcpar(Tmainf &Main, QWidget *owner = nullptr);

    QTabWidget *pc = nullptr;
    QWidget *ts1 = nullptr, *ts2 = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr;
    QGroupBox *GroupBox2 = nullptr, *GroupBox1 = nullptr, *GroupBox5 = nullptr, *GroupBox6 = nullptr;
    QRadioButton *rbd1 = nullptr, *rbd2 = nullptr, *rb1b = nullptr, *rb2b = nullptr;
    QLabel *Label11 = nullptr, *Label21 = nullptr, *Label22 = nullptr, *Label1 = nullptr, *Label2 = nullptr,
           *Label3 = nullptr, *Label4 = nullptr;
    QComboBox *dbtype = nullptr, *dsorx = nullptr, *dsout = nullptr;
    QCheckBox *orxini = nullptr, *dorx = nullptr;
    QToolButton *bmout = nullptr, *brout = nullptr, *sflb = nullptr;
    QLineEdit *dir = nullptr, *stb = nullptr, *ed2 = nullptr, *xm = nullptr, *ed1 = nullptr;
    QLabel *Label12 = nullptr, *Label13 = nullptr, *Label14 = nullptr, *Label15 = nullptr, *Label16 = nullptr,
           *Label17 = nullptr, *Label5 = nullptr, *Label18 = nullptr;
    QLineEdit *Edit6 = nullptr, *Edit7 = nullptr, *Edit8 = nullptr, *Edit9 = nullptr, *Edit13 = nullptr,
              *Edit12 = nullptr, *Edit1 = nullptr, *Edit11 = nullptr;

    void Load();
    void Button1Click();
    void rb1bClick(QRadioButton *Sender);
    void rbd1Click();
    void orxiniClick();
    void dbtypeChange();
    void dsorxChange(QComboBox *Sender);
    void broutClick();
    void sflbClick();
    void bmoutClick();

    // The SMTP port as OK stores it: the trimmed text as an integer, 25 when it is none.
    static int PortOfText(const QString &Text);

private:
    void buildControls();
    void applyInterfaceView();

    Tmainf &m_main;
    int m_stationIndex = -1;
    int m_entry = -1;   // the current station's entry in Main.stations, -1 for none
    tstainfo m_station; // as it was when the dialog opened
    Tsett m_loaded;
    int m_outProvider = 1;
};
