// Texts of the desktop integration: the tag plug-in, the messengers and the
// file associations.
#pragma once

namespace vortaq::texts {

inline constexpr char16_t kTagsCaption[] = u"mp3infpの読み込み";
inline constexpr char16_t kTagsMissing[] =
    u"libvrtqtags.soが見つかりません\nmp3infpをインストールするかlibvrtqtags.soをVortaqと同じフォルダに置いて下さい";
inline constexpr char16_t kTagsTooOld[] = u"mp3infp v2.53以上が必要です\n最新版にバージョンアップして下さい";

inline constexpr char16_t kSkypeNotInstalled[] = u"Skype is not installed!";
inline constexpr char16_t kSkypeNoReply[] =
    u"Skypeとの通信ができませんでした\nSkypeで許可を出していない場合は出してください\n(Vortaqの再起動が必要です)";
inline constexpr char16_t kSkypeCaption[] = u"Skype曲名送信";

inline constexpr char16_t kMenuWatrack[] = u"MirandaIMのWATrackに反応させる(&W)";
inline constexpr char16_t kMenuMsn[] = u"MSN Messengerに反応させる(&N)";
inline constexpr char16_t kMenuSkype[] = u"Skypeに反応させる(&S)";

// A write of mimeapps.list or of our record failed: the files are as before.
inline constexpr char16_t kAssociationFailed[] = u"関連付けの設定ファイルを書き込めませんでした。";

}  // namespace vortaq::texts
