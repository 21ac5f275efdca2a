#include "lib/data_sources.h"

#include "lib/codec.h"
#include "lib/errors.h"
#include "lib/system_errors.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>

namespace {

// The order people expect in a pick list: case does not separate names.
void sortNames(QStringList &names)
{
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int byText = QString::compare(a, b, Qt::CaseInsensitive);
        return byText != 0 ? byText < 0 : a < b;
    });
}

// Blanks and control characters off both ends, as the file's authors expect.
QString trimControls(const QString &line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && line.at(begin).unicode() <= ' ')
        ++begin;
    while (end > begin && line.at(end - 1).unicode() <= ' ')
        --end;
    return line.mid(begin, end - begin);
}

QStringList odbcSourceNames(SQLHENV env, SQLUSMALLINT first)
{
    QStringList names;
    SQLCHAR name[SQL_MAX_DSN_LENGTH * 4 + 1];
    SQLCHAR description[1024];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT descriptionLength = 0;
    SQLUSMALLINT direction = first;
    for (;;) {
        const SQLRETURN rc = SQLDataSources(env, direction, name, sizeof name, &nameLength, description,
                                            sizeof description, &descriptionLength);
        if (!SQL_SUCCEEDED(rc))
            break;
        names.append(QString::fromUtf8(reinterpret_cast<const char *>(name)));
        direction = SQL_FETCH_NEXT;
    }
    sortNames(names);
    return names;
}

bool hasWildcard(const QString &text)
{
    return text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?'));
}

} // namespace

QString OdbcUserSourcesHeader()
{
    return QStringLiteral("--------------- ПОЛЬЗОВАТЕЛЬСКИЕ ---------------");
}

QString OdbcSystemSourcesHeader()
{
    return QStringLiteral("--------------- СИСТЕМНЫЕ ---------------");
}

void GetODBCSources(QStringList &List)
{
    List.clear();
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    const QStringList user = odbcSourceNames(env, SQL_FETCH_FIRST_USER);
    const QStringList system = odbcSourceNames(env, SQL_FETCH_FIRST_SYSTEM);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    if (!user.isEmpty())
        List << OdbcUserSourcesHeader() << user;
    if (!system.isEmpty())
        List << OdbcSystemSourcesHeader() << system;
}

void GetOracleTNSNames(QStringList &List)
{
    List.clear();
    QString folder = qEnvironmentVariable("TNS_ADMIN");
    if (folder.isEmpty()) {
        const QString home = qEnvironmentVariable("ORACLE_HOME");
        if (home.isEmpty())
            return;
        folder = home + QStringLiteral("/network/admin");
    }
    QFile file(folder + QStringLiteral("/tnsnames.ora"));
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        throw EFileError(
            QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(file.fileName(), FileErrorText(file)));
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFileError(
            QStringLiteral("Не удалось прочитать файл \"%1\": %2").arg(file.fileName(), FileErrorText(file)));

    QStringList aliases;
    const QStringList lines = fromCp1251(content).split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = trimControls(raw);
        if (line.isEmpty() || line.startsWith(QLatin1Char('(')) || line.startsWith(QLatin1Char(')')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0)
            aliases.append(trimControls(line.left(eq)));
    }
    sortNames(aliases);
    List = aliases;
}

bool BDEAvailable()
{
    return false;
}

QString GetPersonalFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void ListFiles(const QString &Mask, QStringList &List, bool WithPath, int Attr)
{
    List.clear();
    if (Mask.isEmpty())
        return;
    QString folder;
    QString pattern;
    QString prefix;
    if (!hasWildcard(Mask) && QFileInfo(Mask).isDir()) {
        folder = Mask;
        pattern = QStringLiteral("*");
        prefix = Mask.endsWith(QLatin1Char('/')) ? Mask : Mask + QLatin1Char('/');
    } else {
        // The mask text itself would make no path ("dir/*.orv/name"): the folder part is the prefix.
        const qsizetype slash = Mask.lastIndexOf(QLatin1Char('/'));
        prefix = Mask.left(slash + 1);
        folder = slash < 0 ? QStringLiteral(".") : (slash == 0 ? QStringLiteral("/") : Mask.left(slash));
        pattern = Mask.mid(slash + 1);
        // "*.*" means every name, also those without a dot.
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
    }

    QDir::Filters filters = QDir::Files;
    if (Attr & faDirectory)
        filters |= QDir::Dirs | QDir::NoDotAndDotDot;
    if (Attr & faHidden)
        filters |= QDir::Hidden;
    if (Attr & faSysFile)
        filters |= QDir::System;
    const QStringList names =
        QDir(folder).entryList(QStringList{pattern}, filters, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names)
        List.append(WithPath ? prefix + name : name);
}

void ParamsToStrings(QStringList *List)
{
    if (!List)
        return;
    List->clear();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1)
        *List = arguments.mid(1);
}

void ShellOpen(QWidget *Wnd, const QString &FileName)
{
    Q_UNUSED(Wnd);
    if (!FileName.contains(QLatin1Char('/')) && !QFileInfo::exists(FileName)) {
        QProcess::startDetached(FileName, {});
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(FileName).absoluteFilePath()));
}
