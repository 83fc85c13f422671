#include "shell/FolderChain_win.h"

#include "shell/FolderChain.h"

namespace {

class CDirectoryCreator : public tavrel::IFolderCreator {
  public:
    void CreateFolder(const std::u16string& path) override {
        // An existing folder is the usual outcome and not worth telling anyone.
        CreateDirectoryW(AfxToWide(path).c_str(), nullptr);
    }
};

}  // namespace

int CreateFolderChain(const std::wstring& path) {
    CDirectoryCreator creator;
    return tavrel::CreateFolderChain(AfxToU16(path), creator);
}
