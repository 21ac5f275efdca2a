#include "app/main/main_window.h"

#include "app/data/data_module.h"
#include "app/events/data_binding.h"
#include "app/events/epoch_text.h"
#include "app/events/event_page.h"
#include "app/events/orx_grid_cells.h"
#include "app/events/orx_identifiers.h"
#include "app/main/product_commands.h"
#include "app/settings/param_dialog.h"
#include "db/dataset_model.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "lib/date_typing.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/sql_text.h"
#include "lib/statements.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QTableView>

// The page 'Параметры землетрясения' on the ORX database: the events of the selected or ticked
// stations (imo) and the arrivals of the current event (ima), browsed in two grids and edited on the
// inner page 'Редактирование'.

namespace {

// Edits of the inner page by the field they show; the others carry the field's name.
struct FieldEdit
{
    const char *control;
    const char *field;
    bool arrival; // of ima, else of imo
};

const FieldEdit kFieldEdits[] = {
    {"eventid", "eventid", false},
    {"depth", "depth", false},
    {"lat", "lat", false},
    {"lon", "lon", false},
    {"MB", "mb", false},
    {"MS", "ms", false},
    {"rms", "rms", false},
    {"dh", "dh", false},
    {"dz", "dz", false},
    {"DBEdit26", "sta", true},
    {"DBComboBox14", "chan", true},
    {"CHANTYPE", "chantype", true},
    {"im_em", "im_em", true},
    {"FM", "fm", true},
    {"iphase", "iphase", true},
    {"iphaseText", "iphase", true},
    {"ampl", "ampl", true},
    {"per", "per", true},
    {"ms", "ms", true},
    {"mb", "mb", true},
    {"MPSP", "mpsp", true},
    {"MPLP", "mplp", true},
    {"deltim", "deltim", true},
    {"azimuth", "azimuth", true},
    {"slow", "slow", true},
    {"residuals", "residuals", true},
    {"rect", "rect", true},
    {"ema", "ema", true},
    {"CODA", "coda", true},
    {"DIST", "dist", true},
    {"wgt", "wgt", true},
    {"REMARK", "remark", true},
    {"REGCLASS", "regclass", true},
    {"MCODA", "mcoda", true},
    {"ML", "ml", true},
    {"MWA", "mwa", true},
    {"PFILTYPE", "pfiltype", true},
    {"AFILTYPE", "afiltype", true},
};

// The names the comment column of origin goes by.
const char *const kCommentFields[] = {"comment", "comments", "comments_", "coment", "coments", "coments_"};

const char *const kOriginNav[] = {"BitBtn27", "BitBtn26", "BitBtn24", "BitBtn23"};
const char *const kArrivalNav[] = {"BitBtn21", "BitBtn20", "BitBtn19", "BitBtn11"};

// Failures of the dataset operations a button starts are shown, never carried into the event loop.
template <class Fn> void guarded(QWidget *owner, Fn fn)
{
    try {
        fn();
    } catch (const std::exception &e) {
        MessageProc(owner, ExceptionText(e), MB_ICONERROR, MB_OK);
    }
}

// The grid shows the dataset's current row, and a row picked in the grid becomes the current one.
void followCurrentRow(QTableView *grid, DbQuery *query, QWidget *owner)
{
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto *model = new DataSetModel(query, grid);
    grid->setModel(model);
    const auto showCurrent = [grid, query] {
        if (!query->Active() || query->CurrentRow() < 0)
            return;
        const QModelIndex current = grid->model()->index(query->CurrentRow(), 0);
        if (current.isValid() && grid->currentIndex().row() != current.row())
            grid->setCurrentIndex(current);
    };
    QObject::connect(query, &DbQuery::scrolled, grid, showCurrent);
    QObject::connect(query, &DbQuery::opened, grid, showCurrent);
    QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, grid,
                     [query, owner](const QModelIndex &current) {
                         if (!current.isValid() || !query->Active() || current.row() == query->CurrentRow() ||
                             current.row() >= query->RecordCount())
                             return;
                         RunPageMove(owner, {query}, [&] { query->SetRecNo(current.row() + 1); });
                     });
}

