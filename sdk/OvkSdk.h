// The service SDK: the one door through which the program talks to the album service. It keeps
// the process-wide configuration ("ovkCfg.ini"), a logged-in session, and runs password and
// ticket logins, OpenApi requests, picture uploads and file downloads in the background.
//
// Conventions every function keeps:
// - Results are a one-byte boolean (non-zero = success) or a 32-bit handle (0 = failure). After a
//   failure the calling thread's last error (platform/LastError.h) holds a code of
//   sdk/OvkErrors.h.
// - Texts are NUL-terminated UTF-16. Texts handed in are copied before the call returns. Texts
//   handed out are SDK buffers: the caller frees them with ovkReleaseBuffer(&pointer).
// - Background work reports through the completion function of its parameter block, called
//   exactly once per started operation (progress events aside) on the SDK's transfer thread,
//   with that thread's last error set to the outcome's code. A completion should only post a
//   message or set a flag: it must not wait for the thread that might be closing its handle.
// - ovkCloseHandle (and ovkLoginStop for a login) abandons unfinished work: once it has
//   returned, no callback runs for that handle any more, even one that was about to start. A
//   callback may close its own handle.
// - Time-outs are in milliseconds. For logins, logout and OpenApi requests they bound the whole
//   exchange; for uploads and downloads they bound connecting and any silence of the transfer
//   (no byte moving either way), so a large picture on a slow line is not cut off.
#pragma once

#include <cstdint>

