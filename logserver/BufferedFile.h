// BufferedFile: the log file as the server uses it, with the semantics of a buffered C stream
// opened in binary mode ("r+b" / "w+b"): a position, seek and tell, line reads, formatted writes.
// Bytes are stored exactly as written, so a line end is written as "\r\n" by the caller and every
// position is a byte offset on disk.
//
// It costs few system calls: reads are served from one block read at a time, writes gather in
// memory and reach the file when the position jumps, when a read follows, or at close.
#pragma once

#include <cstddef>
#include <cstdint>

#include "FileSystem.h"

namespace kervale {

// Every line end in the log is stored as CR LF, on every platform.
inline constexpr char kLineEnd[] = "\r\n";

class BufferedFile {
  public:
    BufferedFile() = default;
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;
    ~BufferedFile() { close(); }

    // Opens at position 0. Any file already open is closed first.
    bool open(const char* systemPath, platform::OpenMode mode);
    bool isOpen() const { return file_.valid(); }

    // Writes out what is buffered and closes. False when anything written since the open could
    // not be stored. Closing a file that is not open does nothing and gives true.
    bool close();

    // For work cut short. abandon closes without storing what is buffered, for work that will
    // be done again from its start; closeAtLineEnd stores what is buffered up to its last line
    // end, drops the rest and closes, so that only whole lines reach the file.
    void abandon();
    void closeAtLineEnd();

    std::int64_t tell() const { return isOpen() ? position_ : -1; }
    bool seek(std::int64_t position);  // false when not open or negative
    bool seekEnd();
    std::int64_t length() const { return isOpen() ? size_ : -1; }

    // Writes at the position and advances it. False when not open, or when storing this or
    // earlier buffered bytes failed (the error stays until close).
    bool write(const char* data, std::size_t size);
    bool print(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Reads like fgets: at most size - 1 characters, up to and including a line feed, then a
    // NUL. False at the end of the file (nothing read) or on failure.
    bool readLine(char* out, std::size_t size);

  private:
    bool flush();
    bool fillCache(std::int64_t at);

    platform::File file_;
    std::int64_t position_ = 0;
    std::int64_t size_ = 0;
    bool failed_ = false;

    static constexpr std::size_t kWriteBuffer = 16 * 1024;
    char pending_[kWriteBuffer];
    std::int64_t pendingStart_ = 0;
    std::size_t pendingLength_ = 0;

    static constexpr std::size_t kReadBuffer = 8 * 1024;
    char cache_[kReadBuffer];
    std::int64_t cacheStart_ = 0;
    std::size_t cacheLength_ = 0;
};

}  // namespace kervale
