// Template store: FORMAT.INI and CODECS.INI. Every look-up sees the files as
// they are now; their contents are kept while size, inode and times stay.
#pragma once

#include <cstddef>

namespace probex {

inline constexpr char kFormatIni[] = "FORMAT.INI";
inline constexpr char kCodecsIni[] = "CODECS.INI";
inline constexpr size_t kLineBytes = 512;

// The directory given to SetPath (UTF-16, at most 255 units, or empty).
// Returns 0 when stored, else the text's length (the directory is cleared).
int SetTemplateDirectory(const char16_t* directory);

// Every matching entry of [section] joined by " / ", or a failure text
// ("C空key", "S長key", "S不明key", "不明key"). out is expected empty.
void LookupIni(char* out, size_t size, const char* key, const char* section, const char* fileName);

// Writes tmpl with every placeholder (case-insensitive) replaced by value;
// tmpl and out may be the same buffer. The result is cut to fit size.
bool ReplacePlaceholder(const char* tmpl, char* out, size_t size, const char* placeholder,
                        const char* value);

// Codec-name look-up in CODECS.INI.
inline void LookupCodec(char* out, size_t size, const char* section, const char* key) {
  if (size) out[0] = '\0';
  LookupIni(out, size, key, section, kCodecsIni);
}

// One description line: the template of (section, key) from FORMAT.INI with
// placeholders filled in place.
class Description {
 public:
  Description(const char* section, const char* key);
  // Formats the value with printf rules and replaces the placeholder with it.
  void Set(const char* placeholder, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // Replaces the placeholder with a text as it stands.
  void SetText(const char* placeholder, const char* value);
  // For a value the file may not give: above 0 it is Set with format;
  // otherwise the placeholder leaves the line together with the unit
  // written right after it ("#bitratek#kbps") and one blank beside it.
  void SetKnown(const char* placeholder, const char* format, double value);
  const char* Text() const { return text_; }

 private:
  char text_[kLineBytes];
};

}  // namespace probex
