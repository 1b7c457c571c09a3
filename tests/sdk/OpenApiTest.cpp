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

std::u16string UserIdOf(ServiceSession session) {
    char16_t userId[66] = {};
    EXPECT_TRUE(ovkGetUserID(session, userId, sizeof userId));
    return userId;
}

class OpenApiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { albumd = AlbumdProcess::Start({"alice", "erin"}); }
    static void TearDownTestSuite() { albumd.reset(); }
    void SetUp() override { ASSERT_TRUE(albumd); }

    static inline std::unique_ptr<AlbumdProcess> albumd;
};

TEST_F(OpenApiTest, AlbumListAndCreation) {
    SdkSession sdk(albumd->BaseAddress());
    ASSERT_EQ(sdk.Login("erin", "secret-pw"), 1u);
    std::u16string listQuery = u"{\"uid\":\"" + UserIdOf(sdk.Session()) + u"\"}";

    ApiReply empty = CallOpenApi(sdk.Session(), OVK_API_ALBUM_LIST, listQuery, u"");
    EXPECT_EQ(empty.result, 1u);
    EXPECT_EQ(empty.status, 200u);
    EXPECT_EQ(empty.text.find(u"\"album_id\""), std::u16string::npos);

    // The name as the program escapes it: a backslash before the quotes.
    ApiReply created = CallOpenApi(
        sdk.Session(), OVK_API_ALBUM_CREATE, u"",
        u"{\"album_name\":\"旅行 \\\"2026\\\"\",\"album_desc\":\"\",\"album_spot\":\"\","
        u"\"allow_comment\":\"1\",\"allow_repost\":\"1\",\"privacy_lev\":\"1\","
        u"\"album_category_id\":\"0\"}");
    EXPECT_EQ(created.result, 1u);
    EXPECT_EQ(created.status, 200u);
    EXPECT_NE(created.text.find(u"\"album_id\""), std::u16string::npos);

    ApiReply listed = CallOpenApi(sdk.Session(), OVK_API_ALBUM_LIST, listQuery, u"");
    EXPECT_EQ(listed.status, 200u);
    EXPECT_NE(listed.text.find(u"旅行 \"2026\""), std::u16string::npos);  // decoded reply
}

TEST_F(OpenApiTest, RefusedRequestsGiveTheirStatusAndText) {
    SdkSession sdk(albumd->BaseAddress());
    ApiReply anonymous = CallOpenApi(sdk.Session(), OVK_API_ALBUM_LIST, u"{}", u"");
    EXPECT_EQ(anonymous.result, 0u);
    EXPECT_EQ(anonymous.status, 401u);

    ASSERT_EQ(sdk.Login("alice", "secret-pw"), 1u);
    ApiReply noAnswer =
        CallOpenApi(sdk.Session(), OVK_API_ALBUM_CREATE, u"",
                    u"{\"album_name\":\"问答\",\"privacy_lev\":\"3\",\"album_pwd_prompt\":\"\","
                    u"\"album_pwd\":\"\"}");
    EXPECT_EQ(noAnswer.result, 0u);
    EXPECT_EQ(noAnswer.status, 400u);
    EXPECT_EQ(noAnswer.text, u"请填写问题和答案");
}

TEST_F(OpenApiTest, FeedbackIsAccepted) {
    SdkSession sdk(albumd->BaseAddress());
    ASSERT_EQ(sdk.Login("alice", "secret-pw"), 1u);
    ApiReply sent = CallOpenApi(sdk.Session(), OVK_API_FEEDBACK, u"",
                                u"{\"contact\":\"\",\"feed_content\":\"第一行\\\n第二行\"}");
    EXPECT_EQ(sent.result, 1u);
    EXPECT_EQ(sent.status, 200u);
    EXPECT_NE(sent.text.find(u"feedback_id"), std::u16string::npos);
}

TEST_F(OpenApiTest, ARequestIsSentOnceAndReadAfterItsEnd) {
    SdkSession sdk(albumd->BaseAddress());
    OvkApiRequest request{OVK_API_FEEDBACK, nullptr, u"{\"feed_content\":\"x\"}"};
    OvkHandle handle = ovkOpenApiAsynInit(sdk.Session(), &request, 30000);
    ASSERT_NE(handle, 0u);
    std::uint32_t status = 7;
    std::uint32_t length = 7;
    char16_t* text = nullptr;
    EXPECT_FALSE(ovkOpenApiAsynGetRtn(handle, &status, &length, &text));
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    EventRecorder recorder;
    OvkCallbackSpec callback{&recorder, &EventRecorder::OnCompletion};
    ASSERT_TRUE(ovkOpenApiAsynCall(handle, &callback));
    EXPECT_FALSE(ovkOpenApiAsynCall(handle, &callback));
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    ASSERT_TRUE(recorder.WaitForEnd());
    EXPECT_EQ(recorder.Events().size(), 1u);
    EXPECT_TRUE(ovkCloseHandle(handle));
    EXPECT_FALSE(ovkCloseHandle(handle));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ovkOpenApiAsynGetRtn(handle, &status, &length, &text));
}

TEST(OpenApiFaultTest, AServerFaultIsStatus500) {
    std::unique_ptr<AlbumdProcess> albumd =
        AlbumdProcess::Start({"alice"}, {"--fault", "openapi=500"});
    ASSERT_TRUE(albumd);
    SdkSession sdk(albumd->BaseAddress());
    ASSERT_EQ(sdk.Login("alice", "secret-pw"), 1u);
    ApiReply failed = CallOpenApi(sdk.Session(), OVK_API_ALBUM_LIST, u"{}", u"");
    EXPECT_EQ(failed.result, 0u);
    EXPECT_EQ(failed.status, 500u);
}

TEST(OpenApiNoAnswerTest, ASilentServiceGivesStatusZero) {
    LoopbackServer silent;
    SdkSession sdk(silent.BaseAddress());
    ApiReply reply = CallOpenApi(sdk.Session(), OVK_API_ALBUM_LIST, u"{}", u"", 100);
    EXPECT_EQ(reply.result, 0u);
    EXPECT_EQ(reply.status, 0u);
    EXPECT_TRUE(reply.text.empty());
}

TEST(OpenApiNoAnswerTest, AClosedRequestNeverCompletes) {
    LoopbackServer silent;
    SdkSession sdk(silent.BaseAddress());
    OvkApiRequest request{OVK_API_ALBUM_LIST, u"{}", nullptr};
    OvkHandle handle = ovkOpenApiAsynInit(sdk.Session(), &request, 1000);
    EventRecorder recorder;
    OvkCallbackSpec callback{&recorder, &EventRecorder::OnCompletion};
    ASSERT_TRUE(ovkOpenApiAsynCall(handle, &callback));
    ASSERT_TRUE(WaitUntil([&] { return silent.Connections() == 1; }));
    EXPECT_TRUE(ovkCloseHandle(handle));
    recorder.CloseGate();
    // Once the SDK lets go of the connection, neither the time-out nor an answer can come.
    ASSERT_TRUE(WaitUntil([&] { return silent.ClosedByClient() == 1; }));
    EXPECT_TRUE(recorder.Events().empty());
}

}  // namespace
}  // namespace tavopix::test
