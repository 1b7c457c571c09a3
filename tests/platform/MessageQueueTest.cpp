#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/TestWindows.h"
#include "platform/Window.h"

namespace tavopix {
namespace {

using test::TestWindows;

constexpr UINT WM_PING = WM_USER + 1;
constexpr UINT WM_OPEN_DIALOG = WM_USER + 2;
constexpr UINT WM_RECORD = WM_USER + 3;
constexpr UINT WM_OTHER_RECORD = WM_USER + 4;

// A heap record as workers post them; counts live instances so a test can prove none leaked.
struct Record {
    static inline std::atomic<int> live{0};
    explicit Record(int v) : value(v) { ++live; }
    ~Record() { --live; }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    int value;
};

struct OtherRecord {
    static inline std::atomic<int> live{0};
    OtherRecord() { ++live; }
    ~OtherRecord() { --live; }
    OtherRecord(const OtherRecord&) = delete;
    OtherRecord& operator=(const OtherRecord&) = delete;
};

class MessageQueueTest : public TestWindows {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(RegisterMessageRecord(WM_RECORD, &DeleteLParamRecord<Record>));
        ASSERT_TRUE(RegisterMessageRecord(WM_OTHER_RECORD, &DeleteWParamRecord<OtherRecord>));
    }
    void TearDown() override {
        TestWindows::TearDown();
        EXPECT_EQ(Record::live, 0);
        EXPECT_EQ(OtherRecord::live, 0);
    }
};

// ---- Posting, peeking, dispatching ------------------------------------------------------------

TEST_F(MessageQueueTest, PostedMessagesArriveInOrderWithTheirParameters) {
    std::vector<std::pair<UINT, WPARAM>> seen;
    const HWND hwnd = Create([&](HWND, UINT message, WPARAM wParam, LPARAM) {
        if (message >= WM_USER) {
            seen.emplace_back(message, wParam);
        }
        return std::optional<LRESULT>(7);
    });
    ASSERT_TRUE(PostMessage(hwnd, WM_PING, 1, 0));
    ASSERT_TRUE(PostMessage(hwnd, WM_OPEN_DIALOG, 2, 0));
    ASSERT_TRUE(PostMessage(hwnd, WM_PING, 3, 0));
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        EXPECT_EQ(msg.hwnd, hwnd);
        EXPECT_EQ(DispatchMessage(&msg), 7);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<UINT, WPARAM>>{
                        {WM_PING, 1}, {WM_OPEN_DIALOG, 2}, {WM_PING, 3}}));
}

TEST_F(MessageQueueTest, PeekFiltersByWindowAndRangeAndRemovesOnlyWhatItTakes) {
    const HWND a = Create();
    const HWND b = Create();
    PostMessage(a, WM_USER + 10, 1, 0);
    PostMessage(b, WM_USER + 11, 2, 0);
    PostMessage(a, WM_USER + 12, 3, 0);
    PostMessage(b, WM_USER + 10, 4, 0);

    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, b, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessage(&msg, nullptr, WM_USER + 12, WM_USER + 20, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessage(&msg, a, WM_USER + 11, WM_USER + 12, PM_REMOVE));
    ASSERT_TRUE(PeekMessage(&msg, b, WM_USER + 10, WM_USER + 10, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 4u);

    // What is left keeps its order.
    std::vector<WPARAM> rest;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        rest.push_back(msg.wParam);
    }
    EXPECT_EQ(rest, (std::vector<WPARAM>{1, 2}));
}

TEST_F(MessageQueueTest, GetMessageWithAFilterLeavesOtherMessagesQueued) {
    const HWND a = Create();
    const HWND b = Create();
    PostMessage(a, WM_PING, 1, 0);
    PostMessage(b, WM_PING, 2, 0);
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, b, 0, 0));
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
}

TEST_F(MessageQueueTest, MessagesTakenByTheLoopAndPostedLaterKeepOneOrder) {
    // GetMessage moves everything posted so far out of the shared queue at once; what is posted
    // afterwards must still come after it, for every way of looking.
    const HWND hwnd = Create();
    for (WPARAM i = 1; i <= 3; ++i) {
        PostMessage(hwnd, WM_PING, i, 0);
    }
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 1u);
    PostMessage(hwnd, WM_RECORD, 0, reinterpret_cast<LPARAM>(new Record(4)));
    PostMessage(hwnd, WM_PING, 5, 0);
    ASSERT_TRUE(PeekMessage(&msg, hwnd, WM_PING, WM_PING, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(DiscardQueuedMessages(hwnd, WM_RECORD, WM_RECORD), 1u);
    std::vector<WPARAM> rest;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        rest.push_back(msg.wParam);
    }
    EXPECT_EQ(rest, (std::vector<WPARAM>{2, 3, 5}));
}

