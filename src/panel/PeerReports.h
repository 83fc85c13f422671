// Reading the lectern PC's reports about its screen and states. Every field is read as
// a decimal prefix; a report with too few fields is not applied at all.
#pragma once

#include <cstdint>
#include <string>

// "[RH00001]": exactly two tokenized fields, the remote screen's width and height.
struct ScreenSizeReport {
    bool valid = false;
    int32_t width = 0;
    int32_t height = 0;
};
ScreenSizeReport ParseScreenSize(const std::u16string& arguments);

// "[RH00007]": at least two listed fields, tile width and height.
struct TileSizeReport {
    bool valid = false;
    int32_t width = 0;
    int32_t height = 0;
};
TileSizeReport ParseTileSize(const std::u16string& arguments);

// "[RH00009]": at least six listed fields: monitor count, selected monitor, then left,
// top, right and bottom of the selected monitor.
struct MonitorsReport {
    bool valid = false;
    int32_t count = 0;
    int32_t selected = 0;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    // The selected monitor has an area (right − left and bottom − top both positive;
    // computed without overflow).
    bool HasArea() const;
};
MonitorsReport ParseMonitors(const std::u16string& arguments);

// "[RH00010]": at least five listed fields; the second and third are the origin of the
// lectern PC's virtual screen.
struct OriginReport {
    bool valid = false;
    int32_t x = 0;
    int32_t y = 0;
};
OriginReport ParseOrigin(const std::u16string& arguments);

// "[RH00003]" / "[RH00004]": the state is on only for the number 1.
bool StateReportIsOn(const std::u16string& arguments);

// "[RH00002]": the last screen-up frame the lectern PC received.
int32_t ParseAcknowledgedFrame(const std::u16string& arguments);
