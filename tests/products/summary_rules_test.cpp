#include "lib/errors.h"
#include "lib/fake_dataset.h"
#include "products/summary_rules.h"
#include "products/summary_text.h"
#include "support/program_env.h"

namespace {

TEST(SummaryRules, PhaseGroupComparesExactly)
{
    const struct
    {
        const char *phase;
        int group;
    } cases[] = {{"P", 1}, {"PKIKP", 1}, {"P*", 1},  {"UNK", 1}, {"Pn", 2}, {"", 2},
                 {"S", 2}, {"LR", 3},    {"LRM", 3}, {"lr", 2},  {"LQ", 4}, {"LQM", 4}};
    for (const auto &c : cases)
        EXPECT_EQ(PhaseGroup(QString::fromUtf8(c.phase)), c.group) << c.phase;
    EXPECT_TRUE(IsNotSP(QStringLiteral("sp")));
    EXPECT_FALSE(IsNotSP(QStringLiteral("SP")));
}

TEST(SummaryRules, FieldToSummaryNumberFillsOnlyAnEmptyText)
{
    const struct
    {
        QVariant value;
        int digits;
        bool skipZero;
        const char *start;
        const char *expected;
    } cases[] = {
        {0.0000005, 1, true, "", ""},   {0.0000005, 1, false, "", "0."}, {12.34, 1, false, "", "12.3"},
        {5.0, 1, false, "", "5."},      {0.25, 1, false, "", "0.2"},     {-2.5, 0, false, "", "-2."},
        {QVariant(), 1, false, "", ""}, {7.0, 1, false, "3.", "3."},
    };
    for (const auto &c : cases) {
        FakeField field(QStringLiteral("v"), FieldType::Float, c.value);
        QString s = QString::fromUtf8(c.start);
        FieldToSummaryNumber(s, c.digits, &field, c.skipZero);
        EXPECT_EQ(s, QString::fromUtf8(c.expected)) << c.value.toDouble();
    }
    QString s = QStringLiteral("7.5");
    EnsureDecimalPoint(s);
    EXPECT_EQ(s, QStringLiteral("7.5"));
}

TEST(SummaryText, OutTextsTakeTheirDaysAndDropTheTail)
{
    const struct
    {
        const char *text;
        const char *line;
    } cases[] = {
        {"OUT, 12 MAR 0315", "OUT, MAR12 0315"},
        {"взрыв OUT DEC 31 32 JAN", "OUT DEC31 32 JAN??"},
        {"землетрясение 5 JAN", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(OutTextLine(QString::fromUtf8(c.text)), QString::fromUtf8(c.line)) << c.text;
}

TEST(SummaryText, EmptyTelegramNamesTheDayAndTheNextOne)
{
    QString text;
    AppendEmptyTelegram(text, QStringLiteral("pet"), EncodeDate(2025, 12, 31) + 0.7, true);
    EXPECT_EQ(text, QStringLiteral("SEISMO N5365 :PET BEG DEC31 000000 END JAN01 000000\nSTOP"));
    EXPECT_EQ(SummaryFileName(QStringLiteral("kam"), EncodeDate(2026, 1, 1)), QStringLiteral("kam_001"));
}

// A summary's END is its next day: the calendar's last day has none and is refused, the day before it is
// the last one carried.
TEST(SummaryText, TheLastDayCarriedAndTheOneRefused)
{
    QString text;
    AppendEmptyTelegram(text, QStringLiteral("pet"), EncodeDate(9998, 12, 31), false);
    EXPECT_EQ(text, QStringLiteral("SEISMO N8365 PET BEG DEC31 000000 END JAN01 000000\nSTOP"));
    EXPECT_NO_THROW(RefuseSummaryDay(EncodeDate(9998, 12, 31) + 0.99));
    EXPECT_NO_THROW(RefuseSummaryDay(EncodeDate(1900, 1, 1)));
    const struct
    {
        TDateTime day;
        const char *message;
    } refused[] = {
        {EncodeDate(9999, 12, 31),
         "Дата сводки 31.12.9999 вне допустимых пределов: от 01.01.1900 до 31.12.9998."},
        {EncodeDate(1899, 12, 31),
         "Дата сводки 31.12.1899 вне допустимых пределов: от 01.01.1900 до 31.12.9998."},
    };
    for (const auto &r : refused) {
        try {
            RefuseSummaryDay(r.day);
            ADD_FAILURE() << r.message;
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.message(), QString::fromUtf8(r.message));
        }
    }
}

} // namespace
