#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class QDateTimeEdit;
class QKeyEvent;
class QLineEdit;

// The typing of a date or time into a date, time or date-and-time edit, read section by section as the
// analyst types it (a section is done when it is full or a separator is typed; Backspace takes back the
// last digit), rather than by the edit's own rules: those move on to the month after the day's two
// digits, so a typed dot skips it, and drop or shift digits typed over a section. The edit shows the text
// as typed; what becomes of the value is its owner's, told after every key (OnTyped) and when the typing
// ends (OnEnded: a key that is no typing, or the focus leaving). A day outside 01.01.1900-31.12.9998, or
// outside the edit's own range, is refused as every date entry refuses it. Formats with a spelt month
// or day are left to the edit.
class DateTimeTyping : public QObject
{
    Q_OBJECT
public:
    // What the typing gives so far: its value, or why the edit cannot take it (null when it can).
    struct Result
    {
        QDateTime value;
        QString refused;
    };

    // NoDate: a day outside the working days the edit takes as typed, where it stands for no date.
    explicit DateTimeTyping(QDateTimeEdit *edit, const QDate &noDate = QDate());

    std::function<void(const Result &)> OnTyped;
    // True when the key that ended the typing is to do nothing more.
    std::function<bool()> OnEnded;

    // The edit's value when the typing began, and what the typing gave last.
    QDateTime Before() const { return m_before; }
    const Result &Last() const { return m_last; }
    // Forgets the typing; the owner shows the value again.
    void Reset();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool type(const QKeyEvent *key);
    bool begin();
    Result read(const QString &text) const;

    QDateTimeEdit *m_edit;
    QDate m_noDate;
    bool m_started = false;
    QDateTime m_before;
    Result m_last;
    // The digit sections as typed so far, the texts between them, the digits each takes, what each is
    // (d, M, y, H, h, m, s, z), the section being typed and whether a digit went into it yet.
    QStringList m_sections, m_literals; // m_literals[i] stands before m_sections[i]; the last one after all
    QList<int> m_widths;
    QString m_letters;
    int m_section = 0;
    bool m_inSection = false;
};

// A date, time or date-and-time edit bound to nothing takes this typing: each key typed gives the edit
// the value typed so far, or back its value before the typing while that is no value it takes; when the
// typing ends the edit shows its value, and a refused text is told (the key that ended it then does
// nothing more, so Enter does not take a dialog's old value). NoDate as for DateTimeTyping.
void SetDateTyping(QDateTimeEdit *Edit, const QDate &NoDate = QDate());

// A line edit masked for a date and time (digits in fixed places, as "99.99.9999 99:99:99") reads a
// separator typed after fewer digits than a section holds as the end of that section, as the date edits
// read it: the digits typed take leading zeros ("15.1." is January), where the mask alone left the rest of
// the section blank, to be read as zeros (October).
void SetMaskedDateTyping(QLineEdit *Edit);
