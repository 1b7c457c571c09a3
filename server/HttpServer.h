// albumd's network side: an HTTP/1.1 server on Boost.Beast that reads each request's header,
// lets the Service plan its body (into memory, streamed to a file, or refused before it is sent),
// and writes the Service's reply. One strand per connection; explicit header, body and idle
// limits; a bounded number of connections. When every connection is taken, a new one takes the
// place of one that waits on its client: an idle one (or one sending its header) that has waited
// longest, and only when there is none, the one receiving a body that has stalled longest, so
// idle sockets, however many, neither keep a working client out nor cut off an upload that is
// arriving.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "Service.h"

namespace albumd {

struct ServerOptions {
    std::string address = "127.0.0.1";
    unsigned short port = 0;  // 0 picks a free port
    int threads = 4;
    int maxConnections = 256;
    std::chrono::seconds readTimeout{30};    // for the header, and for each stall of a body
    std::chrono::seconds writeTimeout{300};  // a whole reply, packages included
    // A whole body must arrive within readTimeout plus its length at this rate (bytes/second).
    std::uint64_t minBodyRate = 16 * 1024;
};

// Serves until SIGINT or SIGTERM. `onListening` is called with the bound port once the server
// accepts connections. Returns false with `error` set when it cannot listen.
[[nodiscard]] bool RunServer(Service& service, const ServerOptions& options,
                             const std::function<void(unsigned short)>& onListening,
                             std::string& error);

}  // namespace albumd
