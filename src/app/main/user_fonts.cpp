#include "app/main/user_fonts.h"

#include "app/main/appearance.h"
#include "lib/mstring_grid.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QListWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>

#include <vector>

namespace {

const char *const kAppliedFont = "userFont";

QString fontSignature(const TUserFont &f)
{
    const QFont &q = f.Font;
    return QStringLiteral("%1|%2|%3|%4|%5|%6%7%8%9")
        .arg(q.family())
        .arg(q.pointSize())
        .arg(q.pixelSize())
        .arg(f.Color)
        .arg(f.Charset)
        .arg(int(q.bold()))
        .arg(int(q.italic()))
        .arg(int(q.underline()))
        .arg(int(q.strikeOut()));
}

// A font with every attribute set, so the widget no longer follows its parent in any of them.
QFont explicitFont(const QFont &base)
{
    QFont f;
    f.setFamily(base.family());
    if (base.pointSize() > 0)
        f.setPointSize(base.pointSize());
    else if (base.pixelSize() > 0)
        f.setPixelSize(base.pixelSize());
    f.setBold(base.bold());
    f.setItalic(base.italic());
    f.setUnderline(base.underline());
    f.setStrikeOut(base.strikeOut());
    return f;
}

void setFamily(QWidget *control, const QString &family)
{
    QFont f = explicitFont(control->font());
    f.setFamily(family);
    control->setFont(f);
}

// Only the enabled look takes the colour: a disabled control keeps the style's grey text.
void setWidgetColor(QWidget *w, const QColor &color)
{
    QPalette p = w->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            p.setColor(group, role, color);
    w->setPalette(p);
}

int textHeight(const QWidget *w)
{
    return QFontMetrics(w->font()).height();
}

constexpr TColor kNoColor = -1;

struct Fixup
{
    QString name;
    int sizeDelta = 0;
    int style = 0;
    TColor color = kNoColor;
    QString family;
};

Fixup bold(const char *name, int sizeDelta = 0)
{
    return {QString::fromLatin1(name), sizeDelta, fsBold, kNoColor, QString()};
}

Fixup colored(const char *name, int style, TColor color, int sizeDelta = 0)
{
    return {QString::fromLatin1(name), sizeDelta, style, color, QString()};
}

Fixup face(const char *name, const char *family, int sizeDelta = 0)
{
    return {QString::fromLatin1(name), sizeDelta, 0, kNoColor, QString::fromLatin1(family)};
}

std::vector<Fixup> fixupsOf(int kind)
{
    switch (kind) {
    case KindMain: {
        std::vector<Fixup> list = {bold("Label1", 3), bold("Label2")};
        for (int i = 4; i <= 13; ++i)
            list.push_back({QStringLiteral("Label%1").arg(i), 0, fsBold, kNoColor, QString()});
        list.insert(list.end(), {bold("Label16"),
                                 bold("Label28"),
                                 bold("Label54", 3),
                                 bold("num", 3),
                                 {QStringLiteral("DBText1"), 3, 0, kNoColor, QString()},
                                 {QStringLiteral("DBText2"), 3, 0, kNoColor, QString()},
                                 bold("Svodka"),
                                 bold("Delete_event"),
                                 bold("Button24"),
                                 colored("Label23", fsBold, clRed),
                                 bold("Label26", 4),
                                 bold("Label27", 4),
                                 bold("Button11"),
                                 bold("Button14"),
                                 colored("Label29", fsBold, clNavy, 8),
                                 colored("Label32", fsBold | fsUnderline, clBlue),
                                 colored("Label33", 0, clNavy),
                                 colored("Label61", 0, clRed),
                                 bold("Label63"),
                                 bold("Label64"),
                                 bold("Button30"),
                                 colored("hlp", 0, clBlue)});
        return list;
    }
    case KindDataFormat:
        return {{QStringLiteral("ex"), 2, 0, kNoColor, QString()}};
    case KindSettings:
        return {colored("Label1", fsBold, clBlue), colored("Label2", fsBold, clBlue)};
    case KindConnection:
        return {colored("rbd1", fsBold, clBlue), colored("rbd2", fsBold, clBlue)};
    case KindReport:
        return {face("Label7", "Symbol", 6), face("Label8", "Symbol", 6), face("fi", "Courier New"),
                face("lamb", "Courier New")};
    case KindStartup:
        return {colored("Label2", 0, clGreen)};
    case KindSummaryEditor:
        return {bold("Button1"), bold("Button2"), face("re", "Courier New")};
    default:
        return {};
    }
}

void applyFixup(QWidget *form, const Fixup &f)
{
    auto *w = form->findChild<QWidget *>(f.name);
    if (!w)
        return;
    if (!f.family.isEmpty())
        setFamily(w, f.family);
    if (f.sizeDelta != 0 || f.style != 0)
        EmphasizeControl(w, f.sizeDelta, f.style);
    if (f.color != kNoColor)
        SetControlColor(w, f.color);
}

void mainWindowExtras(QWidget *form, const TUserFont &font)
{
    if (auto *jvcb = form->findChild<QWidget *>(QStringLiteral("Jvcb"))) {
        jvcb->setFont(explicitFont(font.Font));
        const QString caption = jvcb->property("text").toString();
        jvcb->setFixedWidth(QFontMetrics(jvcb->font()).horizontalAdvance(caption) + 12);
    }
    if (auto *stas = form->findChild<QListWidget *>(QStringLiteral("stas"))) {
        const int h = textHeight(stas);
        stas->setProperty("itemHeight", h);
        for (int i = 0; i < stas->count(); ++i)
            stas->item(i)->setSizeHint(QSize(105, h));
        if (auto *sgts = form->findChild<QTableWidget *>(QStringLiteral("sgts")))
            sgts->verticalHeader()->setDefaultSectionSize(h + 4);
    }
    auto *button30 = form->findChild<QWidget *>(QStringLiteral("Button30"));
    auto *tim2 = form->findChild<QWidget *>(QStringLiteral("tim2"));
    if (button30 && tim2)
        button30->setFixedHeight(tim2->sizeHint().height());
}

void settingsDialogExtras(QWidget *form)
{
    auto *sg = form->findChild<QTableWidget *>(QStringLiteral("sg"));
    if (!sg)
        return;
    const int h = QFontMetrics(sg->font()).height() + 4;
    sg->verticalHeader()->setDefaultSectionSize(h);
    if (auto *sg2 = form->findChild<QTableWidget *>(QStringLiteral("sg2")))
        sg2->verticalHeader()->setDefaultSectionSize(h);
}

void sizeColumnsToTexts(QTableView *grid, int cellPad)
{
    const QFontMetrics fm(grid->font());
    const QAbstractItemModel *model = grid->model();
    if (!model)
        return;
    // The import grid's cells are looked at without going through a value of each.
    const auto *strings = qobject_cast<TMStringGrid *>(grid);
    const bool headers = !grid->horizontalHeader()->isHidden();
    for (int c = 0; c < model->columnCount(); ++c) {
        int width = headers ? fm.horizontalAdvance(model->headerData(c, Qt::Horizontal).toString()) : 0;
        if (strings) {
            width = qMax(width, fm.horizontalAdvance(strings->cells().Cell(c, 0)));
            width = qMax(width, strings->cells().WidestText(c, fm));
        } else {
            for (int r = 0; r < model->rowCount(); ++r)
                width = qMax(width, fm.horizontalAdvance(model->index(r, c).data().toString()));
        }
        grid->setColumnWidth(c, width + cellPad);
    }
}

} // namespace

