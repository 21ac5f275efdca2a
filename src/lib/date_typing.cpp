#include "lib/date_typing.h"

#include "lib/messages.h"
#include "lib/work_dates.h"

#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QLineEdit>

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

// Watches a masked date-time edit for the section a digit was typed into.
class MaskedTyping : public QObject
{
public:
    explicit MaskedTyping(QLineEdit *edit) : QObject(edit), m_edit(edit) { edit->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_edit)
            return false;
        const QEvent::Type type = event->type();
        const bool popup = (type == QEvent::FocusIn || type == QEvent::FocusOut) &&
                           static_cast<const QFocusEvent *>(event)->reason() == Qt::PopupFocusReason;
        if (type == QEvent::FocusIn && !popup)
            m_start = -1;
        // Leaving the field ends the section, unless a menu over it took the focus for a moment. An edit
        // being destroyed is a line edit no more.
        if (type == QEvent::FocusOut && !popup) {
            if (qobject_cast<QLineEdit *>(watched))
                endSection(m_edit->cursorPosition());
            m_start = -1;
        }
        if (type != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (modifierKey(key->key()))
            return false;
        const QString typed = key->text();
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
                           typed.size() == 1 && typed.at(0).isPrint();
        const QList<bool> places = digitPlaces(m_edit->inputMask());
        int pos = m_edit->hasSelectedText() ? m_edit->selectionStart() : m_edit->cursorPosition();
        if (plain && typed.at(0).isDigit()) {
            while (pos < places.size() && !places.at(pos))
                ++pos;
            int start = pos;
            while (start > 0 && places.at(start - 1))
                --start;
            // Typed over the section from its start, or on in it.
            if (start != m_start && pos == start)
                m_start = start;
            else if (start != m_start)
                m_start = -1;
            return false;
        }
        // Enter ends the section before the field is read, Tab as it leaves the field.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Tab ||
            key->key() == Qt::Key_Backtab) {
            endSection(pos);
            m_start = -1;
            return false;
        }
        // Past the section's last digit the mask takes the separator as typed.
        if (!plain || typed.at(0).isLetter() || m_edit->hasSelectedText()) {
            m_start = -1;
            return false;
        }
        const int end = endSection(pos);
        m_start = -1;
        if (end < 0)
            return false;
        int next = end;
        while (next < places.size() && !places.at(next))
            ++next;
        m_edit->setCursorPosition(next);
        return true;
    }

private:
    // The digits typed from the section's start up to Pos take leading zeros over the whole section; where
    // the section ends, or -1 when no section is being typed or it is full.
    int endSection(int pos)
    {
        const QList<bool> places = digitPlaces(m_edit->inputMask());
        const int start = m_start;
        if (start < 0 || m_edit->hasSelectedText() || pos <= start || pos >= places.size() ||
            !places.at(pos) || !places.at(pos - 1))
            return -1;
        int end = pos;
        while (end < places.size() && places.at(end))
            ++end;
        QString text = m_edit->displayText();
        const QString digits = text.mid(start, pos - start);
        text.replace(start, end - start, QString(end - pos, QLatin1Char('0')) + digits);
        m_edit->setText(text);
        m_edit->setCursorPosition(end);
        return end;
    }

    QLineEdit *m_edit;
    int m_start = -1; // of the section digits are being typed into, -1 when none
};

QLineEdit *lineOf(const QDateTimeEdit *edit)
{
    // Only the edit's own: a calendar popup holds a line edit of its year.
    return edit->findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

DateTimeTyping::DateTimeTyping(QDateTimeEdit *edit, Days days) : QObject(edit), m_edit(edit), m_days(days)
{
    edit->installEventFilter(this);
}

void DateTimeTyping::Reset()
{
    m_started = false;
    m_last = Result();
    m_keys.clear();
}

bool DateTimeTyping::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_edit)
        return false;
    const QEvent::Type type = event->type();
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
    if (type == QEvent::FocusOut && m_started) {
        // A window's teardown can hand the focus from control to control: an edit being destroyed is a date
        // edit no more, and neither it nor one going out of sight (its window is marked hidden before the
        // focus leaves) is to be touched or to say anything.
        if (!qobject_cast<QDateTimeEdit *>(watched) || m_edit->window()->isHidden() ||
            !m_edit->isVisibleTo(m_edit->window()))
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
    const int section = m_section;
    const bool done = OnEnded && OnEnded();
    // The edit learns where the typing stands, which the text shown as typed did not tell it: Tab after a
    // whole date leaves the field, rather than move on from the section the typing began in.
    if (m_edit->sectionCount() == m_sections.size())
        m_edit->setCurrentSectionIndex(section);
    Reset();
    return done;
}

