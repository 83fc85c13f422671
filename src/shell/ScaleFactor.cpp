#include "shell/ScaleFactor.h"

float g_fScaleFactor = kInitialScaleFactor;

int ScaledBy(int design, float scale) {
    return static_cast<int>(static_cast<float>(design) * scale);
}

int Scaled(int design) { return ScaledBy(design, g_fScaleFactor); }
