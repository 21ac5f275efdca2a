#include "hostile_texts.h"
#include "monkey_rng.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

// The mix holds every kind of text the monkey is meant to type.
TEST(HostileTexts, HoldEveryKindAsked)
{
    const QStringList texts = HostileTexts();
    for (const char *wanted :
         {"", "1.5e308", "31.02.2026", "31.12.9999", "'; drop table origin; --", "Обнинск"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(wanted))) << wanted;
    EXPECT_TRUE(std::any_of(texts.cbegin(), texts.cend(), [](const QString &t) { return t.size() >= 32768; }))
        << "none longer than a line edit takes";
}

// A path edited by appending or prepending any of them stays where it pointed or becomes relative.
TEST(HostileTexts, NoneHoldsAFolderSeparator)
{
    MonkeyRng rng(7);
    QStringList texts = HostileTexts();
    for (int i = 0; i < 2000; ++i)
        texts << PickHostileText(rng);
    for (const QString &t : std::as_const(texts)) {
        EXPECT_FALSE(t.contains(QLatin1Char('/')) || t.contains(QLatin1Char('\\')))
            << t.left(60).toStdString();
    }
}
