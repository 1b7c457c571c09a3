#include "sdk/internal/ResumableSender.h"

#include <sodium.h>

#include <algorithm>
#include <charconv>
#include <map>
#include <mutex>

#include "sdk/OvkErrors.h"

namespace tavopix::sdk {

namespace {

constexpr std::chrono::milliseconds kFirstBackoff{250};
constexpr std::chrono::milliseconds kLongestBackoff{2000};
constexpr const char* kTusHeader = "Tus-Resumable: 1.0.0";

// Upload addresses by resume key: what a later upload of the same picture continues.
std::mutex addressesMutex;
std::map<std::string, std::string> addressesByKey;

std::string RememberedAddress(const std::string& key) {
    std::lock_guard lock(addressesMutex);
    auto found = addressesByKey.find(key);
    return found == addressesByKey.end() ? std::string() : found->second;
}

void RememberAddress(const std::string& key, const std::string& address) {
    std::lock_guard lock(addressesMutex);
    if (address.empty()) {
        addressesByKey.erase(key);
    } else {
        addressesByKey[key] = address;
    }
}

std::string Base64(std::string_view bytes) {
    std::string text(sodium_base64_encoded_len(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(),
                      reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.size() - 1);  // the terminating NUL
    return text;
}

std::string HeaderOf(const TransferOutcome& outcome, std::string_view name) {
    for (const auto& [key, value] : outcome.headers) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

std::optional<std::uint64_t> NumberOf(const std::string& text) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// No answer worth acting on, only a wait: the service is away, restarting or busy.
bool IsOutage(const TransferOutcome& outcome) {
    switch (outcome.httpStatus) {
        case 0:
            return outcome.error == OVK_ERROR_TIMEOUT ||
                   outcome.error == OVK_ERROR_CANNOT_CONNECT ||
                   outcome.error == OVK_ERROR_CONNECTION_LOST ||
                   outcome.error == OVK_ERROR_NAME_NOT_RESOLVED ||
                   outcome.error == OVK_ERROR_BAD_REPLY;
        case 423:  // another piece of this upload is still being received
        case 502:
        case 503:
        case 504:
            return true;
        default:
            return false;
    }
}

}  // namespace

ResumableSender::ResumableSender(ResumableSetup setup) : setup_(std::move(setup)) {
    address_ = RememberedAddress(setup_.resumeKey);
}

ResumableSender::Step ResumableSender::Begin() {
    return Send(address_.empty() ? Phase::Create : Phase::Head);
}

TransferRequest ResumableSender::Request(Phase phase) {
    TransferRequest request;
    request.timeoutMs = setup_.timeoutMs;
    request.timeoutKind = TimeoutKind::Silence;
    request.connectTimeoutMs = setup_.connectTimeoutMs;
    request.headers = {kTusHeader};
    if (!setup_.authorization.empty()) {
        request.headers.push_back(setup_.authorization);
    }
    bodyStart_ = offset_;
    switch (phase) {
        case Phase::Create: {
            request.url = setup_.service + "api/tus";
            request.post = true;
            std::string metadata =
                "album_id " + Base64(setup_.albumId) + ",name " + Base64(setup_.title);
            if (!setup_.contentHash.empty()) {
                metadata += ",content_hash " + Base64(setup_.contentHash);
            }
            if (setup_.allowDuplicate) {
                metadata += ",allow_duplicate " + Base64("1");
            }
            request.headers.push_back("Upload-Length: " + std::to_string(setup_.size));
            request.headers.push_back("Upload-Metadata: " + metadata);
            break;
        }
        case Phase::Head:
            request.url = address_;
            request.method = "HEAD";
            break;
        case Phase::Patch:
            request.url = address_;
            request.post = true;
            request.method = "PATCH";
            request.headers.push_back("Upload-Offset: " + std::to_string(offset_));
            request.headers.push_back("Content-Type: application/offset+octet-stream");
            request.bodyFd = setup_.fd;
            request.bodyOffset = offset_;
            request.bodySize = std::min(kPieceBytes, setup_.size - offset_);
            break;
        case Phase::Result:
            request.url = address_;
            break;
    }
    return request;
}

ResumableSender::Step ResumableSender::Send(Phase phase, std::chrono::milliseconds delay) {
    phase_ = phase;
    Step step;
    step.request = Request(phase);
    step.delay = delay;
    return step;
}

ResumableSender::Step ResumableSender::SendFromOffset() {
    return Send(offset_ >= setup_.size ? Phase::Result : Phase::Patch);
}

ResumableSender::Step ResumableSender::Finish(const TransferOutcome& outcome) {
    RememberAddress(setup_.resumeKey, {});
    Step step;
    step.kind = Step::Kind::Finished;
    step.status = outcome.httpStatus;
    step.error = outcome.error;
    step.reply = outcome.reply;
    return step;
}

// The upload is gone at the service (expired, ended, or from another login): once, it begins
// again from the first byte.
ResumableSender::Step ResumableSender::StartOver() {
    RememberAddress(setup_.resumeKey, {});
    address_.clear();
    offset_ = 0;
    if (startedOver_) {
        TransferOutcome gone;
        gone.httpStatus = 404;
        return Finish(gone);
    }
    startedOver_ = true;
    return Send(Phase::Create);
}

ResumableSender::Step ResumableSender::Outage(const TransferOutcome& outcome,
                                              Clock::time_point now) {
    const std::chrono::milliseconds limit(setup_.timeoutMs);
    const bool begins = !inOutage_;
    if (begins) {
        inOutage_ = true;
        outageSince_ = now;
        backoff_ = kFirstBackoff;
    }
    // A transfer that stayed silent for the time-out has been an outage that long already.
    if (outcome.error == OVK_ERROR_TIMEOUT || now - outageSince_ >= limit) {
        TransferOutcome failure = outcome;
        failure.httpStatus = 0;
        failure.error = OVK_ERROR_TIMEOUT;
        failure.reply.clear();
        Step step = Finish(failure);
        RememberAddress(setup_.resumeKey, address_);  // 继续 goes on from the offset
        return step;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(limit - (now - outageSince_));
    Step step = Send(address_.empty() ? Phase::Create : Phase::Head, std::min(backoff_, left));
    step.outageBegins = begins;
    backoff_ = std::min(backoff_ * 2, kLongestBackoff);
    return step;
}

ResumableSender::Step ResumableSender::OnOutcome(TransferOutcome&& outcome, Clock::time_point now) {
    if (IsOutage(outcome)) {
        return Outage(outcome, now);
    }
    if (outcome.httpStatus == 0) {
        return Finish(outcome);  // the file could not be read, or the address is unusable
    }
    inOutage_ = false;
    const std::uint32_t status = outcome.httpStatus;
    switch (phase_) {
        case Phase::Create: {
            if (status != 201) {
                return Finish(outcome);  // a refusal, or the picture the album holds already
            }
            std::string location = HeaderOf(outcome, "location");
            if (location.empty()) {
                outcome.httpStatus = 0;
                outcome.error = OVK_ERROR_BAD_REPLY;
                return Finish(outcome);
            }
            if (location.front() == '/') {
                const std::size_t scheme = setup_.service.find("://");
                const std::size_t path = setup_.service.find('/', scheme + 3);
                location = setup_.service.substr(0, path) + location;
            }
            address_ = location;
            offset_ = 0;
            RememberAddress(setup_.resumeKey, address_);
            return SendFromOffset();
        }
        case Phase::Head:
        case Phase::Patch: {
            if (status == 404 || status == 410 || status == 403) {
                return StartOver();
            }
            if (status == 409) {
                return Send(Phase::Head);  // the service holds another offset than thought
            }
            if (status != 200 && status != 204) {
                return Finish(outcome);  // the picture was refused once complete
            }
            const std::optional<std::uint64_t> offset =
                NumberOf(HeaderOf(outcome, "upload-offset"));
            if (!offset || *offset > setup_.size) {
                outcome.httpStatus = 0;
                outcome.error = OVK_ERROR_BAD_REPLY;
                return Finish(outcome);
            }
            offset_ = *offset;
            return SendFromOffset();
        }
        case Phase::Result:
            if (status == 404 || status == 410) {
                return StartOver();
            }
            if (status == 409) {
                return Send(Phase::Head);
            }
            return Finish(outcome);
    }
    return Finish(outcome);
}

}  // namespace tavopix::sdk