void EmphasizeControl(QWidget *Control, int SizeDelta, int Style)
{
    QFont f = explicitFont(Control->font());
    if (SizeDelta != 0) {
        if (f.pointSize() > 0)
            f.setPointSize(qMax(1, f.pointSize() + SizeDelta));
        else if (f.pixelSize() > 0)
            f.setPixelSize(qMax(1, f.pixelSize() + SizeDelta));
    }
    if (Style & fsBold)
        f.setBold(true);
    if (Style & fsItalic)
        f.setItalic(true);
    if (Style & fsUnderline)
        f.setUnderline(true);
    if (Style & fsStrikeOut)
        f.setStrikeOut(true);
    Control->setFont(f);
}

void SetControlColor(QWidget *Control, TColor Color)
{
    setWidgetColor(Control, ColorToQColor(Color));
}

void ResetControlFont(QWidget *Control)
{
    Control->setFont(QFont());
    Control->setPalette(QPalette());
}

bool ApplyFormFont(QWidget *Form, int Kind, const TUserFont &Font)
{
    const QString signature = fontSignature(Font);
    if (Form->property(kAppliedFont).toString() == signature)
        return false;

    struct Noted
    {
        QWidget *w;
        bool bold;
        bool ownColor;
        QColor color;
    };
    std::vector<Noted> noted;
    if (Kind == KindMain) {
        for (const char *name : {"st2", "st3"})
            if (auto *w = Form->findChild<QWidget *>(QString::fromLatin1(name))) {
                noted.push_back({w, w->font().bold(), w->testAttribute(Qt::WA_SetPalette),
                                 w->palette().color(QPalette::WindowText)});
                ResetControlFont(w);
            }
    }
    const std::vector<Fixup> fixups = fixupsOf(Kind);
    for (const Fixup &f : fixups)
        if (auto *w = Form->findChild<QWidget *>(f.name))
            ResetControlFont(w);

    Form->setFont(explicitFont(Font.Font));
    setWidgetColor(Form, ColorToQColor(Font.Color));
    Form->setProperty(kAppliedFont, signature);

    for (const Fixup &f : fixups)
        applyFixup(Form, f);
    if (Kind == KindMain) {
        mainWindowExtras(Form, Font);
        for (const Noted &n : noted) {
            if (n.bold)
                EmphasizeControl(n.w, 0, fsBold);
            if (n.ownColor)
                setWidgetColor(n.w, n.color);
        }
    } else if (Kind == KindSettings) {
        settingsDialogExtras(Form);
    }
    return true;
}

void ApplyGridFont(QTableView *Grid, const TUserFont &MainFont, const TUserFont &GridFont, bool SgMain,
                   int CellPad, bool GridLock)
{
    const QString previous = Grid->property(kAppliedFont).toString();
    if (SgMain) {
        ResetControlFont(Grid);
        Grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(Grid->font()).height() + CellPad);
        const QString signature = fontSignature(MainFont);
        Grid->setProperty(kAppliedFont, signature);
        if (previous == signature)
            return;
    } else {
        const QString signature = fontSignature(GridFont);
        if (previous == signature)
            return;
        Grid->setFont(explicitFont(GridFont.Font));
        setWidgetColor(Grid, ColorToQColor(GridFont.Color));
        Grid->setProperty(kAppliedFont, signature);
        Grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(Grid->font()).height() + CellPad);
    }
    if (GridLock)
        sizeColumnsToTexts(Grid, CellPad);
}

void SetDoubleBuffered(QWidget *Form, bool Value)
{
    Form->setProperty("doubleBuffered", Value);
    for (QWidget *w : Form->findChildren<QWidget *>())
        if (!qobject_cast<QTextEdit *>(w))
            w->setProperty("doubleBuffered", Value);
}
