#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/program_folder.h"
#include "app/settings/odbc_admin.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "lib/codepage_keys.h"
#include "lib/combo_routines.h"
#include "lib/control_routines.h"
#include "lib/data_sources.h"
#include "lib/dual_ini.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/sql_text.h"
#include "lib/statements.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QValidator>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

const QString kStationsIni = QStringLiteral("system/Stations.ini");

// The codes a load adds to a code field's drop-down list: each one the list does not hold yet, in the
// order met, added at once when the load is through. Looked up by hash, a list of many stations loads in
// linear time.
class ComboAdditions
{
public:
    explicit ComboAdditions(const QComboBox *combo)
    {
        m_held.reserve(combo->count());
        for (int i = 0; i < combo->count(); ++i)
            m_held.insert(combo->itemText(i));
    }
    void add(const QString &code)
    {
        if (!m_held.contains(code)) {
            m_held.insert(code);
            m_added << code;
        }
    }
    void addTo(std::initializer_list<QComboBox *> combos) const
    {
        for (QComboBox *combo : combos)
            combo->addItems(m_added);
    }

private:
    QSet<QString> m_held;
    QStringList m_added;
};

QListWidgetItem *newStationItem(const QString &code, int entry)
{
    auto *item = new QListWidgetItem(code);
    item->setData(Qt::UserRole, entry);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    return item;
}

// Code fields take what the key filter lets through, also from the clipboard. Text the program puts
// there (the field's tag set) is a stored code and stays as it is.
class CodeValidator : public QValidator
{
public:
    explicit CodeValidator(QComboBox *combo) : QValidator(combo), m_combo(combo) {}
    State validate(QString &input, int &pos) const override
    {
        if (ControlTag(m_combo) != 0)
            return Acceptable;
        const QString kept = Tmainf::FilterCodeText(input.left(pos));
        input = kept + Tmainf::FilterCodeText(input.mid(pos));
        pos = int(kept.size());
        return Acceptable;
    }

private:
    QComboBox *m_combo;
};

// What an item shows: the station's name where names are shown and it has one, else its internal code,
// bold when a name was wanted.
QString shownStation(const Tmainf &w, const QListWidgetItem *item, bool &bold)
{
    const int entry = item->data(Qt::UserRole).toInt();
    const QString name = entry >= 0 && entry < w.stations.size() ? w.stations.at(entry).name : QString();
    bold = w.sett.shownames != 0 && name.isEmpty();
    return w.sett.shownames != 0 && !name.isEmpty() ? name : item->text();
}

// Columns of whole 105-pixel widths, at most 5, and fewer where the longest text needs more: one column
// at least, which the list scrolls across when even it is too narrow. Every item 16 pixels high.
QSize stationCell(const Tmainf &w, const QListWidget *list)
{
    QStyleOptionViewItem opt;
    opt.initFrom(list);
    opt.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    opt.rect = QRect(0, 0, 1000, qMax(16, list->fontMetrics().height()));
    const int textLeft = list->style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, list).left();
    QFont boldFont = list->font();
    boldFont.setBold(true);
    const QFontMetrics regular(list->font()), bolder(boldFont);
    int widest = 0;
    for (int i = 0; i < list->count(); ++i) {
        bool bold = false;
        const QString text = shownStation(w, list->item(i), bold);
        widest = qMax(widest, (bold ? bolder : regular).horizontalAdvance(text));
    }
    // The text, then a blank pixel and the item's dividing line.
    const int need = textLeft + widest + 3;
    const int width = list->viewport()->width();
    int columns = width < 521 ? qMax(1, width / 105) : 5;
    while (columns > 1 && width / columns < need)
        --columns;
    return QSize(qMax(need, qMax(1, width / columns)), qMax(16, list->fontMetrics().height()));
}

class StationDelegate : public QStyledItemDelegate
{
public:
    StationDelegate(Tmainf *owner, QListWidget *list)
        : QStyledItemDelegate(list), m_owner(owner), m_list(list)
    {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        opt.rect = option.rect;
        m_owner->stasDrawItem(painter, opt, index.row());
    }
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        // Every item is a cell of the grid; measuring the whole list for each item would take long.
        return m_list->gridSize().isValid() ? m_list->gridSize() : stationCell(*m_owner, m_list);
    }

