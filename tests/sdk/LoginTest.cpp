#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/LastError.h"
#include "sdk/LoopbackServer.h"
#include "sdk/OvkErrors.h"
#include "sdk/OvkSdk.h"
#include "sdk/SdkTestSupport.h"
#include "support/AlbumdProcess.h"
#include "support/WaitUntil.h"

namespace tavopix::test {
namespace {

using namespace std::chrono_literals;

std::u16string TicketOf(ServiceSession session) {
    char16_t ticket[64] = {};
    EXPECT_TRUE(ovkGetTicket(session, ticket, sizeof ticket)) << GetLastError();
    return ticket;
}

std::uint32_t LastStatus(ServiceSession session) {
    std::uint32_t status = 12345;
    char16_t* reply = nullptr;
    EXPECT_TRUE(ovkSessionHttpInfo(session, &status, &reply));
    ovkReleaseBuffer(&reply);
    return status;
}

RecordedEvent TicketLogin(ServiceSession session, const std::u16string& ticket,
                          const std::u16string& machineKey) {
    EventRecorder recorder;
    OvkTicketParams params{u"2", machineKey.c_str(), ticket.c_str(), &EventRecorder::OnCompletion,
                           &recorder};
    EXPECT_TRUE(ovkTicketLoginStart(session, &params, 30000));
    EXPECT_TRUE(recorder.WaitForEnd());
    return recorder.Events().at(0);
}

class LoginTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { albumd = AlbumdProcess::Start({"alice", "bob", "mallory"}); }
    static void TearDownTestSuite() { albumd.reset(); }
    void SetUp() override { ASSERT_TRUE(albumd); }

    static inline std::unique_ptr<AlbumdProcess> albumd;
};

TEST_F(LoginTest, PasswordLoginGivesTicketUserIdAndStatus) {
    SdkSession sdk(albumd->BaseAddress());
    EXPECT_FALSE(ovkIsLog(sdk.Session()));
    EventRecorder recorder;
    OvkLoginParams params;
    params.userName = u"alice";
    params.password = u"secret-pw";
    params.appId = u"2";
    params.machineKey = u"test-machine-key-00";
    params.completion = &EventRecorder::OnCompletion;
    params.context = &recorder;
    ASSERT_TRUE(ovkLoginStart(sdk.Session(), &params, 30000));
    ASSERT_TRUE(recorder.WaitForEnd());
    std::vector<RecordedEvent> events = recorder.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, 1u);
    EXPECT_EQ(events[0].lastError, ERROR_SUCCESS);
    EXPECT_NE(events[0].thread, std::this_thread::get_id());

    EXPECT_TRUE(ovkIsLog(sdk.Session()));
    EXPECT_EQ(TicketOf(sdk.Session()).size(), 43u);
    char16_t userId[66] = {};
    ASSERT_TRUE(ovkGetUserID(sdk.Session(), userId, sizeof userId));
    EXPECT_FALSE(std::u16string(userId).empty());
    std::uint32_t status = 0;
    char16_t* reply = nullptr;
    ASSERT_TRUE(ovkSessionHttpInfo(sdk.Session(), &status, &reply));
    EXPECT_EQ(status, 200u);
    ASSERT_NE(reply, nullptr);
    EXPECT_NE(std::u16string(reply).find(u"\"ticket\""), std::u16string::npos);
    ovkReleaseBuffer(&reply);

