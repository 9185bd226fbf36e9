#include "BufferedFile.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kervale {

bool BufferedFile::open(const char* systemPath, platform::OpenMode mode) {
    close();
    if (!file_.open(systemPath, mode)) return false;
    size_ = file_.size();
    if (size_ < 0) {
        file_.close();
        return false;
    }
    position_ = 0;
    failed_ = false;
    pendingLength_ = 0;
    cacheLength_ = 0;
    return true;
}

bool BufferedFile::close() {
    if (!isOpen()) return true;
    const bool stored = flush() && !failed_;
    file_.close();
    pendingLength_ = 0;
    cacheLength_ = 0;
    return stored;
}

void BufferedFile::abandon() {
    file_.close();
    pendingLength_ = 0;
    cacheLength_ = 0;
}

void BufferedFile::closeAtLineEnd() {
    while (pendingLength_ > 0 && pending_[pendingLength_ - 1] != '\n') --pendingLength_;
    close();
}

bool BufferedFile::seek(std::int64_t position) {
    if (!isOpen() || position < 0) return false;
    position_ = position;
    return true;
}

bool BufferedFile::seekEnd() { return seek(size_); }

bool BufferedFile::flush() {
    if (pendingLength_ == 0) return true;
    const bool ok = file_.writeAt(pendingStart_, pending_, pendingLength_);
    pendingLength_ = 0;
    if (!ok) failed_ = true;
    return ok;
}

bool BufferedFile::write(const char* data, std::size_t size) {
    if (!isOpen()) return false;
    if (size == 0) return !failed_;

    // The cache must not keep bytes that this write replaces.
    const std::int64_t end = position_ + static_cast<std::int64_t>(size);
    if (cacheLength_ > 0 && position_ < cacheStart_ + static_cast<std::int64_t>(cacheLength_) &&
        end > cacheStart_)
        cacheLength_ = 0;

    const bool continues =
        pendingLength_ > 0 && position_ == pendingStart_ + static_cast<std::int64_t>(pendingLength_);
    if (!continues || pendingLength_ + size > kWriteBuffer) flush();
    if (size > kWriteBuffer) {
        if (!file_.writeAt(position_, data, size)) failed_ = true;
    } else {
        if (pendingLength_ == 0) pendingStart_ = position_;
        std::memcpy(pending_ + pendingLength_, data, size);
        pendingLength_ += size;
    }
    position_ = end;
    size_ = std::max(size_, end);
    return !failed_;
}

bool BufferedFile::print(const char* format, ...) {
    char local[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(local, sizeof local, format, args);
    va_end(args);
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) < sizeof local) return write(local, static_cast<std::size_t>(n));

    std::vector<char> large(static_cast<std::size_t>(n) + 1);
    va_start(args, format);
    std::vsnprintf(large.data(), large.size(), format, args);
    va_end(args);
    return write(large.data(), static_cast<std::size_t>(n));
}

bool BufferedFile::fillCache(std::int64_t at) {
    cacheStart_ = at;
    cacheLength_ = 0;
    const std::int64_t n = file_.readAt(at, cache_, kReadBuffer);
    if (n < 0) return false;
    cacheLength_ = static_cast<std::size_t>(n);
    return true;
}

bool BufferedFile::readLine(char* out, std::size_t size) {
    if (!isOpen() || out == nullptr || size == 0) return false;
    if (!flush()) return false;  // a read sees every byte written before it
    std::size_t copied = 0;
    while (copied + 1 < size) {
        const std::int64_t cacheEnd = cacheStart_ + static_cast<std::int64_t>(cacheLength_);
        if (position_ < cacheStart_ || position_ >= cacheEnd) {
            if (!fillCache(position_)) return false;
            if (cacheLength_ == 0) break;  // end of file
        }
        const char* from = cache_ + (position_ - cacheStart_);
        const std::size_t available = static_cast<std::size_t>(
            cacheStart_ + static_cast<std::int64_t>(cacheLength_) - position_);
        std::size_t take = std::min(available, size - 1 - copied);
        if (const void* feed = std::memchr(from, '\n', take))
            take = static_cast<std::size_t>(static_cast<const char*>(feed) - from) + 1;
        std::memcpy(out + copied, from, take);
        copied += take;
        position_ += static_cast<std::int64_t>(take);
        if (out[copied - 1] == '\n') break;
    }
    out[copied] = '\0';
    return copied > 0;
}

}  // namespace kervale
