// The steps of one resumable upload over the tus 1.0 protocol (docs/protocol.md): create the
// upload, send the file in pieces from the offset the service holds, and fetch the service's
// reply once the last byte is in. The sender only decides: given the outcome of each exchange
// it names the next one, so the network code (OvkImgUpload.cpp) stays a loop around it.
//
// A dropped connection, a service that does not answer or is restarting (no answer, 423, 503)
// starts an outage: the sender asks for the offset again after a back-off that doubles from
// 250 ms to 2 s, and gives up with status 0 only once the outage has lasted the time-out. The
// upload's address is remembered for the file (path, size, modification time), album and hash,
// so a later upload of the same picture continues it instead of starting over.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "sdk/internal/Transfer.h"

namespace tavopix::sdk {

struct ResumableSetup {
    std::string service;        // the album service's base address, ending with '/'
    std::string authorization;  // "Authorization: Ticket …", or empty
    std::string albumId;
    std::string title;
    std::string contentHash;  // empty when none
    bool allowDuplicate = false;
    int fd = -1;  // the open file
    std::uint64_t size = 0;
    std::string resumeKey;  // names the file as it is now
    std::uint32_t timeoutMs = kDefaultTimeoutMs;
    std::uint32_t connectTimeoutMs = 10000;
};

class ResumableSender {
public:
    // The most bytes one PATCH carries.
    static constexpr std::uint64_t kPieceBytes = 4 * 1024 * 1024;

    using Clock = std::chrono::steady_clock;

    explicit ResumableSender(ResumableSetup setup);

    struct Step {
        enum class Kind { Send, Finished };
        Kind kind = Kind::Send;
        TransferRequest request;             // Send
        std::chrono::milliseconds delay{0};  // Send: wait this long first
        bool outageBegins = false;           // the connection was lost just now
        std::uint32_t status = 0;            // Finished: the reply's HTTP status, 0 for none
        std::uint32_t error = 0;             // Finished with status 0: why
        std::string reply;                   // Finished: the reply's body
    };

    // The first exchange: a creation, or the offset of an upload begun before.
    [[nodiscard]] Step Begin();
    [[nodiscard]] Step OnOutcome(TransferOutcome&& outcome, Clock::time_point now);

    // Where the body of the exchange under way begins in the file (its progress adds to it).
    [[nodiscard]] std::uint64_t BodyStart() const { return bodyStart_; }
    // The bytes the service holds as far as the sender knows.
    [[nodiscard]] std::uint64_t Held() const { return offset_; }
    // The connection was lost and the service has not answered since.
    [[nodiscard]] bool Waiting() const { return inOutage_; }

private:
    enum class Phase { Create, Head, Patch, Result };

    [[nodiscard]] Step Send(Phase phase, std::chrono::milliseconds delay = {});
    [[nodiscard]] Step SendFromOffset();
    [[nodiscard]] Step Finish(const TransferOutcome& outcome);
    [[nodiscard]] Step Outage(const TransferOutcome& outcome, Clock::time_point now);
    [[nodiscard]] Step StartOver();
    [[nodiscard]] TransferRequest Request(Phase phase);

    ResumableSetup setup_;
    Phase phase_ = Phase::Create;
    std::string address_;  // the upload's address, once created
    std::uint64_t offset_ = 0;
    std::uint64_t bodyStart_ = 0;
    bool inOutage_ = false;
    Clock::time_point outageSince_;
    std::chrono::milliseconds backoff_{0};
    bool startedOver_ = false;
};

}  // namespace tavopix::sdk
