#include "products/summary_editor.h"

#include "app/main/appearance.h"
#include "app/settings/param_dialog.h"
#include "lib/codec.h"
#include "lib/control_routines.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/safe_write.h"
#include "lib/system_errors.h"
#include "lib/text_routines.h"

#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

constexpr int kButtonWidth = 97;
constexpr int kButtonHeight = 41;
constexpr int kButtonTop = 7;
constexpr int kButton1Left = 8;
constexpr int kButton2Left = kButton1Left + kButtonWidth + 7;
constexpr int kButton3Left = kButton2Left + kButtonWidth + 7;

// A push button whose caption wraps onto a second line, as the long captions need at this width.
class WrapButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter p(this);
        QStyleOptionButton opt;
        initStyleOption(&opt);
        const QString caption = opt.text;
        opt.text.clear();
        p.drawControl(QStyle::CE_PushButton, opt);
        p.drawText(rect().adjusted(4, 2, -4, -2), Qt::AlignCenter | Qt::TextWordWrap, caption);
    }
};

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, int left, bool bold)
{
    auto *b = new WrapButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(left, kButtonTop, kButtonWidth, kButtonHeight);
    if (bold) {
        QFont f = b->font();
        f.setBold(true);
        b->setFont(f);
    }
    return b;
}

// Lines end at CR, LF or CR LF; a last line without an end counts when it holds anything.
QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

} // namespace

