#include "db/row_store.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

#include <vector>

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

// Texts from SQLite's UTF-8 read as Qt's decoder reads them, character for character, also where they
// are not valid UTF-8 or need more than two bytes a character; a leading byte order mark is kept.
TEST(RowStore, Utf8TextsReadAsQtDecodesThem)
{
    const QByteArray texts[] = {
        "",
        "PET",
        u"Петропавловск-Камчатский"_s.toUtf8(),
        u"ÄÖü ÿ ǅ ߿"_s.toUtf8(),
        QByteArray("a\0b", 3),
        u"20 € и 𝄞"_s.toUtf8(),
        "\xEF\xBB\xBF"
        "bom",
        "\x80lone",
        "cut\xD0",
        "\xC0\x80overlong",
        "\xC1\xBF",
        "\xD0\x41",
        "\xF8\x88\x80\x80\x80",
        "\xED\xA0\x80surrogate",
        u"смешанный mixed текст"_s.toUtf8(),
    };
    RowStore rows;
    rows.reset(1);
    for (const QByteArray &t : texts) {
        rows.appendUtf8(0, t.constData(), t.size());
        rows.endRow();
    }
    for (qsizetype r = 0; r < rows.rowCount(); ++r) {
        const QByteArray &t = texts[r];
        QStringDecoder qt(QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString expected = qt.decode(t);
        EXPECT_EQ(rows.value(r, 0).toString(), expected) << t.toHex().constData();
        EXPECT_EQ(rows.text(r, 0), expected) << t.toHex().constData();
        std::vector<char16_t> out(size_t(t.size()) + 1);
        EXPECT_EQ(QStringView(out.data(), DecodeUtf8(t.constData(), t.size(), out.data())), expected)
            << t.toHex().constData();
    }
    EXPECT_EQ(rows.text(6, 0), u"\uFEFFbom"_s);
}

} // namespace
