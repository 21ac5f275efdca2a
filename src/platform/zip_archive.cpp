#include "platform/zip_archive.h"

#include "lib/codec.h"
#include "lib/errors.h"
#include "lib/safe_write.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <zip.h>

#include <algorithm>
#include <memory>

namespace {

struct ZipDeleter
{
    void operator()(zip_t *za) const { zip_discard(za); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipDeleter>;

QString libzipError(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = ZipErrorText(code, zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

QString zipErrorWords(int code)
{
    switch (code) {
    case ZIP_ER_MULTIDISK:
        return QStringLiteral("многотомные архивы не поддерживаются");
    case ZIP_ER_RENAME:
        return QStringLiteral("не удалось переименовать временный файл");
    case ZIP_ER_CLOSE:
        return QStringLiteral("не удалось закрыть файл");
    case ZIP_ER_SEEK:
        return QStringLiteral("ошибка перехода по файлу");
    case ZIP_ER_READ:
        return QStringLiteral("ошибка чтения");
    case ZIP_ER_WRITE:
        return QStringLiteral("ошибка записи");
    case ZIP_ER_CRC:
        return QStringLiteral("контрольная сумма не сходится, данные повреждены");
    case ZIP_ER_ZIPCLOSED:
        return QStringLiteral("архив уже закрыт");
    case ZIP_ER_NOENT:
        return QStringLiteral("файл не найден");
    case ZIP_ER_EXISTS:
        return QStringLiteral("файл уже существует");
    case ZIP_ER_OPEN:
        return QStringLiteral("не удалось открыть файл");
    case ZIP_ER_TMPOPEN:
        return QStringLiteral("не удалось создать временный файл");
    case ZIP_ER_ZLIB:
        return QStringLiteral("ошибка распаковки");
    case ZIP_ER_MEMORY:
        return QStringLiteral("недостаточно памяти");
    case ZIP_ER_CHANGED:
        return QStringLiteral("элемент архива изменён");
    case ZIP_ER_COMPNOTSUPP:
        return QStringLiteral("метод сжатия не поддерживается");
    case ZIP_ER_EOF:
        return QStringLiteral("архив обрывается раньше конца");
    case ZIP_ER_INVAL:
        return QStringLiteral("недопустимый аргумент");
    case ZIP_ER_NOZIP:
        return QStringLiteral("файл не является архивом ZIP");
    case ZIP_ER_INTERNAL:
        return QStringLiteral("внутренняя ошибка библиотеки архивов");
    case ZIP_ER_INCONS:
        return QStringLiteral("архив повреждён: его оглавление противоречиво");
    case ZIP_ER_REMOVE:
        return QStringLiteral("не удалось удалить файл");
    case ZIP_ER_DELETED:
        return QStringLiteral("элемент архива удалён");
    case ZIP_ER_ENCRNOTSUPP:
        return QStringLiteral("метод шифрования не поддерживается");
    case ZIP_ER_RDONLY:
        return QStringLiteral("архив открыт только для чтения");
    case ZIP_ER_NOPASSWD:
        return QStringLiteral("архив зашифрован, пароль не задан");
    case ZIP_ER_WRONGPASSWD:
        return QStringLiteral("неверный пароль архива");
    case ZIP_ER_OPNOTSUPP:
        return QStringLiteral("операция не поддерживается");
    case ZIP_ER_INUSE:
        return QStringLiteral("архив занят");
    case ZIP_ER_TELL:
        return QStringLiteral("не удалось узнать позицию в файле");
    case ZIP_ER_COMPRESSED_DATA:
        return QStringLiteral("сжатые данные повреждены");
    case ZIP_ER_CANCELLED:
        return QStringLiteral("операция прервана");
    default:
        return QStringLiteral("ошибка архива %1").arg(code);
    }
}

// An archive with no members is only its end-of-central-directory record; libzip will not write one.
void writeEmptyArchive(const QString &zipName)
{
    QByteArray record("PK\x05\x06", 4);
    record.append(18, '\0');
    QString reason;
    if (!SafeWriteFile(zipName, record, &reason))
        throw EFileError(QStringLiteral("Не удалось создать архив \"%1\": %2").arg(zipName, reason));
}

// Names are written in UTF-8 with the language-encoding flag, which unzip, 7-Zip and Windows read.
void packInto(zip_t *za, const QString &zipName, const QStringList &paths, int level)
{
    QSet<QString> names;
    for (const QString &path : paths) {
        QFile probe(path);
        if (!QFileInfo(path).isFile() || !probe.open(QIODevice::ReadOnly))
            throw EFileError(QStringLiteral("Не удалось открыть файл \"%1\"").arg(path));
        probe.close();
        const QString name = QFileInfo(path).fileName();
        // Two files of one name from different folders would shadow each other on unpacking.
        if (names.contains(name))
            throw EFileError(
                QStringLiteral("Файл с именем \"%1\" уже есть в архиве \"%2\"").arg(name, zipName));
        names.insert(name);
        zip_source_t *source = zip_source_file(za, QFile::encodeName(path).constData(), 0, -1);
        if (!source)
            throw EFileError(
                QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(path, ZipErrorText(za)));
        const zip_int64_t index = zip_file_add(za, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            throw EFileError(QStringLiteral("Не удалось добавить файл \"%1\" в архив \"%2\": %3")
                                 .arg(path, zipName, ZipErrorText(za)));
        }
        if (zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_DEFLATE, zip_uint32_t(level)) < 0)
            throw EFileError(QStringLiteral("Не удалось задать сжатие в архиве \"%1\": %2")
                                 .arg(zipName, ZipErrorText(za)));
    }
}

// libzip writes the archive through this source straight into the safe-write helper, so an archive of
// any size takes a few buffers of memory: it seeks back only to put sizes into headers it wrote.
struct ArchiveSink
{
    SafeFileWriter out;
    zip_error_t error;
    zip_uint64_t written = 0, position = 0;

    explicit ArchiveSink(const QString &zipName) : out(zipName) { zip_error_init(&error); }
    ~ArchiveSink() { zip_error_fini(&error); }

    zip_int64_t failed(int code)
    {
        zip_error_set(&error, code, 0);
        return -1;
    }

    zip_int64_t write(const char *data, zip_uint64_t length)
    {
        // The part over bytes already written replaces them; the rest extends the file.
        const zip_uint64_t over = position < written ? std::min(length, written - position) : 0;
        if (over > 0 && !out.rewrite(qint64(position), QByteArray::fromRawData(data, qsizetype(over))))
            return failed(ZIP_ER_WRITE);
        if (length > over && !out.write(data + over, qint64(length - over)))
            return failed(ZIP_ER_WRITE);
        position += length;
        written = std::max(written, position);
        return zip_int64_t(length);
    }

    static zip_int64_t callback(void *state, void *data, zip_uint64_t length, zip_source_cmd_t command)
    {
        auto &sink = *static_cast<ArchiveSink *>(state);
        switch (command) {
        // The archive it replaces is empty to libzip: nothing to read.
        case ZIP_SOURCE_OPEN:
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_READ:
        case ZIP_SOURCE_SEEK:
        case ZIP_SOURCE_TELL:
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto *st = static_cast<zip_stat_t *>(data);
            zip_stat_init(st);
            st->size = 0;
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&sink.error, data, length);
        case ZIP_SOURCE_BEGIN_WRITE:
            sink.written = sink.position = 0;
            return sink.out.open() ? 0 : sink.failed(ZIP_ER_OPEN);
        case ZIP_SOURCE_WRITE:
            return sink.write(static_cast<const char *>(data), length);
        case ZIP_SOURCE_SEEK_WRITE: {
            const zip_int64_t to =
                zip_source_seek_compute_offset(sink.position, sink.written, data, length, &sink.error);
            if (to < 0)
                return -1;
            sink.position = zip_uint64_t(to);
            return 0;
        }
        case ZIP_SOURCE_TELL_WRITE:
            return zip_int64_t(sink.position);
        case ZIP_SOURCE_COMMIT_WRITE:
            return sink.out.commit() ? 0 : sink.failed(ZIP_ER_WRITE);
        case ZIP_SOURCE_ROLLBACK_WRITE:
        case ZIP_SOURCE_REMOVE:
            sink.out.cancel();
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(
                ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
                ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS,
                ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_COMMIT_WRITE, ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_WRITE,
                ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_REMOVE, -1);
        default:
            return sink.failed(ZIP_ER_OPNOTSUPP);
        }
    }
};

void packFile(const QString &zipName, const QStringList &paths, int level)
{
    const QString writeError = QStringLiteral("Не удалось записать архив \"%1\": %2");
    ArchiveSink sink(zipName);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_function_create(&ArchiveSink::callback, &sink, &error);
    zip_t *opened = source ? zip_open_from_source(source, ZIP_TRUNCATE, &error) : nullptr;
    if (!opened) {
        if (source)
            zip_source_free(source);
        const QString reason = ZipErrorText(zip_error_code_zip(&error), zip_error_strerror(&error));
        zip_error_fini(&error);
        throw EFileError(QStringLiteral("Не удалось создать архив \"%1\": %2").arg(zipName, reason));
    }
    zip_error_fini(&error);
    ZipHandle za(opened); // owns the source from here
    packInto(za.get(), zipName, paths, level);
    if (zip_close(za.get()) < 0) {
        if (!sink.out.errorString().isEmpty())
            throw EFileError(SafeWriteMessage(zipName, sink.out.errorString()));
        throw EFileError(writeError.arg(zipName, ZipErrorText(za.get())));
    }
    za.release(); // zip_close freed it
}

bool isUnsafeName(const QString &name)
{
    if (name.startsWith(QLatin1Char('/')))
        return true;
    if (name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter())
        return true;
    return name.split(QLatin1Char('/')).contains(QLatin1String(".."));
}

QString mebibytes(qint64 bytes)
{
    return QStringLiteral("%1 МиБ").arg(bytes >> 20);
}

// What the members of one archive have given so far, against the limits.
class UnpackBudget
{
public:
    UnpackBudget(const QString &zipName, const UnzipLimits &limits)
        : m_zipName(zipName), m_limits(limits), m_archiveBytes(QFileInfo(zipName).size())
    {}

    // Throws when Total unpacked bytes would pass a limit.
    void check(qint64 total) const
    {
        if (total > m_limits.maxBytes)
            throw EFileError(QStringLiteral("Архив \"%1\": распакованные файлы больше предела в %2")
                                 .arg(m_zipName, mebibytes(m_limits.maxBytes)));
        if (total > m_limits.ratioFrom && total / m_limits.maxRatio > m_archiveBytes)
            throw EFileError(QStringLiteral("Архив \"%1\" сжат сильнее предела %2:1 (%3 из %4 байт)")
                                 .arg(m_zipName)
                                 .arg(m_limits.maxRatio)
                                 .arg(mebibytes(total))
                                 .arg(m_archiveBytes));
    }
    void add(qint64 bytes)
    {
        m_total += bytes;
        check(m_total);
    }

private:
    QString m_zipName;
    UnzipLimits m_limits;
    qint64 m_archiveBytes;
    qint64 m_total = 0;
};

// A member's name as stored, folders separated by '/'.
QString memberName(zip_t *za, zip_uint64_t index, const QString &zipName)
{
    const char *raw = zip_get_name(za, index, ZIP_FL_ENC_RAW);
    const char *strict = zip_get_name(za, index, ZIP_FL_ENC_STRICT);
    if (!raw || !strict)
        throw EFileError(QStringLiteral("Не удалось прочитать оглавление архива \"%1\": %2")
                             .arg(zipName, ZipErrorText(za)));
    // Without the UTF-8 flag the strict reading converts from CP437, so it differs from the raw bytes
    // exactly when the name is not flagged and holds non-ASCII bytes.
    const QByteArray rawName(raw);
    QString name = zipMemberName(rawName, rawName == QByteArray(strict));
    name.replace(QLatin1Char('\\'), QLatin1Char('/')); // DOS archivers separate folders this way
    return name;
}

// The member goes into a temporary file beside the target, which replaces an existing file only after
// the whole member was read and written: a damaged member or a full disk leaves the old file as it was.
void extractMember(zip_t *za, zip_uint64_t index, const QString &zipName, const QString &name,
                   const QString &target, UnpackBudget &budget, bool scratch)
{
    const QString memberError = QStringLiteral("Архив \"%1\": элемент \"%2\" не распакован: %3");
    std::unique_ptr<zip_file_t, int (*)(zip_file_t *)> in(zip_fopen_index(za, index, 0), zip_fclose);
    if (!in)
        throw EFileError(memberError.arg(zipName, name, ZipErrorText(za)));
    QDir().mkpath(QFileInfo(target).absolutePath());
    SafeFileWriter out(target);
    out.setScratch(scratch);
    if (!out.open())
        throw EFileError(SafeWriteMessage(target, out.errorString()));
    char buffer[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(in.get(), buffer, sizeof buffer);
        if (n < 0)
            throw EFileError(memberError.arg(zipName, name, ZipErrorText(in.get())));
        if (n == 0)
            break;
        budget.add(n);
        if (!out.write(buffer, n))
            throw EFileError(SafeWriteMessage(target, out.errorString()));
    }
    if (!out.commit())
        throw EFileError(SafeWriteMessage(target, out.errorString()));
}

} // namespace

QString ZipErrorText(int zipError, const char *rawText)
{
    QString text = zipErrorWords(zipError);
    if (rawText && *rawText)
        text += QStringLiteral(" (libzip: %1)").arg(QString::fromUtf8(rawText));
    return text;
}

QString ZipErrorText(zip_t *archive)
{
    zip_error_t *error = zip_get_error(archive);
    return ZipErrorText(zip_error_code_zip(error), zip_error_strerror(error));
}

QString ZipErrorText(zip_file_t *member)
{
    zip_error_t *error = zip_file_get_error(member);
    return ZipErrorText(zip_error_code_zip(error), zip_error_strerror(error));
}

QString zipMemberName(const QByteArray &raw, bool utf8)
{
    return utf8 ? QString::fromUtf8(raw) : fromCp866(raw);
}

void zipFiles(const QString &zipName, const QString &oneFile, const QStringList &files, int level)
{
    const QStringList paths = oneFile.isEmpty() ? files : QStringList{oneFile};
    if (paths.isEmpty()) {
        writeEmptyArchive(zipName);
        return;
    }
    // A failure raises and leaves an archive already under the name as it was: every caller stops at the
    // error, and an earlier export is not lost to a full disk.
    packFile(zipName, paths, level);
}

void unzipAll(const QString &zipName, const QString &dir, const UnzipLimits &limits)
{
    QString base = dir.isEmpty() ? QFileInfo(zipName).path() : dir;
    if (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QString root = QDir::cleanPath(base);

    int code = 0;
    ZipHandle za(zip_open(QFile::encodeName(zipName).constData(), ZIP_RDONLY, &code));
    if (!za)
        throw EFileError(
            QStringLiteral("Не удалось открыть архив \"%1\": %2").arg(zipName, libzipError(code)));

    const zip_int64_t count = zip_get_num_entries(za.get(), 0);
    if (count > limits.maxMembers)
        throw EFileError(QStringLiteral("Архив \"%1\": %2 элементов, больше предела в %3")
                             .arg(zipName)
                             .arg(count)
                             .arg(limits.maxMembers));
    // The sizes the archive states are refused before a byte is written; what it really gives is
    // counted as it comes.
    UnpackBudget budget(zipName, limits);
    qint64 stated = 0;
    QHash<QString, QString> names; // the member each folded path came from
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za.get(), zip_uint64_t(i), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
            stated += qint64(std::min<zip_uint64_t>(st.size, zip_uint64_t(1) << 62));
        budget.check(stated);
        if (!limits.distinctNames)
            continue;
        const QString name = memberName(za.get(), zip_uint64_t(i), zipName);
        if (name.endsWith(QLatin1Char('/'))) // a folder may be stored again: it only is made
            continue;
        const QString path = QDir::cleanPath(name).toCaseFolded();
        const auto seen = names.constFind(path);
        if (seen == names.cend()) {
            names.insert(path, name);
            continue;
        }
        if (*seen == name)
            throw EFileError(QStringLiteral("Архив \"%1\" повреждён: элемент \"%2\" записан в нём дважды")
                                 .arg(zipName, name));
        throw EFileError(
            QStringLiteral("Архив \"%1\" повреждён: элементы \"%2\" и \"%3\" указывают на один файл")
                .arg(zipName, *seen, name));
    }

    QStringList refused, nameless;
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = zip_uint64_t(i);
        const QString name = memberName(za.get(), index, zipName);

        if (isUnsafeName(name)) {
            refused << name;
            continue;
        }
        const QString target = QDir::cleanPath(root + QLatin1Char('/') + name);
        if (target != root &&
            !target.startsWith(root == QLatin1String("/") ? root : root + QLatin1Char('/'))) {
            refused << name;
            continue;
        }
        if (name.endsWith(QLatin1Char('/'))) {
            if (!QDir().mkpath(target))
                throw EFileError(QStringLiteral("Не удалось создать папку \"%1\"").arg(target));
            continue;
        }
        // "" and "." name the folder itself: a file there would go beside it, and then fail.
        if (target == root) {
            nameless << QLatin1Char('"') + name + QLatin1Char('"');
            continue;
        }
        extractMember(za.get(), index, zipName, name, target, budget, limits.scratch);
    }
    if (!refused.isEmpty())
        throw EFileError(
            QStringLiteral("Архив \"%1\": не распакованы элементы, чей путь ведёт за пределы папки "
                           "\"%2\": %3")
                .arg(zipName, root, refused.join(QLatin1String(", "))));
    if (!nameless.isEmpty())
        throw EFileError(QStringLiteral("Архив \"%1\": не распакованы элементы без имени файла: %2")
                             .arg(zipName, nameless.join(QLatin1String(", "))));
}
