#include "app/settings/mail_settings_grid.h"

#include <QApplication>
#include <QTableWidget>

namespace {
constexpr int ValueColumn = 1;
enum MailRow { RowFrom = 0, RowTo = 1, RowCc = 2, RowSubject = 3 };
} // namespace

QString MailGridValue(const QTableWidget *Grid, int Row)
{
    const QTableWidgetItem *item = Grid->item(Row, ValueColumn);
    return item ? item->text() : QString();
}

void SetMailGridValue(QTableWidget *Grid, int Row, const QString &Value)
{
    if (QTableWidgetItem *item = Grid->item(Row, ValueColumn))
        item->setText(Value);
    else
        Grid->setItem(Row, ValueColumn, new QTableWidgetItem(Value));
}

void PaintMailSettingsGrid(QTableWidget *Grid)
{
    const QPalette app = QApplication::palette();
    QPalette p = Grid->palette();
    p.setColor(QPalette::Base, Grid->isEnabled() ? app.color(QPalette::Base) : app.color(QPalette::Button));
    Grid->setPalette(p);
}

void SwapMailSettingsGrid(QString &From, QString &To, QString &Subject, QString &Cc, QTableWidget *Grid,
                          bool ToGlobal, bool Editable, const Tsett &Global)
{
    if (ToGlobal) {
        Grid->setEnabled(false);
        From = MailGridValue(Grid, RowFrom);
        To = MailGridValue(Grid, RowTo);
        Cc = MailGridValue(Grid, RowCc);
        Subject = MailGridValue(Grid, RowSubject);
        SetMailGridValue(Grid, RowFrom, Global.mail_from);
        SetMailGridValue(Grid, RowTo, Global.mail_recv);
        SetMailGridValue(Grid, RowCc, Global.mail_cc);
        SetMailGridValue(Grid, RowSubject, Global.mail_subj);
    } else {
        Grid->setEnabled(Editable);
        SetMailGridValue(Grid, RowFrom, From);
        SetMailGridValue(Grid, RowTo, To);
        SetMailGridValue(Grid, RowCc, Cc);
        SetMailGridValue(Grid, RowSubject, Subject);
    }
    PaintMailSettingsGrid(Grid);
}
