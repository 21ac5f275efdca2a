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

// The origin table as a set of EVENTIDs; statements are checked for their exact form.
struct TakenIds
{
    QSet<QString> ids;
    QStringList statements;
    int failAt = -1; // the statement (from 0) that fails

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
            count = ids.contains(id) || ids.contains(trimmed) ? 1 : 0;
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
        UniqueEventIds unique(db.counter());
        EXPECT_EQ(unique.MakeUniqueEventId(c.taken.first()), c.expected) << c.name;
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
        UniqueEventIds unique(db.counter());
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
        UniqueEventIds unique(db.counter());
        EXPECT_EQ(unique.MakeUniqueEventId(QStringLiteral("99")), QString());
        EXPECT_TRUE(unique.renames().isEmpty());
    }
    {
        // A failure while searching gives the id back, with no rename row.
        TakenIds db;
        db.ids.insert(QStringLiteral("99"));
        db.failAt = 1;
        UniqueEventIds unique(db.counter());
        EXPECT_EQ(unique.MakeUniqueEventId(QStringLiteral("99")), QStringLiteral("99"));
        EXPECT_TRUE(unique.renames().isEmpty());
    }
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
