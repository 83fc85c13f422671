#pragma once

struct OsVersion {
    int major = 0;
    int minor = 0;
    int platformId = 0;
};

// The platform id from GetVersionExW; major and minor from the workstation record
// when it can be read, since GetVersionExW may report less than the real system.
OsVersion DetectOsVersion();
