#include "platform/Window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/LastError.h"
#include "platform/MessageQueue.h"
#include "platform/SystemMetrics.h"
#include "platform/TestWindows.h"
#include "platform/WindowObserver.h"

namespace tavopix {
namespace {

using test::TestWindows;

class WindowTest : public TestWindows {
protected:
    void TearDown() override {
        TestWindows::TearDown();
        SetScreenMetrics(DEFAULT_SCREEN_WIDTH, DEFAULT_SCREEN_HEIGHT, DEFAULT_SCREEN_WIDTH,
                         DEFAULT_WORK_AREA_HEIGHT);
    }

    // The messages of `hwnd` with one of the numbers of interest, in arrival order.
    std::vector<UINT> Trace(HWND hwnd, std::initializer_list<UINT> numbers) const {
        std::vector<UINT> trace;
        for (const auto& logged : log_) {
            if (logged.hwnd == hwnd &&
                std::find(numbers.begin(), numbers.end(), logged.message) != numbers.end()) {
                trace.push_back(logged.message);
            }
        }
        return trace;
    }
};

// ---- Classes and creation ---------------------------------------------------------------------

TEST_F(WindowTest, ClassesAreRegisteredOnceAndKeptWhileTheyHaveWindows) {
    WNDCLASSEX windowClass;
    windowClass.lpszClassName = kClassName;
    windowClass.lpfnWndProc = &DefWindowProc;
    EXPECT_EQ(RegisterClassEx(windowClass), 0);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

    windowClass.lpszClassName = u"plain";
    ASSERT_NE(RegisterClassEx(windowClass), 0);
    const HWND hwnd = CreateWindowEx(0, u"plain", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
    ASSERT_TRUE(hwnd);
    EXPECT_FALSE(UnregisterClass(u"plain"));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
    DestroyWindow(hwnd);
    EXPECT_TRUE(UnregisterClass(u"plain"));
    EXPECT_FALSE(GetClassInfoEx(u"plain", nullptr));
    EXPECT_FALSE(CreateWindowEx(0, u"plain", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

TEST_F(WindowTest, AProcedureMayDestroyItsWindowAndUnregisterItsClassWhileRunning) {
    // The procedure object runs on after both are gone (the address sanitizer watches).
    int afterwards = 0;
    WNDCLASSEX windowClass;
    windowClass.lpszClassName = u"self-removing";
    windowClass.lpfnWndProc = [&afterwards](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_USER) {
            EXPECT_TRUE(DestroyWindow(hwnd));
            EXPECT_TRUE(UnregisterClass(u"self-removing"));
            afterwards = 1;
            return LRESULT{5};
        }
        return DefWindowProc(hwnd, message, wParam, lParam);
    };
    ASSERT_NE(RegisterClassEx(windowClass), 0);
    const HWND hwnd =
        CreateWindowEx(0, u"self-removing", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
    PostMessage(hwnd, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(DispatchMessage(&msg), 5);
    EXPECT_EQ(afterwards, 1);
    EXPECT_FALSE(GetClassInfoEx(u"self-removing", nullptr));
}

TEST_F(WindowTest, CreationPassesItsArgumentsAndStartsHiddenEnabledUnowned) {
    const HWND hwnd = Create({}, nullptr, RECT{10, 20, 110, 70});
    ASSERT_TRUE(hwnd);
    const auto created = Logged(WM_CREATE);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].hwnd, hwnd);
    RECT rect;
    ASSERT_TRUE(GetWindowRect(hwnd, &rect));
    EXPECT_EQ(rect, (RECT{10, 20, 110, 70}));
    ASSERT_TRUE(GetClientRect(hwnd, &rect));
    EXPECT_EQ(rect, (RECT{0, 0, 100, 50}));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_TRUE(IsWindowEnabled(hwnd));
    EXPECT_FALSE(GetWindow(hwnd, GW_OWNER));
    EXPECT_EQ(GetWindowLongPtr(hwnd, GWL_STYLE), static_cast<LONG_PTR>(WS_POPUP));
}

TEST_F(WindowTest, AWindowRefusedByItsCreateHandlerNeverExists) {
    HWND refused;
    const HWND hwnd =
        Create([&](HWND self, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_CREATE) {
                refused = self;
                return -1;
            }
            return std::nullopt;
        });
    EXPECT_FALSE(hwnd);
    EXPECT_FALSE(IsWindow(refused));
    EXPECT_EQ(Trace(refused, {WM_CREATE, WM_DESTROY}), (std::vector<UINT>{WM_CREATE, WM_DESTROY}));
    EXPECT_TRUE(ListWindows().empty());
}

TEST_F(WindowTest, CreatingWithADeadOwnerFails) {
    const HWND owner = Create();
    DestroyWindow(owner);
    EXPECT_FALSE(Create({}, owner));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

// ---- Destruction ------------------------------------------------------------------------------

TEST_F(WindowTest, DestroyingAnOwnerDestroysWhatItOwnsFirst) {
    std::vector<HWND> destroyed;
    const auto recordDestroy = [&](HWND self, UINT message, WPARAM, LPARAM) {
        if (message == WM_DESTROY) {
            destroyed.push_back(self);
            EXPECT_TRUE(IsWindow(self)) << "still a window while WM_DESTROY runs";
        }
        return std::optional<LRESULT>();
    };
    const HWND owner = Create(recordDestroy);
    const HWND dialog = Create(recordDestroy, owner);
    const HWND box = Create(recordDestroy, dialog);
    const HWND unrelated = Create(recordDestroy);
    EXPECT_EQ(GetWindow(box, GW_OWNER), dialog);

    ASSERT_TRUE(DestroyWindow(owner));
    EXPECT_EQ(destroyed, (std::vector<HWND>{box, dialog, owner}));
    EXPECT_EQ(ListWindows(), (std::vector<HWND>{unrelated}));
}

TEST_F(WindowTest, DestroyingFromItsOwnDestroyHandlerIsHarmless) {
    const HWND hwnd = Create([](HWND self, UINT message, WPARAM, LPARAM) {
        if (message == WM_DESTROY) {
            EXPECT_TRUE(DestroyWindow(self));
        }
        return std::optional<LRESULT>();
    });
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(Logged(WM_DESTROY).size(), 1u);
}

TEST_F(WindowTest, EveryCallOnADeadHandleFailsQuietly) {
    const HWND hwnd = Create();
    DestroyWindow(hwnd);
    RECT rect;
    WINDOWPLACEMENT placement;
    POINT point;
    EXPECT_FALSE(GetWindowRect(hwnd, &rect));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(GetWindowPlacement(hwnd, &placement));
    EXPECT_FALSE(MoveWindow(hwnd, 0, 0, 1, 1, true));
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
    EXPECT_FALSE(EnableWindow(hwnd, false));
    EXPECT_FALSE(IsWindowEnabled(hwnd));
    EXPECT_FALSE(SetWindowText(hwnd, u"x"));
    EXPECT_EQ(GetWindowText(hwnd), u"");
    EXPECT_EQ(SetWindowLongPtr(hwnd, GWLP_USERDATA, 5), 0);
    EXPECT_EQ(GetWindowLongPtr(hwnd, GWLP_USERDATA), 0);
    EXPECT_FALSE(ScreenToClient(hwnd, &point));
    EXPECT_FALSE(SetForegroundWindow(hwnd));
}

// ---- Values -----------------------------------------------------------------------------------

TEST_F(WindowTest, EnableWindowReportsThePreviousStateAndNotifiesOnChange) {
    const HWND hwnd = Create();
    EXPECT_FALSE(EnableWindow(hwnd, false)) << "was enabled";
    EXPECT_FALSE(IsWindowEnabled(hwnd));
    EXPECT_TRUE(EnableWindow(hwnd, false)) << "was disabled";
    EXPECT_TRUE(GetWindowLongPtr(hwnd, GWL_STYLE) & WS_DISABLED);
    EXPECT_TRUE(EnableWindow(hwnd, true));
    const auto enables = Logged(WM_ENABLE);
    ASSERT_EQ(enables.size(), 2u);
    EXPECT_EQ(enables[0].wParam, 0u);
    EXPECT_EQ(enables[1].wParam, 1u);
}

// ---- Show states ------------------------------------------------------------------------------

TEST_F(WindowTest, MaximiseCoversTheWorkAreaAndRestoreReturnsToTheNormalRectangle) {
    SetScreenMetrics(1600, 1000, 1600, 960);
    const HWND hwnd = Create({}, nullptr, RECT{100, 50, 500, 350});
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOWNORMAL));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(ShowWindow(hwnd, SW_MAXIMIZE));
    EXPECT_TRUE(IsZoomed(hwnd));
    RECT rect;
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect, (RECT{0, 0, 1600, 960}));
    WINDOWPLACEMENT placement;
    ASSERT_TRUE(GetWindowPlacement(hwnd, &placement));
    EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    EXPECT_EQ(placement.rcNormalPosition, (RECT{100, 50, 500, 350}));
    const auto sizes = Logged(WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].wParam, SIZE_MAXIMIZED);
    EXPECT_EQ(sizes[0].lParam, MAKELPARAM(1600, 960));

    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(IsZoomed(hwnd));
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect, (RECT{100, 50, 500, 350}));
    EXPECT_EQ(Logged(WM_SIZE).back().wParam, SIZE_RESTORED);
    EXPECT_EQ(Logged(WM_MOVE).back().lParam, MAKELPARAM(100, 50));
}

