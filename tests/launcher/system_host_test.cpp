#include "launcher/system_host.h"
#include "messages/message_texts.h"

#include "dialog_driver.h"
#include "expected_messages.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <functional>
#include <thread>

namespace {

using namespace testing_support;
namespace driver = dialog_driver;

// Runs a_user on a second thread, as the user in front of the dialogs this
// thread is about to show.
class User {
public:
    explicit User(std::function<void(HWND)> a_act)
        : m_thread([a_act] {
              HWND dialog = driver::waitForDialog(GetCurrentProcessId(), 20000);
              if (dialog == nullptr) {
                  ADD_FAILURE() << "no dialog appeared";
                  return;
              }
              a_act(dialog);
          }) {}
    ~User() { m_thread.join(); }
    User(const User&) = delete;
    User& operator=(const User&) = delete;

private:
    std::thread m_thread;
};

TEST(SystemHost, ShowsRealMessageBoxes) {
    SystemHost host;
    const std::wstring retryQuestion = expected::versionUnsuitableAsk(L"1.6");
    struct Case {
        const wchar_t* text;
        const wchar_t* caption;
        UINT flags;
        std::vector<std::wstring> buttons;
        bool icon;
        int press;
    } const cases[] = {
        {L"Ini file is invalid.", L"Error", MB_OK, {L"OK"}, false, IDOK},
        {expected::alreadyRunning.c_str(),
         L"Wait",
         MB_OK | MB_ICONWARNING | MB_TOPMOST,
         {L"OK"},
         true,
         IDOK},
        {retryQuestion.c_str(),
         L"Error",
         MB_ABORTRETRYIGNORE,
         {L"&Abort", L"&Retry", L"&Ignore"},
         false,
         IDRETRY},
        {L"Once more",
         L"Error",
         MB_ABORTRETRYIGNORE,
         {L"&Abort", L"&Retry", L"&Ignore"},
         false,
         IDIGNORE},
    };
    for (const Case& c : cases) {
        driver::MessageBoxView seen;
        int answer = 0;
        {
            User user([&](HWND a_box) {
                seen = driver::readMessageBox(a_box);
                driver::press(a_box, c.press);
            });
            answer = host.showMessage(c.text, c.caption, c.flags);
        }
        EXPECT_EQ(answer, c.press);
        EXPECT_EQ(seen.caption, c.caption);
        EXPECT_EQ(seen.text, c.text);
        EXPECT_EQ(seen.buttons, c.buttons);
        EXPECT_EQ(seen.showsIcon, c.icon);
    }
}

// The folder dialog: its title, cancelling, a folder, a drive and a folder
// without a file-system path.
class FolderDialog : public testing::Test {
protected:
    std::wstring choose(const std::vector<std::wstring>& a_select, bool a_confirm = true) {
        std::wstring title;
        std::wstring caption;
        std::vector<std::wstring> buttons;
        bool editBox = false;
        bool selected = a_select.empty();
        std::wstring chosen;
        {
            User user([&](HWND a_dialog) {
                caption = driver::windowText(a_dialog);
                title = driver::folderDialogTitle(a_dialog);
                // The new style's button for folders, and the edit box.
                buttons = driver::readMessageBox(a_dialog).buttons;
                editBox = driver::hasEditBox(a_dialog);
                if (!a_select.empty()) {
                    selected = driver::selectFolder(a_dialog, a_select);
                }
                driver::press(a_dialog, a_confirm && selected ? IDOK : IDCANCEL);
            });
            chosen = host.chooseJavaFolder(MessageTexts().text(MessageKey::folderDialogTitle));
        }
        EXPECT_TRUE(selected);
        EXPECT_EQ(title, expected::folderDialogTitle);
        EXPECT_EQ(caption, L"Browse for Folder");
        EXPECT_EQ(buttons, (std::vector<std::wstring>{L"&Make New Folder", L"OK", L"Cancel"}));
        EXPECT_TRUE(editBox);
        return chosen;
    }

    SystemHost host;
};

TEST_F(FolderDialog, CancellingGivesAnEmptyTextEveryTime) {
    EXPECT_EQ(choose({}, false), L"");
    EXPECT_EQ(choose({}, false), L"");
}

TEST_F(FolderDialog, AFolderComesBackWithoutABackslash) {
    const std::wstring folder =
        L"C:\\tavrin-dialog-" + std::to_wstring(GetCurrentProcessId()) + L"\\Java 17\\bin";
    makeDirectories(folder);
    EXPECT_EQ(choose(driver::folderDialogPath(folder)), folder);
    removeTree(L"C:\\tavrin-dialog-" + std::to_wstring(GetCurrentProcessId()));
}

TEST_F(FolderDialog, ADriveRootComesBackWithItsBackslash) {
    EXPECT_EQ(choose({L"My Computer", L"(C:)"}), L"C:\\");
}

TEST_F(FolderDialog, AVirtualFolderGivesAnEmptyText) {
    EXPECT_EQ(choose({L"My Computer", L"Control Panel"}), L"");
}

TEST_F(FolderDialog, LeavesTheThreadsComStateAsItFoundIt) {
    choose({}, false);
    // Not initialised before, so not initialised after.
    const HRESULT fresh = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(fresh, S_OK);
    // Initialised differently before: still so after, and still usable.
    choose({}, false);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}

} // namespace
