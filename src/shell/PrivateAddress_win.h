// The pad's own IPv4 address as the lectern PC should see it.
#pragma once

#include "framework/Afx_win.h"

#include <string>

// Dotted IPv4 text chosen from the host's adapters (tavrel::ChoosePrivateAddress);
// empty when the adapters cannot be listed.
std::wstring LocalPrivateAddress();
