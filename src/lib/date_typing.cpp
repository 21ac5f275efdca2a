#include "lib/date_typing.h"

#include "lib/messages.h"
#include "lib/work_dates.h"

#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include <algorithm>

#include <utility>

namespace {

// A display format's numeric sections (runs of one letter: day, month, year, hour, minute, second,
// milliseconds) and the texts around them (one more than the sections); false for a format with a
// section that is no number (a spelt month or day, AM/PM) or two sections with nothing between them.
bool splitFormat(const QString &format, QStringList &sections, QStringList &literals)
{
    sections.clear();
    literals = QStringList{QString()};
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            qsizetype end = format.indexOf(QLatin1Char('\''), i + 1);
            if (end < 0)
                end = format.size();
            literals.last() += format.mid(i + 1, end - i - 1);
            i = end + 1;
        } else if (QStringLiteral("dMyHhmsz").contains(c)) {
            qsizetype end = i;
            while (end < format.size() && format.at(end) == c)
                ++end;
            const QString run = format.mid(i, end - i);
            if ((c == QLatin1Char('d') || c == QLatin1Char('M')) && run.size() > 2)
                return false;
            if (!sections.isEmpty() && literals.last().isEmpty())
                return false;
            sections << run;
            literals << QString();
            i = end;
        } else if (c.isLetter()) {
            return false;
        } else {
            literals.last() += c;
            ++i;
        }
    }
    return !sections.isEmpty();
}

// The runs of digits of Text and where each starts; false unless there are Count of them.
bool digitRuns(const QString &text, qsizetype count, QStringList &runs, QList<int> &starts)
{
    runs.clear();
    starts.clear();
    for (int i = 0; i < text.size();) {
        if (!text.at(i).isDigit()) {
            ++i;
            continue;
        }
        int end = i;
        while (end < text.size() && text.at(end).isDigit())
            ++end;
        runs << text.mid(i, end - i);
        starts << i;
        i = end;
    }
    return runs.size() == count;
}

bool modifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_AltGr ||
           key == Qt::Key_Meta || key == Qt::Key_CapsLock;
}

// The digit places of an input mask as they stand in the edit's text: true for a digit, false for a
// literal.
QList<bool> digitPlaces(const QString &inputMask)
{
    QList<bool> places;
    const QString mask = inputMask.section(QLatin1Char(';'), 0, 0);
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar c = mask.at(i);
        if (c == QLatin1Char('\\') && i + 1 < mask.size()) {
            places << false;
            ++i;
        } else if (c != QLatin1Char('!') && c != QLatin1Char('<') && c != QLatin1Char('>')) {
            places << QStringLiteral("90Dd").contains(c);
        }
    }
    return places;
}

// Keys typed into the digit sections of a date or time, read from one section on.
struct Reading
{
    QStringList sections;
    int section = 0;        // the one the next digit goes into; the count of sections once the last is done
    bool inSection = false; // a digit went into it, and it is not done
    int over = -1;          // in a section typed over from inside it, the place of the next digit
    int last = -1;          // the section the last digit went into
    bool overran = false;   // digits went past the last section
};

// The keys read over the sections Begun from section From (typed over from place At, where At > 0): a
// section is done when full or at a separator typed into it; Backspace takes back the last digit.
Reading replay(const QStringList &begun, const QList<int> &widths, int from, int at, const QString &keys)
{
    Reading r{begun, from};
    const int count = int(widths.size());
    if (at > 0 && from < count) {
        r.inSection = true;
        r.over = at;
    }
    for (const QChar key : keys) {
        if (key == QLatin1Char('\b')) {
            // Right after a section is done, the digit before it goes.
            if (!r.inSection && r.section > 0)
                --r.section;
            QString &section = r.sections[r.section];
            if (r.over >= 0)
                section.truncate(r.over);
            section.chop(1);
            r.over = -1;
            r.inSection = true;
        } else if (key.isDigit()) {
            if (r.section >= count) {
                r.overran = true;
                r.section = count - 1;
                r.inSection = false;
            }
            QString &section = r.sections[r.section];
            r.last = r.section;
            if (r.over >= 0) {
                section[r.over] = key;
                if (++r.over < section.size())
                    continue;
            } else {
                if (!r.inSection)
                    section.clear();
                section += key;
                r.inSection = true;
                if (section.size() < widths.at(r.section))
                    continue;
            }
            ++r.section;
            r.inSection = false;
            r.over = -1;
        } else if (!key.isLetter() && r.inSection) {
            ++r.section;
            r.inSection = false;
            r.over = -1;
        }
    }
    return r;
}

