#include "app/settings/form_placement.h"
#include "app/settings/settings_persistence.h"
#include "fuzz_support.h"
#include "lib/date_routines.h"
#include "lib/errors.h"

#include <QRect>

// Any bytes as system/Brenvale.ini: the start-up reads its keys into the settings record, every section
// as a station's, the fonts and the window placement, whatever values, numbers and dates it holds.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::silenceMessages();
    IniFile ini = [&] {
        try {
            return IniFile::FromBytes(fuzz::bytesOf(data, size));
        } catch (const EFileError &) {
            return IniFile::FromBytes(QByteArray());
        }
    }();
    Tsett s;
    QString net;
    GlobalViewState view;
    QStringList keys;
    ReadStartKeys(ini, s);
    ReadDatabaseKeys(ini, s);
    ReadOptionKeys(ini, s, net, false);
    ReadCommonKeys(ini, keys);
    ReadViewKeys(ini, s, view);
    const TDateTime today = EncodeDate(2026, 11, 30);
    for (const QString &section : ini.ReadSections()) {
        ReadStationKeys(ini, section, s, today);
        ReadOrxFilterKeys(ini, section, today);
        ComputeFormPlacement(ReadStoredPlacement(ini, section), QRect(0, 0, 1400, 900), 200, 100);
        TUserFont font;
        try {
            ReadUserFont(ini, section, font);
        } catch (const BrenvaleError &) {
        }
    }
    return 0;
}
