#include "platform/folder_dialog.h"

#include "platform/com_initialisation.h"
#include "platform/system_library.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <memory>

namespace {

// The resizable new-style dialog with an edit box; the status-text flag has
// no visible effect in that style. File-system-only selection is not asked
// for, so a virtual folder can be chosen and gives the empty text.
constexpr UINT dialogFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_STATUSTEXT;

// Item identifier lists are freed with the shell's allocator.
struct ItemIdListFree {
    void operator()(ITEMIDLIST* a_list) const {
        systemFunction<decltype(CoTaskMemFree)>(L"ole32.dll", "CoTaskMemFree")(a_list);
    }
};

} // namespace

std::wstring browseForJavaFolder(const wchar_t* a_title) {
    const auto browse =
        systemFunction<decltype(SHBrowseForFolderW)>(L"shell32.dll", "SHBrowseForFolderW");
    const auto pathOf =
        systemFunction<decltype(SHGetPathFromIDListW)>(L"shell32.dll", "SHGetPathFromIDListW");
    if (browse == nullptr || pathOf == nullptr) {
        return std::wstring(); // as if cancelled: the caller says no runtime was found
    }
    const ComInitialisation com;
    BROWSEINFOW description{};
    description.lpszTitle = a_title;
    description.ulFlags = dialogFlags;
    const std::unique_ptr<ITEMIDLIST, ItemIdListFree> chosen(browse(&description));
    if (!chosen) {
        return std::wstring();
    }
    // SHGetPathFromIDListW writes at most MAX_PATH characters.
    wchar_t path[MAX_PATH] = L"";
    if (!pathOf(chosen.get(), path)) {
        return std::wstring();
    }
    return std::wstring(path);
}
