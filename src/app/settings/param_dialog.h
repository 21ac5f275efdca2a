#pragma once

#include "app/settings/settings_record.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

// The small modal dialog through which long operations ask for their parameters. The caller keeps it
// on the stack: construct, Setup, exec(), and on Accepted read the answers from the settings record or,
// for the simple prompts (mode 4), from `dir`; the controls stay readable until the dialog goes out of
// scope. One dialog serves one Setup.
//
// Modes: 0 ORX import period, 1 daily summary, 2 export, 3 file-name samples of the text import,
// 4 a prompt (no labels: network name; one label: one edit; several: edits, a group and radio buttons).
class Tpar : public QDialog
{
    Q_OBJECT
public:
    explicit Tpar(QWidget *owner = nullptr);

    // The main window hands over its own settings record at start. A Setup without a record works on
    // it, and the global mail header always comes from it; either throws std::logic_error while no
    // record has been handed over.
    static void SetMainSettings(Tsett *sett);

    void Setup(int Mode, Tsett *Sett, const QStringList &Labels = {});

    // Copies the mode's answers into the record. A period that does not read as a date and time is
    // reported and false returned; the start is stored before the end and nothing after the failure.
    bool Button1Click();

    // Index 0 `Label1`, 1 the group, 2..4 `rs1`..`rs3`, anything else `rs4`; the item is shown.
    void SetItemCaption(int Index, const QString &Text);
    void SetRadioIndex(int Index);
    int RadioIndex() const;

    QLabel *Label21 = nullptr;
    QLabel *Label22 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *Start_ORX = nullptr;
    QLineEdit *Stop_ORX = nullptr;
    QDateEdit *svodka_Date = nullptr;
    QDateEdit *End_Date = nullptr;
    QLineEdit *dir = nullptr;
    QLineEdit *stb = nullptr;
    QLineEdit *xm = nullptr;
    QLineEdit *multi_name = nullptr;
    QPushButton *sfb = nullptr;
    QPushButton *mydoc = nullptr;
    QGroupBox *rsgb = nullptr;
    QRadioButton *rs1 = nullptr;
    QRadioButton *rs2 = nullptr;
    QRadioButton *rs3 = nullptr;
    QRadioButton *rs4 = nullptr;
    QCheckBox *dperiod = nullptr;
    QCheckBox *useflag = nullptr;
    QCheckBox *mail_send = nullptr;
    QCheckBox *mail_global = nullptr;
    QCheckBox *mails_att = nullptr;
    QTableWidget *sg1 = nullptr;
    QPushButton *filter = nullptr;
    QComboBox *cb1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Row
    {
        QWidget *label;
        QWidget *control;
        QWidget *button; // level with the row, if any
    };

    void sizeByFont();
    void FormResize();
    void sfbClick();
    void mydocClick();
    void Start_ORXChange(QLineEdit *edit);
    void mail_sendClick();
    void mail_globalClick();

    void setupMode4(QStringList Labels);
    void showMailSettings(const QString &From, const QString &To, const QString &Cc, const QString &Subject,
                          bool Send, bool Global);
    void readMailSettings(QString &From, QString &To, QString &Cc, QString &Subject) const;
    void layRows(const QList<Row> &rows);
    QSize frameExtent() const;
    static Tsett &mainSettings();

    QList<QWidget *> m_controls;
    int Mode = 0;
    int MinWidth = 300;
    int MinHeight = 100;
    bool SettingUp = true;
    QString KeptFrom, KeptTo, KeptSubject, KeptCc;
    Tsett *Sett = nullptr;
    int PromptKind = 0;
};
