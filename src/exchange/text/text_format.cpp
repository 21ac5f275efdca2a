#include "exchange/text/text_format.h"

#include "exchange/page/import_type.h"
#include "lib/codec.h"
#include "lib/messages.h"
#include "lib/safe_write.h"

#include <QBuffer>
#include <QFile>
#include <QtEndian>

namespace {

QList<tspeccol> columnsOf(std::initializer_list<const char *> names)
{
    QList<tspeccol> cols;
    for (const char *n : names)
        cols.append({QString::fromLatin1(n), false, true, {}});
    return cols;
}

tspeccol *findColumn(QList<tspeccol> &cols, const char *name)
{
    for (auto &c : cols)
        if (c.name == QLatin1String(name))
            return &c;
    return nullptr;
}

bool readExactly(QIODevice &file, char *dst, qint64 size)
{
    return file.read(dst, size) == size;
}

bool writeAll(QIODevice &file, const QByteArray &bytes)
{
    return file.write(bytes) == bytes.size();
}

QByteArray columnBytes(const tspeccol &col)
{
    QByteArray name = toCp1251(col.name).left(71);
    QByteArray out(SpecColumnSize, '\0');
    out[0] = char(name.size());
    std::copy(name.begin(), name.end(), out.begin() + 1);
    const int tailRoom = 71 - int(name.size());
    const QByteArray tail = col.nameTail.left(tailRoom);
    std::copy(tail.begin(), tail.end(), out.begin() + 1 + name.size());
    out[72] = col.key ? 1 : 0;
    out[73] = col.used ? 1 : 0;
    return out;
}

tspeccol columnFromBytes(const char *b)
{
    tspeccol col;
    const int len = qMin(int(quint8(b[0])), 71);
    col.name = fromCp1251(QByteArray(b + 1, len));
    col.nameTail = QByteArray(b + 1 + len, 71 - len);
    col.key = b[72] != 0;
    col.used = b[73] != 0;
    return col;
}

} // namespace

QList<tspeccol> DefaultSpecColumns(SpecTable table)
{
    QList<tspeccol> cols;
    switch (table) {
    case SpecEvents:
        cols =
            columnsOf({"orid", "num", "time", "dec", "lat", "lon", "depdp", "deltagr", "deltakm", "seaz",
                       "emares", "S_P_time", "S_P_dec", "Kps", "FlagQuake", "StrQuake", "comment", "lddate"});
        findColumn(cols, "orid")->used = false;
        findColumn(cols, "num")->key = true;
        break;
    case SpecStationBulletin:
        cols = columnsOf({"arid",
                          "N_seismo",
                          "N_equake",
                          "Station_Cod",
                          "Date",
                          "FM",
                          "Qual",
                          "Interpretation",
                          "Phase",
                          "Channel_name",
                          "Channel_Cod",
                          "KPCH",
                          "Channel_component",
                          "Time",
                          "Dec",
                          "FM_NS",
                          "FM_EW",
                          "FM_Z",
                          "FM_Period_NS",
                          "FM_Amp_NS",
                          "FM_Period_EW",
                          "FM_Amp_EW",
                          "FM_Period_Z",
                          "FM_Amp_Z",
                          "Comments"});
        findColumn(cols, "arid")->used = false;
        findColumn(cols, "arid")->key = true;
        break;
    case SpecXmAdd:
        cols = columnsOf({"Id_XM", "arid", "Channel_nameXM", "Channel_CodXM", "Channel_componentXM", "TimeXM",
                          "DecXm", "Period_NS", "Amp_NS", "Period_EW", "Amp_EW", "Period_Z", "Amp_Z",
                          "Magnitude_NE", "Klass_NE", "Magnitude_Z", "Klass_Z"});
        findColumn(cols, "Id_XM")->used = false;
        break;
    }
    return cols;
}

