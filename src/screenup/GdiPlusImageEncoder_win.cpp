#include "screenup/GdiPlusImageEncoder_win.h"

#include <objidl.h>

#include <climits>
#include <cstring>
#include <gdiplus.h>

namespace {

// Finds an installed image encoder by its MIME type.
bool FindEncoder(const wchar_t* mimeType, CLSID& clsid) {
    UINT count = 0;
    UINT bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<uint8_t> storage(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType != nullptr && ::lstrcmpiW(codecs[i].MimeType, mimeType) == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// Reads the whole stream into out, sized to fit exactly.
bool ReadStream(IStream* stream, std::vector<uint8_t>& out) {
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return false;
    if (stat.cbSize.QuadPart == 0 || stat.cbSize.QuadPart > ULONG_MAX) return false;
    const ULONG size = static_cast<ULONG>(stat.cbSize.QuadPart);
    LARGE_INTEGER start{};
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return false;
    out.resize(size);
    ULONG read = 0;
    if (FAILED(stream->Read(out.data(), size, &read)) || read != size) return false;
    return true;
}

}  // namespace

CGdiPlusImageEncoder::CGdiPlusImageEncoder() {
    m_bHaveEncoder = FindEncoder(L"image/jpeg", m_clsidJpeg);
}

bool CGdiPlusImageEncoder::EncodeJpeg(const PixelView& strip, int quality,
                                      std::vector<uint8_t>& out) {
    out.clear();
    if (!m_bHaveEncoder || strip.Empty() || strip.stride > INT_MAX || strip.stride < INT_MIN)
        return false;
    // GDI+ reads the caller's pixels where they are; the bitmap does not own them.
    Gdiplus::Bitmap bitmap(strip.width, strip.height, static_cast<INT>(strip.stride),
                           PixelFormat32bppRGB, strip.pixels);
    if (bitmap.GetLastStatus() != Gdiplus::Ok) return false;
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)) || stream == nullptr) return false;
    ULONG qualityValue = static_cast<ULONG>(quality);
    Gdiplus::EncoderParameters parameters{};
    parameters.Count = 1;
    parameters.Parameter[0].Guid = Gdiplus::EncoderQuality;
    parameters.Parameter[0].Type = Gdiplus::EncoderParameterValueTypeLong;
    parameters.Parameter[0].NumberOfValues = 1;
    parameters.Parameter[0].Value = &qualityValue;
    const bool saved = bitmap.Save(stream, &m_clsidJpeg, &parameters) == Gdiplus::Ok;
    const bool read = saved && ReadStream(stream, out);
    stream->Release();
    if (!read) out.clear();
    return read;
}