Tsveditor::Tsveditor(QWidget *owner, Tsett &Sett)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_sett(Sett)
{
    setObjectName(QStringLiteral("sveditor"));
    setWindowTitle(QStringLiteral("Просмотр сводки"));
    resize(600, 406);

    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(45);
    BitBtn1 = new QPushButton(QStringLiteral("Найти"), Panel2);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(8, 10, 100, 25);
    BitBtn2 = new QPushButton(QStringLiteral("Найти и заменить"), Panel2);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(116, 10, 140, 25);

    re = new QPlainTextEdit(this);
    re->setObjectName(QStringLiteral("re"));
    QFont mono(QStringLiteral("Courier New"), 8);
    mono.setStyleHint(QFont::Monospace);
    re->setFont(mono);
    re->setLineWrapMode(QPlainTextEdit::NoWrap);
    re->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    re->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(55);
    Button1 = makeButton(Panel1, "Button1", QStringLiteral("Сохранить и отправить"), kButton1Left, true);
    Button2 =
        makeButton(Panel1, "Button2", QStringLiteral("Сохранить, но не отправлять"), kButton2Left, true);
    Button3 =
        makeButton(Panel1, "Button3", QStringLiteral("Не сохранять и не отправлять"), kButton3Left, false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel2);
    layout->addWidget(re, 1);
    layout->addWidget(Panel1);

    connect(Button1, &QPushButton::clicked, this, [this] { saveAndClose(IDOK); });
    connect(Button2, &QPushButton::clicked, this, [this] { saveAndClose(IDYES); });
    connect(Button3, &QPushButton::clicked, this, [this] { done(IDCANCEL); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { FindReplace(false); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { FindReplace(true); });
    connect(re, &QPlainTextEdit::textChanged, this, &Tsveditor::reChange);

    ApplyUserAppearance(this, KindSummaryEditor);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Tsveditor::SetView(const QString &FileName, bool SendMode)
{
    this->SendMode = SendMode;
    this->FileName = FileName;
    if (SendMode) {
        Button1->setText(QStringLiteral("Отправить"));
        Button2->hide();
        Button3->move(kButton2Left, kButtonTop);
        Button3->setText(QStringLiteral("Не отправлять"));
        Button3->show();
    } else {
        Button1->setText(QStringLiteral("OK"));
        Button2->hide();
        Button3->hide();
    }

    SetControlTag(re, 1);
    re->clear();
    try {
        QFile file(FileName);
        if (!file.open(QIODevice::ReadOnly))
            throw EFileError(
                QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(FileName, FileErrorText(file)));
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw EFileError(
                QStringLiteral("Не удалось прочитать файл \"%1\": %2").arg(FileName, FileErrorText(file)));
        re->setPlainText(splitLines(fromCp1251(bytes)).join(QLatin1Char('\n')));
        SetControlTag(re, 0);
        Changed = false;
    } catch (const std::exception &e) {
        // The tag stays 1: what the user types then is not taken for an edit of the file.
        MessageProc(this,
                    QStringLiteral("SetView: Не удалось загрузить файл сводки. Сообщение об ошибке:\r") +
                        ExceptionText(e),
                    MB_ICONERROR, MB_OK);
    }
}

QStringList Tsveditor::Lines() const
{
    const QString text = re->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void Tsveditor::reChange()
{
    if (ControlTag(re) >= 1)
        return;
    Changed = true;
    if (SendMode) {
        Button1->setText(QStringLiteral("Сохранить и отправить"));
        Button2->show();
        Button3->move(kButton3Left, kButtonTop);
        Button3->setText(QStringLiteral("Не сохранять и не отправлять"));
    } else {
        Button1->setText(QStringLiteral("Сохранить"));
        Button2->hide();
        Button3->move(kButton2Left, kButtonTop);
        Button3->setText(QStringLiteral("Не сохранять"));
    }
    Button3->show();
}

bool Tsveditor::SaveChanges()
{
    if (!Changed)
        return true;
    QByteArray bytes;
    for (const QString &line : Lines())
        bytes += toCp1251(line) + "\r\n";
    // Written aside and renamed, so a failed save leaves the file as it was.
    QString reason;
    if (SafeWriteFile(FileName, bytes, &reason))
        return true;
    MessageProc(this,
                QStringLiteral("SaveChanges: Не удалось сохранить файл сводки. Сообщение об ошибке:\r") +
                    QStringLiteral("Не удалось записать файл \"%1\": %2").arg(FileName, reason),
                MB_ICONERROR, MB_OK);
    return false;
}

void Tsveditor::saveAndClose(int result)
{
    if (SaveChanges())
        done(result);
}

void Tsveditor::reject()
{
    done(IDCANCEL);
}

int Tsveditor::ExecFindDialog(Tpar &Dialog)
{
    return Dialog.exec();
}

void Tsveditor::FindReplace(bool Replace)
{
    const QStringList labels =
        Replace ? QStringList{QStringLiteral("Искать_Заменить на"), QStringLiteral("Настройка поиска"),
                              QStringLiteral("Найти и заменить строку"),
                              QStringLiteral("Найти и заменить все такие строки"),
                              QStringLiteral("Посчитать кол-во таких строк")}
                : QStringList{QStringLiteral("Искать"), QStringLiteral("Настройка поиска"),
                              QStringLiteral("Найти первую строку"), QStringLiteral("Найти следующую строку"),
                              QStringLiteral("Посчитать кол-во таких строк")};
    int result;
    {
        Tpar dialog(this);
        dialog.Setup(4, &m_sett, labels);
        result = ExecFindDialog(dialog);
    }

    const QString S = TrimBlanks(Replace ? m_sett.find_rfstr : m_sett.find_fstr).toLower();
    const QString R = Replace ? TrimBlanks(m_sett.find_rstr).toLower() : QString();
    const int option = Replace ? m_sett.find_ropt : m_sett.find_fopt;
    if (result != QDialog::Accepted || S.isEmpty())
        return;
    if (Replace && ((R.isEmpty() && option != 2) || S == R))
        return;

    // Positions run over the editor's own text, where a line break is one character; the search text
    // holds no line break, so the matches are those of the text with CR LF.
    const QString original = re->toPlainText();
    const QString T = original.toLower();
    const auto occurrences = [&] {
        QList<qsizetype> at;
        for (qsizetype p = T.indexOf(S); p >= 0; p = T.indexOf(S, p + 1))
            at << p;
        return at;
    };

    qsizetype p = -1;
    if (option == 2) {
        MessageProc(this, QStringLiteral("Строка встречается %1 раз.").arg(occurrences().size()),
                    MB_ICONINFORMATION, MB_OK);
        return;
    }
    if (option == 1 && !Replace)
        p = T.indexOf(S, re->textCursor().selectionStart() + 1);
    else
        p = T.indexOf(S);
    if (p < 0) {
        MessageProc(this, QStringLiteral("Искомая строка не найдена!"), MB_ICONWARNING, MB_OK);
        return;
    }

    re->setFocus();
    QTextCursor cursor = re->textCursor();
    if (!Replace) {
        cursor.setPosition(int(p));
        cursor.setPosition(int(p + S.size()), QTextCursor::KeepAnchor);
        re->setTextCursor(cursor);
    } else if (option == 0) {
        cursor.setPosition(int(p));
        cursor.setPosition(int(p + S.size()), QTextCursor::KeepAnchor);
        cursor.insertText(R);
        cursor.setPosition(int(p));
        cursor.setPosition(int(p + R.size()), QTextCursor::KeepAnchor);
        re->setTextCursor(cursor);
    } else {
        // Overlapping matches each get their replacement; the characters they share are dropped.
        const QList<qsizetype> at = occurrences();
        QString rebuilt = original.left(at.first());
        for (qsizetype i = 0; i < at.size(); ++i) {
            const qsizetype end = at[i] + S.size();
            const qsizetype next = i + 1 < at.size() ? at[i + 1] : original.size();
            rebuilt += R + original.mid(end, std::max<qsizetype>(0, next - end));
        }
        re->setPlainText(rebuilt);
        MessageProc(this, QStringLiteral("Заменено %1 раз.").arg(at.size()), MB_ICONINFORMATION, MB_OK);
    }
}

int RunSummaryEditor(QWidget *Owner, Tsett &Sett, const QString &FileName, bool SendMode, QStringList &Lines)
{
    Tsveditor editor(Owner, Sett);
    editor.SetView(FileName, SendMode);
    const int result = editor.exec();
    Lines = editor.Lines();
    return result;
}