// Keys typed from the first section that give the whole date, the year in full (for a time, every
// section), without running past the last.
bool wholeDate(const Reading &r, const QString &letters, const QList<int> &widths)
{
    qsizetype end = letters.size();
    for (qsizetype i = 0; i < letters.size(); ++i)
        if (QStringLiteral("dMy").contains(letters.at(i)))
            end = i + 1;
    const qsizetype year = letters.indexOf(QLatin1Char('y'));
    return !r.overran && r.section >= end && (year < 0 || r.sections.at(year).size() == widths.at(year));
}

// The keys as a whole date typed from the first section, else as a part typed from section From, else,
// when they run past the last section, from the first.
Reading readKeys(const QStringList &begun, const QList<int> &widths, const QString &letters, int from, int at,
                 const QString &keys)
{
    const Reading whole = replay(begun, widths, 0, 0, keys);
    if ((from == 0 && at == 0) || wholeDate(whole, letters, widths))
        return whole;
    const Reading part = replay(begun, widths, from, at, keys);
    return part.overran ? whole : part;
}

// The date and time the sections give, the edit's own date or time where they hold none; refused, naming
// Text, when they are no date or time. A year is typed whole, or it would be one of the first centuries.
DateTimeTyping::Result readSections(const QStringList &sections, const QList<int> &widths,
                                    const QString &letters, const QDateTime &own, const QString &text)
{
    bool numbers = true;
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0, msec = 0;
    for (qsizetype i = 0; i < sections.size(); ++i) {
        bool ok = false;
        const int v = sections.at(i).toInt(&ok);
        const int width = widths.at(i);
        numbers = numbers && ok && (letters.at(i) != QLatin1Char('y') || sections.at(i).size() == width);
        switch (letters.at(i).unicode()) {
        case 'd':
            day = v;
            break;
        case 'M':
            month = v;
            break;
        case 'y':
            year = width == 2 ? 1900 + v : v;
            break;
        case 'H':
        case 'h':
            hour = v;
            break;
        case 'm':
            minute = v;
            break;
        case 's':
            second = v;
            break;
        default:
            msec = width == 1 ? v * 100 : width == 2 ? v * 10 : v;
            break;
        }
    }
    const bool hasDate = letters.contains(QLatin1Char('d'));
    const bool hasTime = letters.contains(QLatin1Char('H')) || letters.contains(QLatin1Char('h'));
    const QDate date = hasDate ? QDate(year, month, day) : own.date();
    const QTime time = hasTime ? QTime(hour, minute, second, msec) : own.time();
    DateTimeTyping::Result r;
    if (!numbers || !date.isValid() || !time.isValid())
        r.refused = (hasDate ? QStringLiteral("Неверная дата: \"") : QStringLiteral("Неверное время: \"")) +
                    text + QLatin1Char('"');
    else
        r.value = QDateTime(date, time);
    return r;
}

// The typing of a masked date-time edit: the digit places of its mask are the sections, day first.
class MaskedTyping : public QObject
{
public:
    MaskedTyping(QLineEdit *edit, bool refuse) : QObject(edit), m_edit(edit), m_refuse(refuse)
    {
        setObjectName(QStringLiteral("maskedDateTyping"));
        edit->installEventFilter(this);
        // A text, cursor or selection set from elsewhere (another record shown) ends the typing without a
        // word.
        const auto forget = [this] {
            if (!m_showing)
                m_started = false;
        };
        connect(edit, &QLineEdit::textChanged, this, forget);
        connect(edit, &QLineEdit::cursorPositionChanged, this, forget);
        connect(edit, &QLineEdit::selectionChanged, this, forget);
    }

    std::function<void()> Left;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_edit)
            return false;
        const QEvent::Type type = event->type();
        if (type == QEvent::FocusOut || (type == QEvent::Hide && !event->spontaneous())) {
            // A menu over the field takes the focus for a moment. An edit being destroyed is a line edit no
            // more; neither it nor one whose window is closing is touched.
            if (type == QEvent::FocusOut &&
                static_cast<const QFocusEvent *>(event)->reason() == Qt::PopupFocusReason)
                return false;
            if (!qobject_cast<QLineEdit *>(watched) || m_edit->window()->isHidden()) {
                m_started = false;
                return false;
            }
            if (m_started)
                end();
            // Each leaving for another control of the window is told, once the part typed is ended: Qt's
            // editingFinished tells it only where the text was set since it last did, so a refused text
            // left again would go unchecked.
            if (type == QEvent::FocusOut && Left &&
                static_cast<const QFocusEvent *>(event)->reason() != Qt::ActiveWindowFocusReason)
                Left();
            return false;
        }
        // A click in the field ends the part typed there, as a separator does.
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)
            return m_started && end();
        if (type != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (modifierKey(key->key()))
            return false;
        const QString typed = key->text();
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        const bool backspace = plain && key->key() == Qt::Key_Backspace;
        const bool printable = plain && typed.size() == 1 && typed.at(0).isPrint();
        if (!m_started && printable && typed.at(0).isDigit() && !m_edit->isReadOnly() &&
            m_edit->window()->focusWidget() == m_edit)
            begin();
        if (m_started && (printable || backspace)) {
            if (backspace || !typed.at(0).isLetter())
                typeKey(backspace ? QChar(QLatin1Char('\b')) : typed.at(0));
            return true;
        }
        // Any other key ends the typing first: Enter before the field is read, Tab before it is left.
        return m_started && end();
    }

