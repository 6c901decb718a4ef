#include "bars.h"

namespace vortaq {

double RateFromPosition(int position) { return position * 0.1; }

QString RateLabel(int position) {
  // Position 0 pauses; it reads as 0 % like every other position.
  return QStringLiteral("Speed(%1%)").arg(position * 10);
}

QString BalanceLabel(int position) {
  if (position == 0) return QStringLiteral("Balance(Center)");
  if (position < 0) return QStringLiteral("Balance(L:%1%)").arg(-position / 100);
  return QStringLiteral("Balance(R:%1%)").arg(position / 100);
}

QString VolumeLabel(int position) {
  return QStringLiteral("Volume(%1%)").arg((position + 5000) / 50);
}

QString RepeatCaption(double seconds) { return QString::asprintf("%2.2f", seconds); }

int TranslucencyOpacity(int level) {
  constexpr int kOpacity[] = {255, 192, 128, 64};
  return level >= 0 && level <= 3 ? kOpacity[level] : 255;
}

}  // namespace vortaq
