// Shows files through the Windows shell: one explorer window per folder with its files selected.
#include "ShowItemsInFolder.h"

#include <windows.h>

#include <shlobj.h>

#include <memory>

namespace {

struct IdListFree {
    void operator()(ITEMIDLIST* list) const { ILFree(list); }
};
using IdList = std::unique_ptr<ITEMIDLIST, IdListFree>;

// Initialises COM for the length of one call and undoes only what it did.
class ComScope {
public:
    ComScope() : m_result(CoInitialize(nullptr)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT m_result;
};

std::wstring ToWide(const std::string& text)
{
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

IdList MakeIdList(const ShellPath& path)
{
    const std::wstring wide = ToWide(path.native);
    if (wide.empty()) return nullptr;
    return IdList(ILCreateFromPathW(wide.c_str()));
}

} // namespace

void ShowItemsInFolders(const std::vector<ShellFolder>& folders)
{
    if (folders.empty()) return;
    const ComScope com;
    for (const ShellFolder& folder : folders) {
        const IdList folderList = MakeIdList(folder.folder);
        if (!folderList) continue;

        std::vector<IdList> fileLists;
        std::vector<LPCITEMIDLIST> selection;
        for (const ShellPath& file : folder.files) {
            IdList fileList = MakeIdList(file);
            if (!fileList) continue;
            selection.push_back(fileList.get());
            fileLists.push_back(std::move(fileList));
        }
        // With nothing to select the shell would open the folder's parent instead.
        if (selection.empty()) continue;
        SHOpenFolderAndSelectItems(folderList.get(), static_cast<UINT>(selection.size()), selection.data(), 0);
    }
}