private:
    void begin()
    {
        const QList<bool> places = digitPlaces(m_edit->inputMask());
        const QString blank = m_edit->inputMask().section(QLatin1Char(';'), 1, 1);
        m_blank = blank.isEmpty() ? QLatin1Char(' ') : blank.at(0);
        m_before = m_edit->displayText();
        m_text = m_before;
        int pos = m_edit->cursorPosition();
        // Typed over a selection, the mask blanks it.
        if (m_edit->hasSelectedText()) {
            pos = m_edit->selectionStart();
            for (int i = pos; i < m_edit->selectionEnd() && i < m_text.size(); ++i)
                if (i < places.size() && places.at(i))
                    m_text[i] = m_blank;
        }
        m_starts.clear();
        m_widths.clear();
        m_begun.clear();
        m_from = -1;
        m_at = 0;
        for (int i = 0; i < places.size() && i < m_text.size();) {
            if (!places.at(i)) {
                ++i;
                continue;
            }
            int end = i;
            while (end < places.size() && end < m_text.size() && places.at(end))
                ++end;
            if (m_from < 0 && pos < end) {
                m_from = int(m_starts.size());
                m_at = std::max(0, pos - i);
            }
            m_starts << i;
            m_widths << end - i;
            m_begun << m_text.mid(i, end - i);
            i = end;
        }
        if (m_from < 0)
            m_from = int(m_starts.size());
        m_letters = QStringLiteral("dMyHmsz").left(m_starts.size());
        m_keys.clear();
        m_started = !m_starts.isEmpty();
    }

    void typeKey(QChar key)
    {
        m_keys += key;
        m_now = readKeys(m_begun, m_widths, m_letters, m_from, m_at, m_keys);
        show(false);
    }

    // Done, a part typed takes leading zeros; one still typed shows blanks after its digits.
    void show(bool done)
    {
        QString text = m_text;
        int cursor = m_starts.last() + m_widths.last();
        for (int i = 0; i < m_starts.size(); ++i) {
            QString section = m_now.sections.at(i);
            const int width = m_widths.at(i);
            const bool typing = !done && i == m_now.section && m_now.inSection;
            if (section.size() < width)
                section = typing ? section + QString(width - section.size(), m_blank)
                                 : QString(width - section.size(), QLatin1Char('0')) + section;
            text.replace(m_starts.at(i), width, section);
            if (i == m_now.section)
                cursor = m_starts.at(i) + (m_now.over >= 0   ? m_now.over
                                           : m_now.inSection ? int(m_now.sections.at(i).size())
                                                             : 0);
        }
        m_showing = true;
        m_edit->setText(text);
        m_edit->setCursorPosition(cursor);
        m_showing = false;
    }

    // True when the typing is refused, and the key or click that ended it is to do nothing more.
    bool end()
    {
        // Over before anything is told: a box takes the focus, and that ends nothing more.
        m_started = false;
        if (m_keys.isEmpty())
            return false;
        show(true);
        if (!m_refuse)
            return false;
        const QString text = m_edit->displayText();
        QStringList runs;
        QList<int> starts;
        DateTimeTyping::Result r;
        if (!digitRuns(text, m_widths.size(), runs, starts))
            r.refused = QStringLiteral("Неверная дата: \"") + text + QLatin1Char('"');
        else
            r = readSections(runs, m_widths, m_letters, QDateTime(), text);
        if (r.refused.isNull() && !IsWorkDate(r.value.date()))
            r.refused = WorkDateProblem(r.value.date().toString(QStringLiteral("dd.MM.yyyy")));
        if (r.refused.isNull())
            return false;
        m_edit->setText(m_before);
        MessageProc(m_edit->window(), r.refused, MB_ICONERROR, MB_OK);
        return true;
    }

    QLineEdit *m_edit;
    bool m_refuse;
    bool m_started = false;
    bool m_showing = false;
    QChar m_blank;
    // The text before the typing, and as it began (a selection typed over blanked); the sections' places,
    // widths and what each is; the one the typing began in and the place in it; the keys typed since.
    QString m_before, m_text;
    QList<int> m_starts, m_widths;
    QString m_letters;
    QStringList m_begun;
    int m_from = 0, m_at = 0;
    QString m_keys;
    Reading m_now;
};

