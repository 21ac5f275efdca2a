#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/settings/connection_params.h"

#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/statements.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QScopeGuard>

namespace {
Tdm *g_dm = nullptr;
}

Tdm::Tdm(QObject *parent) : QObject(parent)
{
    g_dm = this;
    setObjectName(QStringLiteral("dm"));
    m_pm1 = std::make_unique<QMenu>();
    pm1 = m_pm1.get();
    pm1->setObjectName(QStringLiteral("pm1"));
    QAction **items[] = {&N1, &N2, &N3, &N4};
    const char *captions[] = {"Вырезать", "Копировать", "Вставить", "Удалить"};
    for (int i = 0; i < 4; ++i) {
        *items[i] = pm1->addAction(QString::fromUtf8(captions[i]));
        (*items[i])->setObjectName(QStringLiteral("N%1").arg(i + 1));
    }
    conPubs = connection("conPubs", QStringLiteral("Data Source=a"));
    dbs = connection("dbs", QStringLiteral("Data Source=a;Mode=ReadWrite"));
    imc = connection("imc", QStringLiteral("Data Source=orx;Mode=Read"));
    imc11 = connection("imc11", QStringLiteral("Data Source=a"));
    // The layer keeps the time-out on the connection: each of these serves one dataset only (imo, ima,
    // imq), whose own 90 s is the one in force.
    imc11->SetCommandTimeout(90);
    imc12 = connection("imc12", QStringLiteral("Data Source=a"));
    imc12->SetCommandTimeout(90);
    imc13 = connection("imc13", QStringLiteral("Data Source=a"));
    imc13->SetCommandTimeout(90);

    m_acm_in11 = std::make_unique<DbCommand>(conPubs);
    acm_in11 = m_acm_in11.get();

    acmi = query("acmi", conPubs);
    rstORX = query("rstORX", conPubs);

    ime = query("ime", imc, QStringLiteral("SELECT * from [События] order by orid"));
    // The readings of the current event: the detail of ime through num -> N_equake.
    ims = query("ims", imc, QStringLiteral("select * from [Станционный бюллетень] where N_equake=?"));
    ims->SetMasterSource(ime, QStringLiteral("num"), QStringLiteral("N_equake"));
    imd = query("imd", imc, QStringLiteral("select channel_name from [Каналы] order by channel_name"));
    imp = query("imp", imc, QStringLiteral("select iphase from [Обозначения волн] order by iphase"));

    imo = query("imo", imc11, QStringLiteral("select * from origin"));
    ima = query("ima", imc12, QStringLiteral("select * from arrival"));
    imq = query("imq", imc13);
}

Tdm::~Tdm()
{
    for (DbConnection *c : {imc13, imc12, imc11, imc, dbs, conPubs})
        CloseDB_ADO(c);
    if (g_dm == this)
        g_dm = nullptr;
}

Tdm *Tdm::instance()
{
    return g_dm;
}

DbConnection *Tdm::connection(const char *name, const QString &connectionString)
{
    auto *c = new DbConnection(this);
    c->setObjectName(QString::fromLatin1(name));
    c->SetConnectionString(connectionString);
    return c;
}

DbQuery *Tdm::query(const char *name, DbConnection *conn, const QString &sql)
{
    auto *q = new DbQuery(conn, this);
    q->setObjectName(QString::fromLatin1(name));
    if (!sql.isEmpty())
        q->SetSQL(sql);
    return q;
}

namespace {

// A source that names a file: always with Jet, and with ODBC when it is written as a path (the ORX
// database as a SQLite file), where a missing file would read as an unknown data source name.
bool isMissingFile(const DbConnection &Conn, const QString &Source)
{
    const QString provider = Conn.Provider();
    const bool file =
        provider.compare(ProviderJet, Qt::CaseInsensitive) == 0 ||
        (provider.compare(ProviderOdbc, Qt::CaseInsensitive) == 0 && !Source.contains(QLatin1Char('=')) &&
         (Source.contains(QLatin1Char('/')) || Source.contains(QLatin1Char('\\'))));
    return file && !QFileInfo(Source).isFile();
}

} // namespace

