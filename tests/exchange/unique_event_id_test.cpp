#include "exchange/orv/unique_event_id.h"

#include "support/test_support.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

const QString kHead = QStringLiteral("select count(eventid) from origin where eventid=");
const QString kTrimmed = QStringLiteral(" or rtrim(eventid)=");

// The statement for an id: the key's own comparison, and the trimmed one.
QString statementOf(const char *id, const char *trimmed)
{
    return kHead + QString::fromUtf8(id) + kTrimmed + QString::fromUtf8(trimmed);
}

QString unquoted(QString literal)
{
    EXPECT_TRUE(literal.size() >= 2 && literal.startsWith(QLatin1Char('\'')) &&
                literal.endsWith(QLatin1Char('\'')))
        << literal.toStdString();
    return literal.mid(1, literal.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
}

const QString kListHead = QStringLiteral("select eventid from origin where eventid in (");
const QString kListTrimmed = QStringLiteral(") or rtrim(eventid) in (");

// The quoted literals of a list written "'a','b''c'".
QStringList literalsOf(const QString &list)
{
    QStringList out;
    qsizetype i = 0;
    while (i < list.size()) {
        qsizetype end = i + 1;
        while (end < list.size() &&
               !(list[end] == u'\'' && (end + 1 >= list.size() || list[end + 1] != u'\'')))
            end += list[end] == u'\'' ? 2 : 1;
        out << unquoted(list.mid(i, end + 1 - i));
        i = end + 2; // past the quote and the comma
    }
    return out;
}

// The origin table as a set of EVENTIDs; statements are checked for their exact form.
struct TakenIds
{
    QSet<QString> ids;
    QStringList statements;
    int failAt = -1;      // the statement (from 0) that fails
    bool everyId = false; // every id asked for is taken

    bool has(const QString &id) const { return everyId || ids.contains(id); }

    UniqueEventIds make(int limit = UniqueEventIds::MaxCandidates)
    {
        return UniqueEventIds(counter(), lister(), limit);
    }

    // The stored ids a list statement selects: equal to a candidate, or to its trimmed text.
    UniqueEventIds::Lister lister()
    {
        return [this](const QString &sql, QStringList &found) {
            statements << sql;
            if (statements.size() - 1 == failAt)
                return false;
            EXPECT_TRUE(sql.startsWith(kListHead) && sql.endsWith(u')')) << sql.toStdString();
            const qsizetype at = sql.indexOf(kListTrimmed);
            const QStringList asked = literalsOf(sql.mid(kListHead.size(), at - kListHead.size()));
            const QStringList trimmed = literalsOf(sql.mid(at + kListTrimmed.size()).chopped(1));
            EXPECT_EQ(asked.size(), trimmed.size());
            EXPECT_LE(asked.size(), UniqueEventIds::Batch);
            for (qsizetype i = 0; i < asked.size(); ++i) {
                EXPECT_EQ(trimmed.value(i), asked[i].trimmed());
                for (const QString &id : {asked[i], trimmed.value(i)})
                    if (has(id) && !found.contains(id))
                        found << id;
            }
            return true;
        };
    }

    UniqueEventIds::Counter counter()
    {
        return [this](const QString &sql, qint64 &count) {
            statements << sql;
            if (statements.size() - 1 == failAt)
                return false;
            EXPECT_TRUE(sql.startsWith(kHead)) << sql.toStdString();
            // Neither literal can hold the text between them: an inner quote is doubled.
            const qsizetype at = sql.indexOf(QStringLiteral("'") + kTrimmed);
            EXPECT_GT(at, 0) << sql.toStdString();
            const QString id = unquoted(sql.mid(kHead.size(), at + 1 - kHead.size()));
            const QString trimmed = unquoted(sql.mid(at + 1 + kTrimmed.size()));
            EXPECT_EQ(trimmed, id.trimmed());
            count = has(id) || has(trimmed) ? 1 : 0;
            return true;
        };
    }
};

} // namespace