TEST_F(MessageQueueTest, ThreadMessagesAreReturnedButNotDispatched) {
    ASSERT_TRUE(PostMessage(nullptr, WM_PING, 5, 6));
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_FALSE(msg.hwnd);
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_EQ(DispatchMessage(&msg), 0);
}

TEST_F(MessageQueueTest, ADestroyedWindowRefusesPostsAndSendsEvenAfterItsSlotIsReused) {
    int handled = 0;
    const HWND old = Create([&](HWND, UINT message, WPARAM, LPARAM) {
        handled += message == WM_PING;
        return std::nullopt;
    });
    ASSERT_TRUE(DestroyWindow(old));
    const HWND reused = Create();
    EXPECT_NE(reused, old);
    EXPECT_FALSE(IsWindow(old));
    EXPECT_FALSE(PostMessage(old, WM_PING, 0, 0));
    EXPECT_EQ(SendMessage(old, WM_PING, 0, 0), 0);
    EXPECT_FALSE(DestroyWindow(old));
    EXPECT_EQ(handled, 0);
    MSG msg;
    EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

// ---- Nested loops and quit --------------------------------------------------------------------

TEST_F(MessageQueueTest, ADialogLoopInsideAHandlerReturnsToItAndOnlyTheInnermostLoopEnds) {
    std::vector<std::string> trace;
    const auto dialogHandler = [&](HWND hwnd, UINT message, WPARAM wParam,
                                   LPARAM) -> std::optional<LRESULT> {
        if (message == WM_PING) {
            trace.push_back("dialog ping " + std::to_string(wParam));
            PostMessage(hwnd, WM_CLOSE, 0, 0);
        } else if (message == WM_DESTROY) {
            PostQuitMessage(42);
        }
        return std::nullopt;
    };
    const HWND main =
        Create([&](HWND hwnd, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_OPEN_DIALOG) {
                const HWND dialog = Create(dialogHandler, hwnd);
                PostMessage(dialog, WM_PING, 1, 0);
                trace.push_back("dialog returned " + std::to_string(RunLoop()));
                EXPECT_FALSE(IsWindow(dialog));
                PostMessage(hwnd, WM_PING, 3, 0);
            } else if (message == WM_PING) {
                // The owner's messages are handled by whichever loop runs, the dialog's included.
                trace.push_back("main ping " + std::to_string(wParam));
                if (wParam == 3) {
                    DestroyWindow(hwnd);
                }
            } else if (message == WM_DESTROY) {
                PostQuitMessage(7);
            }
            return std::nullopt;
        });
    PostMessage(main, WM_OPEN_DIALOG, 0, 0);
    PostMessage(main, WM_PING, 2, 0);
    EXPECT_EQ(RunLoop(), 7);
    EXPECT_EQ(trace, (std::vector<std::string>{"main ping 2", "dialog ping 1", "dialog returned 42",
                                               "main ping 3"}));
}

TEST_F(MessageQueueTest, DestroyingAnOwnerWithItsDialogOpenEndsBothLoops) {
    int dialogResult = -1;
    const HWND main =
        Create([&](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_OPEN_DIALOG) {
                Create(
                    [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
                        if (m == WM_DESTROY) {
                            PostQuitMessage(2);
                        }
                        return std::nullopt;
                    },
                    hwnd);
                PostMessage(hwnd, WM_CLOSE, 0, 0);
                dialogResult = RunLoop();
            } else if (message == WM_DESTROY) {
                PostQuitMessage(1);
            }
            return std::nullopt;
        });
    PostMessage(main, WM_OPEN_DIALOG, 0, 0);
    const int mainResult = RunLoop();
    EXPECT_FALSE(IsWindow(main));
    EXPECT_NE(dialogResult, -1);
    EXPECT_EQ(dialogResult + mainResult, 3) << "each loop took one of the two quits";
}

