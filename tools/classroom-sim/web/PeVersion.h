#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reads the FileVersion text of a Windows executable or DLL the way the updater's
// version query does: the version resource's first translation entry names the
// string table ("%04x%04x" of language and code page) whose "FileVersion" is taken.
enum class PeVersionStatus {
    kFound,
    kNoVersionInfo,  // not a PE file, no version resource, or no translation entry
    kNoFileVersion,  // a translation, but no FileVersion string in its table
};

struct PeVersion {
    PeVersionStatus status = PeVersionStatus::kNoVersionInfo;
    std::u16string fileVersion;  // as stored, for instance u"3, 0, 1, 1004"
};

// Parses size bytes of a file image; never reads beyond them.
PeVersion ReadPeVersion(const uint8_t* data, size_t size);
