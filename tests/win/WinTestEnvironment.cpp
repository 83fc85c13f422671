// What the program's start-up does before any window exists, done once for the
// Windows tests: the common controls (the resources ask for version 6 of them, whose
// classes exist only once the library is initialised), COM and GDI+.
#include "framework/Afx_win.h"
#include "widgets/GdiPlus_win.h"

#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

class WindowsTestEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        CoInitialize(nullptr);
        m_gdiplus = std::make_unique<CGdiPlusSession>();
    }
    void TearDown() override {
        m_gdiplus.reset();
        CoUninitialize();
    }

  private:
    std::unique_ptr<CGdiPlusSession> m_gdiplus;
};

const bool g_bRegistered = [] {
    ::testing::AddGlobalTestEnvironment(new WindowsTestEnvironment);
    return true;
}();

}  // namespace
