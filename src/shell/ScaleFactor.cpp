#include "shell/ScaleFactor.h"

float g_fScaleFactor = kInitialScaleFactor;

int ScaledBy(int design, float scale) {
    // The product is rounded to a 32-bit float before the fraction is dropped: the x87
    // unit of the 32-bit build would otherwise keep it in extended precision, and 70 × 1.4
    // would give 97 there but 98 everywhere else.
    volatile float product = static_cast<float>(design) * scale;
    return static_cast<int>(product);
}

int Scaled(int design) { return ScaledBy(design, g_fScaleFactor); }
