#include "media/SyntheticDesktop.h"

#include <algorithm>
#include <cstring>

namespace {

// Design sizes are for a 1920 x 1080 screen and scale with the smaller ratio.
constexpr double kDesignWidth = 1920.0;
constexpr double kDesignHeight = 1080.0;

constexpr int kTaskBarHeight = 40;
constexpr int kIconSize = 48;
constexpr int kIconPitch = 96;
constexpr int kIconMargin = 24;
constexpr int kIconCount = 6;

constexpr int kWindowWidth = 280;
constexpr int kWindowHeight = 180;
constexpr int kTitleBarHeight = 24;
constexpr int kWindowSpeedX = 9;  // design pixels per step
constexpr int kWindowSpeedY = 5;

constexpr int kPanelWidth = 240;
constexpr int kPanelHeight = 200;
constexpr int kPanelRightGap = 120;
constexpr int kPanelTop = 135;
constexpr int kLineHeight = 20;
constexpr int kScrollPerStep = 2;  // design pixels the notes move up per step

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kClockScale = 3;
constexpr int kClockRightGap = 170;
constexpr int kClockStartSeconds = 9 * 3600;  // the clock starts at 09:00:00
constexpr int kSecondsPerDay = 24 * 3600;

// 5 x 7 glyphs of the clock: rows top-down, bit 4 is the leftmost column.
constexpr uint8_t kDigitGlyphs[11][kGlyphHeight] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00},  // ':'
};

// Colours per variant: wallpaper top, wallpaper bottom, title bar.
constexpr uint32_t kPalettes[][3] = {
    {0x1E3C72, 0x2A5298, 0x2D6CDF},
    {0x3C1E50, 0x7A3B69, 0xC0392B},
    {0x134E3A, 0x2E8B57, 0xE67E22},
};
constexpr int kPaletteCount = int(sizeof(kPalettes) / sizeof(kPalettes[0]));

constexpr uint32_t kTaskBarColour = 0x202428;
constexpr uint32_t kClockColour = 0xF0F0F0;
constexpr uint32_t kWindowBody = 0xECEFF1;
constexpr uint32_t kPanelColour = 0xFFFDE7;
constexpr uint32_t kTextColour = 0x37474F;

uint8_t Red(uint32_t c) { return uint8_t(c >> 16); }
uint8_t Green(uint32_t c) { return uint8_t(c >> 8); }
uint8_t Blue(uint32_t c) { return uint8_t(c); }

// A cheap, stable hash so that note lines look different from each other.
uint32_t Mix(uint32_t v) {
    v ^= v >> 16;
    v *= 0x7FEB352Du;
    v ^= v >> 15;
    v *= 0x846CA68Bu;
    v ^= v >> 16;
    return v;
}

}  // namespace

CSyntheticDesktop::CSyntheticDesktop(int width, int height, int variant)
    : m_nWidth(std::max(width, 1)),
      m_nHeight(std::max(height, 1)),
      m_nVariant(((variant % kPaletteCount) + kPaletteCount) % kPaletteCount),
      m_dScale(std::min(m_nWidth / kDesignWidth, m_nHeight / kDesignHeight)),
      m_grid(TileGrid::ForScreen(m_nWidth, m_nHeight)) {
    m_nWindowX = m_nWidth / 4;
    m_nWindowY = m_nHeight / 4;
    m_nVelocityX = Scaled(kWindowSpeedX);
    m_nVelocityY = Scaled(kWindowSpeedY);
    DrawWallpaper();
    Render();
}

int CSyntheticDesktop::Scaled(int designPixels) const {
    return std::max(1, int(designPixels * m_dScale));
}

void CSyntheticDesktop::SetGrid(const TileGrid& grid) {
    m_grid = grid;
    m_bAllChanged = true;
}

void CSyntheticDesktop::Step(int count) {
    const int windowW = Scaled(kWindowWidth);
    const int windowH = Scaled(kWindowHeight);
    const int maxX = std::max(0, m_nWidth - windowW);
    const int maxY = std::max(0, m_nHeight - Scaled(kTaskBarHeight) - windowH);
    for (int i = 0; i < count; ++i) {
        ++m_nStep;
        m_nWindowX += m_nVelocityX;
        m_nWindowY += m_nVelocityY;
        if (m_nWindowX < 0 || m_nWindowX > maxX) {
            m_nVelocityX = -m_nVelocityX;
            m_nWindowX = std::clamp(m_nWindowX, 0, maxX);
        }
        if (m_nWindowY < 0 || m_nWindowY > maxY) {
            m_nVelocityY = -m_nVelocityY;
            m_nWindowY = std::clamp(m_nWindowY, 0, maxY);
        }
    }
    Render();
}

