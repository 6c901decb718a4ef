#include "file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>

#include "probex.h"
#include "text.h"

namespace probex {

FileReader::~FileReader() { Close(); }

bool FileReader::Open(const char16_t* path) {
  Close();
  if (!path || Utf16Length(path, PROBEX_PATH_UNITS) >= PROBEX_PATH_UNITS) return false;
  std::string name = Utf16ToUtf8(path, PROBEX_PATH_UNITS);
  if (name.empty()) return false;
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not block the open
  if (fd < 0) return false;
  struct stat st;
  // Directories and devices have no size to walk.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  size_ = static_cast<uint64_t>(st.st_size);
  position_ = 0;
  atEnd_ = false;
  cacheStart_ = 0;
  cacheLength_ = 0;
  readAhead_ = kFirstReadAhead;
  return true;
}

bool FileReader::Close() {
  if (fd_ < 0) return false;
  bool ok = ::close(fd_) == 0;
  fd_ = -1;
  cacheLength_ = 0;
  return ok;
}

void FileReader::Seek(int64_t offset, int origin) {
  atEnd_ = false;
  switch (origin) {
    case 0: position_ = static_cast<uint64_t>(offset); break;
    case 1: position_ += static_cast<uint64_t>(offset); break;
    case 2: position_ = size_ + static_cast<uint64_t>(offset); break;
    default: return;
  }
  if (position_ >= size_) atEnd_ = true;
}

void FileReader::Rewind() {
  position_ = 0;
  atEnd_ = false;
}

size_t FileReader::ReadAt(uint64_t offset, uint8_t* dst, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd_, dst + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

size_t FileReader::Read(void* buffer, size_t count, bool advance) {
  // A position past what off_t can address is a failed positioning.
  if (fd_ < 0 || position_ > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
    atEnd_ = true;
    return 0;
  }
  uint8_t* out = static_cast<uint8_t*>(buffer);
  size_t got = 0;
  if (count > 0 && position_ < size_) {
    uint64_t available = size_ - position_;
    size_t want = count < available ? count : static_cast<size_t>(available);
    if (want >= kBufferSize) {
      got = ReadAt(position_, out, want);
    } else {
      bool cached = position_ >= cacheStart_ && position_ + want <= cacheStart_ + cacheLength_;
      if (!cached) {
        if (!cache_) cache_.reset(new uint8_t[kBufferSize]);  // no need to zero what is read over
        size_t fill = want > readAhead_ ? want : readAhead_;
        if (readAhead_ < kBufferSize) readAhead_ *= 2;
        cacheStart_ = position_;
        cacheLength_ = ReadAt(position_, cache_.get(), fill);
      }
      uint64_t skip = position_ - cacheStart_;
      size_t have = skip < cacheLength_ ? cacheLength_ - static_cast<size_t>(skip) : 0;
      got = want < have ? want : have;
      if (got) std::memcpy(out, cache_.get() + skip, got);
    }
  }
  if (advance) {
    position_ += got;
    if (position_ >= size_) atEnd_ = true;
  }
  return got;
}

uint8_t FileReader::ReadByte() {
  uint8_t b = 0;
  Read(&b, 1, true);
  return b;
}

namespace {

FileStamp StampFrom(const struct stat& st) {
  FileStamp stamp;
  stamp.device = static_cast<uint64_t>(st.st_dev);
  stamp.inode = static_cast<uint64_t>(st.st_ino);
  stamp.size = static_cast<uint64_t>(st.st_size);
  stamp.modifiedSeconds = st.st_mtim.tv_sec;
  stamp.modifiedNanoseconds = st.st_mtim.tv_nsec;
  stamp.changedSeconds = st.st_ctim.tv_sec;
  stamp.changedNanoseconds = st.st_ctim.tv_nsec;
  return stamp;
}

}  // namespace

bool StampFile(const std::string& path, FileStamp& stamp) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  stamp = StampFrom(st);
  return true;
}

bool ReadWholeFile(const std::string& path, size_t limit, std::string& content, FileStamp& stamp) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  stamp = StampFrom(st);
  uint64_t want = std::min<uint64_t>(static_cast<uint64_t>(st.st_size), limit);
  content.assign(static_cast<size_t>(want), '\0');
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::pread(fd, &content[done], content.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  content.resize(done);
  ::close(fd);
  return true;
}

}  // namespace probex
