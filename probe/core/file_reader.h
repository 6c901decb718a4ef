// Positioned reader over one file: its own 64-bit position, the size taken at
// open and an end-of-data flag. Small reads are served from a read-ahead
// buffer, so frame and chunk walks cost a few system calls, not one per read.
// The read-ahead starts small and doubles with each refill: a look at a
// header reads a few KiB, a walk soon reads 64 KiB at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace probex {

class FileReader {
 public:
  static constexpr size_t kBufferSize = 64 * 1024;
  static constexpr size_t kFirstReadAhead = 4 * 1024;

  FileReader() = default;
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // path: UTF-16 with a terminator within 256 units (as in MediaInfo.path).
  bool Open(const char16_t* path);
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }

  // origin 0: from the start, 1: from the position, 2: from the end.
  void Seek(int64_t offset, int origin);
  uint64_t Tell() const { return position_; }
  uint64_t Size() const { return size_; }
  bool AtEnd() const { return atEnd_; }
  void Rewind();

  struct State {
    uint64_t position;
    bool atEnd;
  };
  // For look-aheads that must leave the reader exactly as they found it.
  State Save() const { return {position_, atEnd_}; }
  void Restore(State state) {
    position_ = state.position;
    atEnd_ = state.atEnd;
  }

  // Reads up to count bytes at the position. advance = false is a peek.
  // Bytes not read are left as they were in buffer.
  size_t Read(void* buffer, size_t count, bool advance = true);
  // One byte with advance; 0 at the end of data (callers test AtEnd).
  uint8_t ReadByte();

 private:
  size_t ReadAt(uint64_t offset, uint8_t* dst, size_t count);

  int fd_ = -1;
  uint64_t position_ = 0;
  uint64_t size_ = 0;
  bool atEnd_ = false;
  std::unique_ptr<uint8_t[]> cache_;  // kBufferSize bytes once first needed
  size_t readAhead_ = kFirstReadAhead;
  uint64_t cacheStart_ = 0;
  size_t cacheLength_ = 0;
};

// One version of a file's content: the same path with the same stamp holds
// the same bytes, short of an edit that keeps size, inode and both times.
struct FileStamp {
  uint64_t device = 0, inode = 0, size = 0;
  int64_t modifiedSeconds = 0, modifiedNanoseconds = 0, changedSeconds = 0, changedNanoseconds = 0;
  bool operator==(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedSeconds == other.modifiedSeconds && modifiedNanoseconds == other.modifiedNanoseconds &&
           changedSeconds == other.changedSeconds && changedNanoseconds == other.changedNanoseconds;
  }
};

// The stamp of a regular file (UTF-8 path); false when it cannot be had.
bool StampFile(const std::string& path, FileStamp& stamp);
// The first limit bytes of a regular file and the stamp of what was read.
bool ReadWholeFile(const std::string& path, size_t limit, std::string& content, FileStamp& stamp);

}  // namespace probex