QByteArray SpecHeaderBytes(const tspec &spec)
{
    QByteArray h(SpecHeaderSize, '\0');
    h[0] = char(spec.mark);
    qToLittleEndian<qint32>(spec.codepage, h.data() + 4);
    h[8] = toCp1251Char(spec.fdel);
    h[9] = toCp1251Char(spec.sdel);
    const QByteArray fmt = toCp1251(spec.datefmt).left(3);
    h[10] = char(fmt.size());
    std::copy(fmt.begin(), fmt.end(), h.begin() + 11);
    h[14] = toCp1251Char(spec.dtdel);
    h[15] = toCp1251Char(spec.tmdel);
    h[16] = toCp1251Char(spec.decdel);
    h[17] = spec.foury ? 1 : 0;
    h[18] = spec.ext0 ? 1 : 0;
    qToLittleEndian<quint16>(spec.byear, h.data() + 20);
    return h;
}

void SpecHeaderFromBytes(tspec &spec, const QByteArray &h)
{
    Q_ASSERT(h.size() == SpecHeaderSize);
    spec.mark = quint8(h[0]);
    spec.codepage = qFromLittleEndian<qint32>(h.constData() + 4);
    spec.fdel = fromCp1251Char(h[8]);
    spec.sdel = fromCp1251Char(h[9]);
    spec.datefmt = fromCp1251(h.mid(11, qMin(int(quint8(h[10])), 3)));
    spec.dtdel = fromCp1251Char(h[14]);
    spec.tmdel = fromCp1251Char(h[15]);
    spec.decdel = fromCp1251Char(h[16]);
    spec.foury = h[17] != 0;
    spec.ext0 = h[18] != 0;
    spec.byear = qFromLittleEndian<quint16>(h.constData() + 20);
}

bool ReadSpecRecord(QIODevice &file, tspec &spec, bool full)
{
    QByteArray header(SpecHeaderSize, '\0');
    if (!readExactly(file, header.data(), SpecHeaderSize))
        return false;
    SpecHeaderFromBytes(spec, header);
    if (!full)
        return true;

    char countBytes[4];
    if (!readExactly(file, countBytes, 4))
        return false;
    const qint32 count = qFromLittleEndian<qint32>(countBytes);
    // A damaged count must not make us allocate for columns the file cannot hold.
    if (count < 0 || (!file.isSequential() && qint64(count) * SpecColumnSize > file.size() - file.pos()))
        return false;
    QList<tspeccol> cols;
    char entry[SpecColumnSize];
    for (qint32 i = 0; i < count; ++i) {
        if (!readExactly(file, entry, SpecColumnSize))
            return false;
        cols.append(columnFromBytes(entry));
    }
    spec.cols = cols;
    return true;
}

bool WriteSpecRecord(QIODevice &file, const tspec &spec, bool full)
{
    if (!writeAll(file, SpecHeaderBytes(spec)))
        return false;
    if (!full)
        return true;
    char countBytes[4];
    qToLittleEndian<qint32>(qint32(spec.cols.size()), countBytes);
    if (!writeAll(file, QByteArray(countBytes, 4)))
        return false;
    for (const tspeccol &c : spec.cols)
        if (!writeAll(file, columnBytes(c)))
            return false;
    return true;
}

void CopySpec(const tspec &src, tspec &dst, bool copyHeader, bool copyColumns)
{
    if (copyHeader) {
        QList<tspeccol> keep = dst.cols;
        dst = src;
        dst.cols = keep;
    }
    if (copyColumns)
        dst.cols = src.cols;
}

void TspecToFormatSettings(TFormatSettings &fs, const tspec &spec, const TFormatSettings &locale,
                           int currentYear)
{
    fs = locale;
    fs.DecimalSeparator = spec.decdel;
    fs.DateSeparator = spec.dtdel;
    fs.TimeSeparator = spec.tmdel;

    QString pattern;
    for (int i = 0; i < spec.datefmt.size() && i < 3; ++i) {
        const QChar letter = spec.datefmt[i];
        if (letter == QLatin1Char('d'))
            pattern += spec.ext0 ? QStringLiteral("dd") : QStringLiteral("d");
        else if (letter == QLatin1Char('m'))
            pattern += spec.ext0 ? QStringLiteral("MM") : QStringLiteral("M");
        else if (letter == QLatin1Char('y'))
            pattern += spec.foury ? QStringLiteral("yyyy") : QStringLiteral("yy");
        if (i < 2)
            pattern += spec.dtdel;
    }
    fs.ShortDateFormat = pattern;

    const quint16 centuryBase = quint16((currentYear / 100 - 1) * 100);
    fs.TwoDigitYearCenturyWindow = quint16(quint16(currentYear) - quint16(centuryBase + spec.byear));
    fs.WindowYear = currentYear;
}