bool Tdm::OpenDB_ADO(DbConnection *Conn, const QString &Source, const QString &User, const QString &Password,
                     bool Silent, const QString &ErrText)
{
    if (Source.isEmpty()) {
        if (!Silent)
            MessageProc(nullptr,
                        QStringLiteral("OpenDB_ADO: Не задан источник данных (имя файла базы или ODBC)"),
                        MB_ICONERROR, MB_OK);
        return false;
    }
    try {
        if (Conn->Connected())
            Conn->Close();
        // ReplCFile reports its own failure.
        if (!ReplCFile(*Conn, Source))
            return false;
        if (isMissingFile(*Conn, Source)) {
            if (!Silent) {
                const QString missing = QStringLiteral("Не найден файл базы данных \"") +
                                        CutForMessage(Source) + QLatin1Char('"');
                MessageProc(nullptr,
                            ErrText.isEmpty()
                                ? QStringLiteral("OpenDB_ADO: ") + missing
                                : ErrText + QStringLiteral("\rСообщение об ошибке:\r") + missing,
                            MB_ICONERROR, MB_OK);
            }
            return false;
        }
        // There is no login prompt here: an empty user opens without credentials.
        Conn->Open(User, Password);
        return true;
    } catch (const std::exception &e) {
        if (!Silent) {
            const QString reason = ExceptionText(e);
            const QString first =
                ErrText.isEmpty() ? QStringLiteral("OpenDB_ADO: Не удалось подключиться к базе данных \"") +
                                        CutForMessage(Source) + QStringLiteral("\" (подключение ") +
                                        Conn->objectName() + QStringLiteral(")")
                                  : ErrText;
            MessageProc(nullptr, first + QStringLiteral("\rСообщение об ошибке:\r") + reason, MB_ICONERROR,
                        MB_OK);
        }
        return false;
    }
}

bool Tdm::CloseDB_ADO(DbConnection *Conn)
{
    if (!Conn)
        return false;
    try {
        if (Conn->Connected())
            Conn->Close();
        return true;
    } catch (const std::exception &e) {
        MessageProc(nullptr,
                    QStringLiteral("CloseDB_ADO: Не удалось закрыть подключение \"") + Conn->objectName() +
                        QStringLiteral("\"\rСообщение об ошибке:\r") + ExceptionText(e),
                    MB_ICONERROR, MB_OK);
        return false;
    }
}

bool Tdm::WithOrx(Tmainf &Main, QWidget *Owner, const QString &Failure,
                  const std::function<bool(Tdm &)> &Step, const std::function<void()> &Before)
{
    const auto close = qScopeGuard([this] {
        acmi->Close();
        rstORX->Close();
        CloseDB_ADO(conPubs);
    });
    try {
        if (Before)
            Before();
        return Main.OpenOrx(*this) && Step(*this);
    } catch (const std::exception &e) {
        const QString first = Failure.isEmpty() ? QString() : Failure + QLatin1Char(' ');
        MessageProc(Owner, first + QStringLiteral("Сообщение об ошибке:\r") + ExceptionText(e), MB_ICONERROR,
                    MB_OK);
        return false;
    }
}

bool Tdm::ExecOpenDialog(const QString &Title, const QString &Filter, const QString &FileName,
                         int FilterIndex, QString &Chosen)
{
    // The system's filters are "name|mask|name|mask"; Qt wants "name (mask);;name (mask)".
    const QStringList parts = Filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + QStringLiteral(" (") +
                       QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) + QLatin1Char(')');
    QFileDialog dialog(nullptr, Title);
    dialog.setNameFilters(filters);
    if (FilterIndex >= 1 && FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[FilterIndex - 1]);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    Chosen = dialog.selectedFiles().first();
    return true;
}