QLineEdit *lineOf(const QDateTimeEdit *edit)
{
    // Only the edit's own: a calendar popup holds a line edit of its year.
    return edit->findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
}

// The section of a text shown as typed that holds Pos, or the last one.
int sectionAt(const QString &text, int pos, qsizetype count)
{
    QStringList runs;
    QList<int> starts;
    if (!digitRuns(text, count, runs, starts))
        return -1;
    for (int i = 0; i < starts.size(); ++i)
        if (pos <= starts.at(i) + runs.at(i).size())
            return i;
    return int(count) - 1;
}

} // namespace

DateTimeTyping::DateTimeTyping(QDateTimeEdit *edit, Days days)
    : QObject(edit), m_edit(edit), m_line(lineOf(edit)), m_days(days)
{
    edit->installEventFilter(this);
    if (m_line)
        m_line->installEventFilter(this);
}

void DateTimeTyping::Reset()
{
    m_started = false;
    m_last = Result();
    m_keys.clear();
}

bool DateTimeTyping::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    // A click ends the typing there, and the next key goes to the section clicked, as the analyst saw it
    // in the text shown as typed; the edit has shown its value again by then.
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        if (!m_started || (watched != m_edit && watched != m_line))
            return false;
        const int clicked =
            watched == m_line
                ? sectionAt(m_line->text(),
                            m_line->cursorPositionAt(static_cast<QMouseEvent *>(event)->position().toPoint()),
                            m_sections.size())
                : -1;
        if (end())
            return true;
        m_clicked = clicked;
        return false;
    }
    if (type == QEvent::MouseButtonRelease && watched == m_line && m_clicked >= 0) {
        if (m_clicked < m_edit->sectionCount())
            m_edit->setCurrentSectionIndex(m_clicked);
        m_clicked = -1;
        return false;
    }
    if (watched != m_edit)
        return false;
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        const auto *key = static_cast<const QKeyEvent *>(event);
        const int k = key->key();
        // Shift for ':' and the like is part of the typing: neither typed nor its end.
        if (modifierKey(k))
            return false;
        // The edit would read its text by its own rules.
        if (type == QEvent::KeyRelease)
            return m_started;
        if (this->type(key))
            return true;
        // Any other key ends the typing, and then works on the value shown, unless the owner says not.
        return m_started && end();
    }
    if ((type == QEvent::FocusOut || (type == QEvent::Hide && !event->spontaneous())) && m_started) {
        // A window's teardown can hand the focus from control to control: an edit being destroyed is a date
        // edit no more, and neither it nor one whose window is closing (marked hidden before the focus
        // leaves) is to be touched or to say anything. An edit hidden in a window that stays (a page
        // switched) is left.
        if (!qobject_cast<QDateTimeEdit *>(watched) || m_edit->window()->isHidden())
            Reset();
        else
            end(); // before the edit reads its text by its own rules
    }
    return false;
}

bool DateTimeTyping::end()
{
    // Over before the owner hears of it: a box it shows takes the focus, and that ends nothing more.
    m_started = false;
    const int section = m_typedLast >= 0 ? m_typedLast : m_from;
    const bool done = OnEnded && OnEnded();
    // The edit learns the section last typed into, which the text shown as typed did not tell it: Tab after
    // a whole date leaves a date field, rather than move on from the section the typing began in.
    if (m_edit->sectionCount() == m_sections.size())
        m_edit->setCurrentSectionIndex(std::min(section, m_edit->sectionCount() - 1));
    Reset();
    return done;
}

