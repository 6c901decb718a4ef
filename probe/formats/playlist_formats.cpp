// Playlists: told by the extension alone and read by the player, not here.
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

constexpr FormatRecord kRecords[] = {
    {format::kPlaylistVrtql, "Vortaq playlist", ".vrtql", 0, nullptr, nullptr, true},
    {format::kPlaylistPls, "PLS", ".pls", 0, nullptr, nullptr, true},
    {format::kPlaylistLst, "LST", ".lst", 0, nullptr, nullptr, true},
    {format::kPlaylistZpl, "ZPL", ".zpl", 0, nullptr, nullptr, true},
    {format::kPlaylistBsl, "BSL", ".bsl", 0, nullptr, nullptr, true},
    {format::kPlaylistM3u, "M3U", ".m3u", 0, nullptr, nullptr, true},
    {format::kPlaylistM3u8, "M3U8", ".m3u8", 0, nullptr, nullptr, true},
};

}  // namespace

std::span<const FormatRecord> PlaylistFormats() { return kRecords; }

}  // namespace probex
