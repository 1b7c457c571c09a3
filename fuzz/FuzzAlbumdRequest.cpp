// albumd's readers of request text on any bytes: the first line is a target and a Content-Length
// value, the rest a body read as a form and as a client's JSON text. A target that is accepted
// never yields a segment that could step out of a folder, a length is read exactly as the parser
// that frames the body reads it, and percent-encoding always decodes back to its input.
#include <boost/beast/http.hpp>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "ClientJson.h"
#include "HttpMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t newline = input.find('\n');
    std::string_view target = input.substr(0, newline);
    std::string_view body = newline == std::string_view::npos ? "" : input.substr(newline + 1);

    if (auto parsed = albumd::ParseTarget(target)) {
        for (const std::string& segment : parsed->segments) {
            if (segment.empty() || segment == "." || segment == ".." ||
                segment.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos) {
                std::abort();
            }
        }
    }
    if (target.find_first_of("\r\n") == std::string_view::npos) {
        namespace http = boost::beast::http;
        http::request_parser<http::empty_body> parser;
        parser.body_limit(std::numeric_limits<std::uint64_t>::max());
        const std::string head =
            "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: " + std::string(target) + "\r\n\r\n";
        boost::beast::error_code ec;
        parser.put(boost::asio::buffer(head), ec);
        // albumd reads the value as the parser keeps it (white space around it dropped).
        if (parser.is_header_done()) {
            const auto kept = parser.get()[http::field::content_length];
            const std::optional<std::uint64_t> length =
                albumd::ParseContentLength(std::string_view(kept.data(), kept.size()));
            if (parser.content_length() && (!length || *length != *parser.content_length())) {
                std::abort();
            }
        } else if (const auto length = albumd::ParseContentLength(target);
                   length && *length < std::numeric_limits<std::uint64_t>::max()) {
            std::abort();
        }
    }
    (void)albumd::ParseForm(body);
    (void)albumd::ParseClientObject(body);
    if (albumd::PercentDecode(albumd::PercentEncode(body), false) != std::string(body)) {
        std::abort();
    }
    if (albumd::IsValidUtf8(body) && albumd::Utf8Length(body) > body.size()) {
        std::abort();
    }
    return 0;
}