private:
    Tmainf *m_owner;
    QListWidget *m_list;
};

// A search runs at every key, and each key of a name or code already found finds the same station again:
// that is no change of station, whose settings would be saved and read once a key.
bool isCurrentStation(const Tmainf &w, int row)
{
    const QListWidgetItem *item = w.stas->currentItem();
    if (!item || !item->isSelected() || w.stas->row(item) != row)
        return false;
    const int entry = item->data(Qt::UserRole).toInt();
    return entry >= 0 && entry < w.stations.size() && w.stations.at(entry).code == w.curCode;
}

} // namespace

void Tmainf::connectStationPage()
{
    stas->setItemDelegate(new StationDelegate(this, stas));
    OnEvent(stas, QEvent::Resize, [this] { stas->setGridSize(stationCell(*this, stas)); });
    // A new list, or new texts in it, may need wider columns; measured once when the changes are through.
    auto *remeasure = new QTimer(stas);
    remeasure->setSingleShot(true);
    remeasure->setInterval(0);
    connect(remeasure, &QTimer::timeout, this, [this] { stas->setGridSize(stationCell(*this, stas)); });
    QAbstractItemModel *model = stas->model();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model, signal, remeasure, qOverload<>(&QTimer::start));
    connect(model, &QAbstractItemModel::modelReset, remeasure, qOverload<>(&QTimer::start));
    connect(model, &QAbstractItemModel::dataChanged, remeasure, qOverload<>(&QTimer::start));
    connect(stas, &QListWidget::itemDoubleClicked, this, [this] { stasDblClick(); });
    // Keys, the mouse and anything else that moves the list's selection change the station; a click on
    // the item already current runs the change again, as a click always has.
    connect(stas, &QListWidget::itemSelectionChanged, this, [this] { stasSelectionChanged(); });
    connect(stas, &QListWidget::currentItemChanged, this, [this] { stasSelectionChanged(); });
    OnEvent(stas->viewport(), QEvent::MouseButtonPress, [this] { m_stationFollowed = false; });
    connect(stas, &QListWidget::itemClicked, this, [this] { stasClick(); });
    connect(stas, &QListWidget::itemChanged, this,
            [this](QListWidgetItem *item) { stasClickCheck(stas->row(item)); });
    connect(Edit2, &QLineEdit::textChanged, this, [this] { Edit2Change(); });
    for (QComboBox *combo : {Cod_stac, icod_stac}) {
        // A code a line: a new font measures one item, not every code of a long station list.
        if (auto *view = qobject_cast<QListView *>(combo->view()))
            view->setUniformItemSizes(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        combo->setValidator(new CodeValidator(combo));
        connect(combo, &QComboBox::editTextChanged, this, [this, combo] { Cod_stacChange(combo); });
        OnEvent(combo, QEvent::FocusOut, [this, combo] { Cod_staExit(combo); });
    }
    const auto clicked = [this](const char *name, auto handler) {
        connect(findChild<QPushButton *>(QString::fromLatin1(name)), &QPushButton::clicked, this, handler);
    };
    clicked("Button1", [this] { Button1Click(); });
    clicked("Button5", [this] { Button5Click(); });
    clicked("Button7", [this] { Button7Click(); });
    clicked("Button22", [this] { SetAllChecks(true, false); });
    clicked("Button28", [this] { SetAllChecks(false, false); });
    clicked("Button29", [this] { SetAllChecks(false, true); });
    clicked("Button27", [this] { Button27Click(); });
    clicked("Button37", [this] { Button37Click(); });
    clicked("Button38", [this] { Button38Click(); });
    clicked("Button39", [this] { Button39Click(); });
    clicked("Button40", [this] { Button40Click(); });
    // Queued: choosing a network rebuilds the list whose click or key is still being delivered.
    OnEvent(nets->viewport(), QEvent::MouseButtonPress, [this] { m_networkFollowed = false; });
    connect(
        nets, &QListWidget::currentRowChanged, this, [this] { netsSelectionChanged(); },
        Qt::QueuedConnection);
    connect(
        nets, &QListWidget::itemClicked, this,
        [this] {
            if (!std::exchange(m_networkFollowed, false))
                netsClick();
        },
        Qt::QueuedConnection);
}