TEST_F(WindowTest, MaximisingRespectsTheTrackingLimitsTheProcedureSets) {
    const HWND hwnd = Create([](HWND, UINT message, WPARAM, LPARAM lParam) {
        if (message == WM_GETMINMAXINFO) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMaxTrackSize = POINT{800, 600};
        }
        return std::optional<LRESULT>();
    });
    ShowWindow(hwnd, SW_MAXIMIZE);
    RECT rect;
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect, (RECT{0, 0, 800, 600}));
    MINMAXINFO info;
    ASSERT_TRUE(GetMinMaxInfo(hwnd, &info));
    EXPECT_EQ(info.ptMaxTrackSize, (POINT{800, 600}));
    EXPECT_EQ(info.ptMinTrackSize, (POINT{MIN_TRACK_WIDTH, MIN_TRACK_HEIGHT}));
    EXPECT_EQ(info.ptMaxSize, (POINT{DEFAULT_SCREEN_WIDTH, DEFAULT_WORK_AREA_HEIGHT}));
}

TEST_F(WindowTest, RestoringAMinimisedWindowReturnsToTheStateBefore) {
    const HWND hwnd = Create();
    ShowWindow(hwnd, SW_MAXIMIZE);
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_FALSE(IsZoomed(hwnd));
    EXPECT_EQ(Logged(WM_SIZE).back().wParam, SIZE_MINIMIZED);
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_TRUE(IsZoomed(hwnd));
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(IsZoomed(hwnd));
    EXPECT_FALSE(IsIconic(hwnd));
}

