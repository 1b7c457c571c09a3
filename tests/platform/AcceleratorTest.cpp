#include "platform/Accelerator.h"

#include <gtest/gtest.h>

#include "platform/MessageQueue.h"
#include "platform/TestWindows.h"

namespace tavopix {
namespace {

using AcceleratorTest = test::TestWindows;

MSG Key(HWND hwnd, UINT message, char16_t key, LPARAM keyData = 0) {
    return MSG{hwnd, message, static_cast<WPARAM>(key), keyData, 0};
}

TEST_F(AcceleratorTest, AltWithQuestionMarkOrSlashBecomesTheHelpKeyCommand) {
    const HWND hwnd = Create();
    const HACCEL table = LoadAccelerators(IDR_FRAME_ACCELERATORS);
    ASSERT_NE(table, nullptr);

    MSG sysChar = Key(hwnd, WM_SYSCHAR, u'?', KEY_DATA_ALT_DOWN);
    EXPECT_TRUE(TranslateAccelerator(hwnd, table, &sysChar));
    MSG charWithAlt = Key(hwnd, WM_CHAR, u'/', KEY_DATA_ALT_DOWN);
    EXPECT_TRUE(TranslateAccelerator(hwnd, table, &charWithAlt));

    const auto commands = Logged(WM_COMMAND);
    ASSERT_EQ(commands.size(), 2u);
    for (const auto& command : commands) {
        EXPECT_EQ(command.hwnd, hwnd);
        EXPECT_EQ(LOWORD(command.wParam), IDM_FRAME_HELP_KEY);
        EXPECT_EQ(HIWORD(command.wParam), 1) << "marked as coming from an accelerator";
    }
    EXPECT_TRUE(DestroyAcceleratorTable(table));
}

TEST_F(AcceleratorTest, OtherKeysPassThroughToDispatch) {
    const HWND hwnd = Create();
    const HACCEL table = LoadAccelerators(IDR_FRAME_ACCELERATORS);
    const MSG plainSlash = Key(hwnd, WM_CHAR, u'/');
    const MSG altOther = Key(hwnd, WM_SYSCHAR, u'x', KEY_DATA_ALT_DOWN);
    const MSG keyDown = Key(hwnd, WM_SYSKEYDOWN, u'?', KEY_DATA_ALT_DOWN);
    const MSG notAKey = MSG{hwnd, WM_USER, u'?', KEY_DATA_ALT_DOWN, 0};
    for (const MSG& msg : {plainSlash, altOther, keyDown, notAKey}) {
        EXPECT_FALSE(TranslateAccelerator(hwnd, table, &msg)) << msg.message;
    }
    EXPECT_TRUE(Logged(WM_COMMAND).empty());
}

TEST_F(AcceleratorTest, NoTableOrNoWindowTranslatesNothing) {
    EXPECT_EQ(LoadAccelerators(0), nullptr);
    EXPECT_EQ(LoadAccelerators(110), nullptr);
    const HWND hwnd = Create();
    const MSG msg = Key(hwnd, WM_SYSCHAR, u'?', KEY_DATA_ALT_DOWN);
    EXPECT_FALSE(TranslateAccelerator(hwnd, nullptr, &msg));
    DestroyWindow(hwnd);
    EXPECT_FALSE(TranslateAccelerator(hwnd, LoadAccelerators(IDR_FRAME_ACCELERATORS), &msg));
    EXPECT_FALSE(TranslateAccelerator(nullptr, LoadAccelerators(IDR_FRAME_ACCELERATORS), &msg));
}

}  // namespace
}  // namespace tavopix
