#include "platform/zip_archive.h"

#include "lib/codec.h"
#include "lib/errors.h"
#include "lib/safe_write.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <zip.h>

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
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
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
void packInto(zip_t *za, const QString &zipName, const QStringList &paths)
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
            throw EFileError(QStringLiteral("Не удалось открыть файл \"%1\": %2")
                                 .arg(path, QString::fromUtf8(zip_strerror(za))));
        const zip_int64_t index = zip_file_add(za, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            throw EFileError(QStringLiteral("Не удалось добавить файл \"%1\" в архив \"%2\": %3")
                                 .arg(path, zipName, QString::fromUtf8(zip_strerror(za))));
        }
        if (zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_DEFLATE, 9) < 0)
            throw EFileError(QStringLiteral("Не удалось задать сжатие в архиве \"%1\": %2")
                                 .arg(zipName, QString::fromUtf8(zip_strerror(za))));
    }
}

struct SourceDeleter
{
    void operator()(zip_source_t *source) const { zip_source_free(source); }
};
using SourceHandle = std::unique_ptr<zip_source_t, SourceDeleter>;

// The archive is built in memory by libzip and then written through the safe-write helper.
void packFile(const QString &zipName, const QStringList &paths)
{
    const QString writeError = QStringLiteral("Не удалось записать архив \"%1\": %2");
    zip_error_t error;
    zip_error_init(&error);
    SourceHandle buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!buffer)
        throw EFileError(QStringLiteral("Не удалось создать архив \"%1\": %2")
                             .arg(zipName, QString::fromUtf8(zip_error_strerror(&error))));
    zip_source_keep(buffer.get()); // outlives the archive, which releases its own reference
    ZipHandle za(zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error));
    if (!za) {
        const QString reason = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        throw EFileError(QStringLiteral("Не удалось создать архив \"%1\": %2").arg(zipName, reason));
    }
    zip_error_fini(&error);
    packInto(za.get(), zipName, paths);
    if (zip_close(za.get()) < 0)
        throw EFileError(writeError.arg(zipName, QString::fromUtf8(zip_strerror(za.get()))));
    za.release(); // zip_close freed it

    const auto sourceError = [&] {
        return EFileError(
            writeError.arg(zipName, QString::fromUtf8(zip_error_strerror(zip_source_error(buffer.get())))));
    };
    if (zip_source_open(buffer.get()) < 0)
        throw sourceError();
    SafeFileWriter out(zipName);
    if (!out.open()) {
        zip_source_close(buffer.get());
        throw EFileError(SafeWriteMessage(zipName, out.errorString()));
    }
    char chunk[65536];
    for (;;) {
        const zip_int64_t n = zip_source_read(buffer.get(), chunk, sizeof chunk);
        if (n < 0) {
            zip_source_close(buffer.get());
            throw sourceError();
        }
        if (n == 0)
            break;
        if (!out.write(chunk, n)) {
            zip_source_close(buffer.get());
            throw EFileError(SafeWriteMessage(zipName, out.errorString()));
        }
    }
    zip_source_close(buffer.get());
    if (!out.commit())
        throw EFileError(SafeWriteMessage(zipName, out.errorString()));
}

bool isUnsafeName(const QString &name)
{
    if (name.startsWith(QLatin1Char('/')))
        return true;
    if (name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter())
        return true;
    return name.split(QLatin1Char('/')).contains(QLatin1String(".."));
}

// The member goes into a temporary file beside the target, which replaces an existing file only after
// the whole member was read and written: a damaged member or a full disk leaves the old file as it was.
void extractMember(zip_t *za, zip_uint64_t index, const QString &zipName, const QString &target)
{
    const QString memberError = QStringLiteral("Не удалось распаковать \"%1\" из архива \"%2\": %3");
    std::unique_ptr<zip_file_t, int (*)(zip_file_t *)> in(zip_fopen_index(za, index, 0), zip_fclose);
    if (!in)
        throw EFileError(memberError.arg(target, zipName, QString::fromUtf8(zip_strerror(za))));
    QDir().mkpath(QFileInfo(target).absolutePath());
    SafeFileWriter out(target);
    if (!out.open())
        throw EFileError(SafeWriteMessage(target, out.errorString()));
    char buffer[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(in.get(), buffer, sizeof buffer);
        if (n < 0)
            throw EFileError(
                memberError.arg(target, zipName, QString::fromUtf8(zip_file_strerror(in.get()))));
        if (n == 0)
            break;
        if (!out.write(buffer, n))
            throw EFileError(SafeWriteMessage(target, out.errorString()));
    }
    if (!out.commit())
        throw EFileError(SafeWriteMessage(target, out.errorString()));
}

} // namespace

QString zipMemberName(const QByteArray &raw, bool utf8)
{
    return utf8 ? QString::fromUtf8(raw) : fromCp866(raw);
}

void zipFiles(const QString &zipName, const QString &oneFile, const QStringList &files)
{
    const QStringList paths = oneFile.isEmpty() ? files : QStringList{oneFile};
    if (paths.isEmpty()) {
        writeEmptyArchive(zipName);
        return;
    }
    // A failure raises and leaves an archive already under the name as it was: every caller stops at the
    // error, and an earlier export is not lost to a full disk.
    packFile(zipName, paths);
}

void unzipAll(const QString &zipName, const QString &dir)
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

    QStringList refused;
    const zip_int64_t count = zip_get_num_entries(za.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = zip_uint64_t(i);
        const char *raw = zip_get_name(za.get(), index, ZIP_FL_ENC_RAW);
        const char *strict = zip_get_name(za.get(), index, ZIP_FL_ENC_STRICT);
        if (!raw || !strict)
            throw EFileError(QStringLiteral("Не удалось прочитать оглавление архива \"%1\": %2")
                                 .arg(zipName, QString::fromUtf8(zip_strerror(za.get()))));
        // Without the UTF-8 flag the strict reading converts from CP437, so it differs from the raw bytes
        // exactly when the name is not flagged and holds non-ASCII bytes.
        const QByteArray rawName(raw);
        QString name = zipMemberName(rawName, rawName == QByteArray(strict));
        name.replace(QLatin1Char('\\'), QLatin1Char('/')); // DOS archivers separate folders this way

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
        extractMember(za.get(), index, zipName, target);
    }
    if (!refused.isEmpty())
        throw EFileError(
            QStringLiteral("Архив \"%1\": не распакованы элементы, чей путь ведёт за пределы папки "
                           "\"%2\": %3")
                .arg(zipName, root, refused.join(QLatin1String(", "))));
}
