#include "shell/Language_win.h"

#include "shell/StartupRules.h"

std::wstring g_strLanguage = AfxToWide(tavrel::kDefaultLanguage);

void ChooseResourceModule(std::wstring& languageCode) {
    const std::u16string code = AfxToU16(languageCode);
    HMODULE module = nullptr;
    if (!tavrel::IsBuiltInLanguage(code)) {
        module = LoadLibraryW(AfxToWide(tavrel::LanguageModulePath(code)).c_str());
    }
    if (module == nullptr) {
        languageCode = AfxToWide(tavrel::kDefaultLanguage);
        AfxSetResourceHandle(AfxGetInstanceHandle());
        return;
    }
    // The module stays loaded until the process ends.
    AfxSetResourceHandle(module);
}