void Tmainf::LoadStationList()
{
    const QuietLists quiet(this);
    stas->setEnabled(true);
    m_stationListFailed = false;
    m_loadedNetRow = -1;
    if (sett.fullorx)
        LoadSTIORX();
    else
        LoadStationsIni();
}

void Tmainf::clearStationList()
{
    const QuietLists quiet(this);
    stations.clear();
    stas->clear();
}

void Tmainf::LoadStationsIni()
{
    TDualIni ini(&sett.CommonKeys, ProgramFolder());
    // Each header as it stands in the file: the image merges a station written twice, which is reported.
    QList<IniSectionHeader> headers = IniFile::ReadSectionHeaders(ProgramFolder() + kStationsIni);
    std::stable_sort(headers.begin(), headers.end(),
                     [](const IniSectionHeader &a, const IniSectionHeader &b) {
                         return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
                     });
    const auto warnDuplicates = [this](const QString &name, qsizetype count) {
        MessageProc(this,
                    QStringLiteral("Дублирование записи станции ") + CutForMessage(name) +
                        QStringLiteral(" (") + QString::number(count + 1) + QStringLiteral(" одинаковых)"),
                    MB_ICONWARNING, MB_OK);
    };
    stations.clear();
    stations.reserve(headers.size());
    ComboAdditions codes(Cod_stac);
    qsizetype duplicates = 0;
    QString previous;
    for (const IniSectionHeader &header : std::as_const(headers)) {
        const QString &name = header.name;
        if (duplicates > 0)
            warnDuplicates(previous, duplicates);
        duplicates = header.count - 1;
        previous = name;
        codes.add(name);
        tstainfo station;
        station.code = name;
        station.name = ini.ReadString(name, QStringLiteral("name"), QString());
        station.source = ini.ReadString(name, QStringLiteral("source"), QString());
        station.user = ini.ReadString(name, QStringLiteral("user"), QStringLiteral("admin"));
        station.pass = ini.ReadString(name, QStringLiteral("pass"), QString());
        station.sta = ini.ReadString(name, QStringLiteral("code"), name);
        station.out_file_jet = ini.ReadString(name, QStringLiteral("out_file_jet"), QString());
        stas->addItem(newStationItem(name, int(stations.size())));
        stations.append(station);
    }
    codes.addTo({Cod_stac, icod_stac});
    ShowEmptyListHint(true);
    if (duplicates > 0)
        warnDuplicates(previous, duplicates);
}

QString Tmainf::StationSiteCondition(bool ShowEmpty, const tnetcodes *Network)
{
    QString condition =
        ShowEmpty ? QString()
                  : QStringLiteral(" where rtrim(sta) in (select distinct rtrim(sta) from arrival)");
    if (!Network)
        return condition;
    if (Network->netlist.isEmpty())
        return QStringLiteral(" where nindex=-101");
    condition += condition.isEmpty() ? QStringLiteral(" where ") : QStringLiteral(" and ");
    return condition + QStringLiteral("rtrim(sta) in (") + Network->netlist + QLatin1Char(')');
}

