#pragma once

#include "exchange/text/text_format.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTimer;
class Tmainf;

// "Формат данных": edits copies of a station's six text formats and writes them back on OK.
class Tdfmtfrm : public QDialog
{
    Q_OBJECT
public:
    // locale: the user's number and date settings, the defaults of the emptied separators;
    // currentYear: the year fixed at program start.
    Tdfmtfrm(const TFormatSettings &locale, int currentYear, QWidget *parent = nullptr);

    // ImpSB and ImpXM are null unless the station imports text files. dirty is raised by OK.
    void Init(tspec *ExpEvents, tspec *ExpSB, tspec *ExpXM, tspec *ImpEvents, tspec *ImpSB, tspec *ImpXM,
              bool *dirty = nullptr);
    void ShowFormat(tspec *Spec);
    QChar DelimChanged(QLineEdit *Edit, QChar Default);
    void UpdateSample();

    QGroupBox *rgf;
    QRadioButton *rgfImport, *rgfExport;
    QLineEdit *fdel, *sdel, *dtdel, *tmdel, *decdel, *byear;
    QComboBox *datefmt, *tbl;
    QCheckBox *foury, *ext0;
    QLabel *Label8, *Label9, *Label10, *ex;
    QGroupBox *tgb;
    QListWidget *clb;
    QPushButton *BitBtn1, *BitBtn2, *okBtn, *CancelBtn;
    QTimer *tm;

    // Working copies: import Events, Station_bulletin, XM_Add, then export in the same order.
    tspec workSpec[6];
    tspec *targetSpec[6] = {};
    tspec *curSpec = nullptr;
    bool showCols = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rgfClick();
    void tblChange();
    void moveColumn(int step);
    void okBtnClick();
    void connectDelimiter(QLineEdit *edit, QChar tspec::*field, QChar fallback);

    TFormatSettings m_locale;
    int m_currentYear;
    bool *m_dirty = nullptr;
    bool m_filling = false;
};

// "Формат данных" on a station's six text formats, owned by Owner; the import formats of Station_bulletin
// and XM_Add only for the import of text files. True when OK wrote the edited formats back.
bool EditTextFormats(QWidget *Owner, const TFormatSettings &Locale, int CurrentYear, TextFormats &Formats,
                     bool TextImport);

// Installs the main window's "Формат данных" command: the dialog on the formats of the window's import
// page.
void InstallDataFormatCommand();
