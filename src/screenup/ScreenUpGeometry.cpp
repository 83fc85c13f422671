#include "screenup/ScreenUpGeometry.h"

#include <cstdint>

FitRect FitCapture(int captureWidth, int captureHeight, int targetWidth, int targetHeight) {
    FitRect fit;
    if (captureWidth < 1 || captureHeight < 1 || targetWidth < 1 || targetHeight < 1) return fit;
    const double captureAspect = static_cast<double>(captureWidth) / captureHeight;
    const double targetAspect = static_cast<double>(targetWidth) / targetHeight;
    if (captureAspect >= targetAspect) {
        fit.width = targetWidth;
        fit.height =
            static_cast<int>(static_cast<int64_t>(captureHeight) * targetWidth / captureWidth);
        fit.y = (targetHeight - fit.height) / 2;
    } else {
        fit.height = targetHeight;
        fit.width =
            static_cast<int>(static_cast<int64_t>(captureWidth) * targetHeight / captureHeight);
        fit.x = (targetWidth - fit.width) / 2;
    }
    return fit;
}

TileGrid ScreenUpGrid(int targetWidth, int targetHeight) {
    return TileGrid::ForScreen(targetWidth, targetHeight);
}
