// A plain Beast client that talks to the browser view's server on loopback the way the shell
// page does: it follows the launch address to the capability and opens the page's socket there.
#pragma once

#include <gtest/gtest.h>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <memory>
#include <string>

namespace tavopix::test {

namespace page_client {
namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
}  // namespace page_client

// http://127.0.0.1:PORT/?t=TOKEN taken apart.
struct LaunchAddress {
    unsigned short port = 0;
    std::string host;    // 127.0.0.1:PORT
    std::string target;  // /?t=TOKEN
};

inline LaunchAddress ParseLaunchUrl(const std::string& url) {
    LaunchAddress address;
    const auto slash = url.find('/', 7);
    address.host = url.substr(7, slash - 7);
    address.port = static_cast<unsigned short>(std::stoi(address.host.substr(10)));
    address.target = url.substr(slash);
    return address;
}

inline page_client::tcp::socket ConnectTo(page_client::asio::io_context& io, unsigned short port) {
    page_client::tcp::socket socket(io);
    socket.connect({page_client::asio::ip::make_address("127.0.0.1"), port});
    return socket;
}

inline page_client::http::response<page_client::http::string_body> HttpGet(
    unsigned short port, const std::string& target, const std::string& origin = {}) {
    using namespace page_client;
    asio::io_context io;
    tcp::socket socket = ConnectTo(io, port);
    http::request<http::empty_body> request(http::verb::get, target, 11);
    request.set(http::field::host, "127.0.0.1:" + std::to_string(port));
    if (!origin.empty())
        request.set(http::field::origin, origin);
    http::write(socket, request);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    http::read(socket, buffer, response);
    return response;
}

// Uses the launch address once, as the browser does, and returns the capability path it leads
// to ("/SECRET/"); empty when it was refused.
inline std::string Launch(const std::string& url) {
    const LaunchAddress address = ParseLaunchUrl(url);
    auto response = HttpGet(address.port, address.target);
    if (response.result() != page_client::http::status::see_other)
        return {};
    return std::string(response[page_client::http::field::location]);
}

using PageSocket = page_client::websocket::stream<page_client::tcp::socket>;

// The page's socket at `capability` + "ws", opened with `origin` (the server's own by default).
inline std::unique_ptr<PageSocket> OpenPageSocket(page_client::asio::io_context& io,
                                                  unsigned short port,
                                                  const std::string& capability,
                                                  page_client::beast::error_code& ec,
                                                  std::string origin = {}) {
    using namespace page_client;
    const std::string host = "127.0.0.1:" + std::to_string(port);
    if (origin.empty())
        origin = "http://" + host;
    auto ws = std::make_unique<PageSocket>(ConnectTo(io, port));
    ws->set_option(websocket::stream_base::decorator(
        [origin](websocket::request_type& r) { r.set(http::field::origin, origin); }));
    ws->handshake(host, capability + "ws", ec);
    return ws;
}

}  // namespace tavopix::test
