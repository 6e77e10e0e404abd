#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <QByteArray>
#include <QList>
#include <QString>
#include <thread>

class QFile;
struct archive;
struct evp_md_ctx_st;

// The archive layer of a backup: a tar file written part by part with each part's SHA-256, and
// read back part by part with the same sums. Failures throw backup::Failure with one line.
namespace backup {

struct Failure {
    QString line;
};
[[noreturn]] void fail(const QString& line);

struct Part {
    QString name;
    qint64 size = 0;
    QString sha256; // lower-case hex
};

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void add(const char* data, qint64 size);
    QString hex();

private:
    ::evp_md_ctx_st* ctx_;
};

// Hashes on a thread of its own while the caller copies the same bytes: the copying is what a
// backup waits for, and the sum rides along on another core instead of adding to it.
class SideHasher {
public:
    SideHasher();
    ~SideHasher();
    SideHasher(const SideHasher&) = delete;
    SideHasher& operator=(const SideHasher&) = delete;

    // Waits, when it goes, until its bytes are hashed: they stay valid until then, whatever is thrown.
    class Pending {
    public:
        explicit Pending(SideHasher& hasher) : hasher_(hasher) {}
        ~Pending() { hasher_.wait(); }
        Pending(const Pending&) = delete;
        Pending& operator=(const Pending&) = delete;

    private:
        SideHasher& hasher_;
    };
    // Adds `size` bytes at `data` to `sum` in the background.
    [[nodiscard]] Pending add(Sha256& sum, const char* data, qint64 size);

private:
    void wait();
    void work();

    std::mutex mutex_;
    std::condition_variable changed_;
    Sha256* sum_ = nullptr;
    const char* data_ = nullptr;
    qint64 size_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

// Writes parts into a tar stream on an open file descriptor.
class ArchiveWriter {
public:
    explicit ArchiveWriter(int fd);
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;
    // The file at `path`, read in chunks: memory stays flat whatever its size.
    Part addFile(const QString& name, const QString& path);
    // The same for a file that may have been moved away meanwhile: none when it is not there.
    std::optional<Part> addFileIfPresent(const QString& name, const QString& path);
    Part addBytes(const QString& name, const QByteArray& data);
    void close();

private:
    void header(const QString& name, qint64 size);
    void data(const char* bytes, qint64 size);
    Part addOpened(const QString& name, QFile& file);

    void startWriteback();

    ::archive* a_;
    int fd_;
    qint64 writtenBack_ = 0; // the bytes of the file handed to the disk so far
    SideHasher hasher_;
    QByteArray buffer_;
    QList<Part> parts_;
};

// Reads every part of a tar file in order; `onPart` gets its name and size first, then its data in
// chunks through `chunk`, and the part's sum at the end through `done`.
struct PartSink {
    std::function<void(const QString& name, qint64 size)> begin;
    std::function<void(const char* data, qint64 size)> chunk;
    std::function<void(const Part& part)> done;
};
void readParts(const QString& file, const PartSink& sink);

} // namespace backup
