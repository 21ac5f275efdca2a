#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/settings/param_dialog.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "lib/messages.h"
#include "lib/sql_text.h"
#include "lib/statements.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QSplitter>

tnetcodes Tmainf::ParseNetwork(const QString &NetName, const QString &NetList)
{
    tnetcodes net;
    net.netname = NetName;
    dsarray pieces;
    SplitTokens(NetList.trimmed(), CharSet(";"), CharSet(), pieces);
    pieces.removeAll(QString());
    if (pieces.isEmpty())
        return net;
    net.list = std::make_shared<QStringList>();
    QStringList quoted;
    for (qsizetype i = pieces.size() - 1; i >= 0; --i) {
        quoted << SqlQuote(pieces.at(i));
        net.list->append(pieces.at(i));
    }
    net.netlist = quoted.join(QLatin1Char(','));
    return net;
}

bool Tmainf::updateNetworkList(const QString &Name, const QStringList &Codes, const QString &Failure)
{
    const QString where = QStringLiteral(" where netname=") + SqlQuote(Name);
    const QString sql = Codes.isEmpty()
                            ? QStringLiteral("update networks set netlist=null") + where
                            : QStringLiteral("update networks set netlist=") +
                                  SqlQuote(Codes.join(QLatin1Char(';')) + QLatin1Char(';')) + where;
    Tdm *dm = Tdm::instance();
    return dm && dm->WithOrx(*this, this, Failure, [&](Tdm &dm) { return QExe(*dm.acm_in11, sql); });
}

void Tmainf::netsSelectionChanged()
{
    // Runs queued, so it judges the list as it is by then: a rebuilt list that highlights the network
    // it was built for asks for nothing. Nor does a current row Qt set without selecting it (the list
    // taking the focus), or a call delivered while a start-up runs (a message it shows lets queued
    // calls run), which would reload inside the reload.
    const int row = nets->currentRow();
    const QListWidgetItem *item = nets->currentItem();
    if (m_quietLists > 0 || initializing || netAddMode || row < 0 || row == m_loadedNetRow ||
        !item->isSelected())
        return;
    m_networkFollowed = true;
    Reload();
}

void Tmainf::netsClick()
{
    if (!netAddMode) {
        Reload();
        return;
    }
    const int row = nets->currentRow();
    if (row == 0) {
        MessageProc(this, QStringLiteral("Нельзя выбирать <<< все станции >>>!\rВыберите конкретную сеть."),
                    MB_ICONWARNING, MB_OK);
        return;
    }
    netAddMode = false;
    // The click only named the network to add to: unless the list is rebuilt, the network the
    // station list shows is highlighted again.
    auto rehighlight = qScopeGuard([this] {
        const QuietLists quiet(this);
        nets->setCurrentRow(m_loadedNetRow);
    });
    if (row < 0 || checkedStations.isEmpty())
        return;
    const tnetcodes &net = networks.at(nets->item(row)->data(Qt::UserRole).toInt());
    const QString name = net.netname;
    QStringList codes = net.list ? *net.list : QStringList();
    int added = 0;
    for (const QString &code : std::as_const(checkedStations))
        if (!net.list || !net.list->contains(code, Qt::CaseInsensitive)) {
            codes << code;
            ++added;
        }
    if (added == 0) {
        MessageProc(this, QStringLiteral("Все отмеченные галочками станции уже принадлежат"), MB_ICONWARNING,
                    MB_OK);
        return;
    }
    if (updateNetworkList(name, codes, QStringLiteral("Не удалось добавить станции в сеть."))) {
        rehighlight.dismiss();
        Reload();
    }
}

void Tmainf::netsDblClick()
{
    const int row = nets->currentRow();
    if (row < 0)
        return;
    if (row == 0) {
        MessageProc(this,
                    QStringLiteral("Эта \"сеть\" состоит из всех станций, которые есть в таблице SITE."),
                    MB_ICONINFORMATION, MB_OK);
        return;
    }
    const tnetcodes &net = networks.at(nets->item(row)->data(Qt::UserRole).toInt());
    MessageProc(this,
                QStringLiteral("Коды станций сети: ") + CutForMessage(net.netlist, MaxQuotedStatementChars),
                MB_ICONINFORMATION, MB_OK);
}

void Tmainf::Button37Click()
{
    QString name;
    {
        Tpar dialog(this);
        dialog.Setup(4, &sett);
        if (dialog.exec() != QDialog::Accepted)
            return;
        name = dialog.dir->text();
    }
    if (name.trimmed().isEmpty()) {
        MessageProc(this, QStringLiteral("Не задано имя сети"), MB_ICONWARNING, MB_OK);
        return;
    }
    const QString sql =
        QStringLiteral("insert into networks (netname) values (") + SqlQuote(name) + QLatin1Char(')');
    Tdm *dm = Tdm::instance();
    if (!dm || !dm->WithOrx(*this, this, QStringLiteral("Не удалось добавить сеть."),
                            [&](Tdm &dm) { return QExe(*dm.acm_in11, sql); }))
        return;
    nets->addItem(name);
    Reload();
}

void Tmainf::Button38Click()
{
    const int row = nets->currentRow();
    if (row <= 0)
        return;
    if (MessageProc(this, QStringLiteral("Удалить сеть?"), MB_ICONQUESTION, MB_YESNO) != IDYES)
        return;
    const QString name = networks.at(nets->item(row)->data(Qt::UserRole).toInt()).netname;
    const QString sql = QStringLiteral("delete from networks where netname=") + SqlQuote(name);
    Tdm *dm = Tdm::instance();
    if (dm && dm->WithOrx(*this, this, QStringLiteral("Не удалось удалить сеть."),
                          [&](Tdm &dm) { return QExe(*dm.acm_in11, sql); }))
        Reload();
}

void Tmainf::Button39Click()
{
    netAddMode = true;
    MessageProc(
        this,
        QStringLiteral("Теперь выберите сеть в списке сетей, куда нужно\rпоместить станции, отмеченные "
                       "галочками\r(нужно просто щёлкните по строчке с именем сети сетью)"),
        MB_ICONINFORMATION, MB_OK);
}

void Tmainf::Button40Click()
{
    netAddMode = false;
    const int row = nets->currentRow();
    if (row <= 0 || checkedStations.isEmpty())
        return;
    const tnetcodes &net = networks.at(nets->item(row)->data(Qt::UserRole).toInt());
    QStringList codes = net.list ? *net.list : QStringList();
    for (const QString &code : std::as_const(checkedStations))
        codes.removeIf([&](const QString &c) { return c.compare(code, Qt::CaseInsensitive) == 0; });
    if (updateNetworkList(net.netname, codes, QStringLiteral("Не удалось убрать станции из сети.")))
        Reload();
}

void Tmainf::Button27Click()
{
    auto *button5 = findChild<QWidget *>(QStringLiteral("Button5"));
    const int width = m_netsWidth < 3 && button5 ? button5->x() + button5->width() : 2;
    m_netsWidth = width;
    Splitter2->setSizes({width, qMax(1, Splitter2->width() - width)});
    Splitter2Moved();
}
