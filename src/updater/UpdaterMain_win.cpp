// Entry point of the updater VTUpdaterT.
#include "updater/RelvoApp_win.h"

CRelvoApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
    return theApp.Run(instance, commandLine, showCommand);
}
