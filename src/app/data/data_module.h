#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

class DbCommand;
class DbConnection;
class DbQuery;
class QCheckBox;
class QLineEdit;
class QMenu;
class QAction;
class QWidget;
class TField;
class Tmainf;
struct Tsett;

// The data module: every database connection of the program and the datasets and commands the windows
// share, created first and destroyed last. No connection stays open between operations except those of
// the event pages: every routine opens the one it needs with OpenDB_ADO and closes it with CloseDB_ADO.
// The products run their statements on cursors of their own, so no two operations share one by chance.
class Tdm : public QObject
{
    Q_OBJECT
public:
    explicit Tdm(QObject *parent = nullptr);
    ~Tdm() override; // closes imc13, imc12, imc11, imc, dbs, conPubs in that order

    static Tdm *instance();

    // Opens Conn on Source with the provider and connection-string template set before; false with the
    // reason shown (unless Silent) when the source is empty or the open fails. ErrText replaces the
    // standard first line of the failure message.
    bool OpenDB_ADO(DbConnection *Conn, const QString &Source, const QString &User, const QString &Password,
                    bool Silent = false, const QString &ErrText = QString());
    // Closes Conn when open; false only for no connection or a failing close (shown).
    bool CloseDB_ADO(DbConnection *Conn);

    // The protected block of a handler's work on the ORX database: Before (when given: what is due
    // whatever the database says) runs, conPubs opens with Main's ORX values, Step runs, and acmi,
    // rstORX and conPubs are closed afterwards on every path. False when the connection did not open or
    // Step gave false, both reported by then, or when something threw: shown to Owner, icon 16, as
    // Failure + " Сообщение об ошибке:\r" + the reason (without Failure when it is empty).
    bool WithOrx(Tmainf &Main, QWidget *Owner, const QString &Failure, const std::function<bool(Tdm &)> &Step,
                 const std::function<void()> &Before = {});

    // The open-file dialog: true with Chosen set when the user picked a file.
    bool ExecOpenDialog(const QString &Title, const QString &Filter, const QString &FileName, int FilterIndex,
                        QString &Chosen);

    // Mail and ZIP. The mail header and the SMTP server come from the settings the main window hands
    // over; until it does, every value is empty.
    void SetSettings(const Tsett *Settings) { m_settings = Settings; }
    // The header by kind ('r' report, 's' summary, 'e' export): the global one, the caller's own
    // (UseGlobal given and false) or the station's summary or export header.
    void GetMailParams(char Kind, QString &From, QString &To, QString &Cc, QString &Subject,
                       const bool *UseGlobal = nullptr, const QString &OwnFrom = QString(),
                       const QString &OwnTo = QString(), const QString &OwnCc = QString(),
                       const QString &OwnSubject = QString()) const;
    // True when the server took the message; otherwise the reason has been shown (icon 16).
    bool SendMail(char Kind, const QString &Body, const QString &Attachment, const bool *UseGlobal = nullptr,
                  const QString &From = QString(), const QString &To = QString(),
                  const QString &Cc = QString(), const QString &Subject = QString());
    // Both raise EFileError and show nothing: the caller's protection block reports.
    void ZipFiles(const QString &ZipName, const QString &OneFile, const QStringList &Files);
    void UnzipAll(const QString &ZipName, const QString &Dir);

    // The ORX event pages: the data-change handlers of imo and ima (run by the main window's data
    // sources imdso and imdsa), ima's after-scroll handler, and the epoch edits. The handlers follow the
    // current record; a Field written into it (Field given) is no change of theirs.
    void imdsoDataChange(TField *Field = nullptr);
    void imdsaDataChange(TField *Field = nullptr);
    void imaAfterScroll();
    void LoadSiteChanList();
    // As the epoch text routine of that name, with Field remembered as the field being edited so the
    // two handlers above hold off while it is written.
    bool DateTextToEpoch(const QString &Text, TField *Field, double *Epoch);
    // Puts Value (epoch seconds or null) back into Field the same way: the value an epoch edit's field
    // keeps while the text typed is no time to store. The record is being edited from then on, as with
    // any typing, so that Esc gives the typing up.
    void SetEpochField(TField *Field, const QVariant &Value);
    bool EditingField() const { return m_editingField != nullptr; }
    // Set the control from the field with the control's Tag at 1, so its own change handler holds off.
    void ShowEpochInMaskEdit(const TField *Field, QLineEdit *MaskEdit);
    void ShowBoolInCheckBox(const TField *Field, QCheckBox *CheckBox);

    DbConnection *conPubs, *dbs, *imc, *imc11, *imc12, *imc13;

    // The ORX statements of the stations, networks, filters and diagnostics: acm_in11 executes,
    // rstORX reads and edits, acmi runs the diagnostics' statements that return no rows.
    DbCommand *acm_in11;
    DbQuery *acmi, *rstORX;
    DbQuery *ime, *ims, *imd, *imp;
    DbQuery *imo, *ima, *imq;

    // The import grid's context menu: N1 cut, N2 copy, N3 paste, N4 delete; the import page handles them.
    QMenu *pm1 = nullptr;
    QAction *N1 = nullptr, *N2 = nullptr, *N3 = nullptr, *N4 = nullptr;

private:
    DbConnection *connection(const char *name, const QString &connectionString);
    DbQuery *query(const char *name, DbConnection *conn, const QString &sql = QString());

    std::unique_ptr<DbCommand> m_acm_in11;
    std::unique_ptr<QMenu> m_pm1;
    const Tsett *m_settings = nullptr;
    TField *m_editingField = nullptr;
};
