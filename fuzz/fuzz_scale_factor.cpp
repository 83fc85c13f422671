// The "scalefactor" text of config.ini is whatever the user typed: the override must
// be 0 or a finite positive number for any text.
#include "shell/SettingsValues.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    const float scale = tavrel::ParseScaleFactorOverride(text);
    if (!std::isfinite(scale) || scale < 0.0f) abort();
    return 0;
}
