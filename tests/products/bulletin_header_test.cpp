#include "bulletin_test_support.h"
#include "products/bulletin_html.h"

namespace {

HeaderStation obninsk()
{
    return {QStringLiteral("Обнинск"), QStringLiteral("55° 06' 00&quot; N"),
            QStringLiteral("036° 36' 00&quot; E"), QStringLiteral("150"), QStringLiteral("глина")};
}

HeaderOptions march(int begDay, int endDay)
{
    HeaderOptions o;
    o.number = 7;
    o.begDate = EncodeDate(2024, 3, begDay);
    o.endDate = EncodeDate(2024, 3, endDay);
    return o;
}

QStringList head(const HeaderOptions &o, const HeaderStation &s = obninsk(), bool first = true)
{
    BulletinLines out;
    WriteReportHeader(out, o, s, first);
    return out.lines();
}

// The lines between the station name's "</u></td>" and the end of the date cell.
QStringList dateLines(const QStringList &lines)
{
    const qsizetype from = lines.indexOf(QStringLiteral("<td nowrap align=right valign=bottom><u>"));
    const qsizetype to = lines.indexOf(QStringLiteral("</u></td></tr>"));
    return lines.mid(from + 1, to - from - 1);
}

TEST(BulletinHeader, DecadeHeadAsTheTemplateSays)
{
    BulletinLines out;
    WriteReportHeader(out, march(1, 10), obninsk(), true);
    expectSameLines(out.bytes(), golden({QStringLiteral("head_db_decade.htm")}));
}

// Across months, one day, the framed table and the ORX heads are in the golden files of the whole bulletins.
TEST(BulletinHeader, PeriodInWords)
{
    const QString c = QStringLiteral("<span style=\"color:navy\">c</span>");
    const QString small = QStringLiteral("<span style=\"font-size:8.0pt;font-family:Arial\">");
    const QString close = QStringLiteral("</span>");
    const QString po = QStringLiteral("<span style=\"color:navy\">по</span>");
    struct Case
    {
        const char *name;
        HeaderOptions options;
        QStringList lines;
    };
    HeaderOptions withBegin = march(1, 10);
    withBegin.putBegDate = true;
    HeaderOptions crossYear;
    crossYear.begDate = EncodeDate(2023, 12, 28);
    crossYear.endDate = EncodeDate(2024, 1, 5);
    const Case cases[] = {
        {"begin month and year asked for",
         withBegin,
         {c, "1", small, "марта 2024 г.", close, po, "10", small, "марта 2024 г.", close}},
        {"across years",
         crossYear,
         {c, "28", small, "декабря 2023 г.", close, po, "5", small, "января 2024 г.", close}},
    };
    for (const Case &k : cases)
        EXPECT_EQ(dateLines(head(k.options)), k.lines) << k.name;
}

TEST(BulletinHeader, VariantsOfTheHead)
{
    // A further station of the same file starts with the table of template line 3.
    const QStringList further = head(march(1, 10), obninsk(), false);
    EXPECT_EQ(further.first(), QStringLiteral("<table width=100% border=0 cellspacing=0 cellpadding=4"));
    EXPECT_EQ(further.size(), 69);

    // No ground known.
    HeaderStation bare = obninsk();
    bare.ground.clear();
    EXPECT_TRUE(head(march(1, 10), bare).contains(QStringLiteral("&lt; не указана &gt;")));
}

TEST(BulletinHeader, CoordinatesInTheirFixedWidths)
{
    EXPECT_EQ(CoordinateShown(QStringLiteral("550600N"), 2), QStringLiteral("55° 06' 00\" N"));
    EXPECT_EQ(CoordinateShown(QStringLiteral("0363600E"), 3), QStringLiteral("036° 36' 00\" E"));
    EXPECT_EQ(CoordinateShown(QString(), 2), QStringLiteral("  °   '   \"  "));
    EXPECT_EQ(CoordinateKept(QStringLiteral("55° 06' 00\" N"), 2), QStringLiteral("550600N"));
    EXPECT_EQ(CoordinateKept(QStringLiteral("36 ° 5 ' 7 \" W"), 3), QStringLiteral("36 5 7 W"));
    EXPECT_EQ(CoordinateHtml(55.1, false), QStringLiteral("55° 6 ' 0 &quot; N"));
    EXPECT_EQ(CoordinateHtml(-36.5, true), QStringLiteral("36 ° 30' 0 &quot; W"));
    double deg = 0;
    EXPECT_TRUE(CoordinateDegrees(QStringLiteral("5530 0S"), 2, deg));
    EXPECT_DOUBLE_EQ(deg, -55.5);
    EXPECT_FALSE(CoordinateDegrees(QStringLiteral("5x3000N"), 2, deg));
}

} // namespace