TEST_F(MessageQueueTest, AQuitPostedBeforeADeeperLoopStartsWaitsForItsOwnLoop) {
    // The dialog's handler destroys the dialog (its loop must end) and then, still inside the
    // same dispatch, runs a message box whose loop must not take that quit.
    std::vector<std::string> trace;
    const HWND main = Create([&](HWND hwnd, UINT message, WPARAM,
                                 LPARAM) -> std::optional<LRESULT> {
        if (message == WM_OPEN_DIALOG) {
            const HWND dialog = Create(
                [&](HWND self, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
                    if (m == WM_PING) {
                        DestroyWindow(self);
                        const HWND box = Create(
                            [&](HWND boxWindow, UINT bm, WPARAM, LPARAM) -> std::optional<LRESULT> {
                                if (bm == WM_PING) {
                                    trace.push_back("box ping");
                                    DestroyWindow(boxWindow);
                                } else if (bm == WM_DESTROY) {
                                    PostQuitMessage(3);
                                }
                                return std::nullopt;
                            },
                            hwnd);
                        PostMessage(box, WM_PING, 0, 0);
                        trace.push_back("box returned " + std::to_string(RunLoop()));
                    } else if (m == WM_DESTROY) {
                        PostQuitMessage(2);
                    }
                    return std::nullopt;
                },
                hwnd);
            PostMessage(dialog, WM_PING, 0, 0);
            trace.push_back("dialog returned " + std::to_string(RunLoop()));
            PostMessage(hwnd, WM_CLOSE, 0, 0);
        } else if (message == WM_DESTROY) {
            PostQuitMessage(1);
        }
        return std::nullopt;
    });
    PostMessage(main, WM_OPEN_DIALOG, 0, 0);
    EXPECT_EQ(RunLoop(), 1);
    EXPECT_EQ(trace, (std::vector<std::string>{"box ping", "box returned 3", "dialog returned 2"}));
}

TEST_F(MessageQueueTest, AQuitPostedOutsideAnyLoopEndsTheNextLoopAtOnce) {
    const HWND hwnd = Create();
    PostMessage(hwnd, WM_PING, 0, 0);
    PostQuitMessage(9);
    EXPECT_EQ(RunLoop(), 9);
    MSG msg;
    EXPECT_TRUE(PeekMessage(&msg, hwnd, 0, 0, PM_NOREMOVE)) << "the posted message stays queued";
}

TEST_F(MessageQueueTest, PurgingAWindowsMessagesNeverTakesAQuitButAQuitCanBeRemovedByName) {
    const HWND hwnd = Create();
    PostMessage(hwnd, WM_PING, 0, 0);
    PostQuitMessage(0);
    MSG msg;
    while (PeekMessage(&msg, hwnd, 0, 0, PM_REMOVE)) {
        EXPECT_NE(msg.message, WM_QUIT);
    }
    EXPECT_FALSE(PeekMessage(&msg, nullptr, WM_USER, WM_USER + 100, PM_REMOVE));
    // Undoing a quit that a failed window creation caused.
    ASSERT_TRUE(PeekMessage(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(MessageQueueTest, GetMessageEndsOnQuitWhateverItsFilter) {
    const HWND hwnd = Create();
    PostQuitMessage(5);
    MSG msg;
    EXPECT_FALSE(GetMessage(&msg, hwnd, WM_USER, WM_USER));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 5u);
}

// ---- Records of dropped messages --------------------------------------------------------------

TEST_F(MessageQueueTest, DestroyingAWindowFreesTheRecordsOfItsQueuedMessages) {
    const HWND doomed = Create();
    const HWND other = Create();
    PostMessage(doomed, WM_RECORD, 0, reinterpret_cast<LPARAM>(new Record(1)));
    PostMessage(doomed, WM_OTHER_RECORD, reinterpret_cast<WPARAM>(new OtherRecord), 0);
    PostMessage(other, WM_PING, 0, 0);
    EXPECT_EQ(Record::live, 1);
    EXPECT_EQ(OtherRecord::live, 1);

    DestroyWindow(doomed);
    EXPECT_EQ(Record::live, 0);
    EXPECT_EQ(OtherRecord::live, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, other);
    EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, AMessageWhoseWindowDiesBeforeDispatchIsDroppedWithItsRecord) {
    const HWND hwnd = Create();
    PostMessage(hwnd, WM_RECORD, 0, reinterpret_cast<LPARAM>(new Record(1)));
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    DestroyWindow(hwnd);
    EXPECT_EQ(Record::live, 1) << "taken from the queue: the caller's until dispatched";
    EXPECT_EQ(DispatchMessage(&msg), 0);
    EXPECT_EQ(Record::live, 0);
}

TEST_F(MessageQueueTest, DiscardRemovesARangeOfOneWindowAndFreesTheRecords) {
    const HWND worker = Create();
    const HWND other = Create();
    for (int i = 0; i < 3; ++i) {
        PostMessage(worker, WM_RECORD, 0, reinterpret_cast<LPARAM>(new Record(i)));
        PostMessage(worker, WM_PING, static_cast<WPARAM>(i), 0);
    }
    PostMessage(other, WM_RECORD, 0, reinterpret_cast<LPARAM>(new Record(9)));
    PostMessage(worker, WM_USER + 20, 0, 0);

    EXPECT_EQ(DiscardQueuedMessages(worker, WM_PING, WM_RECORD), 6u);
    EXPECT_EQ(Record::live, 1);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, other);
    delete reinterpret_cast<Record*>(msg.lParam);
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 20);
}

