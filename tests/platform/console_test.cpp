#include "platform/console.h"

#include <gtest/gtest.h>

namespace {

PHANDLER_ROUTINE installedHandler = nullptr;
BOOL handlerAdded = FALSE;

BOOL WINAPI recordInstall(PHANDLER_ROUTINE a_handler, BOOL a_add) {
    installedHandler = a_handler;
    handlerAdded = a_add;
    return TRUE;
}

// Wine delivers no console control events here (GenerateConsoleCtrlEvent
// fails with ERROR_INVALID_HANDLE, even in a console of the caller's own), so
// the handler is checked through the seam that installs it.
TEST(OutlastConsoleEvents, InstallsAHandlerThatAnswersTrueToEachEvent) {
    EXPECT_TRUE(outlastConsoleEvents(recordInstall));
    // A null handler would ignore the events, and be inherited by the child.
    ASSERT_NE(installedHandler, nullptr);
    EXPECT_TRUE(handlerAdded);
    for (DWORD event : {CTRL_C_EVENT, CTRL_BREAK_EVENT, CTRL_CLOSE_EVENT}) {
        EXPECT_TRUE(installedHandler(event)) << event;
    }
}

} // namespace
