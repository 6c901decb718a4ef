// Conversions between the playback control's values and the engine's.
#pragma once

#include <QString>

namespace vortaq {

// An attenuation in hundredths of a decibel (0 full, -5000 = -50 dB) as mpv's
// volume percent, whose gain is cubic: amplitude = (percent / 100)^3.
double MpvVolumeFromAttenuation(int attenuation);

// The labelled audio filter for a balance of -10000 (left) .. 10000 (right);
// empty for the centre, where no filter is needed.
QString BalanceFilter(int balance);

// Elapsed or total time for the control's strip: "m:ss", or "h:mm:ss" from an
// hour on; negative or unknown times read as 0:00.
QString FormatPlayTime(double seconds);

}  // namespace vortaq
