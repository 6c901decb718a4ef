// Texts and values of the speed, balance and volume bars and the section
// repeat buttons of the main window.
#pragma once

#include <QString>

namespace vortaq {

// Speed bar: position × 0.1 is the rate; 10 is normal speed.
double RateFromPosition(int position);
QString RateLabel(int position);
QString BalanceLabel(int position);
QString VolumeLabel(int position);
// "%2.2f" of a section repeat position in seconds.
QString RepeatCaption(double seconds);
// Opacity (of 255) of translucency level 0 (off), 1 (25%), 2 (50%), 3 (75%).
int TranslucencyOpacity(int level);

}  // namespace vortaq