void Tmainf::LoadSTIORX()
{
    Tdm *dm = Tdm::instance();
    m_stationListFailed = true;
    if (dm)
        m_stationListFailed = !dm->WithOrx(
            *this, this, QStringLiteral("LoadSTIORX: Сбой чтения информации о стациях."), [&](Tdm &dm) {
                TDualIni ini(&sett.CommonKeys, ProgramFolder());
                nets->addItem(QStringLiteral("<<< все станции >>>"));
                DbQuery &q = *dm.rstORX;
                if (!QAct(q, QStringLiteral("select netname,netlist from networks order by netname")))
                    return false;
                for (int r = 0; !q.Eof(); ++r, q.Next()) {
                    const tnetcodes net = ParseNetwork(q.Field(0)->AsString(), q.Field(1)->AsString());
                    auto *item = new QListWidgetItem(net.netname.trimmed());
                    item->setData(Qt::UserRole, r);
                    nets->addItem(item);
                    networks.append(net);
                }
                int selected = 0;
                for (int i = 1; i < nets->count(); ++i)
                    if (nets->item(i)->text() == netName) {
                        selected = i;
                        break;
                    }
                nets->setCurrentRow(selected);
                m_loadedNetRow = selected;

                const tnetcodes *network = nullptr;
                if (selected > 0)
                    network = &networks.at(nets->item(selected)->data(Qt::UserRole).toInt());
                const QString condition = StationSiteCondition(sett.showempty, network);
                if (!QAct(q, QStringLiteral("select count(sta) from site") + condition))
                    return false;
                const int count = q.Eof() ? 0 : q.Field(0)->AsInteger();
                if (!QAct(q, QStringLiteral("select rtrim(sta),rtrim(cod),descr from site") + condition +
                                 QStringLiteral(" order by sta")))
                    return false;
                // The table may lose rows between the two statements; what is left is taken.
                stations.clear();
                ComboAdditions codes(Cod_stac), internalCodes(icod_stac);
                for (int k = 0; k < count && !q.Eof(); ++k, q.Next()) {
                    const QString s = q.Field(0)->AsString();
                    codes.add(s);
                    tstainfo station;
                    station.sta = q.Field(1)->AsString();
                    station.name = q.Field(2)->AsString();
                    station.source = ini.ReadString(s, QStringLiteral("source"), QString());
                    station.user = ini.ReadString(s, QStringLiteral("user"), QStringLiteral("admin"));
                    station.pass = ini.ReadString(s, QStringLiteral("pass"), QString());
                    station.code = s;
                    station.out_file_jet = ini.ReadString(s, QStringLiteral("out_file_jet"), QString());
                    internalCodes.add(s);
                    stas->addItem(newStationItem(s, int(stations.size())));
                    stations.append(station);
                }
                codes.addTo({Cod_stac});
                internalCodes.addTo({icod_stac});
                return true;
            });
    ShowEmptyListHint(true);
}

int Tmainf::selectedStationEntry() const
{
    QListWidgetItem *item = stas->currentItem();
    if (!item || !item->isSelected())
        return -1;
    const int entry = item->data(Qt::UserRole).toInt();
    return entry >= 0 && entry < stations.size() ? entry : -1;
}