void CSyntheticDesktop::DrawWallpaper() {
    const uint32_t* palette = kPalettes[m_nVariant];
    m_vPixels.assign(Stride() * m_nHeight, 0);
    for (int y = 0; y < m_nHeight; ++y) {
        const int t = m_nHeight > 1 ? y * 256 / (m_nHeight - 1) : 0;
        const uint8_t rgb[3] = {
            uint8_t((Red(palette[0]) * (256 - t) + Red(palette[1]) * t) >> 8),
            uint8_t((Green(palette[0]) * (256 - t) + Green(palette[1]) * t) >> 8),
            uint8_t((Blue(palette[0]) * (256 - t) + Blue(palette[1]) * t) >> 8)};
        uint8_t* row = &m_vPixels[Stride() * y];
        for (int x = 0; x < m_nWidth; ++x) std::memcpy(row + x * kBytesPerPixel, rgb, 3);
    }
    for (int i = 0; i < kIconCount; ++i) {
        const int x = Scaled(kIconMargin);
        const int y = Scaled(kIconMargin + i * kIconPitch);
        FillRect(x, y, Scaled(kIconSize), Scaled(kIconSize), Mix(uint32_t(i + 1)) | 0x404040);
        FillRect(x, y + Scaled(kIconSize + 6), Scaled(kIconSize), Scaled(8), 0xE0E0E0);
    }
    const int barH = Scaled(kTaskBarHeight);
    FillRect(0, m_nHeight - barH, m_nWidth, barH, kTaskBarColour);
    FillRect(Scaled(8), m_nHeight - barH + Scaled(6), Scaled(28), barH - Scaled(12), palette[2]);
    m_vWallpaper = m_vPixels;
}

void CSyntheticDesktop::Render() {
    m_vPixels = m_vWallpaper;
    const Rect panel{m_nWidth - Scaled(kPanelRightGap) - Scaled(kPanelWidth), Scaled(kPanelTop),
                     Scaled(kPanelWidth), Scaled(kPanelHeight)};
    DrawNotesPanel(panel);
    DrawWindow({m_nWindowX, m_nWindowY, Scaled(kWindowWidth), Scaled(kWindowHeight)});
    const int barH = Scaled(kTaskBarHeight);
    const int glyphH = kGlyphHeight * std::max(1, Scaled(kClockScale));
    DrawClock(m_nWidth - Scaled(kClockRightGap), m_nHeight - barH + (barH - glyphH) / 2);
}

void CSyntheticDesktop::DrawWindow(const Rect& r) {
    const uint32_t title = kPalettes[m_nVariant][2];
    FillRect(r.x, r.y, r.w, r.h, kWindowBody);
    FillRect(r.x, r.y, r.w, Scaled(kTitleBarHeight), title);
    FillRect(r.x + Scaled(8), r.y + Scaled(8), r.w / 3, Scaled(8), 0xFFFFFF);
    // A small bar chart so the window has edges worth encoding.
    const int bars = 6;
    const int barW = r.w / (bars * 2);
    for (int i = 0; i < bars; ++i) {
        const int barH = (r.h / 2) * (i + 2) / (bars + 1);
        FillRect(r.x + barW + i * 2 * barW, r.y + r.h - Scaled(12) - barH, barW, barH,
                 Mix(uint32_t(i + 11)) | 0x303030);
    }
}

void CSyntheticDesktop::DrawNotesPanel(const Rect& r) {
    FillRect(r.x, r.y, r.w, r.h, kPanelColour);
    const int lineH = Scaled(kLineHeight);
    const int scroll = int(m_nStep % 1000000) * Scaled(kScrollPerStep);
    const int firstLine = scroll / lineH;
    const int offset = scroll % lineH;
    for (int line = firstLine; line * lineH - scroll < r.h; ++line) {
        const int y = r.y + (line - firstLine) * lineH - offset + lineH / 4;
        int x = r.x + Scaled(8);
        uint32_t seed = Mix(uint32_t(line) * 2654435761u);
        while (true) {
            const int word = Scaled(12 + int(seed % 48));
            if (x + word > r.x + r.w - Scaled(8)) break;
            FillRectClipped(r, x, y, word, lineH / 2, kTextColour);
            x += word + Scaled(6);
            seed = Mix(seed);
        }
    }
}

