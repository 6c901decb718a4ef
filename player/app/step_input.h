// The step of the arrow keys as typed into the step input.
#pragma once

#include <QString>

namespace vortaq {

// A whole number of seconds from 0 to 86,400 (a day); anything else, negative
// numbers included, is refused.
bool ParseStep(const QString& text, int* seconds);

}  // namespace vortaq
