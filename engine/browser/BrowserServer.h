// The browser view's local server: HTTP and one WebSocket on 127.0.0.1, on a free port, guarded
// by a random token (RequestPolicy.h). It runs its own network thread; what the page sends
// arrives through the handlers on that thread, and Send may be called from any thread.
//
// One page is active at a time: a new socket takes over, and the page it replaces is told so
// before its socket is closed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace tavopix {

class BrowserServer {
public:
    struct Handlers {
        std::function<void()> connected;                 // a page became the active one
        std::function<void(std::string text)> received;  // a text frame from the active page
        std::function<void()> disconnected;              // the active page went away
    };

    // Null with `error` set when the server cannot listen. `webDir` holds the shell's files.
    [[nodiscard]] static std::unique_ptr<BrowserServer> Start(std::filesystem::path webDir,
                                                              Handlers handlers,
                                                              std::string& error);
    virtual ~BrowserServer() = default;

    // The address to open: http://127.0.0.1:PORT/?t=TOKEN
    virtual std::string Url() const = 0;
    virtual unsigned short Port() const = 0;
    // Sends a text frame to the active page; dropped when none is connected. Any thread.
    virtual void Send(std::string text) = 0;
    virtual bool IsConnected() const = 0;
    // The number of the active page: 1 for the first page that connected, one more for each
    // page after it, 0 before any. A frame sent after reading N goes to page N or none. Any
    // thread.
    virtual std::uint64_t PageNumber() const = 0;
    // Lets every file under `folder` be fetched (the skin's pages, sheets and pictures); a
    // relative folder or the root is ignored. Any thread.
    virtual void AllowFolder(const std::filesystem::path& folder) = 0;
    // Lets the one file at the absolute path `path` (UTF-8, as a page was given its address)
    // be fetched. Any thread.
    virtual void AllowFile(const std::string& path) = 0;
};

}  // namespace tavopix