QString SpecFilePath(const QString &programDir, const QString &name)
{
    return programDir + QStringLiteral("specs/") + name + QStringLiteral(".spe");
}

void TextFormats::SetDefaults()
{
    tspec header;
    importSpec[SpecEvents] = header;
    CopySpec(header, importSpec[SpecStationBulletin], true, false);
    CopySpec(header, importSpec[SpecXmAdd], true, false);
    for (int t = 0; t < 3; ++t) {
        importSpec[t].cols = DefaultSpecColumns(SpecTable(t));
        CopySpec(importSpec[t], exportSpec[t], true, true);
    }
    specsDirty = true;
}

bool TextFormats::LoadSpec(const QString &programDir, const QString &name, bool reset, int importType)
{
    const QString path = SpecFilePath(programDir, name);
    if (reset) {
        QFile::remove(path);
        unsaved.remove(path);
    }
    // Formats the analyst set are newer than any file, and are saved again with the station's settings.
    if (const auto kept = unsaved.constFind(path); kept != unsaved.cend()) {
        QBuffer buffer;
        buffer.setData(*kept);
        buffer.open(QIODevice::ReadOnly);
        if (ReadSpecFile(buffer, importType)) {
            specsDirty = true;
            return false;
        }
    }
    if (!QFile::exists(path)) {
        SetDefaults();
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        MessageProc(nullptr, QStringLiteral("Ошибка при чтении формата данных ") + CutForMessage(name),
                    MB_ICONERROR, MB_OK);
        return false;
    }
    if (ReadSpecFile(file, importType))
        return true;
    // A short or damaged file would leave this station with part of another station's formats, which
    // the next save would store under its name.
    SetDefaults();
    MessageProc(
        nullptr,
        QStringLiteral("Ошибка при чтении формата данных ") + CutForMessage(name) +
            QStringLiteral(": файл \"%1\" повреждён, взяты форматы по умолчанию").arg(CutForMessage(path)),
        MB_ICONERROR, MB_OK);
    return false;
}

bool TextFormats::ReadSpecFile(QIODevice &file, int importType)
{
    const bool text = importType == ImportText;
    for (int t = 0; t < 3; ++t)
        if (!ReadSpecRecord(file, exportSpec[t], true))
            return false;
    if (!ReadSpecRecord(file, importSpec[SpecEvents], text))
        return false;
    if (text) {
        return ReadSpecRecord(file, importSpec[SpecStationBulletin], true) &&
               ReadSpecRecord(file, importSpec[SpecXmAdd], true);
    }
    for (int t = 0; t < 3; ++t)
        CopySpec(exportSpec[t], importSpec[t], false, true);
    CopySpec(importSpec[SpecEvents], importSpec[SpecStationBulletin], true, false);
    CopySpec(importSpec[SpecEvents], importSpec[SpecXmAdd], true, false);
    return true;
}

bool TextFormats::SaveSpec(const QString &programDir, const QString &name, int importType)
{
    if (!specsDirty)
        return true;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const bool text = importType == ImportText;
    for (int t = 0; t < 3; ++t)
        WriteSpecRecord(buffer, exportSpec[t], true);
    WriteSpecRecord(buffer, importSpec[SpecEvents], text);
    if (text) {
        WriteSpecRecord(buffer, importSpec[SpecStationBulletin], true);
        WriteSpecRecord(buffer, importSpec[SpecXmAdd], true);
    }
    // The old file stays whole unless the new one was written completely.
    const QString path = SpecFilePath(programDir, name);
    QString reason;
    if (SafeWriteFile(path, buffer.data(), &reason)) {
        unsaved.remove(path);
        return true;
    }
    unsaved.insert(path, buffer.data());
    MessageProc(nullptr,
                QStringLiteral("Ошибка при записи формата данных %1: %2. Формат не записан и до закрытия "
                               "программы хранится только в памяти")
                    .arg(CutForMessage(name), reason),
                MB_ICONERROR, MB_OK);
    return false;
}
