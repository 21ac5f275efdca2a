#pragma once

#include "exchange/text/text_format.h"
#include "lib/dataset_api.h"

#include <QString>
#include <QVariant>

class TDataSet;
class TField;

// Writes what an SQL statement yields as a delimited text table laid out by spec: one CR LF line per
// record, no header, the values in the order of spec's columns (used or not).

// One value as a line carries it, by the type of its field; NULL gives nothing.
QString DelimitedValueText(const QVariant &value, FieldType type, const tspec &spec,
                           const TFormatSettings &fs);

// The line of the query's current record. fields are the query's fields for spec's columns, types
// their types, looked up once for all records.
QByteArray DelimitedLine(const tspec &spec, const TFormatSettings &fs, const QList<TField *> &fields,
                         const QList<FieldType> &types);

// The number of records written to fileName, or 0 when nothing was written: no records, a failed
// statement (reported by the statement runner) or a column of a type the text cannot hold
// ("Неподдерживаемый тип столбца..."). A file is only left behind when every record went into it.
// A column that the query lacks raises DbError; a file that cannot be written raises EFileError.
int ExportQueryToText(TDataSet &query, const tspec &spec, const QString &sql, const QString &fileName,
                      const TFormatSettings &fs);

// The file is folder + "/" + name + ".txt"; with checkDir a missing folder is reported and gives -1.
int ExportQueryToFile(TDataSet &query, const QString &folder, const QString &name, const tspec &spec,
                      const QString &sql, bool checkDir, const TFormatSettings &fs);
