#pragma once

#include "app/settings/settings_record.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;
class QWidget;
class Tpar;

// The modal window "Просмотр сводки": the summary file just written, to read, edit, search and send.
// The caller creates it, calls SetView and shows it modally; the result is 1 (send, or "OK"), 6 (saved
// without sending) or 2 (neither, also when the window is closed). A saving button whose save fails
// leaves the window open with the text as it is, so the user may try again or give up; nothing is sent
// on a file that was not written.
class Tsveditor : public QDialog
{
    Q_OBJECT
public:
    Tsveditor(QWidget *owner, Tsett &Sett);

    void SetView(const QString &FileName, bool SendMode);
    // The same as SetView.
    void Execute(const QString &FileName, bool SendMode) { SetView(FileName, SendMode); }
    // Writes the text back when it was edited; false after telling the user it could not.
    bool SaveChanges();
    void FindReplace(bool Replace);
    // The editor's lines, as they would be written.
    QStringList Lines() const;

    QWidget *Panel2 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QPlainTextEdit *re = nullptr;
    QWidget *Panel1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *Button3 = nullptr;

    QString FileName;
    bool Changed = false;
    bool SendMode = false;

public slots:
    void reject() override;

protected:
    // Shows the find dialog modally; tests answer it instead.
    virtual int ExecFindDialog(Tpar &Dialog);

private:
    void reChange();
    void saveAndClose(int result);

    Tsett &m_sett;
};

// Creates the editor with Owner, shows FileName modally and returns its result; Lines get its lines.
int RunSummaryEditor(QWidget *Owner, Tsett &Sett, const QString &FileName, bool SendMode, QStringList &Lines);
