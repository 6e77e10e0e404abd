#pragma once

#include <memory>
#include <QChar>
#include <vector>

// Storage for the texts of a large list: characters are handed out from big chunks, and a reset
// keeps the chunks for the next fill. A list reloaded after every save, delete and filter change
// so reuses memory it already has instead of asking the system for it row by row.
class TextArena {
public:
    static constexpr size_t kChunkChars = size_t(1) << 19; // 1 MiB of characters

    // Room for n characters, valid until the next reset or release.
    QChar* allocate(size_t n);
    // Forgets every text but keeps the chunks.
    void reset();
    // Gives the chunks back.
    void release();

private:
    struct Chunk {
        std::unique_ptr<QChar[]> data;
        size_t size;
    };
    std::vector<Chunk> chunks_;
    size_t current_ = 0; // chunk being filled
    size_t used_ = 0;    // characters used in it
};
