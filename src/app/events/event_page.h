#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>

#include <functional>
#include <initializer_list>
#include <utility>

class DataSource;
class DbQuery;
class QWidget;

// What the event pages compute without their controls.

// A floating-point value as the event pages show it: rounded to the nearest 0.001 (or 10^-Decimals;
// halves to the even multiple), written as the system writes numbers with the locale's decimal
// separator. Empty for a value that cannot be rounded so (not finite, or too large).
QString FloatDisplayText(double Value, const QLocale &Locale, int Decimals = 3);

// The S-P interval of an event, "MM:SS.d": minutes and seconds of the time of day of S_P_time and the
// tenths S_P_dec modulo 10 (0 when null); empty when S_P_time is null.
QString SPTimeText(const QVariant &S_P_time, const QVariant &S_P_dec);

// The events of the ORX page: those with arrivals at the ticked stations (CheckedQuoted, a quoted list)
// or else at CurCode, within the epoch interval T1..T2 when Filter is on; without OnlyFull, events that
// have no arrival at all as well.
QString OriginQueryText(const QString &CheckedQuoted, const QString &CurCode, bool Filter, double T1,
                        double T2, bool OnlyFull);

// Writes an edit or a new row still pending, rather than dropping it with a closing dataset. A write the
// database refuses is shown and stays pending, to be corrected, written later or given up (Esc). Over a
// connection the server dropped (restarted) it is written through a new one (RunReconnecting); when no
// new one opens, the user is told it was not written and it is given up. The result says whether
// nothing is pending now. Then, when given, follows a refusal in the same message: what it stops.
bool PostPending(DbQuery *Query, const QString &Then = QString());

// Runs Act, a statement of the event pages over Query's connection. When the server turns out to have
// dropped that connection, or a new one could not be opened since, it is opened anew once, Query and the
// other datasets on it keeping their rows and the edit pending, and Act runs again. When that fails too,
// DbError (ConnectionLost) says that Undone, what Act was to do, was not done; the next action connects
// again.
void RunReconnecting(DbQuery *Query, const QString &Undone, const std::function<void()> &Act);

// A button of the event pages that moves through, adds to or deletes from a dataset: the edits pending
// in Pending are written first, in that order (PostPending), and one that is not keeps the page where it
// is; then Act, whose failure is shown to Owner. The writes and the move are one change of the records
// shown (DataSource::HeldChanges).
void RunPageMove(QWidget *Owner, std::initializer_list<DbQuery *> Pending, const std::function<void()> &Act);

// The numbers the event pages take into a field: as much as the products can carry (a million times
// more than any quantity of the pages), narrowed where the quantity has a range of its own
// (coordinates, angles, distances, tenths of a second).
std::pair<double, double> EventFieldRange(const QString &Field);

// How long an edit of the event pages waits for a lock another program or window holds: an analyst
// waits at a frozen window, so briefly, and is told who holds the database.
inline constexpr int kEditLockWait = 5;

// The text without its trailing blanks, as fixed-width columns return codes.
QString TrimRightText(const QString &Text);

// Binds the control to the field through Source by what kind of control it is (check box, combo box,
// date-time edit, memo, line edit, label), with the field's range; other controls are left alone.
void BindControl(DataSource *Source, QWidget *Control, const QString &Field);
