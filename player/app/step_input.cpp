#include "step_input.h"

namespace vortaq {

bool ParseStep(const QString& text, int* seconds) {
  bool ok = false;
  const qlonglong value = text.trimmed().toLongLong(&ok);
  if (!ok || value < 0 || value > 86400) return false;
  *seconds = static_cast<int>(value);
  return true;
}

}  // namespace vortaq
