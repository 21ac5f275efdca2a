#include "lib/system_errors.h"

#include <QFileDevice>
#include <QIODevice>

#include <cerrno>

namespace {

struct Reason
{
    int code;
    const char *words;
};

// The reasons a file operation commonly meets; the rest are rare enough for the system's own text.
const Reason kReasons[] = {
    {ENOENT, "нет такого файла или папки"},
    {EACCES, "нет прав доступа"},
    {EPERM, "операция запрещена"},
    {ENOSPC, "нет места на диске"},
    {EDQUOT, "превышена дисковая квота"},
    {EROFS, "диск доступен только для чтения"},
    {EEXIST, "файл уже существует"},
    {ENOTDIR, "часть пути не является папкой"},
    {EISDIR, "это папка, а не файл"},
    {ENOTEMPTY, "папка не пуста"},
    {EMFILE, "программа открыла слишком много файлов"},
    {ENFILE, "в системе открыто слишком много файлов"},
    {ENAMETOOLONG, "слишком длинное имя файла"},
    {ELOOP, "слишком много символических ссылок в пути"},
    {EIO, "ошибка ввода-вывода"},
    {EBUSY, "файл или устройство занято"},
    {ETXTBSY, "файл занят: это выполняемая программа"},
    {EXDEV, "файлы находятся на разных дисках"},
    {EFBIG, "файл слишком велик"},
    {ENOMEM, "недостаточно памяти"},
};

const char *wordsFor(int code)
{
    for (const Reason &r : kReasons)
        if (r.code == code)
            return r.words;
    return nullptr;
}

// Qt says a folder opened as a file in words of its own rather than the system's.
const char kOpenDirectory[] = QT_TRANSLATE_NOOP("QIODevice", "file to open is a directory");

// The Russian reason of a text Qt took from the system, or nothing.
QString knownReason(const QString &text)
{
    if (text.isEmpty())
        return QString();
    if (text == QLatin1String(kOpenDirectory) || text == QIODevice::tr(kOpenDirectory))
        return QString::fromUtf8(wordsFor(EISDIR));
    for (const Reason &r : kReasons)
        if (text == qt_error_string(r.code))
            return QString::fromUtf8(r.words);
    return QString();
}

QString withSystemText(const QString &words, const QString &text)
{
    return text.isEmpty() ? words : words + QStringLiteral(" (") + text + QLatin1Char(')');
}

} // namespace

QString SystemErrorText(int Code)
{
    if (const char *words = wordsFor(Code))
        return QString::fromUtf8(words);
    return withSystemText(QStringLiteral("системная ошибка ") + QString::number(Code), qt_error_string(Code));
}

QString FileErrorText(const QFileDevice &File)
{
    const QString text = File.errorString();
    if (const QString known = knownReason(text); !known.isEmpty())
        return known;
    QString words;
    switch (File.error()) {
    case QFileDevice::ReadError:
        words = QStringLiteral("ошибка чтения");
        break;
    case QFileDevice::WriteError:
        words = QStringLiteral("ошибка записи");
        break;
    case QFileDevice::OpenError:
        words = QStringLiteral("файл не открывается");
        break;
    case QFileDevice::ResourceError:
        words = QStringLiteral("не хватает ресурсов системы");
        break;
    case QFileDevice::PermissionsError:
        words = QString::fromUtf8(wordsFor(EACCES));
        break;
    default:
        words = QStringLiteral("ошибка файла");
        break;
    }
    return withSystemText(words, text);
}

QString DeviceErrorText(const QIODevice &Device)
{
    if (const auto *file = qobject_cast<const QFileDevice *>(&Device))
        return FileErrorText(*file);
    return SystemTextReason(Device.errorString());
}

QString SystemTextReason(const QString &Text)
{
    const QString known = knownReason(Text);
    return known.isEmpty() ? withSystemText(QStringLiteral("системная ошибка"), Text) : known;
}
