#include "engine/browser/RequestPolicy.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "BrowserTestSupport.h"

namespace tavopix {
namespace {

using test::TempFolder;

constexpr unsigned short kPort = 40123;
const std::string kLaunch(48, 'a');
const std::string kSecret(48, 's');
const std::string kHost = "127.0.0.1:40123";

// `path` under the capability.
std::string Cap(std::string_view path) {
    return "/" + kSecret + std::string(path);
}

class RequestPolicyTest : public ::testing::Test {
protected:
    RequestPolicyTest() {
        folder_.Write("web/index.html", "<!doctype html>");
        folder_.Write("web/shell.js", "export {};");
        folder_.Write("allowed/a.jpg", "jpeg");
        folder_.Write("allowed/相册/b.jpg", "jpeg");
        folder_.Write("allowed/sub/c.png", "png");
        folder_.Write("allowed2/secret.jpg", "jpeg");
        folder_.Write("outside/secret.jpg", "jpeg");
        std::filesystem::create_directory_symlink(folder_.Path("outside"),
                                                  folder_.Path("allowed/link"));
        std::filesystem::create_symlink(folder_.Path("outside/secret.jpg"),
                                        folder_.Path("allowed/alias.jpg"));
        std::filesystem::create_symlink(folder_.Path("outside/secret.jpg"),
                                        folder_.Path("web/leak.js"));
        server_.launchToken = kLaunch;
        server_.secret = kSecret;
        server_.port = kPort;
        server_.webDir = folder_.Path("web");
        server_.allowedRoots = {folder_.Path("allowed")};
    }

    RequestDecision Get(const std::string& target, std::string_view host = kHost,
                        std::string_view origin = {}) {
        return DecideRequest({"GET", target, host, origin, false}, server_);
    }

    std::string FileTarget(const std::string& relative) {
        return Cap("/f" + folder_.Path(relative).string());
    }

