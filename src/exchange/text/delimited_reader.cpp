#include "exchange/text/delimited_reader.h"

#include "lib/codec.h"
#include "lib/codepage_keys.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/text_routines.h"

#include <QFile>
#include <QFileInfo>

#include <climits>
#include <vector>

namespace {

void failRead(TD2D &table, const QString &fileName, const QString &reason)
{
    table.Clear();
    MessageProc(nullptr,
                QStringLiteral("Txt2dsl: Не удалось импортировать файл \"") + QFileInfo(fileName).fileName() +
                    QStringLiteral("\"\rСообщение об ошибке:\r") + reason,
                MB_ICONERROR, MB_OK);
}

} // namespace

bool Txt2dslBytes(TD2D &table, const tspec &spec, const QByteArray &bytes, const QString &fileName)
{
    const int columns = int(spec.cols.size());
    table.Init(columns, 0, false);
    if (columns == 0) {
        failRead(table, fileName, QStringLiteral("В формате данных нет ни одного столбца"));
        return false;
    }
    const CharSet delims{spec.fdel};
    const CharSet quotes{spec.sdel};

    // The rows are made at once, one per line break, and cut to the lines read at the end.
    const qsizetype lines = bytes.count('\n') + (bytes.endsWith('\n') ? 0 : 1);
    if (!TableFits(columns, lines)) {
        failRead(table, fileName,
                 QStringLiteral("Слишком много строк для импорта: ") + TooManyCellsText(columns, lines));
        return false;
    }
    // A NUL would go into the database and cut the statements that later carry the text.
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0) {
        failRead(table, fileName,
                 QStringLiteral("Символ NUL в строке №") +
                     QString::number(QByteArrayView(bytes).first(nul).count('\n') + 1));
        return false;
    }
    table.Init(columns, int(std::min<qsizetype>(lines, INT_MAX)), false);
    std::vector<QString *> cells(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c)
        cells[size_t(c)] = table.Columns[c].data();
    TokenChars token;
    qsizetype start = 0;
    int lineNo = 0;
    const auto cut = [&] { table.SetSize(columns, lineNo); };
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        qsizetype stop = end;
        if (stop > start && bytes[stop - 1] == '\r')
            --stop;
        const QByteArray raw = QByteArray::fromRawData(bytes.constData() + start, stop - start);
        const QString line = fromCp1251(raw);
        start = next;
        // Only a line with bytes of DOS letters can hold a token to convert.
        bool dosBytes = false;
        for (const char b : raw) {
            const auto u = static_cast<unsigned char>(b);
            if (u >= 0x80 && u <= 0xAF && u != 0xA8) {
                dosBytes = true;
                break;
            }
        }

        const int row = lineNo++;
        int col = 0;
        int pos = 1;
        const int len = int(line.size());
        do {
            int k = 0;
            GetNextTokenChars(line, len, pos, delims, quotes, token, spec.fdel, &k);
            if (pos == 0 && col + k < columns - 1) {
                MessageProc(nullptr,
                            QStringLiteral("В строке №") + QString::number(lineNo) +
                                QStringLiteral(" файла \"") + fileName +
                                QStringLiteral("\" произошла ошибка при импорте ") +
                                QString::number(col + 1) + QStringLiteral("-го столбца. Операция прервана."),
                            MB_ICONERROR, MB_OK);
                cut();
                return false;
            }
            if (col < columns && !token.isEmpty()) {
                QString *column = cells[size_t(col)];
                const QStringView text(token.constData(), token.size());
                if (dosBytes) {
                    const QString plain = text.toString();
                    QString converted;
                    column[row] = DetectDosText(plain, converted, true, 0) ? converted : plain;
                } else if (row > 0 && column[row - 1] == text) {
                    // A column repeats its value from line to line (a station, a channel, a day): the
                    // cell above is shared instead of made again.
                    column[row] = column[row - 1];
                } else {
                    column[row] = text.toString();
                }
            }
            col += k;
        } while (pos != 0);
    }
    cut();
    return true;
}

bool Txt2dsl(TD2D &table, const tspec &spec, const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        failRead(table, fileName, file.errorString());
        return false;
    }
    if (file.size() > MaxTextTableBytes) {
        failRead(table, fileName,
                 QStringLiteral("Файл больше предела в %1 МиБ").arg(MaxTextTableBytes >> 20));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        failRead(table, fileName, file.errorString());
        return false;
    }
    return Txt2dslBytes(table, spec, bytes, fileName);
}
