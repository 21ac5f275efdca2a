#include "db/row_store.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Every value reads back as it went in, type included, whatever the column keeps it in.
TEST(RowStore, ValuesReadBackAsStoredThroughEditsAndRemovals)
{
    RowStore rows;
    rows.reset(4);
    const QByteArray bom = "\xEF\xBB\xBF"
                           "x";
    const QByteArray cyrillic = u"Камчатка, сейсмостанция"_s.toUtf8();
    // A column of NULLs first, then texts; integers then a text (mixed); numbers; texts from UTF-8.
    rows.appendNull(0);
    rows.appendInteger(1, 7);
    rows.appendDouble(2, 0.5);
    rows.appendUtf8(3, cyrillic.constData(), cyrillic.size());
    rows.endRow();
    rows.appendText(0, u"PET"_s);
    rows.appendText(1, u"seven"_s);
    rows.appendNull(2);
    rows.appendUtf8(3, bom.constData(), bom.size());
    rows.endRow();
    rows.appendRow({u""_s, QVariant(), 2.25, QVariant()});
    ASSERT_EQ(rows.rowCount(), 3);

    const QList<QVariant> expected[] = {
        {QVariant(), qlonglong(7), 0.5, u"Камчатка, сейсмостанция"_s},
        {u"PET"_s, u"seven"_s, QVariant(), u"\uFEFFx"_s},
        {u""_s, QVariant(), 2.25, QVariant()},
    };
    for (int r = 0; r < 3; ++r) {
        const QList<QVariant> got = rows.row(r);
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(got[c].typeId(), expected[r][c].typeId()) << r << "," << c;
            EXPECT_EQ(got[c], expected[r][c]) << r << "," << c;
            EXPECT_EQ(got[c].isNull(), expected[r][c].isNull()) << r << "," << c;
        }
    }
    EXPECT_FALSE(rows.value(2, 0).isNull()); // an empty text is no NULL

    // A changed text longer and shorter than before, a text made NULL; the neighbours keep theirs.
    rows.setRow(0, {u"Петропавловск-Камчатский"_s, qlonglong(8), 1.5, u"a"_s});
    rows.setRow(1, {QVariant(), u"eight"_s, 3.0, QVariant()});
    EXPECT_EQ(rows.row(0), (QList<QVariant>{u"Петропавловск-Камчатский"_s, qlonglong(8), 1.5, u"a"_s}));
    EXPECT_EQ(rows.row(1), (QList<QVariant>{QVariant(), u"eight"_s, 3.0, QVariant()}));
    EXPECT_EQ(rows.value(2, 0), QVariant(u""_s));

    rows.removeRow(0);
    ASSERT_EQ(rows.rowCount(), 2);
    EXPECT_EQ(rows.row(0), (QList<QVariant>{QVariant(), u"eight"_s, 3.0, QVariant()}));
    EXPECT_EQ(rows.row(1), (QList<QVariant>{u""_s, QVariant(), 2.25, QVariant()}));
    rows.appendUtf8(0, "Z", 1);
    rows.appendNull(1);
    rows.appendNull(2);
    rows.appendText(3, u"b"_s);
    rows.endRow();
    EXPECT_EQ(rows.row(2), (QList<QVariant>{u"Z"_s, QVariant(), QVariant(), u"b"_s}));
}

} // namespace