// The moves and the delete of a dataset's buttons are enabled while it has a row to move through or
// delete, its add button while it is open: a closed dataset has nothing to offer them.
void followDataSet(QWidget *page, DbQuery *query, std::initializer_list<const char *> rowButtons,
                   const char *addButton)
{
    QList<QPushButton *> rows;
    for (const char *name : rowButtons)
        if (auto *b = page->findChild<QPushButton *>(QString::fromLatin1(name)))
            rows << b;
    QPointer<QPushButton> add = page->findChild<QPushButton *>(QString::fromLatin1(addButton));
    const auto follow = [query, rows, add] {
        const bool open = query->Active();
        const bool editing = query->State() == DataSetState::Edit || query->State() == DataSetState::Insert;
        for (QPushButton *b : rows)
            b->setEnabled(open && (query->RecordCount() > 0 || editing));
        if (add)
            add->setEnabled(open);
    };
    for (auto signal : {&DbQuery::opened, &DbQuery::closed, &DbQuery::stateChanged, &DbQuery::scrolled})
        QObject::connect(query, signal, page, follow);
    QObject::connect(query, &DbQuery::deleted, page, follow);
    QObject::connect(query, &DbQuery::posted, page, follow);
    follow();
}

// An origin's key is its EVENTID.
QString originPostError(const DbError &e)
{
    const bool ofId =
        e.column().isEmpty() || e.column().compare(QLatin1String("eventid"), Qt::CaseInsensitive) == 0;
    if (e.fault() == DbFault::Unique && ofId)
        return QStringLiteral("События с таким EVENTID уже есть!");
    if (e.fault() == DbFault::NotNull && ofId)
        return QStringLiteral("Не задан идентификатор события (EVENTID): событие без него не записывается");
    return QString();
}

// The identifier of a new row by lastid's Key ("orid", "arid"): written back there before the caller
// stores the row, or taken as the column's maximum + 1 without the table. False once the user was told.
bool takeNewId(QWidget *owner, DbQuery &imq, const QString &Key, int &Id)
{
    bool fallback = false;
    QString stored;
    if (GetNextId(imq, Key, Id, fallback, &stored) && (fallback || SetLastId(imq, stored, Id)))
        return true;
    MessageProc(owner, QStringLiteral("Не найдена запись для %1 в таблице lastid!").arg(Key.toUpper()),
                MB_ICONERROR, MB_OK);
    return false;
}

} // namespace

