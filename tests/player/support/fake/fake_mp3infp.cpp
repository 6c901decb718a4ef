// A tag plug-in that is too old: version 2.52.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) uint32_t mp3infp_GetVer() { return 0x0252; }
