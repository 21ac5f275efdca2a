#include "lib/date_display.h"

#include <gtest/gtest.h>

namespace {

TEST(DateDisplay, LocaleShortDateInNumbersWithAFourDigitYear)
{
    struct Case
    {
        const char *locale;
        const char *format; // as FormatDateTime takes it
        char separator;
        const char *edit; // as a date edit shows it
    } cases[] = {
        {"ru_RU", "dd.mm.yyyy", '.', "dd.MM.yyyy"},
        {"de_DE", "dd.mm.yyyy", '.', "dd.MM.yyyy"}, // two-digit year widened
        {"en_US", "m/d/yyyy", '/', "M/d/yyyy"},
        {"en_GB", "dd/mm/yyyy", '/', "dd/MM/yyyy"},
        {"sv_SE", "yyyy-mm-dd", '-', "yyyy-MM-dd"},
        {"C", "dd.mm.yyyy", '.', "dd.MM.yyyy"}, // spells the month: the service's own form instead
    };
    for (const Case &c : cases) {
        const QLocale locale = QString::fromLatin1(c.locale) == QLatin1String("C")
                                   ? QLocale::c()
                                   : QLocale(QString::fromLatin1(c.locale));
        const TFormatSettings fs = LocaleFormatSettings(locale);
        EXPECT_EQ(fs.ShortDateFormat, QString::fromLatin1(c.format)) << c.locale;
        EXPECT_EQ(fs.DateSeparator, QLatin1Char(c.separator)) << c.locale;
        EXPECT_EQ(DateEditFormat(fs), QString::fromLatin1(c.edit)) << c.locale;
        EXPECT_EQ(FormatDateTime(QStringLiteral("ddddd"), EncodeDate(2026, 11, 10), fs).size(), 10)
            << c.locale;
    }
    EXPECT_EQ(LocaleFormatSettings(QLocale(QStringLiteral("ru_RU"))).DecimalSeparator, QLatin1Char(','));

    // The date separator of a format written with "/" is the one of the settings.
    TFormatSettings fs;
    fs.ShortDateFormat = QStringLiteral("dd/mm/yyyy");
    fs.DateSeparator = QLatin1Char('-');
    EXPECT_EQ(DateEditFormat(fs), QStringLiteral("dd-MM-yyyy"));
}

} // namespace