TEST_F(MessageQueueTest, DiscardWithAnExplicitDeleterUsesItInsteadOfTheRegisteredOne) {
    const HWND hwnd = Create();
    constexpr UINT kUnregistered = WM_USER + 50;
    PostMessage(hwnd, kUnregistered, reinterpret_cast<WPARAM>(new Record(1)), 0);
    PostMessage(hwnd, kUnregistered, reinterpret_cast<WPARAM>(new Record(2)), 0);
    EXPECT_EQ(
        DiscardQueuedMessages(hwnd, kUnregistered, kUnregistered, &DeleteWParamRecord<Record>), 2u);
    EXPECT_EQ(Record::live, 0);
}

TEST_F(MessageQueueTest, AMessageNumberKeepsTheRecordTypeItWasRegisteredWith) {
    EXPECT_TRUE(RegisterMessageRecord(WM_RECORD, &DeleteLParamRecord<Record>));
    EXPECT_FALSE(RegisterMessageRecord(WM_RECORD, &DeleteWParamRecord<Record>));
    EXPECT_FALSE(RegisterMessageRecord(WM_USER + 60, nullptr));
}

// ---- Threads ----------------------------------------------------------------------------------

TEST_F(MessageQueueTest, PostsFromSeveralThreadsKeepEachSendersOrderAndWakeTheLoop) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 5000;
    std::vector<int> next(kThreads, 0);
    int received = 0;
    bool inOrder = true;
    const HWND hwnd = Create(
        [&](HWND self, UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
            if (message == WM_PING) {
                const auto sender = static_cast<std::size_t>(wParam);
                inOrder = inOrder && lParam == next[sender];
                next[sender] = static_cast<int>(lParam) + 1;
                if (++received == kThreads * kPerThread) {
                    DestroyWindow(self);
                }
            } else if (message == WM_DESTROY) {
                PostQuitMessage(0);
            }
            return std::nullopt;
        });
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([hwnd, t] {
            for (int i = 0; i < kPerThread; ++i) {
                EXPECT_TRUE(PostMessage(hwnd, WM_PING, static_cast<WPARAM>(t), i));
                if (i % 500 == 0) {
                    std::this_thread::yield();
                }
            }
        });
    }
    EXPECT_EQ(RunLoop(), 0);
    for (auto& sender : senders) {
        sender.join();
    }
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(received, kThreads * kPerThread);
}

TEST_F(MessageQueueTest, RecordsPostedWhileTheReceiverIsDestroyedAreAllFreedOnce) {
    // Every record ends in exactly one place: the handler, the queue's deleter, or the poster
    // after a refused post. The record counter (and the address sanitizer) prove it.
    constexpr int kThreads = 3;
    int handled = 0;
    const HWND hwnd =
        Create([&](HWND self, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
            if (message == WM_RECORD) {
                delete reinterpret_cast<Record*>(lParam);
                if (++handled == 200) {
                    DestroyWindow(self);
                }
            } else if (message == WM_DESTROY) {
                PostQuitMessage(0);
            }
            return std::nullopt;
        });
    std::vector<std::thread> workers;
    std::atomic<int> refused{0};
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&refused, hwnd, t] {
            for (;;) {
                auto* record = new Record(t);
                if (!PostMessage(hwnd, WM_RECORD, 0, reinterpret_cast<LPARAM>(record))) {
                    delete record;
                    ++refused;
                    return;
                }
            }
        });
    }
    RunLoop();
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(handled, 200);
    EXPECT_EQ(refused, kThreads);
    EXPECT_EQ(Record::live, 0);
}

}  // namespace
}  // namespace tavopix