TEST_F(WindowTest, MoveWindowSendsMoveAndSizeOnlyForWhatChanged) {
    const HWND hwnd = Create({}, nullptr, RECT{0, 0, 100, 100});
    MoveWindow(hwnd, -20, 30, 100, 100, true);
    EXPECT_EQ(Trace(hwnd, {WM_MOVE, WM_SIZE}), (std::vector<UINT>{WM_MOVE}));
    EXPECT_EQ(GET_X_LPARAM(Logged(WM_MOVE)[0].lParam), -20);
    MoveWindow(hwnd, -20, 30, 300, 200, true);
    EXPECT_EQ(Trace(hwnd, {WM_MOVE, WM_SIZE}), (std::vector<UINT>{WM_MOVE, WM_SIZE}));
    EXPECT_EQ(Logged(WM_SIZE)[0].lParam, MAKELPARAM(300, 200));
}

TEST_F(WindowTest, MovingAMaximisedWindowOnlyChangesWhereItRestoresTo) {
    const HWND hwnd = Create();
    ShowWindow(hwnd, SW_MAXIMIZE);
    MoveWindow(hwnd, 5, 5, 200, 100, true);
    EXPECT_TRUE(IsZoomed(hwnd));
    ShowWindow(hwnd, SW_RESTORE);
    RECT rect;
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect, (RECT{5, 5, 205, 105}));
}

