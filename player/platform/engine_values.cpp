#include "engine_values.h"

#include <algorithm>
#include <cmath>

namespace vortaq {

double MpvVolumeFromAttenuation(int attenuation) {
  const int clamped = std::clamp(attenuation, -10000, 0);
  // amplitude 10^(dB/20) with dB = clamped/100, then the cube root of it.
  return 100.0 * std::pow(10.0, clamped / 6000.0);
}

QString BalanceFilter(int balance) {
  const int clamped = std::clamp(balance, -10000, 10000);
  if (clamped == 0) return QString();
  return QStringLiteral("@bal:lavfi=[stereotools=balance_out=%1]")
      .arg(clamped / 10000.0, 0, 'f', 4);
}

QString FormatPlayTime(double seconds) {
  const long long total = std::isfinite(seconds) && seconds > 0 ? static_cast<long long>(seconds) : 0;
  const long long h = total / 3600, m = total / 60 % 60, s = total % 60;
  if (h > 0) return QString::asprintf("%lld:%02lld:%02lld", h, m, s);
  return QString::asprintf("%lld:%02lld", m, s);
}

}  // namespace vortaq
