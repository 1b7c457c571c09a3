// albumd's network side: an HTTP/1.1 server on Boost.Beast that reads each request's header,
// lets the Service plan its body (into memory, streamed to a file, or refused before it is sent),
// and writes the Service's reply. One strand per connection; explicit header, body and idle
// limits; a bounded number of connections. When every connection is taken, a new one takes the
// place of the one that has waited longest on its client (idle, or sending a header or body):
// connections that only hold a place, however many, cannot keep a working client out.
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
