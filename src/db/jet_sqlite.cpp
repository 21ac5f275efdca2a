#include "db/jet_sqlite.h"

#include "lib/datetime.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QString>

#include <sqlite3.h>

#include <cmath>

namespace {

QString textArg(sqlite3_value *v)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

void resultText(sqlite3_context *ctx, const QString &s)
{
    const QByteArray utf8 = s.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

bool anyNull(int argc, sqlite3_value **argv)
{
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return true;
    return false;
}

// Jet treats a Null condition as false and any non-zero number as true.
bool truth(sqlite3_value *v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return false;
    case SQLITE_INTEGER:
        return sqlite3_value_int64(v) != 0;
    case SQLITE_FLOAT:
        return sqlite3_value_double(v) != 0;
    default: {
        const QString s = textArg(v).trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        bool ok = false;
        const double d = s.toDouble(&ok);
        return ok && d != 0;
    }
    }
}

double numberArg(sqlite3_value *v)
{
    if (sqlite3_value_type(v) == SQLITE_TEXT)
        return textArg(v).trimmed().toDouble();
    return sqlite3_value_double(v);
}

// A day serial from a stored value: the number itself, or ISO text written by another program.
double serialArg(sqlite3_value *v)
{
    if (sqlite3_value_type(v) == SQLITE_TEXT) {
        const QDateTime dt = QDateTime::fromString(textArg(v).trimmed(), Qt::ISODateWithMs);
        return dt.isValid() ? FromQDateTime(dt) : 0;
    }
    return sqlite3_value_double(v);
}

void resultNumber(sqlite3_context *ctx, double d)
{
    if (d == std::floor(d) && std::fabs(d) < 9.2e18)
        sqlite3_result_int64(ctx, sqlite3_int64(d));
    else
        sqlite3_result_double(ctx, d);
}

using TextFn = QString (*)(const QString &);

template <TextFn F> void textFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    resultText(ctx, F(textArg(argv[0])));
}

QString upper(const QString &s)
{
    return s.toUpper();
}
QString lower(const QString &s)
{
    return s.toLower();
}

void switchFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (argc % 2 != 0) {
        sqlite3_result_error(ctx, "Switch: the conditions and values must come in pairs", -1);
        return;
    }
    for (int i = 0; i < argc; i += 2) {
        if (truth(argv[i])) {
            sqlite3_result_value(ctx, argv[i + 1]);
            return;
        }
    }
    sqlite3_result_null(ctx);
}

void iifFn(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3_result_value(ctx, truth(argv[0]) ? argv[1] : argv[2]);
}

void midFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString s = textArg(argv[0]);
    const qint64 start = sqlite3_value_int64(argv[1]);
    if (start < 1) {
        sqlite3_result_error(ctx, "Mid: the start must be 1 or more", -1);
        return;
    }
    const qint64 len = argc > 2 ? sqlite3_value_int64(argv[2]) : s.size();
    resultText(ctx, start > s.size() ? QString() : s.mid(start - 1, qMax<qint64>(0, len)));
}

void leftFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    resultText(ctx, textArg(argv[0]).left(qMax<qint64>(0, sqlite3_value_int64(argv[1]))));
}

void rightFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    resultText(ctx, textArg(argv[0]).right(qMax<qint64>(0, sqlite3_value_int64(argv[1]))));
}

void lenFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, textArg(argv[0]).size());
}

void intFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    resultNumber(ctx, std::floor(numberArg(argv[0])));
}

void fixFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    resultNumber(ctx, std::trunc(numberArg(argv[0])));
}

void valFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?)"));
    QString s = textArg(argv[0]);
    s.remove(QLatin1Char(' '));
    const QRegularExpressionMatch m = number.match(s);
    resultNumber(ctx, m.hasMatch() ? m.captured(0).toDouble() : 0.0);
}

void cstrFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
        return resultText(ctx, QString::number(sqlite3_value_int64(argv[0])));
    case SQLITE_FLOAT:
        return resultText(ctx, FloatToStr(sqlite3_value_double(argv[0])));
    default:
        return resultText(ctx, textArg(argv[0]));
    }
}

void cintFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    int64_t n = 0;
    if (!TryRoundHalfEven(numberArg(argv[0]), n))
        return sqlite3_result_error(ctx, "CInt: the number is out of range", -1);
    sqlite3_result_int64(ctx, n);
}

void cdblFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, numberArg(argv[0]));
}

