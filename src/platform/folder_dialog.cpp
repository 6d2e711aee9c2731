#include "platform/folder_dialog.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <memory>

namespace {

// The resizable new-style dialog with an edit box; the status-text flag has
// no visible effect in that style. File-system-only selection is not asked
// for, so a virtual folder can be chosen and gives the empty text.
constexpr UINT dialogFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_STATUSTEXT;

// Undoes the COM initialisation only when it succeeded, so every call leaves
// the thread's COM state as it found it.
class ComInitialisation {
public:
    ComInitialisation() : m_result(CoInitialize(nullptr)) {}
    ~ComInitialisation() {
        if (SUCCEEDED(m_result)) {
            CoUninitialize();
        }
    }
    ComInitialisation(const ComInitialisation&) = delete;
    ComInitialisation& operator=(const ComInitialisation&) = delete;

private:
    HRESULT m_result;
};

// Item identifier lists are freed with the shell's allocator.
struct ItemIdListFree {
    void operator()(ITEMIDLIST* a_list) const { CoTaskMemFree(a_list); }
};

} // namespace

std::wstring browseForJavaFolder(const wchar_t* a_title) {
    const ComInitialisation com;
    BROWSEINFOW description{};
    description.lpszTitle = a_title;
    description.ulFlags = dialogFlags;
    const std::unique_ptr<ITEMIDLIST, ItemIdListFree> chosen(SHBrowseForFolderW(&description));
    if (!chosen) {
        return std::wstring();
    }
    // SHGetPathFromIDListW writes at most MAX_PATH characters.
    wchar_t path[MAX_PATH] = L"";
    if (!SHGetPathFromIDListW(chosen.get(), path)) {
        return std::wstring();
    }
    return std::wstring(path);
}
