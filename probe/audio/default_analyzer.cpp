#include "default_analyzer.h"

#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/text.h"

namespace probex {

void AnalyzeDefault(MediaInfo& info, FileReader& reader) {
  info.duration = -1.0;
  if (reader.Size() == 0) {
    SetErrorText(info, msg::kUnsupportedFormat);
    return;
  }
  uint8_t head[16] = {};
  size_t n = reader.Size() < sizeof head ? static_cast<size_t>(reader.Size()) : sizeof head;
  n = reader.Read(head, n);
  SetFormatName(info, msg::kUnsupportedFormat);

  char line[PROBEX_TEXT_BYTES] = "[";
  for (size_t i = 0; i < n; ++i) AppendFormat(line, sizeof line, i ? " %02X" : "%02X", head[i]);
  AppendText(line, sizeof line, "] : ");
  char shown[sizeof head + 1] = {};
  for (size_t i = 0; i < n; ++i) shown[i] = (head[i] >= 0x21 && head[i] <= 0x7E) ? static_cast<char>(head[i]) : ' ';
  AppendText(line, sizeof line, shown);
  AddVideoText(info, line);
}

}  // namespace probex
