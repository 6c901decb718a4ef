#include "s98.h"

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/text.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "audio_file.h"

namespace probex {

namespace {

constexpr size_t kHeaderBytes = 32;
constexpr size_t kDeviceBytes = 16;

constexpr const char* kDeviceNames[] = {
    "NONE",        "PSG(YM2149)", "OPN(YM2203)", "OPN2(YM2612)", "OPNA(YM2608)", "OPM(YM2151)",
    "OPLL(YM2413)", "OPL(YM3526)", "OPL2(YM3812)", "OPL3(YMF262)", "NONE(10)",    "NONE(11)",
    "NONE(12)",    "NONE(13)",    "NONE(14)",    "PSG(AY-3-8910)", "DCSG(SN76489)"};

// A header without devices describes the chip of the format's first players.
constexpr uint32_t kDefaultType = 4;
constexpr uint32_t kDefaultClock = 7987200;

constexpr uint8_t kEnd = 0xFD;
constexpr uint8_t kWaitN = 0xFE;
constexpr uint8_t kWait1 = 0xFF;

void NameDevice(S98Device& device) {
  if (device.type < sizeof kDeviceNames / sizeof kDeviceNames[0])
    CopyText(device.name, sizeof device.name, kDeviceNames[device.type]);
  else
    FormatText(device.name, sizeof device.name, "UnknownDevice(%d)", static_cast<int>(device.type));
}

void ReadDevices(S98Info& info, FileReader& reader, uint32_t announced) {
  if (announced == 0) {
    info.deviceCount = 1;
    info.devices[0] = {kDefaultType, kDefaultClock, 0, {}};
    NameDevice(info.devices[0]);
    return;
  }
  // Only the records that are there, and no more than there is room for.
  uint32_t count = 0;
  while (count < announced && count < kS98MaxDevices) {
    uint8_t record[kDeviceBytes];
    if (reader.Read(record, sizeof record) < sizeof record) break;
    S98Device& device = info.devices[count++];
    device.type = ReadU32LE(record, 0);
    device.clock = ReadU32LE(record, 4);
    device.pan = ReadU32LE(record, 8);
    NameDevice(device);
  }
  info.deviceCount = count;
}

// Ticks of the dump from the reader's position up to end: the end mark FD
// comes first in a sound file, the end of the dump in a damaged one.
uint64_t CountTicks(FileReader& reader, uint64_t end) {
  uint64_t ticks = 0;
  while (reader.Tell() < end && !reader.AtEnd()) {
    uint8_t command = reader.ReadByte();
    if (command == kEnd) break;
    if (command == kWait1) {
      ++ticks;
    } else if (command == kWaitN) {
      uint64_t n = 0;
      for (unsigned shift = 0; reader.Tell() < end && !reader.AtEnd(); shift += 7) {
        uint8_t b = reader.ReadByte();
        if (shift < 64) n |= uint64_t{b & 0x7Fu} << shift;
        if (!(b & 0x80)) break;
      }
      ticks += n + 2;
    } else {
      reader.Seek(2, 1);  // register and value
    }
  }
  return ticks;
}

}  // namespace

bool ParseS98(S98Info& info, FileReader& reader) {
  uint8_t h[kHeaderBytes] = {};
  reader.Read(h, sizeof h);
  info.version = static_cast<char>(h[3]);
  if (info.version != '1' && info.version != '3') {
    char version[2] = {info.version, '\0'};
    FormatText(info.error, sizeof info.error, msg::kS98BadVersion, version);
    return false;
  }
  info.timerNumerator = ReadU32LE(h, 4);
  if (info.timerNumerator == 0) info.timerNumerator = 10;
  info.timerDenominator = ReadU32LE(h, 8);
  if (info.timerDenominator == 0) info.timerDenominator = 1000;
  info.tagOffset = ReadU32LE(h, 16);
  info.dumpOffset = ReadU32LE(h, 20);
  info.loopOffset = ReadU32LE(h, 24);
  ReadDevices(info, reader, ReadU32LE(h, 28));

  uint64_t size = reader.Size();
  uint64_t end = info.tagOffset > info.dumpOffset ? info.tagOffset : size;
  if (end > size) end = size;
  reader.Seek(info.dumpOffset, 0);
  double ticks = static_cast<double>(CountTicks(reader, end));
  info.duration = ticks * info.timerNumerator / info.timerDenominator;
  return true;
}

void AnalyzeS98(MediaInfo& info, FileReader& reader) {
  SetFormatName(info, "S98");
  S98Info s98 = {};
  if (!ParseS98(s98, reader)) {
    SetErrorText(info, s98.error);
    return;
  }
  for (uint32_t i = 0; i < s98.deviceCount; ++i) {
    Description d("S98", "AUDIO");
    d.SetText("#device#", s98.devices[i].name);
    d.Set("#clock#", "%u", s98.devices[i].clock);
    AddAudioText(info, d.Text());
  }
  // A loop point in front of the dump is damage: no offset into it is shown.
  uint32_t loopInDump = s98.loopOffset >= s98.dumpOffset ? s98.loopOffset - s98.dumpOffset : 0;
  if (s98.loopOffset == 0) loopInDump = 0;
  char extra[PROBEX_TEXT_BYTES];
  FormatText(extra, sizeof extra, "%u/%u 0x%08X (+0x%08X)", s98.timerNumerator, s98.timerDenominator, s98.loopOffset,
             loopInDump);
  AddExtraText(info, extra);
  if (s98.tagOffset) AddExtraText(info, "TAG");
  info.duration = s98.duration;
}

}  // namespace probex