// ---- Activation -------------------------------------------------------------------------------

TEST_F(WindowTest, ShowingActivatesAndClosingADialogHandsActivationBackToItsOwner) {
    const HWND main = Create();
    ShowWindow(main, SW_SHOWNORMAL);
    EXPECT_EQ(GetActiveWindow(), main);
    const HWND dialog = Create({}, main);
    EnableWindow(main, false);
    ShowWindow(dialog, SW_SHOWNORMAL);
    EXPECT_EQ(GetActiveWindow(), dialog);
    EXPECT_EQ(Logged(WM_ACTIVATE).back().hwnd, dialog);

    // A frame closing re-enables its owner and brings it forward before it is destroyed.
    EnableWindow(main, true);
    EXPECT_TRUE(SetForegroundWindow(main));
    DestroyWindow(dialog);
    EXPECT_EQ(GetActiveWindow(), main);

    // Destroying the active dialog without that still hands activation to the owner.
    const HWND second = Create({}, main);
    ShowWindow(second, SW_SHOWNORMAL);
    DestroyWindow(second);
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_EQ(LOWORD(Logged(WM_ACTIVATE).back().wParam), WA_ACTIVE);
}

TEST_F(WindowTest, HiddenOrDisabledWindowsCannotBeActivated) {
    const HWND hidden = Create();
    EXPECT_FALSE(SetActiveWindow(hidden));
    EXPECT_FALSE(SetForegroundWindow(hidden));
    const HWND disabled = Create();
    ShowWindow(disabled, SW_SHOWNA);
    EnableWindow(disabled, false);
    EXPECT_FALSE(SetForegroundWindow(disabled));
    EXPECT_FALSE(GetActiveWindow());
}

TEST_F(WindowTest, HidingTheActiveWindowLeavesNoneActiveWithoutAnOwner) {
    const HWND hwnd = Create();
    ShowWindow(hwnd, SW_SHOW);
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_EQ(GetActiveWindow(), hwnd) << "a minimised window without owner stays active";
    ShowWindow(hwnd, SW_HIDE);
    EXPECT_FALSE(GetActiveWindow());
}

// ---- Default handling -------------------------------------------------------------------------

TEST_F(WindowTest, DefaultHandlingClosesAndCarriesOutSystemCommands) {
    const HWND hwnd = Create();
    SendMessage(hwnd, WM_SYSCOMMAND, SC_MAXIMIZE | 2, 0);  // with the low bits the system adds
    EXPECT_TRUE(IsZoomed(hwnd));
    SendMessage(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(hwnd));
    SendMessage(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(IsZoomed(hwnd));
    EXPECT_EQ(SendMessage(hwnd, WM_NCHITTEST, 0, 0), HTCLIENT);
    SendMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Logged(WM_CLOSE).size(), 1u);
    EXPECT_FALSE(IsWindow(hwnd));
}

// ---- Coordinates and metrics ------------------------------------------------------------------

TEST_F(WindowTest, PointsMapBetweenScreenAndWindows) {
    const HWND a = Create({}, nullptr, RECT{100, 200, 300, 400});
    const HWND b = Create({}, nullptr, RECT{10, 20, 30, 40});
    POINT point{150, 250};
    ASSERT_TRUE(ScreenToClient(a, &point));
    EXPECT_EQ(point, (POINT{50, 50}));
    ASSERT_TRUE(ClientToScreen(a, &point));
    EXPECT_EQ(point, (POINT{150, 250}));
    POINT points[2] = {{0, 0}, {1, 1}};
    ASSERT_TRUE(MapWindowPoints(a, b, points, 2));
    EXPECT_EQ(points[0], (POINT{90, 180}));
    EXPECT_EQ(points[1], (POINT{91, 181}));
}

