// Load on a local albumd: many concurrent clients, each logged in with its own account, upload
// pictures and fetch their album list in a loop for a fixed time. At the end every acknowledged
// upload must be listed by the service, and no request may have failed. Prints throughput and
// latency percentiles.
//
//   albumd_load [--clients 50] [--seconds 30] [--picture-bytes 102400]
//
// Starts its own albumd (the one built beside it) on a temporary data folder on 127.0.0.1.
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "support/AlbumdProcess.h"
#include "support/RawHttp.h"

namespace {

using tavopix::test::AlbumdProcess;
using tavopix::test::Exchange;
using tavopix::test::Request;
using Clock = std::chrono::steady_clock;

struct Totals {
    std::mutex mutex;
    std::vector<double> uploadMs;
    std::vector<double> listMs;
    long errors = 0;
    long acknowledged = 0;
};

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// The text member `key` of a JSON reply; empty when the reply is anything else.
std::string TextMember(const std::string& body, const char* key) {
    auto parsed = nlohmann::json::parse(body, nullptr, false);
    if (!parsed.is_object() || !parsed.contains(key) || !parsed[key].is_string())
        return {};
    return parsed[key].get<std::string>();
}

}  // namespace

int main(int argc, char** argv) {
    int clients = 50;
    int seconds = 30;
    std::size_t pictureBytes = 100 * 1024;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        long value = std::atol(argv[i + 1]);
        if (option == "--clients")
            clients = static_cast<int>(std::clamp(value, 1L, 200L));
        if (option == "--seconds")
            seconds = static_cast<int>(std::clamp(value, 1L, 120L));
        if (option == "--picture-bytes")
            pictureBytes = static_cast<std::size_t>(std::clamp(value, 16L, 8L << 20));
    }
    std::string data =
        (std::filesystem::temp_directory_path() / ("albumd-load-" + std::to_string(getpid())))
            .string();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("albumd load: %d clients, %d s, %zu-byte pictures, data in %s\n", clients, seconds,
                pictureBytes, data.c_str());
    AlbumdProcess server(data);
    for (int c = 0; c < clients; ++c) {
        if (server.RunCommand({"user", "add", "load" + std::to_string(c)}, "load-password\n") !=
            0) {
            std::fprintf(stderr, "cannot create the accounts\n");
            return 1;
        }
    }
    if (!server.Listen({"--max-connections", "512"})) {
        std::fprintf(stderr, "albumd did not start\n");
        return 1;
    }
    const unsigned short port = server.Port();
    std::string picture = "\xFF\xD8\xFF\xE0";
    picture.resize(pictureBytes, 'p');

    Totals totals;
    std::vector<long> acknowledgedBy(static_cast<std::size_t>(clients), 0);
    std::vector<std::string> tickets(static_cast<std::size_t>(clients));
    std::vector<std::string> albums(static_cast<std::size_t>(clients));
    const auto deadline = Clock::now() + std::chrono::seconds(seconds) + std::chrono::seconds(5);
    std::atomic<bool> ready{false};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            auto index = static_cast<std::size_t>(c);
            auto reply =
                Exchange(port, Request("POST", "/api/login",
                                       nlohmann::json{{"username", "load" + std::to_string(c)},
                                                      {"password", "load-password"}}
                                           .dump()));
            tickets[index] = TextMember(reply.body, "ticket");
            std::string auth = "Authorization: Ticket " + tickets[index] + "\r\n";
            reply =
                Exchange(port, Request("POST", "/api/openapi/104",
                                       "{\"album_name\":\"load\",\"privacy_lev\":\"4\"}", auth));
            albums[index] = TextMember(reply.body, "album_id");
            if (tickets[index].empty() || albums[index].empty()) {
                std::lock_guard lock(totals.mutex);
                ++totals.errors;
                return;
            }
            while (!ready)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::vector<double> uploads, lists;
            long errors = 0;
            for (int round = 0; Clock::now() < deadline; ++round) {
                auto start = Clock::now();
                bool upload = round % 2 == 0;
                auto result =
                    upload ? Exchange(port, Request("POST",
                                                    "/api/upload?album_id=" + albums[index] +
                                                        "&name=p" + std::to_string(round) + ".jpg",
                                                    picture, auth))
                           : Exchange(port, Request("POST", "/api/openapi/101", "{}", auth));
                double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                if (result.status != 200) {
                    ++errors;
                    std::printf("%s failed: status %d %s\n", upload ? "upload" : "list",
                                result.status, result.body.c_str());
                    continue;
                }
                (upload ? uploads : lists).push_back(ms);
                if (upload)
                    ++acknowledgedBy[index];
            }
            std::lock_guard lock(totals.mutex);
            totals.uploadMs.insert(totals.uploadMs.end(), uploads.begin(), uploads.end());
            totals.listMs.insert(totals.listMs.end(), lists.begin(), lists.end());
            totals.errors += errors;
        });
    }
    // Logins hash passwords: let them all finish before the timed part begins.
    std::this_thread::sleep_for(std::chrono::seconds(5));
    std::printf("accounts logged in; running\n");
    auto begin = Clock::now();
    ready = true;
    for (auto& thread : threads)
        thread.join();
    double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();

    long lost = 0;
    for (int c = 0; c < clients; ++c) {
        auto index = static_cast<std::size_t>(c);
        totals.acknowledged += acknowledgedBy[index];
        auto list = Exchange(port, Request("POST", "/api/openapi/101", "{}",
                                           "Authorization: Ticket " + tickets[index] + "\r\n"));
        auto parsed = nlohmann::json::parse(list.body, nullptr, false);
        long listed = 0;
        if (parsed.is_object() && parsed["albums"].is_array() && !parsed["albums"].empty() &&
            parsed["albums"][0]["photo_count"].is_number_integer()) {
            listed = parsed["albums"][0]["photo_count"].get<long>();
        }
        lost += std::max(0L, acknowledgedBy[index] - listed);
    }
    if (!server.Stop(SIGTERM))
        std::printf("albumd did not stop on SIGTERM\n");
    std::error_code ec;
    std::filesystem::remove_all(data, ec);

    std::size_t requests = totals.uploadMs.size() + totals.listMs.size();
    std::printf("requests: %zu in %.1f s = %.0f/s; uploads acknowledged: %ld (%.1f/s, %.1f MB/s)\n",
                requests, elapsed, static_cast<double>(requests) / elapsed, totals.acknowledged,
                static_cast<double>(totals.acknowledged) / elapsed,
                static_cast<double>(totals.acknowledged) * static_cast<double>(pictureBytes) /
                    elapsed / (1024 * 1024));
    std::printf("upload latency ms: p50 %.1f  p90 %.1f  p99 %.1f  max %.1f\n",
                Percentile(totals.uploadMs, 0.5), Percentile(totals.uploadMs, 0.9),
                Percentile(totals.uploadMs, 0.99), Percentile(totals.uploadMs, 1.0));
    std::printf("album list latency ms: p50 %.1f  p90 %.1f  p99 %.1f  max %.1f\n",
                Percentile(totals.listMs, 0.5), Percentile(totals.listMs, 0.9),
                Percentile(totals.listMs, 0.99), Percentile(totals.listMs, 1.0));
    std::printf("errors: %ld; acknowledged uploads not listed: %ld\n", totals.errors, lost);
    // A run in which no upload was acknowledged measured nothing.
    return totals.errors == 0 && lost == 0 && totals.acknowledged > 0 ? 0 : 1;
}
