#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;
class Tmainf;

// The developer page 'Tests' (shown with "/t"): ad-hoc statements on the ORX database, epoch time
// conversions, a progress window that can be stopped, a sample message, the INI key lists and a test
// SQL file.

// The test SQL file: 1000 rows of tab1, each followed by its 10 rows of tab2, every statement followed
// by an empty line, CR LF line ends.
QByteArray TestSqlText();
// Where the test SQL file goes: the folder "tmp" of the program folder, which the developer creates.
QString TestSqlPath(const QString &ProgramDir);

// The key names of an INI text: the text before the first "=" of every line that has one, trimmed and
// lower-cased, each once, sorted.
QStringList IniKeyNames(const QString &Text);

// "dd.mm.yyyy hh:nn:ss" to epoch seconds as the shortest text with '.', and back with the seconds cut
// to whole ones. EConvertError on text that is not a date-time or a number.
QString DateTextToEpochText(const QString &Text);
QString EpochTextToDateText(const QString &Text);

// The progress demonstration: runs until Total milliseconds have passed or the window's stop button
// was pressed. Elapsed is the clock (milliseconds since the start); tests pass their own.
void RunStopDemo(QWidget *Owner, int Total, const std::function<qint64()> &Elapsed);

class DiagnosticsPage : public QObject
{
    Q_OBJECT
public:
    DiagnosticsPage(Tmainf &Main, QWidget *Page);

    void Button2Click();
    void Button3Click();
    void Button23Click();
    void Button43Click();
    void Button44Click();
    void Button45Click();
    void Button31Click();
    void Button32Click();
    void Button47Click();

private:
    void runStatement(const QString &Sql, bool Exec);

    Tmainf &m_main;
    QWidget *m_page;
};
