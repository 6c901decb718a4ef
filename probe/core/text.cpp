#include "text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace probex {

void CopyText(char* dst, size_t size, const char* src) {
  if (size == 0) return;
  size_t n = 0;
  if (src) {
    while (n + 1 < size && src[n] != '\0') ++n;
    std::memmove(dst, src, n);
  }
  dst[n] = '\0';
}

size_t BoundedLength(const char* text, size_t size) {
  size_t n = 0;
  while (n < size && text[n] != '\0') ++n;
  return n;
}

void AppendText(char* dst, size_t size, const char* src) {
  size_t used = BoundedLength(dst, size);
  if (used >= size) return;
  CopyText(dst + used, size - used, src);
}

static void VFormat(char* dst, size_t size, const char* format, va_list args) {
  if (size == 0) return;
  int n = std::vsnprintf(dst, size, format, args);
  if (n < 0) dst[0] = '\0';
}

void FormatText(char* dst, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  VFormat(dst, size, format, args);
  va_end(args);
}

void AppendFormat(char* dst, size_t size, const char* format, ...) {
  size_t used = BoundedLength(dst, size);
  if (used >= size) return;
  va_list args;
  va_start(args, format);
  VFormat(dst + used, size - used, format, args);
  va_end(args);
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualNoCase(const void* bytes, const char* literal, size_t n) {
  const char* b = static_cast<const char*>(bytes);
  for (size_t i = 0; i < n; ++i)
    if (AsciiLower(b[i]) != AsciiLower(literal[i])) return false;
  return true;
}

bool StartsWithNoCase(const void* bytes, size_t n, const char* literal) {
  size_t len = std::strlen(literal);
  return len <= n && EqualNoCase(bytes, literal, len);
}

std::ptrdiff_t FindNoCase(const void* bytes, size_t n, const char* literal) {
  size_t len = std::strlen(literal);
  if (len == 0 || len > n) return -1;
  const char* b = static_cast<const char*>(bytes);
  const char first = AsciiLower(literal[0]);
  for (size_t i = 0; i + len <= n; ++i)
    if (AsciiLower(b[i]) == first && EqualNoCase(b + i, literal, len)) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

size_t Utf16Length(const char16_t* text, size_t maxUnits) {
  size_t n = 0;
  while (n < maxUnits && text[n] != 0) ++n;
  return n;
}

std::string Utf16ToUtf8(const char16_t* text, size_t maxUnits) {
  std::string out;
  size_t len = Utf16Length(text, maxUnits);
  for (size_t i = 0; i < len; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < len && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      // A file-name byte that is no UTF-8, carried as a lone surrogate.
      out += static_cast<char>(c - 0xDC00);
      continue;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

long long WholeNumber(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.2e18) return 9200000000000000000LL;
  if (value <= -9.2e18) return -9200000000000000000LL;
  return static_cast<long long>(value);
}

}  // namespace probex