int Tmainf::stationRow(const QString &Code) const
{
    for (int i = 0; i < stas->count(); ++i)
        if (stas->item(i)->text().compare(Code, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void Tmainf::SelectStationByCode(const QString &Code, bool Notify)
{
    if (Code.isEmpty() && stas->count() == 0)
        return;
    const QuietLists quiet(this);
    QListWidgetItem *item = nullptr;
    if (Code.isEmpty()) {
        item = stas->item(0);
    } else {
        const QList<QListWidgetItem *> found =
            stas->findItems(Code, Qt::MatchExactly | Qt::MatchCaseSensitive);
        item = found.isEmpty() ? nullptr : found.first();
    }
    if (item) {
        stas->setCurrentItem(item);
        item->setSelected(true);
    } else {
        stas->clearSelection();
        stas->setCurrentItem(nullptr);
    }
    // Without Notify the station still follows the selection when it now names another one.
    const int entry = selectedStationEntry();
    if (Notify || (entry >= 0 ? stations.at(entry).code : QString()) != curCode)
        StationChanged(true);
}

void Tmainf::stasSelectionChanged()
{
    if (m_quietLists > 0)
        return;
    const int entry = selectedStationEntry();
    if (entry < 0 && !curCode.isEmpty()) {
        // Qt moves the current item before it moves the selection: wait for the selection. Ctrl with a
        // click takes the selection away, and that chooses no station: a current station without its
        // selected item was saved as none, and the next start or reload took the first station.
        if (!stas->selectedItems().isEmpty())
            return;
        if (const int row = stationRow(curCode); row >= 0) {
            const QuietLists quiet(this);
            stas->setCurrentRow(row);
            stas->item(row)->setSelected(true);
            return;
        }
    }
    if ((entry >= 0 ? stations.at(entry).code : QString()) == curCode)
        return;
    StationChanged(true);
    m_stationFollowed = true;
}

void Tmainf::StationChanged(bool CheckData)
{
    const int entry = selectedStationEntry();
    // What is typed on the event pages belongs to the station they show: written now, as a move would,
    // or the window stays on that station.
    if (!EventPagesLeaveStation(entry >= 0 ? stations.at(entry).code : QString()))
        return;
    viewReload = true;
    if (m_importPage)
        ClearImportGrid(false);
    if (entry < 0) {
        curSta.clear();
        curCode.clear();
        curName.clear();
    } else {
        const tstainfo r = stations.at(entry);
        const auto show = [](QWidget *control, const QString &text, auto setText) {
            if (ControlTag(control) != 0) {
                setText(text);
            } else if (!control->hasFocus()) {
                SetControlTag(control, 1);
                setText(text);
                SetControlTag(control, 0);
            }
        };
        show(Edit2, r.name, [this](const QString &t) { Edit2->setText(t); });
        show(Cod_stac, r.sta, [this](const QString &t) { Cod_stac->setEditText(t); });
        show(icod_stac, r.code, [this](const QString &t) { icod_stac->setEditText(t); });
        curSta = r.sta;
        curCode = r.code;
        curName = r.name;
        SelectComboText(dss, r.source);
        // Called from the list's signals: a file that cannot be written is told here, never thrown into
        // the event loop; the old file stays and the new station is still taken.
        try {
            SaveStationSettings(prevCode);
        } catch (const std::exception &e) {
            MessageProc(this,
                        QStringLiteral("StationChanged: Не удалось сохранить настройки станции ") +
                            CutForMessage(prevCode) + QStringLiteral(". Сообщение об ошибке:\r") +
                            ExceptionText(e),
                        MB_ICONERROR, MB_OK);
        }
        prevSta = curSta;
        prevCode = curCode;
        ReadStationSettings(curCode);
        UpdateCaption(curName, curSta, curCode);
    }
    CheckSTIORXData(CheckData);
    if (m_importPage)
        UpdateELQButton();
}

void Tmainf::UpdateCaption(const QString &Name, const QString &Sta, const QString &Code)
{
    setWindowTitle(MainCaption(sett.fullorx, Name, Sta, Code));
}

void Tmainf::ShowEmptyListHint(bool UpdateVisibility)
{
    if (UpdateVisibility)
        hlp->setVisible(stas->count() == 0);
    hlp->setFixedHeight(6 * QFontMetrics(stas->font()).height() + 4);
}

int Tmainf::CompareStations(const QString &Code1, int Entry1, const QString &Code2, int Entry2) const
{
    const tstainfo &a = stations.at(Entry1);
    const tstainfo &b = stations.at(Entry2);
    const bool ticked1 = sett.flagbeg && a.checked;
    const bool ticked2 = sett.flagbeg && b.checked;
    if (ticked1 != ticked2)
        return ticked1 ? -1 : 1;
    if (sett.shownames != 0) {
        if (!a.name.isEmpty() && !b.name.isEmpty())
            return QString::localeAwareCompare(a.name.toUpper(), b.name.toUpper());
        if (!a.name.isEmpty())
            return -1;
        if (!b.name.isEmpty())
            return 1;
    }
    return QString::localeAwareCompare(Code1, Code2);
}

void Tmainf::SortStations(bool Notify)
{
    QListWidgetItem *current = stas->currentItem();
    const QString code = current && current->isSelected() ? current->text() : QString();
    QList<QListWidgetItem *> items;
    const QuietLists quiet(this);
    const bool enabled = checkEnabled;
    checkEnabled = false;
    while (stas->count() > 0)
        items << stas->takeItem(0);
    const auto entry = [](const QListWidgetItem *item) { return item->data(Qt::UserRole).toInt(); };
    std::stable_sort(items.begin(), items.end(), [&](const QListWidgetItem *a, const QListWidgetItem *b) {
        return CompareStations(a->text(), entry(a), b->text(), entry(b)) < 0;
    });
    for (QListWidgetItem *item : std::as_const(items))
        stas->addItem(item);
    checkEnabled = enabled;
    SelectStationByCode(code, Notify);
    RestoreChecks();
    stas->viewport()->update();
    ShowEmptyListHint(true);
}

void Tmainf::stasDrawItem(QPainter *Painter, const QStyleOptionViewItem &Option, int Row) const
{
    const QListWidgetItem *item = stas->item(Row);
    if (!item)
        return;
    const bool selected = Option.state & QStyle::State_Selected;
    const QPalette &palette = Option.palette;
    QColor color = palette.color(selected ? QPalette::HighlightedText : QPalette::WindowText);
    QFont font = Option.font;
    bool bold = false;
    const QString text = shownStation(*this, item, bold);
    if (bold) {
        font.setBold(true);
        if (!selected)
            color = Qt::red;
    }
    const QStyle *style = Option.widget ? Option.widget->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &Option, Option.widget);
    Painter->save();
    Painter->setClipRect(Option.rect);
    Painter->setFont(font);
    Painter->setPen(color);
    Painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    Painter->setPen(Qt::black);
    const int x = Option.rect.right() - 1;
    Painter->drawLine(x, Option.rect.top(), x, Option.rect.bottom());
    Painter->restore();
}

bool Tmainf::GetStationDBParams(QString &Source, QString &User, QString &Password, int Index, bool Silent)
{
    bool listPosition = false;
    if (Index < 0) {
        QListWidgetItem *item = stas->currentItem();
        Index = item && item->isSelected() ? stas->row(item) : -1;
        listPosition = true;
    }
    if (Index < 0)
        return false;
    if (sett.start_mode == 0 && sett.directORXwr) {
        const ConnParams p = GetOrxConnParams(sett);
        Source = p.source;
        User = p.user;
        Password = p.password;
        return true;
    }
    const int entry = listPosition ? stas->item(Index)->data(Qt::UserRole).toInt() : Index;
    if (entry < 0 || entry >= stations.size())
        return false;
    const tstainfo &r = stations.at(entry);
    User = r.user;
    Password = r.pass;
    if (sett.out_provider == 0) {
        if (QFileInfo(r.out_file_jet).isFile()) {
            Source = r.out_file_jet;
            return true;
        }
        if (!Silent)
            MessageProc(this, QStringLiteral("База данных Access не найдена!\rПроверьте путь и имя файла."),
                        MB_ICONERROR, MB_OK);
        return false;
    }
    Source = r.source;
    return true;
}

void Tmainf::RunOdbcAdmin()
{
    RunOdbcAdministrator(this, QDir::homePath(), CurrentOdbcAdminSeams());
}

QChar Tmainf::Cod_staKeyPress(QChar Key)
{
    if (Key.unicode() > 127)
        Key = RusKeyToLat(Key);
    if (Key >= u'a' && Key <= u'z')
        Key = Key.toUpper();
    const bool passes = Key == QChar(8) || (Key >= u'0' && Key <= u'9') || (Key >= u'A' && Key <= u'Z');
    return passes ? Key : QChar(0);
}

QString Tmainf::FilterCodeText(const QString &Text)
{
    QString out;
    for (const QChar c : Text) {
        const QChar k = Cod_staKeyPress(c);
        if (!k.isNull() && k != QChar(8))
            out += k;
    }
    return out;
}

void Tmainf::stasClick()
{
    if (std::exchange(m_stationFollowed, false))
        return;
    StationChanged(true);
}

void Tmainf::stasDblClick()
{
    OpenStationEditor();
}

void Tmainf::Edit2Change()
{
    const QString text = Edit2->text();
    if (nosearch->isChecked() || ControlTag(Edit2) > 0 || text.isEmpty())
        return;
    const QString typed = text.toUpper();
    for (int i = 0; i < stas->count(); ++i) {
        const int entry = stas->item(i)->data(Qt::UserRole).toInt();
        if (entry < 0 || entry >= stations.size())
            continue;
        const QString &name = stations.at(entry).name;
        if (name.size() >= typed.size() && name.left(typed.size()).toUpper() == typed) {
            if (isCurrentStation(*this, i))
                return;
            const QuietLists quiet(this);
            stas->setCurrentRow(i);
            StationChanged(true);
            return;
        }
    }
}

void Tmainf::Cod_stacChange(QComboBox *Sender)
{
    const QString typed = Sender->currentText();
    if (nosearch->isChecked() || ControlTag(Sender) > 0 || typed.isEmpty())
        return;
    for (int i = 0; i < stas->count(); ++i) {
        const QListWidgetItem *item = stas->item(i);
        QString compared = item->text();
        if (Sender == Cod_stac) {
            const int entry = item->data(Qt::UserRole).toInt();
            if (entry < 0 || entry >= stations.size())
                continue;
            compared = stations.at(entry).sta;
        }
        if (compared.startsWith(typed, Qt::CaseSensitive)) {
            if (isCurrentStation(*this, i))
                return;
            const QuietLists quiet(this);
            stas->setCurrentRow(i);
            StationChanged(true);
            return;
        }
    }
}

void Tmainf::Cod_staExit(QComboBox *Sender)
{
    const QString text = Sender->currentText();
    if (text.size() < 3 || Sender->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0)
        return;
    const int tag = ControlTag(Sender);
    SetControlTag(Sender, 1);
    Sender->addItem(text);
    SetControlTag(Sender, tag);
}

void Tmainf::Button1Click()
{
    const QString code = icod_stac->currentText();
    if (code.isEmpty()) {
        MessageProc(this, QStringLiteral("Не задан код станции"), MB_ICONWARNING, MB_OK);
        return;
    }
    int i = stationRow(code);
    const QString question = i < 0 ? QStringLiteral("Это новая запись.\rДобавить?")
                                   : QStringLiteral("Такая запись уже существует.\rЗаменить?");
    if (MessageProc(this, question, MB_ICONQUESTION, MB_YESNO) != IDYES)
        return;
    // Stations.ini takes the station in both modes, before the ORX database is reached.
    const auto writeIni = [&] {
        QDir().mkpath(ProgramFolder() + QStringLiteral("system"));
        IniFile file(ProgramFolder() + kStationsIni);
        file.WriteString(code, QStringLiteral("name"), Edit2->text());
        file.WriteString(code, QStringLiteral("code"), Cod_stac->currentText());
        file.UpdateFile();
    };
    // Orx: the data module with conPubs open in ORX-only mode, else null.
    const auto addOrUpdate = [&](Tdm *Orx) {
        const QString sta = Cod_stac->currentText();
        const QString name = Edit2->text();
        if (i < 0) {
            // The row first: a code or name the site table cannot hold leaves the list as it was.
            if (Orx) {
                DbQuery &q = *Orx->rstORX;
                const bool haveMax = QAct(q, QStringLiteral("select max(nindex) from site"), true);
                const int maxIndex = haveMax && !q.Eof() ? q.Field(0)->AsInteger() : 0;
                if (!QAct(q, QStringLiteral("select sta,descr,cod,elev,lat,lon,lddate") +
                                 (haveMax ? QStringLiteral(",nindex") : QString()) +
                                 QStringLiteral(" from site where rtrim(sta)=") + SqlQuote(code)))
                    return false;
                q.Append();
                q.FieldByName(QStringLiteral("sta"))->SetValue(code);
                q.FieldByName(QStringLiteral("descr"))->SetValue(name);
                q.FieldByName(QStringLiteral("cod"))->SetValue(sta);
                for (const char *field : {"elev", "lat", "lon"})
                    q.FieldByName(QString::fromLatin1(field))->SetValue(0.0);
                q.FieldByName(QStringLiteral("lddate"))->SetValue(Now());
                if (haveMax)
                    q.FieldByName(QStringLiteral("nindex"))->SetValue(maxIndex + 1);
                q.Post();
            }
            i = stas->count();
            stas->addItem(newStationItem(code, int(stations.size())));
            tstainfo station;
            station.sta = sta;
            station.name = name;
            station.code = code;
            stations.append(station);
            curSta = sta;
            curCode = code;
            curName = name;
        } else {
            if (Orx) {
                DbQuery &q = *Orx->rstORX;
                if (!QAct(q, QStringLiteral("select descr,cod,lddate from site where rtrim(sta)=") +
                                 SqlQuote(code)))
                    return false;
                if (!q.Eof()) {
                    q.Edit();
                    q.FieldByName(QStringLiteral("descr"))->SetValue(name);
                    q.FieldByName(QStringLiteral("cod"))->SetValue(sta);
                    q.FieldByName(QStringLiteral("lddate"))->SetValue(Now());
                    q.Post();
                }
            }
            curSta = sta;
            curCode = code;
            curName = name;
            const int entry = stas->item(i)->data(Qt::UserRole).toInt();
            if (entry >= 0 && entry < stations.size()) {
                stations[entry].sta = curSta;
                stations[entry].name = curName;
            }
        }
        // The station editor opened below reads the row through the same query.
        if (Orx)
            Orx->rstORX->Close();
        stas->setEnabled(true);
        stas->setCurrentRow(i);
        SortStations(true);
        StationChanged(false);
        OpenStationEditor();
        return true;
    };
    const QuietLists quiet(this);
    const QString failure = QStringLiteral("Не удалось добавить станцию.");
    if (sett.fullorx) {
        if (Tdm *dm = Tdm::instance())
            dm->WithOrx(
                *this, this, failure, [&](Tdm &dm) { return addOrUpdate(&dm); }, writeIni);
        return;
    }
    try {
        writeIni();
        addOrUpdate(nullptr);
    } catch (const std::exception &e) {
        MessageProc(this, failure + QStringLiteral(" Сообщение об ошибке:\r") + ExceptionText(e),
                    MB_ICONERROR, MB_OK);
    }
}

void Tmainf::Button5Click()
{
    QListWidgetItem *selected = stas->currentItem();
    const int i = selected && selected->isSelected() ? stas->row(selected) : -1;
    if (i < 0)
        return;
    if (MessageProc(this, QStringLiteral("Удалить?"), MB_ICONQUESTION, MB_YESNO) != IDYES)
        return;
    const QString code = curCode;
    // Stations.ini and the list lose the station in both modes, before the ORX database is reached.
    const auto forget = [&] {
        IniFile file(ProgramFolder() + kStationsIni);
        file.EraseSection(code);
        file.UpdateFile();
        delete stas->takeItem(i);
        // The station is gone: neither the next station change nor the shutdown may write its
        // settings back, whichever step below fails.
        prevSta.clear();
        prevCode.clear();
        curSta.clear();
        curCode.clear();
        curName.clear();
    };
    const auto selectNext = [&] {
        if (stas->count() > 0) {
            stas->setCurrentRow(i < stas->count() ? i : i - 1);
            StationChanged(true);
        } else {
            stas->setEnabled(false);
        }
    };
    const QuietLists quiet(this);
    const QString failure = QStringLiteral("Не удалось удалить станцию.");
    if (sett.fullorx) {
        if (Tdm *dm = Tdm::instance())
            dm->WithOrx(
                *this, this, failure,
                [&](Tdm &dm) {
                    if (!QExe(*dm.acm_in11,
                              QStringLiteral("delete from site where rtrim(sta)=") + SqlQuote(code)))
                        return false;
                    selectNext();
                    return true;
                },
                forget);
        return;
    }
    try {
        forget();
        selectNext();
    } catch (const std::exception &e) {
        MessageProc(this, failure + QStringLiteral(" Сообщение об ошибке:\r") + ExceptionText(e),
                    MB_ICONERROR, MB_OK);
    }
}

void Tmainf::Button7Click()
{
    Reload();
}