TEST_F(WindowTest, ScreenMetricsDefaultUntilTheViewSetsThem) {
    EXPECT_EQ(GetSystemMetrics(SM_CXMAXIMIZED), DEFAULT_SCREEN_WIDTH);
    EXPECT_EQ(GetSystemMetrics(SM_CYMAXIMIZED), DEFAULT_WORK_AREA_HEIGHT);
    SetScreenMetrics(1280, 800, 1280, 760);
    SetScreenMetrics(0, -1, 0, 0);  // nonsense from a view that is not ready: ignored
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CXMAXIMIZED), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYMAXIMIZED), 760);
    EXPECT_EQ(GetSystemMetrics(12345), 0);
}

// ---- Observers --------------------------------------------------------------------------------

class RecordingObserver : public WindowObserver {
public:
    void OnWindowCreated(HWND hwnd) override { events.emplace_back("created", hwnd); }
    void OnWindowDestroyed(HWND hwnd) override { events.emplace_back("destroyed", hwnd); }
    void OnWindowShowStateChanged(HWND hwnd) override { events.emplace_back("shown", hwnd); }
    void OnWindowMoved(HWND hwnd) override { events.emplace_back("moved", hwnd); }
    void OnWindowEnabledChanged(HWND hwnd) override { events.emplace_back("enabled", hwnd); }
    void OnWindowTitleChanged(HWND hwnd) override { events.emplace_back("title", hwnd); }
    void OnActiveWindowChanged(HWND hwnd) override { events.emplace_back("active", hwnd); }
    void OnMessageDispatched() override { events.emplace_back("dispatched", HWND()); }

    std::vector<std::pair<std::string, HWND>> events;
};

TEST_F(WindowTest, TheObserverSeesEveryChangeAfterItIsMade) {
    RecordingObserver observer;
    AddWindowObserver(&observer);
    AddWindowObserver(&observer);  // once only
    const HWND hwnd = Create([&](HWND self, UINT message, WPARAM, LPARAM) {
        if (message == WM_USER) {
            SetWindowText(self, u"t");
        }
        return std::optional<LRESULT>();
    });
    ShowWindow(hwnd, SW_SHOWNORMAL);
    MoveWindow(hwnd, 1, 2, 3, 4, true);
    EnableWindow(hwnd, false);
    EnableWindow(hwnd, false);  // no change, no event
    PostMessage(hwnd, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    DispatchMessage(&msg);
    DestroyWindow(hwnd);
    RemoveWindowObserver(&observer);
    Create();
    const std::vector<std::pair<std::string, HWND>> expected{
        {"created", hwnd},  {"shown", hwnd},     {"active", hwnd},
        {"moved", hwnd},    {"enabled", hwnd},   {"title", hwnd},
        {"dispatched", {}}, {"destroyed", hwnd}, {"active", {}}};
    EXPECT_EQ(observer.events, expected);
}

class IdleObserver : public WindowObserver {
public:
    void OnQueueIdle() override {
        ++idleCount;
        PostMessage(target, WM_USER, static_cast<WPARAM>(idleCount), 0);
    }
    HWND target;
    int idleCount = 0;
};

TEST_F(WindowTest, TheObserverIsToldBeforeTheLoopSleepsAndMayPostThen) {
    IdleObserver observer;
    observer.target = Create();
    AddWindowObserver(&observer);
    PostMessage(observer.target, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(observer.idleCount, 0) << "not idle while something is queued";
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));  // would sleep for ever without the post
    EXPECT_EQ(observer.idleCount, 1);
    EXPECT_EQ(msg.wParam, 1u);
    RemoveWindowObserver(&observer);
}

}  // namespace
}  // namespace tavopix