TEST(MakeUniqueEventId, StepsToTheNearestFreeIdOfItsOwnForm)
{
    struct Case
    {
        const char *name;
        QStringList taken; // the first is the id asked for
        QString expected;
    };
    const Case cases[] = {
        {"next second", {"20080301123456"}, "20080301123457"},
        {"walks past taken seconds",
         {"20080301123456", "20080301123457", "20080301123458"},
         "20080301123459"},
        {"carry into the minute with a rest", {"20080301125959 Байкал"}, "20080301130000 Байкал"},
        {"carry up to the year", {"20071231235959"}, "20080101000000"},
        {"characters after the stamp are dropped", {"20080301123456789"}, "20080301123457"},
        {"minute stamp takes an underscore", {"20080301-1234"}, "20080301_1235"},
        {"long date over a leap day", {"28.02.2008"}, "29.02.2008"},
        {"short date, year 8 is a leap year", {"28.02.08"}, "29.02.08"},
        {"short date beyond year 99", {"31.12.99"}, "01.01.100"},
        {"no date but an integer", {"20081399"}, "20081400"},
        {"integer", {"99"}, "100"},
        {"leading zeros are not kept", {"0099"}, "100"},
        {"negative integer", {"-5 x"}, "-4 x"},
        {"year 00 is no short date", {"28.02.00"}, "28.02.01"},
        {"string successor", {"AB", "AC"}, "AD"},
        {"string successor carries", {"A~"}, "B!"},
        {"quotes in the id", {"O'B"}, "O'C"},
        {"invalid month is no stamp", {"20081301123456"}, "20081301123457"},
    };
    for (const Case &c : cases) {
        TakenIds db;
        for (const QString &id : c.taken)
            db.ids.insert(id);
        UniqueEventIds unique = db.make();
        EXPECT_EQ(unique.MakeUniqueEventId(c.taken.first()).value_or(QStringLiteral("<failed>")), c.expected)
            << c.name;
        ASSERT_EQ(unique.renames().size(), 1) << c.name;
        EXPECT_EQ(unique.renames().first().first, c.taken.first()) << c.name;
        EXPECT_EQ(unique.renames().first().second, c.expected) << c.name;
        EXPECT_EQ(unique.Renamed(c.taken.first().toLower()), c.expected) << c.name;
    }
}

TEST(MakeUniqueEventId, StatementsAndFailures)
{
    {
        // A free id: one statement, the id as it stands and trimmed, quoted, nothing renamed.
        TakenIds db;
        UniqueEventIds unique = db.make();
        EXPECT_EQ(unique.MakeUniqueEventId(QStringLiteral(" E'1 ")), QString());
        EXPECT_EQ(db.statements, QStringList{statementOf("' E''1 '", "'E''1'")});
        EXPECT_TRUE(unique.renames().isEmpty());
        EXPECT_EQ(unique.Renamed(QStringLiteral(" E'1 ")), QString());
    }
    {
        // The first statement fails: the row keeps its EVENTID.
        TakenIds db;
        db.ids.insert(QStringLiteral("99"));
        db.failAt = 0;
        UniqueEventIds unique = db.make();
        EXPECT_EQ(unique.MakeUniqueEventId(QStringLiteral("99")), QString());
        EXPECT_TRUE(unique.renames().isEmpty());
    }
    {
        // Changed: a failure while searching gives nothing, so the import ends rather than insert the
        // taken id and fail on the key.
        TakenIds db;
        db.ids.insert(QStringLiteral("99"));
        db.failAt = 1;
        UniqueEventIds unique = db.make();
        EXPECT_EQ(unique.MakeUniqueEventId(QStringLiteral("99")), std::nullopt);
        EXPECT_TRUE(unique.renames().isEmpty());
    }
    {
        // The successors are asked for in lists of 8, 32, 128, then 500: a run of 700 taken integers takes
        // five lists.
        TakenIds db;
        for (int i = 0; i <= 700; ++i)
            db.ids.insert(QString::number(1000 + i));
        UniqueEventIds unique = db.make();
        EXPECT_EQ(unique.MakeUniqueEventId(QStringLiteral("1000")), QStringLiteral("1701"));
        ASSERT_EQ(db.statements.size(), 6);
        EXPECT_EQ(
            db.statements[1],
            QStringLiteral("select eventid from origin where eventid in ('1001','1002','1003','1004','1005',"
                           "'1006','1007','1008') or rtrim(eventid) in ('1001','1002','1003','1004','1005',"
                           "'1006','1007','1008')"));
        for (const auto &[statement, first] : {std::pair(2, "'1009',"), std::pair(3, "'1041',"),
                                               std::pair(4, "'1169',"), std::pair(5, "'1669',")})
            EXPECT_TRUE(db.statements[statement].startsWith(kListHead + QLatin1String(first)))
                << db.statements[statement].left(80).toStdString();
    }
    {
        // A stored id differing only in case is taken where the key ignores case: that candidate is
        // asked for alone, and here the database tells the cases apart.
        TakenIds db;
        db.ids = {QStringLiteral("AB"), QStringLiteral("ac")};
        UniqueEventIds unique(db.counter(), [&db](const QString &sql, QStringList &found) {
            db.statements << sql;
            found << QStringLiteral("ac");
            return true;
        });
        EXPECT_EQ(unique.MakeUniqueEventId(QStringLiteral("AB")), QStringLiteral("AC"));
        ASSERT_EQ(db.statements.size(), 3);
        EXPECT_EQ(db.statements[2], statementOf("'AC'", "'AC'"));
    }
}

