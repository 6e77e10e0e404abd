#include "backup/ArchiveParts.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <QFile>
#include <QFileInfo>
#include <system_error>
#include <unistd.h>

namespace backup {

namespace {
constexpr qint64 kChunk = qint64(1) << 20;
// The size of each write to the archive. Writes of a megabyte cost the kernel several times what
// writes of 64 KB do for the same bytes (measured with bench_backup), so the archive is written in
// pieces of the smaller size while the files are still read a megabyte at a time.
constexpr qint64 kBlock = qint64(64) << 10;
// How much of the archive is handed to the disk at a time while it is written.
constexpr qint64 kWriteback = qint64(16) << 20;

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

SideHasher::SideHasher() {
    try {
        thread_ = std::thread([this] { work(); });
    } catch (const std::system_error&) {
        // No thread to be had: the sums are made in line, more slowly but the same.
    }
}

SideHasher::~SideHasher() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

SideHasher::Pending SideHasher::add(Sha256& sum, const char* data, qint64 size) {
    if (!thread_.joinable()) {
        sum.add(data, size);
        return Pending(*this);
    }
    {
        std::lock_guard lock(mutex_);
        sum_ = &sum;
        data_ = data;
        size_ = size;
    }
    changed_.notify_all();
    return Pending(*this);
}

void SideHasher::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return sum_ == nullptr; });
}

void SideHasher::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || sum_ != nullptr; });
        if (stop_)
            return;
        Sha256* sum = sum_;
        const char* data = data_;
        const qint64 size = size_;
        lock.unlock();
        sum->add(data, size);
        lock.lock();
        sum_ = nullptr;
        changed_.notify_all();
    }
}

ArchiveWriter::ArchiveWriter(int fd) : a_(archive_write_new()), fd_(fd), buffer_(int(kChunk), Qt::Uninitialized) {
    if (!a_ || archive_write_set_format_pax_restricted(a_) != ARCHIVE_OK ||
        archive_write_set_bytes_per_block(a_, int(kBlock)) != ARCHIVE_OK ||
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

// Starts writing what the archive holds so far to the disk, without waiting for it: the sync that
// makes the archive last then finds little left to write, instead of the whole file.
void ArchiveWriter::startWriteback() {
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < writtenBack_ + kWriteback)
        return;
    ::sync_file_range(fd_, writtenBack_, at - writtenBack_, SYNC_FILE_RANGE_WRITE);
    writtenBack_ = at;
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
    return addOpened(name, file);
}

std::optional<Part> ArchiveWriter::addFileIfPresent(const QString& name, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(path))
            return std::nullopt;
        fail(QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    }
    return addOpened(name, file);
}

Part ArchiveWriter::addOpened(const QString& name, QFile& file) {
    const QString path = file.fileName();
    const qint64 size = file.size();
    header(name, size);
    Sha256 sum;
    qint64 left = size;
    while (left > 0) {
        const qint64 got = file.read(buffer_.data(), std::min<qint64>(left, buffer_.size()));
        if (got <= 0)
            fail(QStringLiteral("%1 changed or could not be read while it was backed up.").arg(path));
        {
            const SideHasher::Pending hashing = hasher_.add(sum, buffer_.constData(), got);
            data(buffer_.constData(), got);
            startWriteback();
        }
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
    SideHasher hasher;
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
            {
                const SideHasher::Pending hashing = hasher.add(sum, buffer.constData(), got);
                sink.chunk(buffer.constData(), got);
            }
            total += got;
        }
        if (total != size)
            fail(QStringLiteral("%1 is truncated: %2 ends early.").arg(file, name));
        sink.done({name, size, sum.hex()});
    }
}

} // namespace backup
