// Scaling arithmetic and font conversion shared inside the class library.
#pragma once

#include <QFont>

#include "classlib/controls.h"

class QWidget;

namespace classlib {

// value * multiplier / divisor, rounded half away from zero (divisor > 0).
constexpr int MulDiv(int value, int multiplier, int divisor) {
  long long p = static_cast<long long>(value) * multiplier;
  return static_cast<int>((p >= 0 ? p + divisor / 2 : p - divisor / 2) / divisor);
}

QFont ToQFont(const TFont& font);
// The height of a line of text in font, in pixels (ascent plus descent).
int TextHeightOf(const TFont& font);
void ApplyColors(QWidget* widget, TColor text, TColor background);

}  // namespace classlib
