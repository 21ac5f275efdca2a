#include "exchange/page/import_page_files.h"

#include "exchange/page/import_type.h"

#include <QDir>
#include <QFileInfo>

namespace {

struct Template
{
    QString prefix, suffix;
};

Template splitTemplate(const QString &text)
{
    const qsizetype mark = text.indexOf(QLatin1Char('?'));
    if (mark < 0)
        return {text, QString()};
    return {text.left(mark), text.mid(mark + 1)};
}

} // namespace

QString ImportFileFilter(int importType)
{
    const QString all = QStringLiteral("Все файлы (*.*)|*.*");
    switch (importType) {
    case ImportParadox:
        return QStringLiteral("Базы данных Paradox (*.db)|*.db|") + all;
    case ImportExcel:
        return QStringLiteral("Документы Excel (*.xls)|*.xls|") + all;
    case ImportText:
        return QStringLiteral("Текстовые файлы (*.txt)|*.txt|") + all;
    case ImportOrv:
        return QStringLiteral("Файлы экспорта ORX (*.orv)|*.orv|") + all;
    case ImportKrv:
        return QStringLiteral("Текстовые файлы формата KRV (*.txt;*.dat)|*.txt;*.dat|") + all;
    default:
        return all;
    }
}

std::array<QString, 3> TextFileSiblings(const std::array<QString, 3> &templates, int checked,
                                        const QString &chosen)
{
    const qsizetype slash = chosen.lastIndexOf(QLatin1Char('/'));
    const QString folder = chosen.left(slash + 1);
    const QString name = chosen.mid(slash + 1);
    // Only the place of the checked table's suffix matters: the chosen name is not matched against it.
    QString variable;
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    const qsizetype end = dot - splitTemplate(templates[checked]).suffix.size();
    if (dot >= 0 && end >= 0) {
        qsizetype start = end;
        while (start > 0 && name.at(start - 1) >= QLatin1Char('0') && name.at(start - 1) <= QLatin1Char('9'))
            --start;
        variable = name.mid(start, end - start);
    }
    std::array<QString, 3> files;
    for (int t = 0; t < 3; ++t) {
        const Template parts = splitTemplate(templates[t]);
        files[t] =
            t == checked ? chosen : folder + parts.prefix + variable + parts.suffix + QStringLiteral(".txt");
    }
    return files;
}

QString ExistingFileIgnoringCase(const QString &path)
{
    const QFileInfo file(path);
    if (path.isEmpty() || file.isFile())
        return path;
    const QDir folder = file.dir();
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : names)
        if (name.compare(file.fileName(), Qt::CaseInsensitive) == 0)
            return folder.filePath(name);
    return path;
}
