// Head and tail windows of a byte range, for analyzers that scan the two ends
// of a long stream instead of walking it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace probex {

class FileReader;

struct StreamWindows {
  std::unique_ptr<uint8_t[]> headData;
  std::unique_ptr<uint8_t[]> tailData;
  const uint8_t* head = nullptr;
  size_t headLength = 0;  // bytes actually read
  const uint8_t* tail = nullptr;
  size_t tailLength = 0;
  bool single = false;  // the range fitted one window: tail is head
};

enum class WindowLoad { kOk, kNoHeadBuffer, kNoTailBuffer };

// Reads [start, end) whole when it holds at most window bytes, else its first
// and last window bytes. The reader's position is left wherever reading
// ended; callers restore it.
WindowLoad LoadStreamWindows(FileReader& reader, uint64_t start, uint64_t end, size_t window,
                             StreamWindows& out);

}  // namespace probex