// Mended: one-character EVENTIDs wrap round among the 94 printable characters without growing; with all
// of them taken the search said nothing for a million statements and the insert failed on the key. Now
// the form's last free id is found, or its end said at once.
TEST(MakeUniqueEventId, AFormWithoutAFreeIdIsSaidAtOnce)
{
    QSet<QString> oneCharacter, withRest;
    for (char16_t c = u'!'; c <= u'~'; ++c) {
        oneCharacter.insert(QString(QChar(c)));
        withRest.insert(QString(QChar(c)) + QStringLiteral(" x"));
    }
    QSet<QString> twoCharacters;
    for (const QString &a : std::as_const(oneCharacter))
        for (const QString &b : std::as_const(oneCharacter))
            twoCharacters.insert(a + b);
    const struct
    {
        const char *name;
        QString id;
        QSet<QString> taken;
        bool everyId;
        QString result; // the new id, or the message
        int statements;
        int limit = UniqueEventIds::MaxCandidates;
    } cases[] = {
        {"every one-character id", QStringLiteral("A"), oneCharacter, false,
         QStringLiteral(
             "EVENTID \"A\" уже есть в БД ORX, а свободного EVENTID того же вида (строка из одного "
             "символа от \"!\" до \"~\") нет: заняты все 94"),
         1 + 3},
        {"a letter outside the range", QStringLiteral("Я"), oneCharacter + QSet<QString>{QStringLiteral("Я")},
         false,
         QStringLiteral(
             "EVENTID \"Я\" уже есть в БД ORX, а свободного EVENTID того же вида (строка из одного "
             "символа от \"!\" до \"~\") нет: заняты все 94"),
         1 + 3},
        {"with a rest", QStringLiteral("A x"), withRest, false,
         QStringLiteral("EVENTID \"A x\" уже есть в БД ORX, а свободного EVENTID того же вида (строка из "
                        "одного символа от \"!\" до \"~\" и продолжение \" x\") нет: заняты все 94"),
         1 + 3},
        {"the last free two-character id", QStringLiteral("AB"), twoCharacters - QSet<QString>{"AA"}, false,
         QStringLiteral("AA"), 1 + 3 + 18},
        {"every two-character id", QStringLiteral("AB"), twoCharacters, false,
         QStringLiteral("EVENTID \"AB\" уже есть в БД ORX, а свободного EVENTID того же вида (строка из 2 "
                        "символов от \"!\" до \"~\") нет: заняты все 8836"),
         1 + 3 + 18},
        {"no end to the form",
         QStringLiteral("20080301123456"),
         {},
         true,
         QStringLiteral("EVENTID \"20080301123456\" уже есть в БД ORX, а свободного EVENTID того же вида "
                        "(дата и время вида ггггммддччммсс) нет: ни один из следующих 1200 не свободен"),
         1 + 6,
         1200},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TakenIds db;
        db.ids = c.taken;
        db.everyId = c.everyId;
        UniqueEventIds unique = db.make(c.limit);
        QString result;
        try {
            result = unique.MakeUniqueEventId(c.id).value_or(QStringLiteral("<failed>"));
        } catch (const EventIdsExhausted &e) {
            result = e.message();
        }
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(db.statements.size(), c.statements);
    }
}

TEST(EventIdFormText, EachKindAsTheUserReadsIt)
{
    const struct
    {
        EventIdKind kind;
        int length;
        const char *rest;
        const char *text;
    } cases[] = {
        {EventIdKind::Seconds, 14, "", "дата и время вида ггггммддччммсс"},
        {EventIdKind::Minutes, 13, "", "дата и время вида ггггммдд_ччмм"},
        {EventIdKind::ShortDate, 8, "", "дата вида дд.мм.гг"},
        {EventIdKind::LongDate, 10, " Б", "дата вида дд.мм.гггг и продолжение \" Б\""},
        {EventIdKind::Integer, 3, "", "целое число"},
        {EventIdKind::Other, 1, "", "строка из одного символа от \"!\" до \"~\""},
        {EventIdKind::Other, 3, "", "строка из 3 символов от \"!\" до \"~\""},
        {EventIdKind::Other, 11, "", "строка из 11 символов от \"!\" до \"~\""},
        {EventIdKind::Other, 21, "", "строка из 21 символа от \"!\" до \"~\""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(EventIdFormText(c.kind, c.length, QString::fromUtf8(c.rest)), QString::fromUtf8(c.text));
}

TEST(ParseEventIdStamp, Kinds)
{
    const std::pair<const char *, EventIdKind> cases[] = {
        // What the stepping cases above do not show: other separators, impossible dates, long numbers.
        {"20080301 1234", EventIdKind::Minutes},
        {"01/03/2008", EventIdKind::LongDate},
        {"31.02.2008", EventIdKind::Other},
        {"2008030199999", EventIdKind::Integer},
        {"", EventIdKind::Other},
        {"99999999999999999999", EventIdKind::Other},
    };
    for (const auto &[word, kind] : cases)
        EXPECT_EQ(int(ParseEventIdStamp(QString::fromUtf8(word)).kind), int(kind)) << word;
}