    char16_t small[20];
    EXPECT_FALSE(ovkGetTicket(sdk.Session(), small, sizeof small));
    EXPECT_EQ(GetLastError(), OVK_ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(LoginTest, RefusedLoginsReportTheServicesStatus) {
    SdkSession sdk(albumd->BaseAddress());
    EXPECT_EQ(sdk.Login("alice", "wrong-pw"), 0u);
    EXPECT_EQ(LastStatus(sdk.Session()), 403u);
    EXPECT_EQ(sdk.Login("nobody", "secret-pw"), 0u);
    EXPECT_EQ(LastStatus(sdk.Session()), 404u);
    EXPECT_FALSE(ovkIsLog(sdk.Session()));
    char16_t ticket[64];
    EXPECT_FALSE(ovkGetTicket(sdk.Session(), ticket, sizeof ticket));
    EXPECT_EQ(GetLastError(), OVK_ERROR_NOT_LOGGED_ON);
}

TEST_F(LoginTest, RepeatedWrongPasswordsLockTheAccount) {
    SdkSession sdk(albumd->BaseAddress());
    for (int attempt = 0; attempt < 5; ++attempt) {
        EXPECT_EQ(sdk.Login("mallory", "guess"), 0u);
        EXPECT_EQ(LastStatus(sdk.Session()), 403u);
    }
    EXPECT_EQ(sdk.Login("mallory", "secret-pw"), 0u);
    EXPECT_EQ(LastStatus(sdk.Session()), 423u);
}

TEST_F(LoginTest, TicketLoginAfterALocalLogout) {
    SdkSession sdk(albumd->BaseAddress());
    ASSERT_EQ(sdk.Login("bob", "secret-pw", "bobs-machine-key"), 1u);
    std::u16string ticket = TicketOf(sdk.Session());

    EXPECT_TRUE(ovkSetLogout(sdk.Session()));
    EXPECT_FALSE(ovkIsLog(sdk.Session()));

    RecordedEvent unknown = TicketLogin(sdk.Session(), u"not-a-ticket", u"bobs-machine-key");
    EXPECT_EQ(unknown.event, 0u);
    EXPECT_EQ(unknown.lastError, 403u);
    EXPECT_FALSE(ovkIsLog(sdk.Session()));

    RecordedEvent same = TicketLogin(sdk.Session(), ticket, u"bobs-machine-key");
    EXPECT_EQ(same.event, 1u);
    EXPECT_TRUE(ovkIsLog(sdk.Session()));
    EXPECT_EQ(TicketOf(sdk.Session()), ticket);
}

TEST_F(LoginTest, LogoutRevokesTheTicketAtTheService) {
    SdkSession sdk(albumd->BaseAddress());
    EXPECT_FALSE(ovkLogout(sdk.Session(), 6000));
    EXPECT_EQ(GetLastError(), OVK_ERROR_NOT_LOGGED_ON);
    ASSERT_EQ(sdk.Login("alice", "secret-pw"), 1u);
    std::u16string ticket = TicketOf(sdk.Session());
    EXPECT_TRUE(ovkLogout(sdk.Session(), 6000));
    EXPECT_FALSE(ovkIsLog(sdk.Session()));
    EXPECT_EQ(LastStatus(sdk.Session()), 200u);
    EXPECT_EQ(TicketLogin(sdk.Session(), ticket, u"test-machine-key-00").event, 0u);
    EXPECT_EQ(LastStatus(sdk.Session()), 403u);
}

TEST(LoginFaultTest, AServerFaultIsStatus500) {
    std::unique_ptr<AlbumdProcess> albumd =
        AlbumdProcess::Start({"alice"}, {"--fault", "login=500"});
    ASSERT_TRUE(albumd);
    SdkSession sdk(albumd->BaseAddress());
    EXPECT_EQ(sdk.Login("alice", "secret-pw"), 0u);
    EXPECT_EQ(LastStatus(sdk.Session()), 500u);
}

TEST(LoginNoAnswerTest, ASilentServiceGivesStatusZeroAfterTheTimeOut) {
    LoopbackServer silent;
    SdkSession sdk(silent.BaseAddress());
    EventRecorder recorder;
    OvkLoginParams params;
    params.userName = u"alice";
    params.password = u"secret-pw";
    params.completion = &EventRecorder::OnCompletion;
    params.context = &recorder;
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ovkLoginStart(sdk.Session(), &params, 100));
    ASSERT_TRUE(recorder.WaitForEnd(20s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 90ms);
    EXPECT_EQ(recorder.Events().at(0).event, 0u);
    EXPECT_EQ(recorder.Events().at(0).lastError, OVK_ERROR_TIMEOUT);
    EXPECT_EQ(LastStatus(sdk.Session()), 0u);
}

TEST(LoginNoAnswerTest, ARefusedConnectionIsStatusZero) {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
    close(probe);  // nothing listens on that port now
    SdkSession sdk("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/");
    EXPECT_EQ(sdk.Login("alice", "secret-pw"), 0u);
    EXPECT_EQ(LastStatus(sdk.Session()), 0u);
}

TEST(LoginNoAnswerTest, StoppedLoginsNeverComplete) {
    LoopbackServer silent;
    SdkSession sdk(silent.BaseAddress());
    EventRecorder first;
    EventRecorder second;
    OvkLoginParams params;
    params.userName = u"alice";
    params.password = u"secret-pw";
    params.completion = &EventRecorder::OnCompletion;
    params.context = &first;
    ASSERT_TRUE(ovkLoginStart(sdk.Session(), &params, 1000));
    ASSERT_TRUE(WaitUntil([&] { return silent.Connections() == 1; }));
    first.CloseGate();  // the next start abandons it
    OvkTicketParams ticket{u"2", u"key", u"ticket", &EventRecorder::OnCompletion, &second};
    ASSERT_TRUE(ovkTicketLoginStart(sdk.Session(), &ticket, 1000));
    ASSERT_TRUE(WaitUntil([&] { return silent.Connections() == 2; }));
    EXPECT_TRUE(ovkLoginStop(sdk.Session()));  // either stop ends either kind
    second.CloseGate();
    // Once the SDK lets go of both connections, neither time-out nor an answer can come.
    ASSERT_TRUE(WaitUntil([&] { return silent.ClosedByClient() == 2; }));
    EXPECT_TRUE(first.Events().empty());
    EXPECT_TRUE(second.Events().empty());
}

}  // namespace
}  // namespace tavopix::test
