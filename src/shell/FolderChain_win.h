// Creating a folder and every folder above it that is missing.
#pragma once

#include "framework/Afx_win.h"

#include <string>

// tavrel::CreateFolderChain on the real file system: 1, or 0 when a ".." climbs above
// the start of the path. Folders that cannot be created are passed over.
int CreateFolderChain(const std::wstring& path);
