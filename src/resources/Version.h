// The program's version, in one place for every resource script: the version
// resource's numbers and texts and the about box's line all come from here, so
// they cannot drift apart. Plain preprocessor text, for windres and rc alike.
#pragma once

#define TAVREL_VERSION_MAJOR 3
#define TAVREL_VERSION_MINOR 0
#define TAVREL_VERSION_PATCH 1
// A second, newer release of the same code is built for the update tests by defining
// the build number on the resource compiler's command line.
#ifndef TAVREL_VERSION_BUILD
#define TAVREL_VERSION_BUILD 1004
#endif

#define TAVREL_VERSION_NUMBERS \
    TAVREL_VERSION_MAJOR, TAVREL_VERSION_MINOR, TAVREL_VERSION_PATCH, TAVREL_VERSION_BUILD

#define TAVREL_STRINGIZE_(x) #x
#define TAVREL_STRINGIZE(x) TAVREL_STRINGIZE_(x)
// "3.0.1.1004"
// clang-format off
#define TAVREL_VERSION_TEXT                                                      \
    TAVREL_STRINGIZE(TAVREL_VERSION_MAJOR) "." TAVREL_STRINGIZE(TAVREL_VERSION_MINOR) "." \
    TAVREL_STRINGIZE(TAVREL_VERSION_PATCH) "." TAVREL_STRINGIZE(TAVREL_VERSION_BUILD)
// clang-format on
