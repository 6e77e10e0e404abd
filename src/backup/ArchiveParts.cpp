#include "backup/ArchiveParts.h"

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>
#include <QFile>
#include <QFileInfo>

namespace backup {

namespace {
constexpr qint64 kChunk = qint64(1) << 20;

QString archiveError(::archive* a) {
    const char* text = archive_error_string(a);
    return text ? QString::fromUtf8(text) : QStringLiteral("unknown error");
}
} // namespace

void fail(const QString& line) {
    throw Failure{line};
}

Sha256::Sha256() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_ || EVP_DigestInit_ex(ctx_, EVP_sha256(), nullptr) != 1)
        fail(QStringLiteral("SHA-256 is not available."));
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(ctx_);
}

void Sha256::add(const char* data, qint64 size) {
    EVP_DigestUpdate(ctx_, data, size_t(size));
}

QString Sha256::hex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx_, digest, &length);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex());
}

ArchiveWriter::ArchiveWriter(int fd) : a_(archive_write_new()) {
    if (!a_ || archive_write_set_format_pax_restricted(a_) != ARCHIVE_OK ||
        archive_write_set_bytes_per_block(a_, int(kChunk)) != ARCHIVE_OK ||
        archive_write_set_bytes_in_last_block(a_, 1) != ARCHIVE_OK || archive_write_open_fd(a_, fd) != ARCHIVE_OK)
        fail(QStringLiteral("the archive cannot be started: %1")
                 .arg(a_ ? archiveError(a_) : QStringLiteral("no memory")));
}

ArchiveWriter::~ArchiveWriter() {
    archive_write_free(a_);
}

void ArchiveWriter::header(const QString& name, qint64 size) {
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname_utf8(entry, name.toUtf8().constData());
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, size);
    const int rc = archive_write_header(a_, entry);
    archive_entry_free(entry);
    if (rc != ARCHIVE_OK)
        fail(QStringLiteral("%1 cannot be written into the archive: %2").arg(name, archiveError(a_)));
}

void ArchiveWriter::data(const char* bytes, qint64 size) {
    while (size > 0) {
        const la_ssize_t written = archive_write_data(a_, bytes, size_t(size));
        if (written <= 0)
            fail(QStringLiteral("the archive cannot be written: %1").arg(archiveError(a_)));
        bytes += written;
        size -= written;
    }
}

Part ArchiveWriter::addFile(const QString& name, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    const qint64 size = file.size();
    header(name, size);
    Sha256 sum;
    QByteArray buffer(int(std::min(kChunk, std::max<qint64>(size, 1))), Qt::Uninitialized);
    qint64 left = size;
    while (left > 0) {
        const qint64 got = file.read(buffer.data(), std::min<qint64>(left, buffer.size()));
        if (got <= 0)
            fail(QStringLiteral("%1 changed or could not be read while it was backed up.").arg(path));
        sum.add(buffer.constData(), got);
        data(buffer.constData(), got);
        left -= got;
    }
    parts_.append({name, size, sum.hex()});
    return parts_.back();
}

Part ArchiveWriter::addBytes(const QString& name, const QByteArray& bytes) {
    header(name, bytes.size());
    Sha256 sum;
    sum.add(bytes.constData(), bytes.size());
    data(bytes.constData(), bytes.size());
    parts_.append({name, bytes.size(), sum.hex()});
    return parts_.back();
}

void ArchiveWriter::close() {
    if (archive_write_close(a_) != ARCHIVE_OK)
        fail(QStringLiteral("the archive cannot be finished: %1").arg(archiveError(a_)));
}

void readParts(const QString& file, const PartSink& sink) {
    struct Reader {
        ::archive* a = archive_read_new();
        ~Reader() { archive_read_free(a); }
    } r;
    if (!r.a || archive_read_support_format_tar(r.a) != ARCHIVE_OK ||
        archive_read_open_filename(r.a, QFile::encodeName(file).constData(), size_t(kChunk)) != ARCHIVE_OK)
        fail(QStringLiteral("%1 is not a backup of this program: %2").arg(file, archiveError(r.a)));
    QByteArray buffer(int(kChunk), Qt::Uninitialized);
    bool first = true;
    for (;;) {
        archive_entry* entry = nullptr;
        const int rc = archive_read_next_header(r.a, &entry);
        if (rc == ARCHIVE_EOF)
            return;
        if (rc != ARCHIVE_OK)
            fail(first ? QStringLiteral("%1 is not a backup of this program: %2").arg(file, archiveError(r.a))
                       : QStringLiteral("%1 is truncated or damaged: %2").arg(file, archiveError(r.a)));
        first = false;
        const char* utf8 = archive_entry_pathname_utf8(entry);
        const QString name = utf8 ? QString::fromUtf8(utf8) : QString::fromLocal8Bit(archive_entry_pathname(entry));
        if (archive_entry_filetype(entry) != AE_IFREG)
            fail(QStringLiteral("%1 holds %2, which is no file of a backup.").arg(file, name));
        const qint64 size = archive_entry_size(entry);
        sink.begin(name, size);
        Sha256 sum;
        qint64 total = 0;
        for (;;) {
            const la_ssize_t got = archive_read_data(r.a, buffer.data(), size_t(buffer.size()));
            if (got < 0)
                fail(QStringLiteral("%1 is truncated or damaged: %2").arg(file, archiveError(r.a)));
            if (got == 0)
                break;
            sum.add(buffer.constData(), got);
            sink.chunk(buffer.constData(), got);
            total += got;
        }
        if (total != size)
            fail(QStringLiteral("%1 is truncated: %2 ends early.").arg(file, name));
        sink.done({name, size, sum.hex()});
    }
}

} // namespace backup
