// The program-wide scale factor: every window multiplies its design sizes by it and
// drops the fraction. 1.5 until the main dialog sets it from the screen size.
#pragma once

extern float g_fScaleFactor;

constexpr float kInitialScaleFactor = 1.5f;

// design × scale, fraction dropped (toward zero).
int Scaled(int design);
int ScaledBy(int design, float scale);
