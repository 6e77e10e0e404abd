#include "listing/TextArena.h"

#include <algorithm>

QChar* TextArena::allocate(size_t n) {
    while (current_ < chunks_.size() && used_ + n > chunks_[current_].size) {
        ++current_;
        used_ = 0;
    }
    if (current_ == chunks_.size()) {
        const size_t size = std::max(n, kChunkChars);
        chunks_.push_back({std::unique_ptr<QChar[]>(new QChar[size]), size});
        used_ = 0;
    }
    QChar* out = chunks_[current_].data.get() + used_;
    used_ += n;
    return out;
}

void TextArena::reset() {
    current_ = 0;
    used_ = 0;
}

void TextArena::release() {
    chunks_.clear();
    reset();
}