    TempFolder folder_;
    ServerIdentity server_;
};

TEST_F(RequestPolicyTest, LaunchTokenLeadsToTheCapabilityWhereEverythingLives) {
    EXPECT_EQ(Get("/?t=" + kLaunch).answer, RequestAnswer::Launch);
    EXPECT_EQ(Get("/?x=1&t=" + kLaunch).answer, RequestAnswer::Launch);
    EXPECT_EQ(CapabilityPath(server_), Cap("/"));

    RequestDecision shell = Get(Cap("/"));
    EXPECT_EQ(shell.answer, RequestAnswer::ShellPage);
    EXPECT_EQ(shell.file, server_.webDir / "index.html");
    EXPECT_EQ(Get(Cap("/?t=whatever")).answer, RequestAnswer::ShellPage);

    // Once used, the launch token opens nothing (the server clears it).
    ServerIdentity used = server_;
    used.launchToken.clear();
    EXPECT_EQ(DecideRequest({"GET", "/?t=" + kLaunch, kHost, {}, false}, used).answer,
              RequestAnswer::Refused);
    EXPECT_EQ(DecideRequest({"GET", "/?t=", kHost, {}, false}, used).answer,
              RequestAnswer::Refused);
}

TEST_F(RequestPolicyTest, MissingOrWrongSecretIsRefused) {
    std::string wrong = kSecret;
    wrong.back() = 'b';
    for (const std::string& target : std::vector<std::string>{
             "/", "/?t=", "/?t=" + kSecret, "/?t=" + kLaunch.substr(1), "/?t=" + kLaunch + "a",
             "/?token=" + kLaunch, "/web/shell.js", "/ws", "/" + wrong + "/", "/" + kSecret,
             "/" + kSecret.substr(1) + "/web/shell.js", "/" + kSecret + "a/web/shell.js",
             "/" + kLaunch + "/", "//", "/f/etc/passwd", "/x" + Cap("/")}) {
        EXPECT_EQ(Get(target).answer, RequestAnswer::Refused) << target;
    }
    // The launch token counts for the launch only: pictures need the capability.
    EXPECT_EQ(Get("/f" + folder_.Path("allowed/a.jpg").string() + "?t=" + kLaunch).answer,
              RequestAnswer::Refused);
}

TEST_F(RequestPolicyTest, ForeignHostOrOriginIsRefusedEvenWithTheSecret) {
    for (const char* host : {"evil.com:40123", "127.0.0.1:40124", "127.0.0.1", "", "localhost",
                             "127.0.0.1:40123.evil.com", "127.0.0.2:40123"}) {
        EXPECT_EQ(Get("/?t=" + kLaunch, host).answer, RequestAnswer::Refused) << host;
        EXPECT_EQ(Get(Cap("/"), host).answer, RequestAnswer::Refused) << host;
    }
    EXPECT_EQ(Get(Cap("/"), "localhost:40123").answer, RequestAnswer::ShellPage);

    for (const char* origin :
         {"http://evil.com", "http://127.0.0.1:40123.evil.com", "http://127.0.0.1:40124",
          "https://127.0.0.1:40123", "null", "http://127.0.0.1", "http://evil.com:40123"}) {
        EXPECT_EQ(Get(Cap("/web/shell.js"), kHost, origin).answer, RequestAnswer::Refused)
            << origin;
        EXPECT_EQ(DecideRequest({"GET", Cap("/ws"), kHost, origin, true}, server_).answer,
                  RequestAnswer::Refused)
            << origin;
    }
    EXPECT_EQ(Get(Cap("/web/shell.js"), kHost, "http://127.0.0.1:40123").answer,
              RequestAnswer::WebFile);
}

TEST_F(RequestPolicyTest, SocketNeedsTheUpgradeAndTheCapability) {
    EXPECT_EQ(
        DecideRequest({"GET", Cap("/ws"), kHost, "http://127.0.0.1:40123", true}, server_).answer,
        RequestAnswer::WebSocket);
    EXPECT_EQ(Get(Cap("/ws")).answer, RequestAnswer::NotFound);
    EXPECT_EQ(DecideRequest({"GET", "/ws?t=" + kLaunch, kHost, {}, true}, server_).answer,
              RequestAnswer::Refused);
}

TEST_F(RequestPolicyTest, ShellFilesOnlyByPlainName) {
    RequestDecision script = Get(Cap("/web/shell.js"));
    EXPECT_EQ(script.answer, RequestAnswer::WebFile);
    EXPECT_EQ(script.file, std::filesystem::canonical(folder_.Path("web/shell.js")));

    for (const std::string& target : std::vector<std::string>{
             "/web/", "/web/..", "/web/../allowed/a.jpg", "/web/%2e%2e/allowed/a.jpg",
             "/web/%2E%2E", "/web/..%2fallowed%2fa.jpg",
             "/web/" + folder_.Path("web/shell.js").string(), "/web//etc/passwd", "/web/missing.js",
             "/web/leak.js", "/web/shell.js/", "/web\\shell.js", "/index.html", "/etc/passwd"}) {
        EXPECT_EQ(Get(Cap(target)).answer, RequestAnswer::NotFound) << target;
    }
}

TEST_F(RequestPolicyTest, FilesOnlyFromInsideTheAllowedFolders) {
    RequestDecision picture = Get(FileTarget("allowed/a.jpg"));
    EXPECT_EQ(picture.answer, RequestAnswer::File);
    EXPECT_EQ(picture.file, std::filesystem::canonical(folder_.Path("allowed/a.jpg")));

    // Paths in pages are percent-escaped UTF-8.
    const std::string chinese =
        Cap("/f" + folder_.Path("allowed").string() + "/%E7%9B%B8%E5%86%8C/b.jpg");
    EXPECT_EQ(Get(chinese).answer, RequestAnswer::File);
    EXPECT_EQ(Get(FileTarget("allowed/sub/c.png")).answer, RequestAnswer::File);

    const std::string allowed = Cap("/f" + folder_.Path("allowed").string());
    for (const std::string& target : std::vector<std::string>{
             FileTarget("allowed2/secret.jpg"),  // a sibling sharing the folder's name as prefix
             FileTarget("outside/secret.jpg"),
             FileTarget("allowed/link/secret.jpg"),  // a folder link pointing outside
             FileTarget("allowed/alias.jpg"),        // a file link pointing outside
             allowed + "/../outside/secret.jpg",
             allowed + "/%2e%2e/outside/secret.jpg",
             allowed + "/%2E%2E/outside/secret.jpg",
             allowed + "/sub/..%2f..%2foutside/secret.jpg",
             allowed + "/a.jpg%00.png",
             allowed + "/a.jpg%0",
             allowed + "/a.jpg%zz",
             allowed,  // folders are never listed
             allowed + "/sub",
             allowed + "/sub/",
             Cap("/f/etc/passwd"),
         }) {
        EXPECT_EQ(Get(target).answer, RequestAnswer::Refused) << target;
    }
    // Whether a file exists outside what is served is not told either.
    EXPECT_EQ(Get(FileTarget("allowed/missing.jpg")).answer, RequestAnswer::Refused);
    EXPECT_EQ(Get(Cap("/f")).answer, RequestAnswer::NotFound);
}

TEST_F(RequestPolicyTest, APlacedFileIsServedByItsOwnPathAndNothingBesideIt) {
    folder_.Write("pictures/shown.jpg", "jpeg");
    folder_.Write("pictures/%41.png", "png");
    folder_.Write("pictures/A.png", "png");
    folder_.Write("pictures/.ssh/id_ed25519", "secret");
    server_.placedFiles = {folder_.Path("pictures/shown.jpg").string(),
                           folder_.Path("pictures/%41.png").string(),
                           folder_.Path("pictures/gone.jpg").string()};
    EXPECT_EQ(Get(FileTarget("pictures/shown.jpg")).answer, RequestAnswer::File);
    const std::string pictures = Cap("/f" + folder_.Path("pictures").string());
    RequestDecision escaped = Get(pictures + "/%2541.png");
    EXPECT_EQ(escaped.answer, RequestAnswer::File);
    EXPECT_EQ(escaped.file.filename(), "%41.png");
    for (const std::string& target : {pictures + "/A.png", pictures + "/.ssh/id_ed25519",
                                      pictures + "/%41.png", pictures + "/shown.jpg/.."}) {
        EXPECT_EQ(Get(target).answer, RequestAnswer::Refused) << target;
    }
    EXPECT_EQ(Get(FileTarget("pictures/gone.jpg")).answer, RequestAnswer::NotFound);
}

TEST_F(RequestPolicyTest, OnlyGetIsAnswered) {
    for (const char* method : {"POST", "PUT", "DELETE", "HEAD", "OPTIONS"}) {
        EXPECT_EQ(DecideRequest({method, Cap("/web/shell.js"), kHost, {}, false}, server_).answer,
                  RequestAnswer::BadMethod)
            << method;
        EXPECT_EQ(DecideRequest({method, "/?t=" + kLaunch, kHost, {}, false}, server_).answer,
                  RequestAnswer::BadMethod)
            << method;
        // Without the capability nothing is told, not even which methods exist.
        EXPECT_EQ(DecideRequest({method, "/web/shell.js", kHost, {}, false}, server_).answer,
                  RequestAnswer::Refused)
            << method;
    }
}

TEST(PercentDecodeTest, DecodesEscapesAndRefusesBrokenOnesAndNul) {
    std::string out;
    EXPECT_TRUE(PercentDecode("/a%20b/%E7%9B%B8%e5%86%8c", out));
    EXPECT_EQ(out, "/a b/相册");
    EXPECT_TRUE(PercentDecode("", out));
    EXPECT_EQ(out, "");
    for (const char* broken : {"%", "%4", "a%g1", "%00", "x%2", "%%41"}) {
        EXPECT_FALSE(PercentDecode(broken, out)) << broken;
    }
}

TEST(ContentTypeTest, PicturesPagesAndScriptsGetTheirTypes) {
    EXPECT_EQ(ContentTypeFor("a/B.JPG"), "image/jpeg");
    EXPECT_EQ(ContentTypeFor("shell.js"), "text/javascript; charset=utf-8");
    EXPECT_EQ(ContentTypeFor("msgBox.htm"), "text/html; charset=utf-8");
    EXPECT_EQ(ContentTypeFor("skin.css"), "text/css; charset=utf-8");
    EXPECT_EQ(ContentTypeFor("view_prev.ani"), "image/png");
    EXPECT_EQ(ContentTypeFor("noext"), "application/octet-stream");
    EXPECT_EQ(ContentTypeFor("x.exe"), "application/octet-stream");
}

}  // namespace
}  // namespace tavopix
