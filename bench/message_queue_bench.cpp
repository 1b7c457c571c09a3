// Throughput of the UI thread's message queue: one million messages posted and dispatched to a
// window, posted from the UI thread itself and from four worker threads at once. Beside it the
// queue most programs would write instead: a std::deque under a std::mutex with a
// std::condition_variable, whose consumer calls a handler for each message.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/MessageQueue.h"
#include "platform/Window.h"

namespace tavopix {
namespace {

constexpr int kMessages = 1'000'000;
constexpr UINT WM_BENCH = WM_USER + 1;

// ---- The queue of this program ------------------------------------------------------------------

std::int64_t handledCount = 0;

HWND BenchWindow() {
    static const bool registered = [] {
        WNDCLASSEX windowClass;
        windowClass.lpszClassName = u"bench-window";
        windowClass.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_BENCH) {
                handledCount += static_cast<std::int64_t>(wParam) & 1;
                return LRESULT{0};
            }
            return DefWindowProc(hwnd, message, wParam, lParam);
        };
        return RegisterClassEx(windowClass) != 0;
    }();
    benchmark::DoNotOptimize(registered);
    return CreateWindowEx(0, u"bench-window", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
}

void DispatchUntil(int count) {
    MSG msg;
    for (int i = 0; i < count && GetMessage(&msg, nullptr, 0, 0); ++i) {
        DispatchMessage(&msg);
    }
}

void PostFrom(int threads, HWND hwnd) {
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([hwnd, threads] {
            for (int i = 0; i < kMessages / threads; ++i) {
                PostMessage(hwnd, WM_BENCH, static_cast<WPARAM>(i), 0);
            }
        });
    }
    DispatchUntil(kMessages);
    for (auto& poster : posters) {
        poster.join();
    }
}

void BM_WindowQueue_OneThread(benchmark::State& state) {
    const HWND hwnd = BenchWindow();
    for (auto _ : state) {
        for (int i = 0; i < kMessages; ++i) {
            PostMessage(hwnd, WM_BENCH, static_cast<WPARAM>(i), 0);
        }
        DispatchUntil(kMessages);
    }
    DestroyWindow(hwnd);
    state.SetItemsProcessed(state.iterations() * kMessages);
}

void BM_WindowQueue_FourPosters(benchmark::State& state) {
    const HWND hwnd = BenchWindow();
    for (auto _ : state) {
        PostFrom(4, hwnd);
    }
    DestroyWindow(hwnd);
    state.SetItemsProcessed(state.iterations() * kMessages);
}

// ---- The plain queue --------------------------------------------------------------------------

struct PlainMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class PlainQueue {
public:
    void Post(const PlainMessage& message) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(message);
        }
        ready_.notify_one();
    }
    PlainMessage Take() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return !queue_.empty(); });
        const PlainMessage message = queue_.front();
        queue_.pop_front();
        return message;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<PlainMessage> queue_;
};

void PlainDispatchUntil(PlainQueue& queue, const std::function<void(const PlainMessage&)>& handler,
                        int count) {
    for (int i = 0; i < count; ++i) {
        handler(queue.Take());
    }
}

const std::function<void(const PlainMessage&)> kPlainHandler = [](const PlainMessage& message) {
    if (message.message == WM_BENCH) {
        handledCount += static_cast<std::int64_t>(message.wParam) & 1;
    }
};

void BM_PlainQueue_OneThread(benchmark::State& state) {
    PlainQueue queue;
    for (auto _ : state) {
        for (int i = 0; i < kMessages; ++i) {
            queue.Post(PlainMessage{WM_BENCH, static_cast<WPARAM>(i), 0});
        }
        PlainDispatchUntil(queue, kPlainHandler, kMessages);
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}

void BM_PlainQueue_FourPosters(benchmark::State& state) {
    PlainQueue queue;
    for (auto _ : state) {
        std::vector<std::thread> posters;
        for (int t = 0; t < 4; ++t) {
            posters.emplace_back([&queue] {
                for (int i = 0; i < kMessages / 4; ++i) {
                    queue.Post(PlainMessage{WM_BENCH, static_cast<WPARAM>(i), 0});
                }
            });
        }
        PlainDispatchUntil(queue, kPlainHandler, kMessages);
        for (auto& poster : posters) {
            poster.join();
        }
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}

BENCHMARK(BM_WindowQueue_OneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainQueue_OneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WindowQueue_FourPosters)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainQueue_FourPosters)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tavopix

BENCHMARK_MAIN();
