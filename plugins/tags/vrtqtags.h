/* libvrtqtags.so: the tag reader the player loads at run time for its
 * now-playing texts, with the seven entry points of the mp3infp interface.
 *
 * Every call works on the file last loaded by the calling thread: the state is
 * per thread, so two threads may read two files at the same time. A text that
 * mp3infp_GetValue or mp3infp_GetValueW hands out stays valid until the same
 * thread loads the next file.
 *
 * Paths and texts of the W entry points are UTF-16 (char16_t, zero ended);
 * those of the others are UTF-8 (the ANSI code page of a Linux system).
 *
 * File type codes (mp3infp_GetType):
 *   0  unknown, unreadable or not loaded
 *   1  MPEG audio (.mp3 .mp2 .mp1) and RIFF-MP3 (.rmp, form RMP3); the tags
 *      found are told by mp3infp_mp3_GetTagType
 *   2  RIFF WAVE (.wav): RIFF INFO list
 *   3  AVI (.avi): RIFF INFO list, VFMT from the first video stream
 *   5  ASF (.wma .wmv .asf): content description, VFMT when a video stream
 *      exists
 *   7  Ogg Vorbis, Ogg FLAC, Opus, Speex and FLAC: Vorbis comments
 *   8  APEv2/APEv1 tagged audio: Monkey's Audio, Musepack, WavPack, TTA
 *   9  MP4 family (.mp4 .m4a .m4v .mov .3gp): ©nam, ©ART, VFMT when a video
 *      track exists
 *
 * Tag bits of type 1 (mp3infp_mp3_GetTagType):
 *   0x01 ID3v1, 0x02 ID3v2, 0x04 RIFF-MP3 INFO list, 0x100 APEv1, 0x200 APEv2
 *
 * Value names (mp3infp_GetValue, mp3infp_GetValueW):
 *   "INAM", "IART"          title and artist of types 2, 3, 5, 7, 8, 9 (and of
 *                           type 1: the first tag in the order RIFF-MP3,
 *                           ID3v2, ID3v1, APE)
 *   "INAM_v1", "IART_v1"    ID3v1 (Shift_JIS when it is valid CP932, else
 *                           Latin-1)
 *   "INAM_v2", "IART_v2"    ID3v2
 *   "INAM_rmp", "IART_rmp"  INFO list of a RIFF-MP3 file
 *   "INAM_APE", "IART_APE"  APE tag of an MPEG audio file
 *   "VFMT"                  video format ("FOURCC WxH"); empty exactly when the
 *                           file has no video stream
 *
 * Files are read only as far as their tags need: a tag larger than 16 MiB is
 * skipped (its values stay empty), and audio properties are never decoded.
 */
#ifndef VRTQTAGS_H
#define VRTQTAGS_H

#include <stdint.h>
#ifdef __cplusplus
extern "C" {
#else
#include <uchar.h>
#endif

#define VRTQTAGS_VERSION 0x0253u

/* The interface version: 0x0253 is 2.53. */
uint32_t mp3infp_GetVer(void);
/* Reads the tags of the file. 0 on success, else non-zero and every value empty.
 * The window handle is not used. */
uint32_t mp3infp_Load(void *window, const char *path);
uint32_t mp3infp_LoadW(void *window, const char16_t *path);
/* The type code of the file last loaded. */
uint32_t mp3infp_GetType(void);
/* The tag bits of the file last loaded, when it is of type 1; else 0. */
uint32_t mp3infp_mp3_GetTagType(void);
/* Points *value at the value (empty text when the file has none). 1 when the
 * name is known and the value is not empty, else 0. */
int mp3infp_GetValue(const char *name, char **value);
int mp3infp_GetValueW(const char16_t *name, char16_t **value);

#ifdef __cplusplus
}
#endif
#endif