void Tmainf::SetupOrxEventPages()
{
    QWidget *page = TabSheet6;
    const auto control = [page](const char *name) {
        return page->findChild<QWidget *>(QString::fromLatin1(name));
    };
    const auto pushButton = [page](const char *name) {
        return page->findChild<QPushButton *>(QString::fromLatin1(name));
    };
    Tdm *dm = Tdm::instance();
    if (dm) {
        imdso = new DataSource(dm->imo, this);
        imdsa = new DataSource(dm->ima, this);
        for (const FieldEdit &f : kFieldEdits)
            if (QWidget *c = control(f.control))
                BindControl(f.arrival ? imdsa : imdso, c, QString::fromLatin1(f.field));
        connect(imdso, &DataSource::DataChange, dm, &Tdm::imdsoDataChange);
        connect(imdsa, &DataSource::DataChange, dm, &Tdm::imdsaDataChange);
        // The epoch edits and the flag write their fields themselves; Esc gives the typing up as in every
        // other edit.
        imdso->BindEscape(control("MaskEdit1"));
        imdsa->BindEscape(control("MaskEdit2"));
        imdsa->BindEscape(control("MaskEdit3"));
        imdsa->BindEscape(control("flag"));
        // A new event or arrival needs the identifiers "+" takes from lastid: typing starts no row.
        imdso->SetRowsOnlyAdded(true);
        imdsa->SetRowsOnlyAdded(true);
        connect(dm->ima, &DbQuery::scrolled, dm, &Tdm::imaAfterScroll);
        // The comment column has several names; the edit takes the one the database has.
        connect(dm->imo, &DbQuery::opened, this, [this, dm, page] {
            auto *comments = page->findChild<QLineEdit *>(QStringLiteral("comments"));
            if (!comments || comments->property("boundField").isValid())
                return;
            for (const char *name : kCommentFields)
                if (dm->imo->FindField(QString::fromLatin1(name))) {
                    comments->setProperty("boundField", QString::fromLatin1(name));
                    imdso->Bind(comments, QString::fromLatin1(name));
                    return;
                }
        });

        auto *tcb = page->findChild<QCheckBox *>(QStringLiteral("tcb"));
        auto *dbgo1 = page->findChild<QTableView *>(QStringLiteral("dbgo1"));
        auto *dbga1 = page->findChild<QTableView *>(QStringLiteral("dbga1"));
        followCurrentRow(dbgo1, dm->imo, this);
        followCurrentRow(dbga1, dm->ima, this);
        dbgo1->setItemDelegate(new OrxGridDelegate(dm->imo, false, tcb, dbgo1));
        dbga1->setItemDelegate(new OrxGridDelegate(dm->ima, true, tcb, dbga1));

        for (DbConnection *c : {dm->imc11, dm->imc12, dm->imc13})
            c->SetLockTimeout(kEditLockWait);
        dm->imo->SetPostErrorText([](const DbError &e) { return originPostError(e); });
        followDataSet(page, dm->imo, {"BitBtn27", "BitBtn26", "BitBtn24", "BitBtn23", "BitBtn29"},
                      "BitBtn22");
        followDataSet(page, dm->ima, {"BitBtn21", "BitBtn20", "BitBtn19", "BitBtn11", "BitBtn28"},
                      "BitBtn25");

        using Move = void (DbQuery::*)();
        const Move moves[] = {&DbQuery::First, &DbQuery::Prior, &DbQuery::Next, &DbQuery::Last};
        // The arrival's edit goes first, as moving to another event would write it.
        for (int i = 0; i < 4; ++i) {
            connect(pushButton(kOriginNav[i]), &QPushButton::clicked, this, [this, dm, move = moves[i]] {
                RunPageMove(this, {dm->ima, dm->imo}, [&] { (dm->imo->*move)(); });
            });
            connect(pushButton(kArrivalNav[i]), &QPushButton::clicked, this, [this, dm, move = moves[i]] {
                RunPageMove(this, {dm->ima}, [&] { (dm->ima->*move)(); });
            });
        }
        // Deleted at once without a question; an event's arrivals stay.
        for (DbQuery *q : {dm->imo, dm->ima})
            connect(pushButton(q == dm->imo ? "BitBtn29" : "BitBtn28"), &QPushButton::clicked, this,
                    [this, q] {
                        guarded(this, [q] {
                            RunReconnecting(
                                q, QStringLiteral("Запись таблицы \"%1\" не удалена").arg(q->BaseTable()),
                                [q] { q->Delete(); });
                        });
                    });
        connect(pushButton("BitBtn22"), &QPushButton::clicked, this, &Tmainf::BitBtn22Click);
        connect(pushButton("BitBtn25"), &QPushButton::clicked, this, &Tmainf::BitBtn25Click);

        if (auto *sta = page->findChild<QLineEdit *>(QStringLiteral("DBEdit26")))
            connect(sta, &QLineEdit::editingFinished, dm, &Tdm::LoadSiteChanList);
    }

    for (const char *name : {"MaskEdit1", "MaskEdit2", "MaskEdit3"}) {
        auto *mask = page->findChild<QLineEdit *>(QString::fromLatin1(name));
        connect(mask, &QLineEdit::textChanged, this, [this, mask] { MaskEditChange(mask); });
        // Leaving is told by the typing, Enter by the edit.
        SetMaskedEditLeft(mask, [this, mask] { MaskEdit1Exit(mask); });
        connect(mask, &QLineEdit::returnPressed, this, [this, mask] { MaskEdit1Exit(mask); });
    }
    connect(page->findChild<QCheckBox *>(QStringLiteral("flag")), &QCheckBox::clicked, this,
            &Tmainf::flagClick);
    if (auto *chan = page->findChild<QComboBox *>(QStringLiteral("DBComboBox14")))
        connect(chan, &QComboBox::currentTextChanged, this, &Tmainf::ShowChanDescr);
    connect(filter, &QCheckBox::clicked, this, &Tmainf::filterClick);
    connect(pushButton("Button30"), &QPushButton::clicked, this, &Tmainf::Button30Click);
    if (auto *pc2 = page->findChild<QTabWidget *>(QStringLiteral("pc2"))) {
        // The tab control tells only the page it shows now; the one it left is kept beside it.
        pc2->setProperty("shownPage", pc2->currentIndex());
        connect(pc2, &QTabWidget::currentChanged, this, [this, pc2](int index) {
            const int leaving = pc2->property("shownPage").toInt();
            pc2->setProperty("shownPage", index);
            pc2Changing(leaving);
        });
    }

    // The report window is another library's; until the program installs it the button stays off.
    QPushButton *report = pushButton("BitBtn2");
    const auto enableReport = [report] { report->setEnabled(bool(productCommands().report)); };
    enableReport();
    connect(pgc1, &QTabWidget::currentChanged, report, enableReport);
    connect(report, &QPushButton::clicked, this, [this] {
        if (const auto &command = productCommands().report)
            command(*this, true);
    });
}