void nowFn(sqlite3_context *ctx, int, sqlite3_value **)
{
    sqlite3_result_double(ctx, Now());
}
void dateFn(sqlite3_context *ctx, int, sqlite3_value **)
{
    sqlite3_result_double(ctx, Today());
}

template <int Part> void datePartFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    int parts[7];
    DecodeDateTime(serialArg(argv[0]), parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
    sqlite3_result_int(ctx, parts[Part]);
}

void dateSerialFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    // Months and days outside their range roll over, as in Jet. Beyond a few million nothing can land
    // inside the calendar, and the arithmetic below must not overflow.
    constexpr qint64 limit = 100000000;
    const qint64 yearArg = sqlite3_value_int64(argv[0]);
    const qint64 monthArg = sqlite3_value_int64(argv[1]);
    const qint64 dayArg = sqlite3_value_int64(argv[2]);
    const auto outside = [](qint64 v) { return v > limit || v < -limit; };
    if (outside(yearArg) || outside(monthArg) || outside(dayArg)) {
        sqlite3_result_error(ctx, "DateSerial: invalid date", -1);
        return;
    }
    qint64 year = yearArg;
    qint64 month = monthArg - 1;
    year += month >= 0 ? month / 12 : -((11 - month) / 12);
    month = ((month % 12) + 12) % 12;
    TDateTime first = 0;
    if (!TryEncodeDate(int(year), int(month + 1), 1, first)) {
        sqlite3_result_error(ctx, "DateSerial: invalid date", -1);
        return;
    }
    sqlite3_result_double(ctx, first + double(dayArg - 1));
}

void nzFn(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL)
        sqlite3_result_value(ctx, argv[0]);
    else if (argc > 1)
        sqlite3_result_value(ctx, argv[1]);
    else
        sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
}

void isNullFn(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3_result_int(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? 1 : 0);
}

bool isAscii(const void *p, int n)
{
    const unsigned char *s = static_cast<const unsigned char *>(p);
    for (int i = 0; i < n; ++i)
        if (s[i] & 0x80)
            return false;
    return true;
}

int jetNoCase(void *, int la, const void *a, int lb, const void *b)
{
    if (isAscii(a, la) && isAscii(b, lb)) {
        const int r =
            sqlite3_strnicmp(static_cast<const char *>(a), static_cast<const char *>(b), qMin(la, lb));
        return r != 0 ? r : la - lb;
    }
    const QString sa = QString::fromUtf8(static_cast<const char *>(a), la);
    const QString sb = QString::fromUtf8(static_cast<const char *>(b), lb);
    return sa.compare(sb, Qt::CaseInsensitive);
}

struct FunctionDef
{
    const char *name;
    int args; // -1 for any
    void (*fn)(sqlite3_context *, int, sqlite3_value **);
    bool deterministic;
};

const FunctionDef kFunctions[] = {
    {"UCase", 1, textFunction<upper>, true},
    {"LCase", 1, textFunction<lower>, true},
    {"Switch", -1, switchFn, true},
    {"IIf", 3, iifFn, true},
    {"Mid", 2, midFn, true},
    {"Mid", 3, midFn, true},
    {"JetLeft", 2, leftFn, true},
    {"JetRight", 2, rightFn, true},
    {"Len", 1, lenFn, true},
    {"Int", 1, intFn, true},
    {"Fix", 1, fixFn, true},
    {"Val", 1, valFn, true},
    {"CStr", 1, cstrFn, true},
    {"CInt", 1, cintFn, true},
    {"CLng", 1, cintFn, true},
    {"CDbl", 1, cdblFn, true},
    {"Now", 0, nowFn, false},
    {"Date", 0, dateFn, false},
    {"Year", 1, datePartFn<0>, true},
    {"Month", 1, datePartFn<1>, true},
    {"Day", 1, datePartFn<2>, true},
    {"Hour", 1, datePartFn<3>, true},
    {"Minute", 1, datePartFn<4>, true},
    {"Second", 1, datePartFn<5>, true},
    {"DateSerial", 3, dateSerialFn, true},
    {"Nz", 1, nzFn, true},
    {"Nz", 2, nzFn, true},
    {"JetIsNull", 1, isNullFn, true},
};

} // namespace

bool RegisterJetFunctions(sqlite3 *db)
{
    for (const FunctionDef &f : kFunctions) {
        const int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
        if (sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.fn, nullptr, nullptr, nullptr) !=
            SQLITE_OK)
            return false;
    }
    return sqlite3_create_collation_v2(db, kJetCollation, SQLITE_UTF8, nullptr, jetNoCase, nullptr) ==
           SQLITE_OK;
}
