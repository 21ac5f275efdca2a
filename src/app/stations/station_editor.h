#pragma once

#include <QDialog>
#include <QString>

class Tdm;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class Tmainf;

// "Сведения о станции": the description of the current station, from its ORX `site` row in ORX-only
// mode, else from its section of system/Stations.ini. Only the controls the user touched (Tag 1) are
// written on OK.
class TStaEdit : public QDialog
{
    Q_OBJECT
public:
    // Entry: the station's index in the main window's station array, updated after a successful OK.
    TStaEdit(Tmainf *owner, int entry);

    void FormCreate();
    void ngroupsChange(QLineEdit *Sender);
    void elevChange(QLineEdit *Sender);
    void staChange(QWidget *Sender);
    // False when a number typed by hand is none: it is told, and nothing is written.
    bool Button1Click();

    bool loading = false;
    bool changed = false;

    QLineEdit *descr = nullptr, *staname = nullptr, *underground = nullptr, *sta = nullptr, *cod = nullptr,
              *elev = nullptr, *lat = nullptr, *lon = nullptr, *ngroups = nullptr, *dnorth = nullptr,
              *deast = nullptr, *refsta = nullptr, *statype = nullptr;
    QDateEdit *dat1 = nullptr, *dat2 = nullptr;
    QTimeEdit *tim1 = nullptr, *tim2 = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr;

private:
    void buildForm();
    bool checkNumbers();
    static Tdm &dataModule();
    // With conPubs open, inside the data module's ORX block.
    void readOrx(Tdm &dm);
    void readIni();
    void writeOrx(Tdm &dm);
    void writeIni();
    void updateEntry(const QString *Sta, const QString *Name);

    Tmainf *m_owner;
    int m_entry;
};