void Tmainf::PostOrxEdits()
{
    Tdm *dm = Tdm::instance();
    if (!dm)
        return;
    PostPending(dm->ima);
    PostPending(dm->imo);
}

void Tmainf::filterClick()
{
    if (!sett.fullorx || ControlTag(filter) <= 0)
        return;
    viewReload = true;
    RefreshADB();
}

void Tmainf::Button30Click()
{
    const int tag = ControlTag(filter);
    SetControlTag(filter, 0);
    filter->setChecked(true);
    SetControlTag(filter, tag);
    filterClick();
}

void Tmainf::pc2Changing(int Leaving)
{
    if (Leaving == 1)
        PostOrxEdits();
}

void Tmainf::MaskEditChange(QLineEdit *Sender)
{
    Tdm *dm = Tdm::instance();
    if (!dm || ControlTag(Sender) != 0)
        return;
    const QString name = Sender->objectName();
    DbQuery *q = name == QLatin1String("MaskEdit1") ? dm->imo : dm->ima;
    const char *field = name == QLatin1String("MaskEdit1")   ? "origintime"
                        : name == QLatin1String("MaskEdit3") ? "itime"
                                                             : "amptime";
    TField *f = q->Active() ? q->FindField(QString::fromLatin1(field)) : nullptr;
    if (!f || (q->RecordCount() == 0 && q->State() != DataSetState::Insert))
        return;
    // The value the field held when the typing began (held as a list of one, as it may be null), which
    // it keeps while the text is no time to store; the data module forgets it when it fills the edit.
    if (!Sender->property("typedFrom").isValid())
        Sender->setProperty("typedFrom", QVariantList{f->Value()});
    const QString text = Sender->displayText();
    try {
        // A date still being typed (month 13 on the way to 12), one that does not exist or one outside
        // the working days is not stored, and leaving the edit tells the user.
        if (EpochTextProblem(text).isEmpty())
            dm->DateTextToEpoch(text, f, nullptr);
        else
            dm->SetEpochField(f, Sender->property("typedFrom").toList().value(0));
    } catch (const EConvertError &) {
        dm->SetEpochField(f, Sender->property("typedFrom").toList().value(0));
    } catch (const std::exception &e) {
        MessageProc(this, ExceptionText(e), MB_ICONERROR, MB_OK);
    }
}

void Tmainf::MaskEdit1Exit(QLineEdit *Sender)
{
    // The box and the focus given back take the focus from the other epoch edits as well, which the
    // analyst did not leave: one holding a refused time too says nothing then, or the two would refuse
    // each other without end.
    static bool refusing = false;
    if (refusing)
        return;
    // An empty time (all zeros) is a time left out, as the page allows for LR and LQ waves.
    const QString problem = EpochTextProblem(Sender->displayText());
    if (problem.isEmpty())
        return;
    const QScopedValueRollback<bool> once(refusing, true);
    MessageProc(this, problem, MB_ICONERROR, MB_OK);
    Sender->setFocus();
    Sender->setSelection(0, 1);
}

void Tmainf::flagClick()
{
    Tdm *dm = Tdm::instance();
    auto *box = TabSheet6->findChild<QCheckBox *>(QStringLiteral("flag"));
    if (!dm || !box || ControlTag(box) != 0 || !dm->ima->Active())
        return;
    if (TField *f = dm->ima->FindField(QStringLiteral("flag")))
        guarded(this, [&] { SetFieldBool(*dm->ima, f, box->isChecked()); });
}