void CSyntheticDesktop::DrawClock(int x, int y) {
    const int seconds = int((kClockStartSeconds + m_nStep) % kSecondsPerDay);
    const int parts[3] = {seconds / 3600, seconds / 60 % 60, seconds % 60};
    const int scale = std::max(1, Scaled(kClockScale));
    const int advance = (kGlyphWidth + 1) * scale;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            DrawGlyph(':', x, y, scale, kClockColour);
            x += advance;
        }
        DrawGlyph(char('0' + parts[i] / 10), x, y, scale, kClockColour);
        x += advance;
        DrawGlyph(char('0' + parts[i] % 10), x, y, scale, kClockColour);
        x += advance;
    }
}

void CSyntheticDesktop::DrawGlyph(char c, int x, int y, int scale, uint32_t rgb) {
    const int glyph = c == ':' ? 10 : c - '0';
    if (glyph < 0 || glyph > 10) return;
    for (int row = 0; row < kGlyphHeight; ++row) {
        for (int col = 0; col < kGlyphWidth; ++col) {
            if (kDigitGlyphs[glyph][row] & (0x10 >> col)) {
                FillRect(x + col * scale, y + row * scale, scale, scale, rgb);
            }
        }
    }
}

void CSyntheticDesktop::FillRect(int x, int y, int w, int h, uint32_t rgb) {
    FillRectClipped({0, 0, m_nWidth, m_nHeight}, x, y, w, h, rgb);
}

void CSyntheticDesktop::FillRectClipped(const Rect& clip, int x, int y, int w, int h,
                                        uint32_t rgb) {
    const int left = std::max({x, clip.x, 0});
    const int top = std::max({y, clip.y, 0});
    const int right = std::min({x + w, clip.x + clip.w, m_nWidth});
    const int bottom = std::min({y + h, clip.y + clip.h, m_nHeight});
    if (left >= right || top >= bottom) return;
    const uint8_t pixel[3] = {Red(rgb), Green(rgb), Blue(rgb)};
    for (int row = top; row < bottom; ++row) {
        uint8_t* p = &m_vPixels[Stride() * row + size_t(left) * kBytesPerPixel];
        for (int col = left; col < right; ++col, p += kBytesPerPixel) std::memcpy(p, pixel, 3);
    }
}

bool CSyntheticDesktop::TileDiffers(int32_t index) const {
    const int left = m_grid.TileLeft(index);
    const int top = m_grid.TileTop(index);
    const int bottom = std::min(top + m_grid.tileHeight, m_nHeight);
    const int right = std::min(left + m_grid.tileWidth, m_nWidth);
    const size_t bytes = size_t(right - left) * kBytesPerPixel;
    for (int y = top; y < bottom; ++y) {
        const size_t at = Stride() * y + size_t(left) * kBytesPerPixel;
        if (std::memcmp(&m_vPixels[at], &m_vShadow[at], bytes) != 0) return true;
    }
    return false;
}

void CSyntheticDesktop::CopyTileToShadow(int32_t index) {
    const int left = m_grid.TileLeft(index);
    const int top = m_grid.TileTop(index);
    const int bottom = std::min(top + m_grid.tileHeight, m_nHeight);
    const int right = std::min(left + m_grid.tileWidth, m_nWidth);
    const size_t bytes = size_t(right - left) * kBytesPerPixel;
    for (int y = top; y < bottom; ++y) {
        const size_t at = Stride() * y + size_t(left) * kBytesPerPixel;
        std::memcpy(&m_vShadow[at], &m_vPixels[at], bytes);
    }
}

std::vector<int32_t> CSyntheticDesktop::TakeChangedTiles() {
    std::vector<int32_t> changed;
    if (!m_grid.IsValid()) return changed;
    const int32_t count = m_grid.Count();
    if (m_bAllChanged || m_vShadow.size() != m_vPixels.size()) {
        m_vShadow = m_vPixels;
        m_bAllChanged = false;
        changed.resize(size_t(count));
        for (int32_t i = 0; i < count; ++i) changed[size_t(i)] = i;
        return changed;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (TileDiffers(i)) {
            changed.push_back(i);
            CopyTileToShadow(i);
        }
    }
    return changed;
}