bool DateTimeTyping::begin()
{
    QLineEdit *line = lineOf(m_edit);
    if (!line || !splitFormat(m_edit->displayFormat(), m_sections, m_literals))
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
    m_section = 0;
    if (digitRuns(line->text(), m_sections.size(), runs, starts)) {
        const int pos = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
        m_section = int(m_sections.size()) - 1;
        for (int i = 0; i < starts.size(); ++i)
            if (pos <= starts.at(i) + runs.at(i).size()) {
                m_section = i;
                break;
            }
        m_sections = runs;
    } else {
        // An empty field shows blank: its date is typed whole, its time of day starts at midnight.
        for (qsizetype i = 0; i < m_sections.size(); ++i) {
            const bool time = QStringLiteral("Hhmsz").contains(m_letters.at(i));
            m_sections[i] = time ? QString(m_widths.at(i), QLatin1Char('0')) : QString();
        }
    }
    m_inSection = false;
    m_begun = m_sections;
    m_from = m_section;
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
    // A key sent to an edit without the focus is the edit's own business.
    if (!m_started && (!m_edit->hasFocus() || !begin()))
        return false;
    const QChar c = backspace ? QLatin1Char('\b') : typed.at(0);
    m_keys += c;
    if (!step(c) && m_from > 0) {
        // More than the sections from the one it began in hold: a whole date or time, typed from its first.
        m_sections = m_begun;
        m_section = m_from = 0;
        m_inSection = false;
        for (const QChar k : std::as_const(m_keys))
            step(k);
    }
    const int last = int(m_sections.size()) - 1;
    QString text = m_literals.first();
    int cursor = 0;
    for (qsizetype i = 0; i <= last; ++i) {
        if (i == m_section && !m_inSection)
            cursor = int(text.size());
        text += m_sections.at(i);
        if (i == m_section && m_inSection)
            cursor = int(text.size());
        text += m_literals.at(i + 1);
    }
    m_last = read(text);
    if (OnTyped)
        OnTyped(m_last);
    // Shown as typed: the edit's own rules neither correct the text nor learn it; it learns the value when
    // the typing ends.
    QLineEdit *line = lineOf(m_edit);
    const QSignalBlocker quiet(line);
    const QValidator *rules = line->validator();
    line->setValidator(nullptr);
    line->setText(text);
    line->setCursorPosition(cursor);
    line->setValidator(rules);
    return true;
}

// One key of the typing; false when it goes past the last section: a digit over it when full, a separator
// inside it.
bool DateTimeTyping::step(QChar key)
{
    const int last = int(m_sections.size()) - 1;
    QString &section = m_sections[m_section];
    const int width = m_widths.at(m_section);
    if (key == QLatin1Char('\b')) {
        // Right after a section ended, the digit before it goes.
        if (!m_inSection && m_section > 0)
            --m_section;
        m_inSection = true;
        m_sections[m_section].chop(1);
    } else if (key.isDigit()) {
        const bool past = m_inSection && section.size() >= width;
        if (!m_inSection || section.size() >= width)
            section.clear();
        m_inSection = true;
        section += key;
        if (section.size() >= width && m_section < last) {
            ++m_section;
            m_inSection = false;
        }
        return !past;
    } else if (!key.isLetter() && m_inSection) {
        // A separator ends the section; right after a full one it only confirms it.
        if (m_section == last)
            return section.size() >= width;
        ++m_section;
        m_inSection = false;
    }
    return true;
}

DateTimeTyping::Result DateTimeTyping::read(const QString &text) const
{
    // Read section by section: the day must be one of its month, the time of day one of a day.
    bool numbers = true;
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0, msec = 0;
    for (qsizetype i = 0; i < m_sections.size(); ++i) {
        bool ok = false;
        const int v = m_sections.at(i).toInt(&ok);
        // A year is typed whole, or it would be one of the first centuries.
        numbers = numbers && ok &&
                  (m_letters.at(i) != QLatin1Char('y') || m_sections.at(i).size() == m_widths.at(i));
        switch (m_letters.at(i).unicode()) {
        case 'd':
            day = v;
            break;
        case 'M':
            month = v;
            break;
        case 'y':
            year = m_widths.at(i) == 2 ? 1900 + v : v;
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
            msec = v;
            break;
        }
    }
    const bool hasDate = m_letters.contains(QLatin1Char('d'));
    const bool hasTime = m_letters.contains(QLatin1Char('H')) || m_letters.contains(QLatin1Char('h'));
    const QDate date = hasDate ? QDate(year, month, day) : m_edit->date();
    const QTime time = hasTime ? QTime(hour, minute, second, msec) : m_edit->time();
    Result r;
    if (!numbers || !date.isValid() || !time.isValid()) {
        r.refused = (hasDate ? QStringLiteral("Неверная дата: \"") : QStringLiteral("Неверное время: \"")) +
                    text + QLatin1Char('"');
        return r;
    }
    r.value = QDateTime(date, time);
    if (!hasDate)
        return r;
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

void SetMaskedDateTyping(QLineEdit *Edit)
{
    new MaskedTyping(Edit);
}
