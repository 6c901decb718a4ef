#include "stream_windows.h"

#include <new>

#include "../core/file_reader.h"

namespace probex {

WindowLoad LoadStreamWindows(FileReader& reader, uint64_t start, uint64_t end, size_t window,
                             StreamWindows& out) {
  uint64_t range = end > start ? end - start : 0;
  size_t headBytes = range <= window ? static_cast<size_t>(range) : window;
  out.headData.reset(new (std::nothrow) uint8_t[headBytes ? headBytes : 1]);
  if (!out.headData) return WindowLoad::kNoHeadBuffer;
  reader.Seek(static_cast<int64_t>(start), 0);
  out.headLength = headBytes ? reader.Read(out.headData.get(), headBytes, true) : 0;
  out.head = out.headData.get();
  if (range <= window) {
    out.single = true;
    out.tail = out.head;
    out.tailLength = out.headLength;
    return WindowLoad::kOk;
  }
  out.tailData.reset(new (std::nothrow) uint8_t[window]);
  if (!out.tailData) {
    out.headData.reset();
    out.head = nullptr;
    out.headLength = 0;
    return WindowLoad::kNoTailBuffer;
  }
  reader.Seek(static_cast<int64_t>(end - window), 0);
  out.tailLength = reader.Read(out.tailData.get(), window, true);
  out.tail = out.tailData.get();
  return WindowLoad::kOk;
}

}  // namespace probex