bool DateTimeTyping::begin()
{
    if (!m_line || !splitFormat(m_edit->displayFormat(), m_sections, m_literals))
        return false;
    // The digits each section takes, and what it is.
    m_widths.clear();
    m_letters.clear();
    for (const QString &run : std::as_const(m_sections)) {
        const QChar c = run.at(0);
        m_widths << (c == QLatin1Char('y') ? (run.size() > 2 ? 4 : 2) : c == QLatin1Char('z') ? 3 : 2);
        m_letters += c;
    }
    QStringList runs;
    QList<int> starts;
    m_from = 0;
    if (digitRuns(m_line->text(), m_sections.size(), runs, starts)) {
        const int pos = m_line->hasSelectedText() ? m_line->selectionStart() : m_line->cursorPosition();
        m_from = sectionAt(m_line->text(), pos, m_sections.size());
        m_sections = runs;
    } else {
        // An empty field shows blank: its date is typed whole, its time of day starts at midnight.
        for (qsizetype i = 0; i < m_sections.size(); ++i) {
            const bool time = QStringLiteral("Hhmsz").contains(m_letters.at(i));
            m_sections[i] = time ? QString(m_widths.at(i), QLatin1Char('0')) : QString();
        }
    }
    m_section = m_from;
    m_inSection = false;
    m_typedLast = -1;
    m_begun = m_sections;
    m_keys.clear();
    m_before = m_edit->dateTime();
    m_started = true;
    return true;
}

bool DateTimeTyping::type(const QKeyEvent *key)
{
    if (m_edit->isReadOnly() || !m_edit->isEnabled() ||
        (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    const bool backspace = key->key() == Qt::Key_Backspace;
    const QString typed = key->text();
    if (!backspace && (typed.size() != 1 || !typed.at(0).isPrint()))
        return false;
    // A key sent to an edit that does not hold its window's focus is the edit's own business. Whether the
    // window is the active one does not matter: without a window manager none may be.
    if (!m_started && (m_edit->window()->focusWidget() != m_edit || !begin()))
        return false;
    m_keys += backspace ? QChar(QLatin1Char('\b')) : typed.at(0);
    const Reading r = readKeys(m_begun, m_widths, m_letters, m_from, 0, m_keys);
    m_sections = r.sections;
    m_section = r.section;
    m_inSection = r.inSection;
    m_typedLast = r.last;
    const int last = int(m_sections.size()) - 1;
    QString text = m_literals.first();
    int cursor = -1;
    for (qsizetype i = 0; i <= last; ++i) {
        if (i == m_section && !m_inSection)
            cursor = int(text.size());
        text += m_sections.at(i);
        if (i == m_section && m_inSection)
            cursor = int(text.size());
        text += m_literals.at(i + 1);
    }
    if (cursor < 0)
        cursor = int(text.size() - m_literals.last().size());
    m_last = read(text);
    if (OnTyped)
        OnTyped(m_last);
    // Shown as typed: the edit's own rules neither correct the text nor learn it; it learns the value when
    // the typing ends.
    const QSignalBlocker quiet(m_line);
    const QValidator *rules = m_line->validator();
    m_line->setValidator(nullptr);
    m_line->setText(text);
    m_line->setCursorPosition(cursor);
    m_line->setValidator(rules);
    return true;
}

DateTimeTyping::Result DateTimeTyping::read(const QString &text) const
{
    // The day must be one of its month, the time of day one of a day.
    Result r = readSections(m_sections, m_widths, m_letters, m_edit->dateTime(), text);
    if (!r.refused.isNull() || !m_letters.contains(QLatin1Char('d')))
        return r;
    const QDate date = r.value.date();
    const bool shown = r.value >= m_edit->minimumDateTime() && r.value <= m_edit->maximumDateTime();
    const QString typed = date.toString(QStringLiteral("dd.MM.yyyy"));
    if (m_days == Days::Working && (!IsWorkDate(date) || !shown))
        r.refused = WorkDateProblem(typed);
    else if (!shown)
        r.refused = DateRangeProblem(typed, m_edit->minimumDate(), m_edit->maximumDate());
    return r;
}

void SetDateTyping(QDateTimeEdit *Edit, DateTimeTyping::Days Days)
{
    auto *typing = new DateTimeTyping(Edit, Days);
    typing->OnTyped = [Edit, typing](const DateTimeTyping::Result &r) {
        Edit->setDateTime(r.refused.isNull() ? r.value : typing->Before());
    };
    typing->OnEnded = [Edit, typing] {
        const QString refused = typing->Last().refused;
        // The value again, in the edit's own form.
        Edit->setDateTime(Edit->dateTime());
        if (refused.isNull())
            return false;
        MessageProc(Edit->window(), refused, MB_ICONERROR, MB_OK);
        return true;
    };
}

void SetMaskedDateTyping(QLineEdit *Edit, bool Refuse)
{
    new MaskedTyping(Edit, Refuse);
}

void SetMaskedEditLeft(QLineEdit *Edit, std::function<void()> Left)
{
    if (auto *typing =
            Edit->findChild<QObject *>(QStringLiteral("maskedDateTyping"), Qt::FindDirectChildrenOnly))
        static_cast<MaskedTyping *>(typing)->Left = std::move(Left);
}
