#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/settings/form_placement.h"
#include "app/settings/settings_persistence.h"
#include "fuzz_support.h"
#include "lib/date_routines.h"
#include "lib/errors.h"

#include <QApplication>
#include <QRect>

#include <memory>

// Any bytes as system/Brenvale.ini: the start-up reads its keys into the settings record, every section
// as a station's, the fonts and the window placement, whatever values, numbers and dates it holds. Then,
// up to 16 KiB, the same bytes as both settings files through the program's start-up and shutdown, which
// use what was read: the start page, the connections, the station list and the current station's
// settings, the fonts, the panels and the placement.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::silenceMessages();
    const QByteArray bytes = fuzz::bytesOf(data, size);
    IniFile ini = [&] {
        try {
            return IniFile::FromBytes(bytes);
        } catch (const EFileError &) {
            return IniFile::FromBytes(QByteArray());
        }
    }();
    Tsett s;
    QString net;
    GlobalViewState view;
    QStringList keys;
    try {
        ReadStartKeys(ini, s);
        ReadDatabaseKeys(ini, s);
        ReadOptionKeys(ini, s, net, false);
        ReadCommonKeys(ini, keys);
        ReadViewKeys(ini, s, view);
    } catch (const EFileError &) {
        // common keys past the file's share of memory
    }
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

    // Sixteen KiB make a station list of some hundred stations and every key at once; the many sections
    // of a larger input would cost the start time rather than lead anywhere new.
    if (size > 16384)
        return 0;
    static int argc = 1;
    static char name[] = "fuzz_settings";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    static Tdm dm;
    const QString folder = fuzz::workFolder();
    fuzz::writeFile(folder + QStringLiteral("system/Brenvale.ini"), bytes);
    fuzz::writeFile(folder + QStringLiteral("system/Stations.ini"), bytes);
    TmainfOptions options;
    options.programFolder = folder;
    options.arguments = QStringList();
    options.workArea = QRect(0, 0, 1400, 900);
    // A start that cannot read the files reports it and goes on with the defaults, as does the shutdown.
    std::make_unique<Tmainf>(options).reset();
    return 0;
}
