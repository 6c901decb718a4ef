#include "report.h"

#include <cinttypes>
#include <cstdarg>
#include <cmath>
#include <cstdio>

#include "text.h"

namespace probex {

namespace {

int32_t Clamp(int32_t count, int32_t limit) { return count < 0 ? 0 : count > limit ? limit : count; }

std::string Entry(const char* text) { return std::string(text, BoundedLength(text, PROBEX_TEXT_BYTES)); }

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char buffer[PROBEX_TEXT_BYTES];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return n < 0 ? std::string() : std::string(buffer);
}

void AppendBlock(std::string& out, const char* heading, const char (*entries)[PROBEX_TEXT_BYTES], int32_t count) {
  if (count == 0) return;
  if (count > 1) out += Printf("[%s][%d]\r\n", heading, count);
  for (int32_t i = 0; i < count; ++i) {
    out += Entry(entries[i]);
    out += "\r\n";
  }
}

}  // namespace

bool SplitDuration(double d, TimeSplit& t) {
  // Damaged files give inf/nan or absurd values: those have no time to show.
  if (d == -1.0 || !std::isfinite(d) || std::fabs(d) >= 9007199254740992.0) return false;
  int64_t whole = static_cast<int64_t>(std::trunc(d));
  t.hours = d >= 3600 ? whole / 3600 : 0;
  int64_t rest = static_cast<int64_t>(std::trunc(d - static_cast<double>(t.hours) * 3600));
  t.minutes = rest / 60;
  t.seconds = rest % 60;
  t.milliseconds = static_cast<int64_t>(std::trunc((d - std::trunc(d)) * 1000));
  return true;
}

std::string SizeText(uint64_t size) {
  std::string digits = std::to_string(size);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string FullReport(const MediaInfo& info) {
  if (info.errorText[0] != '\0') return Entry(info.errorText);
  std::string out;
  AppendBlock(out, "Video", info.videoText, Clamp(info.videoCount, PROBEX_MAX_VIDEO));
  AppendBlock(out, "Audio", info.audioText, Clamp(info.audioCount, PROBEX_MAX_AUDIO));
  AppendBlock(out, "Extra", info.extraText, Clamp(info.extraCount, PROBEX_MAX_EXTRA));
  if (info.formatName[0] != '\0') out += "[" + std::string(info.formatName, BoundedLength(info.formatName, PROBEX_NAME_BYTES)) + "] ";
  TimeSplit t;
  if (SplitDuration(info.duration, t)) {
    double shown = static_cast<double>(t.hours * 3600 + t.minutes * 60 + t.seconds) + t.milliseconds * 0.001;
    out += Printf("%02" PRId64 ":%02" PRId64 ":%02" PRId64 ".%03" PRId64 " (%.3fsec) / ", t.hours, t.minutes,
                  t.seconds, t.milliseconds, shown);
  }
  out += SizeText(info.fileSize) + "Bytes";
  return out;
}

std::string OneLineReport(const MediaInfo& info) {
  if (info.errorText[0] != '\0') return Entry(info.errorText);
  int32_t video = Clamp(info.videoCount, PROBEX_MAX_VIDEO);
  int32_t audio = Clamp(info.audioCount, PROBEX_MAX_AUDIO);
  int32_t extra = Clamp(info.extraCount, PROBEX_MAX_EXTRA);
  std::string out;
  if (info.formatName[0] != '\0') out += std::string(info.formatName, BoundedLength(info.formatName, PROBEX_NAME_BYTES)) + " ";
  if (video > 0) {
    if (video > 1) out += Printf("[%d] ", video);
    out += Entry(info.videoText[0]);
    if (audio > 0) out += " ";
  }
  if (audio > 0) {
    if (audio > 1) out += Printf("[%d] ", audio);
    out += Entry(info.audioText[0]);
    if (extra > 0) out += " ";
  }
  if (extra > 0) {
    if (extra > 1) out += Printf("[%d] ", extra);
    out += "[" + Entry(info.extraText[0]) + "]";
  }
  TimeSplit t;
  if (SplitDuration(info.duration, t))
    out += Printf(" %02" PRId64 ":%02" PRId64 ":%02" PRId64 ".%03" PRId64, t.hours, t.minutes, t.seconds,
                  t.milliseconds);
  return out;
}

}  // namespace probex
