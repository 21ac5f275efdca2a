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

// The typing of a date or time into a date, time or date-and-time edit, read by sections as the analyst
// types it (a section is done when it is full or a separator is typed into it; Backspace takes back the
// last digit), rather than by the edit's own rules: those move on to the month after the day's two
// digits, so a typed dot skips it, and drop or shift digits typed over a section. The keys typed are read
// first as a whole date (for a time edit, a whole time) from the first section, wherever the typing began,
// and only when they are none as a part from the section it began in; keys that run past the last section
// are read from the first. The edit shows the text as typed; what becomes of the value is its owner's,
// told after every key (OnTyped) and when the typing ends (OnEnded: a key that is no typing, a click, the
// focus leaving or the edit hidden in a window that stays). A typing starts only in the edit holding its
// window's focus, active window or not. A day outside 01.01.1900-31.12.9998, or outside the edit's own
// range, is refused as every date entry refuses it, unless the edit takes any day it shows. Formats with a
// spelt month or day are left to the edit.
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

    // The days a typed date may name: those every product carries, or any the edit shows (a date that
    // belongs to no product).
    enum class Days { Working, Shown };

    explicit DateTimeTyping(QDateTimeEdit *edit, Days days = Days::Working);

    std::function<void(const Result &)> OnTyped;
    // True when the key or click that ended the typing is to do nothing more. The typing is over when it is
    // told, so a box it shows ends nothing more; an edit being destroyed or whose window is closing is told
    // nothing.
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
    bool end();
    Result read(const QString &text) const;

    QDateTimeEdit *m_edit;
    QLineEdit *m_line; // the edit's own, which takes the clicks into its text
    Days m_days;
    bool m_started = false;
    QDateTime m_before;
    Result m_last;
    // The digit sections as typed so far, the texts between them, the digits each takes, what each is
    // (d, M, y, H, h, m, s, z), the section being typed, whether a digit went into it yet, and the last
    // one a digit went into.
    QStringList m_sections, m_literals; // m_literals[i] stands before m_sections[i]; the last one after all
    QList<int> m_widths;
    QString m_letters;
    int m_section = 0;
    bool m_inSection = false;
    int m_typedLast = -1;
    // The sections when the typing began, the one it began in and the keys typed since.
    QStringList m_begun;
    int m_from = 0;
    QString m_keys;
    // The section a click that ended a typing fell in, until the click is over.
    int m_clicked = -1;
};

// A date, time or date-and-time edit bound to nothing takes this typing: each key typed gives the edit
// the value typed so far, or back its value before the typing while that is no value it takes; when the
// typing ends the edit shows its value, and a refused text is told once (the key that ended it then does
// nothing more, so Enter does not take a dialog's old value).
void SetDateTyping(QDateTimeEdit *Edit, DateTimeTyping::Days Days = DateTimeTyping::Days::Working);

// A line edit masked for a date and time (digits in fixed places, as "99.99.9999 99:99:99", day first)
// takes the typing of DateTimeTyping: a whole date typed anywhere in it is read whole, the time kept, and a
// part ended by its separator, by Enter, a click, leaving the field or the field hidden takes leading zeros
// ("15.1." is January), where the mask alone left the rest of the section blank, to be read as zeros
// (October), or the old digits after them. Typing from inside a section types over it, as the mask does.
// With Refuse, a typing that gives no date and time, or a day outside 01.01.1900-31.12.9998, is told once
// when it ends, as the date edits tell it, and the field shows again what it held before; the key that
// ended it does nothing more.
void SetMaskedDateTyping(QLineEdit *Edit, bool Refuse = false);
// Left runs each time the focus leaves such an edit for another control of its window (not a menu, a box
// or another window), after the part typed is ended, whether or not the text changed since.
void SetMaskedEditLeft(QLineEdit *Edit, std::function<void()> Left);