namespace tavopix {

using OvkBool = std::uint8_t;
using OvkHandle = std::uint32_t;
using ServiceSession = OvkHandle;

// Completion of a login or an OpenApi request; result 1 = success, 0 = failure.
using SdkCompletion = void (*)(void* context, std::uint32_t result);

// Upload events: value is the number of body bytes sent so far.
using OvkUploadCallback = void (*)(void* context, std::uint32_t event, std::uint64_t value);

// Download events: progress gives bytes received and the total (0 when the service names none);
// the end events give the same two values as they stood at the end.
using OvkDownloadCallback = void (*)(void* context, std::uint32_t event, std::uint64_t received,
                                     std::uint64_t total);

// Event codes of uploads and downloads. Uploads report OVK_EVENT_BEGIN first, then any number of
// OVK_EVENT_PROGRESS with a value that never decreases, then exactly one of OVK_EVENT_SUCCEEDED
// or OVK_EVENT_FAILED. Downloads report progress and the end event.
inline constexpr std::uint32_t OVK_EVENT_FAILED = 0;
inline constexpr std::uint32_t OVK_EVENT_SUCCEEDED = 1;
inline constexpr std::uint32_t OVK_EVENT_BEGIN = 3;
inline constexpr std::uint32_t OVK_EVENT_PROGRESS = 4;
// A resumable upload lost its connection and is waiting to continue (value: the bytes the
// service holds); progress events follow once it does. Only uploads sent in pieces report it.
inline constexpr std::uint32_t OVK_EVENT_WAITING = 5;

// Password login. The reserved fields are 0.
struct OvkLoginParams {
    const char16_t* userName = nullptr;
    const char16_t* password = nullptr;
    std::uint32_t reserved3 = 0;
    const char16_t* appId = nullptr;
    const char16_t* machineKey = nullptr;
    std::uint32_t reserved6 = 0;
    SdkCompletion completion = nullptr;
    void* context = nullptr;
};

// Login with the ticket of an earlier password login made with the same machine key.
struct OvkTicketParams {
    const char16_t* appId = nullptr;
    const char16_t* machineKey = nullptr;
    const char16_t* ticket = nullptr;
    SdkCompletion completion = nullptr;
    void* context = nullptr;
};

// An OpenApi request: the code names the operation; the JSON text sent is `firstText` when it is
// non-empty, else `secondText` (either may be null).
struct OvkApiRequest {
    std::uint32_t apiCode = 0;
    const char16_t* firstText = nullptr;
    const char16_t* secondText = nullptr;
};

inline constexpr std::uint32_t OVK_API_ALBUM_LIST = 101;
inline constexpr std::uint32_t OVK_API_ALBUM_CREATE = 104;
inline constexpr std::uint32_t OVK_API_FEEDBACK = 133;
// Which of a list of content hashes an album holds: {"album_id":"3","hashes":["…",…]} gives
// {"present":[{"content_hash":"…","file_url":"…"},…]}.
inline constexpr std::uint32_t OVK_API_ALBUM_CONTENT = 141;

struct OvkCallbackSpec {
    void* context = nullptr;
    SdkCompletion completion = nullptr;
};

// One picture upload. `title` is the picture's display title in the escaped form that JSON
// string texts of the program use (a backslash before each escaped character); the SDK sends the
// plain title. Progress is reported at most once per `progressIntervalMs`, the first time one
// interval after the transfer began (so a quick upload may report none).
//
// `contentHash`, when given, is the content hash of the original picture (ovkContentHash): an
// album that holds that picture already stores nothing and answers with it (reply key
// "duplicate" true), unless `flags` has OVK_UPLOAD_ALLOW_DUPLICATE. Files of at least the
// configuration's `resumable_from` bytes go in pieces over the resumable protocol: a broken
// connection or a restarted service is waited for (OVK_EVENT_WAITING) and the file continued
// from what the service holds; the upload fails with status 0 only once the service has been
// unreachable for the whole time-out, and a new upload of the same file and album continues it.
struct UploadRequest {
    ServiceSession session = 0;
    const char16_t* filePath = nullptr;
    std::uint32_t reserved3 = 0;
    const char16_t* albumId = nullptr;
    const char16_t* title = nullptr;
    std::uint32_t reserved6 = 0;
    std::uint32_t reserved7 = 0;
    OvkUploadCallback callback = nullptr;
    std::uint32_t progressIntervalMs = 0;
    void* context = nullptr;
    const char16_t* contentHash = nullptr;
    std::uint32_t flags = 0;
};

inline constexpr std::uint32_t OVK_UPLOAD_ALLOW_DUPLICATE = 1;

// Where a download is stored.
inline constexpr std::uint32_t OVK_DOWNLOAD_INTO_DIRECTORY = 9;  // target is a folder
inline constexpr std::uint32_t OVK_DOWNLOAD_TO_FILE = 10;        // target is the file itself

// One file download. `address` is an absolute http(s) address, or a path beginning with "/" on
// the album service. Into a folder, the file takes the name the service gives it (or the last
// segment of the address); a name that is empty, "." or "..", or holds control characters is
// refused, and folder parts of it are dropped, so the file always lands inside `target`. The
// data goes to a hidden temporary file beside the target that is renamed when complete.
// Progress is paced like an upload's (0x0FFFFFFF: practically never).
struct OvkDownloadParams {
    ServiceSession session = 0;
    const char16_t* address = nullptr;
    const char16_t* target = nullptr;  // a file path, or a folder path ending with '/'
    std::uint32_t targetKind = OVK_DOWNLOAD_TO_FILE;
    OvkDownloadCallback callback = nullptr;
    std::uint32_t progressIntervalMs = 0;
    std::uint32_t replaceExisting = 0;  // 1: an existing file of that name is replaced
    void* context = nullptr;
};

// The addresses the configuration names, for pages the program opens in the user's browser.
enum class OvkAddress : std::uint32_t {
    AlbumService = 1,  // the service's base address, ending with '/'
    HomePage = 2,
    RegisterPage = 3,      // the account registration page, without a query
    LostPasswordPage = 4,  // the lost-password page
};

// Life cycle. ovkStartup starts the transfer thread (a second call while started succeeds and
// does nothing). ovkLoadCfg reads the configuration file (sdk/README.md gives its format);
// sessions created afterwards use it. ovkCleanup abandons all work, closes every handle and
// stops the thread; it may be called when ovkStartup failed and must not be called from a
// callback.
OvkBool ovkStartup();
OvkBool ovkLoadCfg(const char16_t* path);
ServiceSession ovkCreateSession();
OvkBool ovkCleanup();
OvkBool ovkGetAddress(OvkAddress which, char16_t** address);

// Logins. A start returns true when the login is under way; its completion reports the end. A
// new start abandons a login still running on the session. Either stop function abandons
// whichever login is running. ovkSessionHttpInfo gives the HTTP status of the session's last
// finished exchange (login, ticket login or logout), 0 when the service did not answer, and the
// reply text (may be null).
OvkBool ovkLoginStart(ServiceSession session, const OvkLoginParams* params,
                      std::uint32_t timeoutMs);
OvkBool ovkTicketLoginStart(ServiceSession session, const OvkTicketParams* params,
                            std::uint32_t timeoutMs);
OvkBool ovkLoginStop(ServiceSession session);
OvkBool ovkTicketLoginStop(ServiceSession session);
OvkBool ovkSessionHttpInfo(ServiceSession session, std::uint32_t* status, char16_t** reply);

// The logged-in session's ticket and user id, written NUL-terminated into `buffer` of
// `bufferBytes` bytes (the program passes 128 and 132).
OvkBool ovkGetTicket(ServiceSession session, char16_t* buffer, std::uint32_t bufferBytes);
OvkBool ovkGetUserID(ServiceSession session, char16_t* buffer, std::uint32_t bufferBytes);
OvkBool ovkIsLog(ServiceSession session);

// ovkLogout revokes the ticket at the service and waits for the answer (at most `timeoutMs`);
// only on success is the session logged out. ovkSetLogout forgets the login locally and leaves
// the ticket valid at the service.
OvkBool ovkLogout(ServiceSession session, std::uint32_t timeoutMs);
OvkBool ovkSetLogout(ServiceSession session);

// OpenApi requests: prepare, send once, then read the reply after the completion. The status is
// 0 when the service did not answer, else the HTTP status (200-299 = success); `length` counts
// the reply's UTF-16 units and `text` is valid when it is above 0.
OvkHandle ovkOpenApiAsynInit(ServiceSession session, const OvkApiRequest* request,
                             std::uint32_t timeoutMs);
OvkBool ovkOpenApiAsynCall(OvkHandle request, const OvkCallbackSpec* callback);
OvkBool ovkOpenApiAsynGetRtn(OvkHandle request, std::uint32_t* status, std::uint32_t* length,
                             char16_t** text);

// Decodes the JSON escapes of `text` into `decoded` (which may be `text` itself; otherwise it
// must hold as many units as `text`). \uXXXX pairs of surrogates become the pair; an escape that
// is not well-formed (an unknown letter, too few hex digits, a lone surrogate) is left as it
// stands.
OvkBool ovkDecodeJsonW(const char16_t* text, char16_t* decoded);

// Picture uploads. The file is opened when the upload starts. ovkImgUploadInfo gives the reply
// once the service has answered: true with the reply text (never null, possibly empty) and the
// HTTP status; false while running and when there was no answer (status then 0). The second
// argument is reserved (0); `status` may be null.
OvkHandle ovkImgUploadCreate(const UploadRequest* request);
OvkBool ovkImgUploadStart(OvkHandle upload, std::uint32_t timeoutMs);
OvkBool ovkImgUploadInfo(OvkHandle upload, std::uint32_t reserved, char16_t** reply,
                         std::uint32_t* status);

// The content hash of a file: BLAKE2b-256 of its bytes as 64 lower-case hexadecimal digits,
// written with a terminating NUL into `hash` (65 units). Remembered by path, size and
// modification time, so a file is read again only when it changed. Any thread.
OvkBool ovkContentHash(const char16_t* path, char16_t* hash);

// File downloads. ovkDownloadGetInfo gives the full path of the stored file after success; the
// second and fourth arguments are reserved (0).
OvkHandle ovkDownloadCreate(const OvkDownloadParams* params);
OvkBool ovkDownloadStart(OvkHandle download, std::uint32_t timeoutMs);
OvkBool ovkDownloadGetInfo(OvkHandle download, std::uint32_t reserved, char16_t** path,
                           std::uint32_t reserved2);

// Releases a request, upload, download or session handle, abandoning its unfinished work.
OvkBool ovkCloseHandle(OvkHandle handle);

// Frees an SDK buffer and sets the pointer to null; a null pointer is left alone.
void ovkReleaseBuffer(char16_t** buffer);

}  // namespace tavopix
