#include "app/main_window.h"

#include "lib/messages.h"

#include <QFileInfo>

bool Tmainf::GetStationDBParams(QString &Source, QString &User, QString &Password, int Index, bool Silent)
{
    if (Index < 0)
        Index = selectedStationEntry();
    if (Index < 0 || Index >= stations.size())
        return false;
    if (sett.start_mode == 0 && sett.directORXwr) {
        const ConnParams p = GetOrxConnParams(sett);
        Source = p.source;
        User = p.user;
        Password = p.password;
        return true;
    }
    const tstainfo &station = stations.at(Index);
    User = station.user;
    Password = station.pass;
    if (sett.out_provider == 0) {
        if (!station.out_file_jet.isEmpty() && QFileInfo::exists(station.out_file_jet)) {
            Source = station.out_file_jet;
            return true;
        }
        if (!Silent)
            MessageProc(this, QStringLiteral("База данных Access не найдена!\rПроверьте путь и имя файла."),
                        MB_ICONERROR, MB_OK);
        return false;
    }
    Source = station.source;
    return true;
}
