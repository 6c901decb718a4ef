#include "local_path.h"

namespace vortaq {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscape(char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// Length of the valid UTF-8 sequence at b[i], or 0.
int SequenceLength(const unsigned char* b, qsizetype i, qsizetype n) {
  const unsigned char c = b[i];
  int len;
  uint32_t min;
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) len = 2, min = 0x80;
  else if ((c & 0xF0) == 0xE0) len = 3, min = 0x800;
  else if ((c & 0xF8) == 0xF0) len = 4, min = 0x10000;
  else return 0;
  if (i + len > n) return 0;
  uint32_t cp = c & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    if ((b[i + k] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b[i + k] & 0x3F);
  }
  // Overlong forms, surrogates and values past Unicode do not decode.
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

QString PathFromLocal(const QByteArray& bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype n = bytes.size();
  QString out;
  out.reserve(n);
  qsizetype i = 0;
  while (i < n) {
    const int len = SequenceLength(b, i, n);
    if (len == 0) {
      out += QChar(char16_t(kEscapeBase + b[i]));
      ++i;
      continue;
    }
    out += QString::fromUtf8(bytes.constData() + i, len);
    i += len;
  }
  return out;
}

QByteArray LocalFromPath(const QString& path) {
  QByteArray out;
  out.reserve(path.size());
  qsizetype runStart = 0;
  for (qsizetype i = 0; i < path.size(); ++i) {
    const char16_t c = path.at(i).unicode();
    // A lone low surrogate can only be a carried byte; a pair is text.
    const bool paired = i > 0 && path.at(i - 1).isHighSurrogate();
    if (!IsEscape(c) || paired) continue;
    out += QStringView(path).mid(runStart, i - runStart).toUtf8();
    out += char(c - kEscapeBase);
    runStart = i + 1;
  }
  out += QStringView(path).mid(runStart).toUtf8();
  return out;
}

QString DisplayPath(const QString& path) {
  QString out = path;
  for (qsizetype i = 0; i < out.size(); ++i) {
    const char16_t c = out.at(i).unicode();
    if (IsEscape(c) && !(i > 0 && out.at(i - 1).isHighSurrogate())) out[i] = QChar(0xFFFD);
  }
  return out;
}

}  // namespace vortaq
