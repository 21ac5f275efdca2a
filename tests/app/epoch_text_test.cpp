#include "app/events/epoch_text.h"
#include "lib/epoch.h"
#include "lib/errors.h"
#include "lib/fake_dataset.h"
#include "support/program_env.h"

namespace {

TEST(EpochText, FormsAndDateTexts)
{
    // The tenths round up into the seconds, never into the minute; years keep four digits.
    EXPECT_EQ(EpochText(nullptr, htoe(2005, 4, 30, 23, 59, 59.96)), QStringLiteral("30.04.2005 23:59:60.0"));
    EXPECT_EQ(EpochText(nullptr, htoe(987, 1, 2, 3, 4, 5.25)), QStringLiteral("02.01.0987 03:04:05.2"));

    double epoch = -1;
    ASSERT_TRUE(DateTextToEpoch(QStringLiteral("05.03.2008 10:20:30,5"), nullptr, nullptr, &epoch));
    EXPECT_DOUBLE_EQ(epoch, htoe(2008, 3, 5, 10, 20, 30.5));
    ASSERT_TRUE(DateTextToEpoch(QStringLiteral("00.00.0000 00:00:00.0"), nullptr, nullptr, &epoch));
    EXPECT_EQ(epoch, 0.0);
    EXPECT_THROW(DateTextToEpoch(QStringLiteral("05.x3.2008 10:20:30.5"), nullptr, nullptr, &epoch),
                 EConvertError);

    const std::pair<const char *, bool> dates[] = {{"31.04.2005 00:00:00.0", false},
                                                   {"29.02.2004 00:00:00.0", true},
                                                   {"29.02.2005 00:00:00.0", false},
                                                   {"01.00.2005 00:00:00.0", false},
                                                   {"31.12.2005 23:59:59.9", true}};
    for (const auto &[text, valid] : dates)
        EXPECT_EQ(IsValidDateText(QString::fromLatin1(text)), valid) << text;

    // What the epoch edits store: times on the days the program carries, and the empty time.
    const QString outside = QStringLiteral(" вне допустимых пределов: от 01.01.1900 до 31.12.9998.");
    const std::pair<const char *, QString> problems[] = {
        {"00.00.0000 00:00:00.0", QString()},
        {"01.01.1900 00:00:00.0", QString()},
        {"31.12.9998 23:59:59.9", QString()},
        {"05.02.2026 23:59:60.9", QString()}, // 59.96 s shows as 60.0
        {"31.12.9999 00:00:00.0", QStringLiteral("Дата 31.12.9999") + outside},
        {"31.12.1899 23:59:59.9", QStringLiteral("Дата 31.12.1899") + outside},
        {"01.01.1800 00:00:00.0", QStringLiteral("Дата 01.01.1800") + outside},
        {"05.02.0000 00:00:00.0", QStringLiteral("Дата 05.02.0000") + outside},
        {"31.04.2005 00:00:00.0", QStringLiteral("Неверная дата!")},
        {"00.02.2026 10:00:00.0", QStringLiteral("Неверная дата!")},
        {"05.00.2026 10:00:00.0", QStringLiteral("Неверная дата!")},
        {"05.02.2026 24:00:00.0", QStringLiteral("Неверная дата!")},
        {"05.02.2026 23:60:00.0", QStringLiteral("Неверная дата!")},
        {"05.02.2026 23:59:61.0", QStringLiteral("Неверная дата!")},
    };
    for (const auto &[text, problem] : problems)
        EXPECT_EQ(EpochTextProblem(QString::fromLatin1(text)), problem) << text;
}

TEST(EpochText, Fields)
{
    FakeDataSet ds;
    FakeField &time = ds.add(QStringLiteral("itime"), FieldType::Float, QVariant());
    EXPECT_EQ(EpochFieldText(time), QString());
    EXPECT_EQ(EpochText(&time), QStringLiteral("00.00.0000 00:00:00.0"));
    ASSERT_TRUE(DateTextToEpoch(QStringLiteral("29.02.2004 01:02:03.4"), &ds, &time, nullptr));
    EXPECT_DOUBLE_EQ(time.AsFloat(), htoe(2004, 2, 29, 1, 2, 3.4));
    EXPECT_EQ(EpochFieldText(time), QStringLiteral("29.02.2004 01:02:03.4"));
    // The empty text stores NULL, not the epoch of 1970.
    ASSERT_TRUE(DateTextToEpoch(QStringLiteral("00.00.0000 00:00:00.0"), &ds, &time, nullptr));
    EXPECT_TRUE(time.IsNull());
}

} // namespace
