// Entry point of Vantor Tavrel.
#include "shell/TavrelApp_win.h"

CTavrelApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
    return theApp.Run(instance, commandLine, showCommand);
}
