// The demo's sample journal as another program reads it: Debian's pxlib, which knows Paradox tables from
// the format itself, finds the sixteen journal fields and the lines in them.

#include "demo_data.h"
#include "lib/codec.h"
#include "support/test_support.h"

#include <QDate>
#include <QFile>

extern "C" {
#include <paradox.h>
}

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

// Every record as text, fields joined by "|": alpha from cp866, dates dd.mm.yyyy, an empty value empty.
QStringList pxRecords(const QString &path, QStringList &names)
{
    pxdoc_t *px = PX_new();
    QStringList records;
    if (PX_open_file(px, QFile::encodeName(path).constData()) < 0) {
        PX_delete(px);
        return records;
    }
    const int fields = PX_get_num_fields(px);
    pxfield_t *field = PX_get_fields(px);
    for (int f = 0; f < fields; ++f)
        names << QString::fromLatin1(field[f].px_fname);
    QByteArray data(PX_get_recordsize(px), '\0');
    for (int r = 0; r < PX_get_num_records(px); ++r) {
        if (!PX_get_record(px, r, data.data()))
            break;
        QStringList cells;
        char *at = data.data();
        for (int f = 0; f < fields; at += field[f].px_flen, ++f) {
            QString text;
            switch (field[f].px_ftype) {
            case pxfAlpha: {
                char *value = nullptr;
                if (PX_get_data_alpha(px, at, field[f].px_flen, &value) > 0) {
                    text = fromCp866(QByteArray(value));
                    px->free(px, value);
                }
                break;
            }
            case pxfShort: {
                short value = 0;
                if (PX_get_data_short(px, at, field[f].px_flen, &value) > 0)
                    text = QString::number(value);
                break;
            }
            case pxfDate: {
                long value = 0;
                if (PX_get_data_long(px, at, field[f].px_flen, &value) > 0) {
                    int y = 0, m = 0, d = 0;
                    PX_SdnToGregorian(value + 1721425, &y, &m, &d);
                    text = QDate(y, m, d).toString(u"dd.MM.yyyy"_s);
                }
                break;
            }
            default: {
                double value = 0;
                if (PX_get_data_double(px, at, field[f].px_flen, &value) > 0)
                    text = QString::number(value);
                break;
            }
            }
            cells << text;
        }
        records << cells.join(u'|');
    }
    PX_close(px);
    PX_delete(px);
    return records;
}

TEST(DemoSamples, TheJournalIsAParadoxTableAsPxlibReadsIt)
{
    TestDir dir;
    DemoParams params;
    params.stations = 1;
    params.days = 1;
    params.eventsPerDay = 1;
    const DemoSummary demo = GenerateDemoFolder(dir.path(), params);
    QStringList names;
    const QStringList records = pxRecords(demo.samples.journal, names);
    EXPECT_EQ(names, QStringList({"N c/c", "N event", "Data", "Faza", "Dev", "Ho", "Min", "Sek", "T", "A E-W",
                                  "A N-S", "A Z", "S-P", "Del", "M", "Notes"}));
    // The two days of the samples are five days before the demo's only day, 30.11.2026.
    EXPECT_EQ(records, QStringList({
                           "1|9001|25.11.2026|+iPg|СКМ-3_SPZ|3|13|6.4||||+|0-15|1.1||Камчатка",
                           "2|||eSg|СКМ-3_SPN|3|13|21.9||||||||",
                           "3|||SgM|СКМ-3_SPN|3|13|22.5|0.8||12.5||||K=11.2|",
                           "4|9002|26.11.2026|-ePg|СКМ-3_SPZ|17|40|39.1||||-|0-26|2.14||Камчатка",
                           "5|||eSg|СКМ-3_SPE|17|41|5.6||||||||",
                           "6|||SgM|СКМ-3_SPE|17|41|6.2|1.1|3.4|||||K=10.4|",
                       }));
}

} // namespace
