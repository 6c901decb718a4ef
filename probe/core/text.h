// Bounded text helpers: every write into a fixed field goes through these.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

namespace probex {

// Copies at most size - 1 bytes of src and always terminates (size > 0).
void CopyText(char* dst, size_t size, const char* src);
// Appends src to the text in dst, never past size - 1 bytes.
void AppendText(char* dst, size_t size, const char* src);
// snprintf into dst; a result that does not fit is cut, never overrun.
void FormatText(char* dst, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void AppendFormat(char* dst, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// A value from file arithmetic as a whole number for "%lld": truncated toward
// zero, NaN as 0, held inside the range (a plain cast of such values is
// undefined).
long long WholeNumber(double value);

// Length of a text inside a fixed field: stops at the field's end.
size_t BoundedLength(const char* text, size_t size);

char AsciiLower(char c);
// ASCII case-insensitive comparison of n bytes (bytes, not a C string).
bool EqualNoCase(const void* bytes, const char* literal, size_t n);
// bytes[0..n) begins with literal, ignoring ASCII case.
bool StartsWithNoCase(const void* bytes, size_t n, const char* literal);
// Offset of literal inside bytes[0..n), ASCII case ignored; -1 when absent.
std::ptrdiff_t FindNoCase(const void* bytes, size_t n, const char* literal);

// UTF-16 (as in MediaInfo.path) to UTF-8; lone surrogates become U+FFFD.
std::string Utf16ToUtf8(const char16_t* text, size_t maxUnits);
// Number of units before the terminator, at most maxUnits.
size_t Utf16Length(const char16_t* text, size_t maxUnits);

}  // namespace probex
