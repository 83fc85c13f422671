#include "panel/PeerReports.h"

#include "protocol/TextCommand.h"

#include <vector>

namespace {
constexpr size_t kScreenSizeFields = 2;
constexpr size_t kTileSizeMinFields = 2;
constexpr size_t kMonitorsMinFields = 6;
constexpr size_t kOriginMinFields = 5;
constexpr int32_t kStateOn = 1;
}  // namespace

ScreenSizeReport ParseScreenSize(const std::u16string& arguments) {
    const std::vector<std::u16string> fields = TokenizeArguments(arguments);
    ScreenSizeReport report;
    if (fields.size() != kScreenSizeFields) return report;
    report.valid = true;
    report.width = DecimalPrefix(fields[0]);
    report.height = DecimalPrefix(fields[1]);
    return report;
}

TileSizeReport ParseTileSize(const std::u16string& arguments) {
    const std::vector<std::u16string> fields = ListArguments(arguments);
    TileSizeReport report;
    if (fields.size() < kTileSizeMinFields) return report;
    report.valid = true;
    report.width = DecimalPrefix(fields[0]);
    report.height = DecimalPrefix(fields[1]);
    return report;
}

bool MonitorsReport::HasArea() const {
    return int64_t{right} - left > 0 && int64_t{bottom} - top > 0;
}

MonitorsReport ParseMonitors(const std::u16string& arguments) {
    const std::vector<std::u16string> fields = ListArguments(arguments);
    MonitorsReport report;
    if (fields.size() < kMonitorsMinFields) return report;
    report.valid = true;
    report.count = DecimalPrefix(fields[0]);
    report.selected = DecimalPrefix(fields[1]);
    report.left = DecimalPrefix(fields[2]);
    report.top = DecimalPrefix(fields[3]);
    report.right = DecimalPrefix(fields[4]);
    report.bottom = DecimalPrefix(fields[5]);
    return report;
}

OriginReport ParseOrigin(const std::u16string& arguments) {
    const std::vector<std::u16string> fields = ListArguments(arguments);
    OriginReport report;
    if (fields.size() < kOriginMinFields) return report;
    report.valid = true;
    report.x = DecimalPrefix(fields[1]);
    report.y = DecimalPrefix(fields[2]);
    return report;
}

bool StateReportIsOn(const std::u16string& arguments) {
    return DecimalPrefix(arguments) == kStateOn;
}

int32_t ParseAcknowledgedFrame(const std::u16string& arguments) { return DecimalPrefix(arguments); }