void Tmainf::ShowChanDescr()
{
    Tdm *dm = Tdm::instance();
    auto *chan = TabSheet6->findChild<QComboBox *>(QStringLiteral("DBComboBox14"));
    auto *text1 = TabSheet6->findChild<QLabel *>(QStringLiteral("StaticText1"));
    auto *label90 = TabSheet6->findChild<QLabel *>(QStringLiteral("Label90"));
    if (!dm || !chan || !text1 || !label90)
        return;
    const TField *f = dm->ima->Active() ? dm->ima->FindField(QStringLiteral("chan")) : nullptr;
    const QString code = f ? TrimRightText(f->AsString()) : QString();
    QString descr;
    for (int i = 0; i < chan->count() && !code.isEmpty(); ++i)
        if (TrimRightText(chan->itemText(i)) == code) {
            descr = channelList.value(i);
            break;
        }
    text1->setText(descr);
    label90->setText(descr);
}

void Tmainf::BitBtn22Click()
{
    Tdm *dm = Tdm::instance();
    if (!dm || !PostPending(dm->ima) || !PostPending(dm->imo))
        return;
    QString id;
    {
        Tpar dialog(this);
        dialog.Setup(4, &sett, {QStringLiteral("Идентификатор события")});
        dialog.dir->setText(MakeEventIdStamp(QDateTime::currentDateTime()));
        if (dialog.exec() != QDialog::Accepted)
            return;
        id = dialog.dir->text().trimmed();
    }
    if (!OpenOrx(*dm, dm->imc13))
        return;
    const auto close = qScopeGuard([dm] { dm->CloseDB_ADO(dm->imc13); });
    try {
        if (!QAct(*dm->imq,
                  QStringLiteral("select count(*) from origin where rtrim(eventid)=") + SqlQuote(id)))
            return;
        if (dm->imq->Field(0)->AsInteger() >= 1) {
            MessageProc(this, QStringLiteral("События с таким EVENTID уже есть!"), MB_ICONERROR, MB_OK);
            return;
        }
        int orid = 0;
        if (!takeNewId(this, *dm->imq, QStringLiteral("orid"), orid))
            return;
        DbQuery *imo = dm->imo;
        imo->Append();
        imo->FieldByName(QStringLiteral("eventid"))->SetValue(id);
        imo->FieldByName(QStringLiteral("lddate"))->SetValue(Now());
        imo->FieldByName(QStringLiteral("orid"))->SetValue(orid);
        RunReconnecting(imo, QStringLiteral("Добавление записи таблицы \"origin\" не записано"),
                        [imo] { imo->Post(); });
    } catch (const std::exception &e) {
        MessageProc(this,
                    QStringLiteral("Не удалось добавить событие. Сообщение об ошибке:\r") + ExceptionText(e),
                    MB_ICONERROR, MB_OK);
        // Told that it was not written, the new row does not wait to be written by the next move.
        const auto *db = dynamic_cast<const DbError *>(&e);
        if (db && db->fault() == DbFault::ConnectionLost)
            dm->imo->Cancel();
    }
}

void Tmainf::BitBtn25Click()
{
    Tdm *dm = Tdm::instance();
    if (!dm || !PostPending(dm->ima))
        return;
    if (!OpenOrx(*dm, dm->imc13))
        return;
    auto close = qScopeGuard([dm] { dm->CloseDB_ADO(dm->imc13); });
    guarded(this, [&] {
        if (!QAct(*dm->imq, QStringLiteral("select max(nindex) from arrival")))
            return;
        const TField *max = dm->imq->Field(0);
        const int nindex = max->IsNull() ? 1 : max->AsInteger() + 1;
        int arid = 0;
        if (!takeNewId(this, *dm->imq, QStringLiteral("arid"), arid))
            return;
        close.dismiss();
        dm->CloseDB_ADO(dm->imc13);

        DbQuery *ima = dm->ima;
        DbQuery *imo = dm->imo;
        const TField *eventid = imo->Active() ? imo->FindField(QStringLiteral("eventid")) : nullptr;
        ima->Append();
        ima->FieldByName(QStringLiteral("eventid"))->SetValue(eventid ? eventid->AsString() : QString());
        if (checkedQuoted.isEmpty()) {
            ima->FieldByName(QStringLiteral("sta"))->SetValue(curCode);
            dm->LoadSiteChanList();
        }
        TField *index = ima->FieldByName(QStringLiteral("nindex"));
        if (index->DataType() != FieldType::AutoInc)
            index->SetValue(nindex);
        ima->FieldByName(QStringLiteral("arid"))->SetValue(arid);
        SetFieldBool(*ima, ima->FieldByName(QStringLiteral("flag")), true);
        // The new row waits in insert state for the operator; moving on or leaving the page stores it.
    });
}
