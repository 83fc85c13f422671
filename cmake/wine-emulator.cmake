# Test programs built for Windows run under Wine through ctest. The prefix lives in
# the build tree (made by scripts/setup) so that every run reuses it.
get_filename_component(_tavrel_top "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(TAVREL_WINEPREFIX "${_tavrel_top}/build/wineprefix" CACHE PATH "Wine prefix for tests")
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${_tavrel_top}/cmake/wine-run;${TAVREL_WINEPREFIX}" CACHE STRING "" FORCE)
