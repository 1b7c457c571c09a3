// albumd: the album service. `albumd --data DIR --listen 127.0.0.1:PORT` serves; the operator's
// commands (see Operator.h and README.md) work on the same data folder.
#include <sys/stat.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "HttpServer.h"
#include "Operator.h"
#include "Service.h"

namespace {

constexpr const char* kServeUsage =
    "usage: albumd --data DIR --listen ADDRESS:PORT [--threads N] [--max-connections N]\n"
    "              [--ticket-lifetime SECONDS] [--public-url URL]... [--behind-proxy]\n"
    "              [--fault KIND=STATUS,...]\n"
    "       albumd --data DIR COMMAND ...   (albumd help lists the commands)\n";

bool ParseNumber(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty() || text.size() > 12 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::stoll(text);
    return value >= low && value <= high;
}

int Serve(albumd::ServiceConfig config, albumd::ServerOptions options) {
    std::string error;
    auto service = albumd::Service::Open(std::move(config), error);
    if (!service) {
        std::cerr << "albumd: " << error << "\n";
        return 1;
    }
    bool served = albumd::RunServer(
        *service, options,
        [&](unsigned short port) {
            std::cout << "albumd listening on http://" << options.address << ":" << port
                      << std::endl;
        },
        error);
    if (!served) {
        std::cerr << "albumd: " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Everything albumd writes (database, pictures, update files) is its owner's alone.
    ::umask(::umask(0) | 077);
    albumd::ServiceConfig config;
    config.dataDir = "albumd-data";
    albumd::ServerOptions options;
    std::string listen;
    std::string faults;
    if (const char* fromEnvironment = std::getenv("ALBUMD_FAULT"))
        faults = fromEnvironment;
    std::vector<std::string> command;

    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        bool hasValue = i + 1 < argc;
        long long number = 0;
        if (!command.empty()) {
            command.push_back(word);  // everything after the command word belongs to it
        } else if (word == "--data" && hasValue) {
            config.dataDir = argv[++i];
        } else if (word == "--listen" && hasValue) {
            listen = argv[++i];
        } else if (word == "--fault" && hasValue) {
            faults = argv[++i];
        } else if (word == "--public-url" && hasValue) {
            if (!albumd::PublicAddress::Parse(argv[i + 1])) {
                std::cerr << "albumd: bad --public-url " << argv[i + 1]
                          << " (http:// or https:// and a host name, e.g. "
                             "https://photos.example.org)\n";
                return 2;
            }
            config.guard.publicAddresses.push_back(*albumd::PublicAddress::Parse(argv[++i]));
        } else if (word == "--behind-proxy") {
            config.guard.behindProxy = true;
        } else if (word == "--threads" && hasValue && ParseNumber(argv[i + 1], 1, 64, number)) {
            options.threads = static_cast<int>(number);
            ++i;
        } else if (word == "--max-connections" && hasValue &&
                   ParseNumber(argv[i + 1], 1, 100000, number)) {
            options.maxConnections = static_cast<int>(number);
            ++i;
        } else if (word == "--ticket-lifetime" && hasValue &&
                   ParseNumber(argv[i + 1], 1, 10LL * 365 * 86400, number)) {
            config.ticketLifetimeSeconds = number;
            ++i;
        } else if (word.rfind("--", 0) != 0) {
            command.push_back(word);
        } else {
            std::cerr << kServeUsage;
            return 2;
        }
    }

    if (!command.empty()) {
        if (command[0] == "help") {
            std::cout << kServeUsage << albumd::OperatorUsage();
            return 0;
        }
        std::string error;
        if (!albumd::InitSecrets()) {
            std::cerr << "albumd: libsodium failed to start\n";
            return 1;
        }
        auto data = albumd::DataStore::Open(config.dataDir, albumd::HashCost::Interactive,
                                            config.ticketLifetimeSeconds, error);
        if (!data) {
            std::cerr << "albumd: " << error << "\n";
            return 1;
        }
        return albumd::RunOperatorCommand(command, *data, std::cin, std::cout, std::cerr);
    }

    std::size_t colon = listen.rfind(':');
    long long port = 0;
    if (listen.empty() || colon == std::string::npos ||
        !ParseNumber(listen.substr(colon + 1), 0, 65535, port)) {
        std::cerr << kServeUsage;
        return 2;
    }
    options.address = listen.substr(0, colon);
    options.port = static_cast<unsigned short>(port);
    auto parsedFaults = albumd::FaultSwitch::Parse(faults);
    if (!parsedFaults) {
        std::cerr << "albumd: bad --fault " << faults
                  << " (KIND=STATUS with KIND login, ticket-login, logout, openapi, upload or "
                     "download and STATUS 400-599)\n";
        return 2;
    }
    config.faults = *parsedFaults;
    if (!config.faults.Empty()) {
        std::cerr << "albumd: test faults are switched on: " << faults << "\n";
    }
    return Serve(std::move(config), options);
}
