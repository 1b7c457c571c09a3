// The feedback and about dialogs against a real albumd: feedback with awkward text reaches the
// service as typed, the message box follows the window's height, an empty message is refused,
// and the about dialog's link opens the feedback dialog over it.
#include "AccountDialogSupport.h"
#include "service/AboutDlg.h"
#include "service/AdviceDlg.h"

namespace tavopix::test {
namespace {

using AdviceDialog = Scripted<CAdviceDlg>;
using AboutDialog = Scripted<CAboutDlg>;

class AdviceAboutDlgTest : public AccountDialogTest {
protected:
    // What `albumd feedback list` prints.
    std::string FeedbackList() const {
        std::string out;
        albumd_->RunCommand({"feedback", "list"}, "", &out);
        return out;
    }
};

TEST_F(AdviceAboutDlgTest, FeedbackIsSentAsTypedAndTheBoxFollowsTheWindow) {
    StartService();
    ASSERT_EQ(sdk_->Login("alice", kPassword), 1u);
    const std::u16string message = u"界面很好 \"赞\" \\ <b>&amp;</b>\n第二行\r\n\t完";
    AdviceDialog dialog(nullptr);
    std::u16string empty, sending, accepted, initialHeight, resizedHeight;
    dialog.steps = {[&](AdviceDialog& d) {
                        initialHeight = *d.ById(u"adv_msg")->GetStyleAttribute("height");
                        MoveWindow(d.GetHwnd(), 100, 100, 480, 400, true);
                        resizedHeight = *d.ById(u"adv_msg")->GetStyleAttribute("height");
                        d.Click(u"btn_send");
                        empty = d.Text(u"req_info");
                        d.Type(u"adv_msg", message);
                        d.Click(u"btn_send");
                        sending = d.Text(u"req_info");
                        EXPECT_TRUE(d.Disabled(u"req_info"));
                        // A second press while the request runs sends nothing more.
                        EXPECT_TRUE(d.Disabled(u"btn_send"));
                        d.Click(u"btn_send");
                        return true;
                    },
                    [&](AdviceDialog& d) {
                        if (d.Disabled(u"req_info")) {
                            return false;
                        }
                        accepted = d.Text(u"req_info");
                        EXPECT_FALSE(d.Disabled(u"btn_send"));
                        d.Key(VK_ESCAPE);
                        return true;
                    }};
    dialog.Run(SW_SHOWNORMAL);
    EXPECT_FALSE(dialog.timedOut);
    EXPECT_EQ(initialHeight, u"105px");  // 220 - 115
    EXPECT_EQ(resizedHeight, u"285px");  // 400 - 115
    EXPECT_EQ(empty, u"发送错误,可能配置文件已损坏,请重新安装本软件!");
    EXPECT_EQ(sending, u"正在发送,请稍侯...");
    EXPECT_EQ(accepted, u"谢谢,已提交成功!");
    const std::string list = FeedbackList();
    // The list shows a backslash doubled and a carriage return as \x0d.
    EXPECT_NE(list.find(R"(界面很好 "赞" \\ <b>&amp;</b>)"), std::string::npos) << list;
    EXPECT_NE(list.find(R"(第二行\x0d)"), std::string::npos) << list;
    EXPECT_EQ(list.find(R"(第二行\x0d)"), list.rfind(R"(第二行\x0d)")) << "stored twice: " << list;
}

TEST_F(AdviceAboutDlgTest, ARefusalShowsItsCodeAndTheAboutLinkOpensFeedback) {
    StartService();  // not logged in: the service refuses with 401
    AboutDialog about(nullptr);
    std::u16string version, refused;
    bool feedbackOpened = false;
    about.steps = {
        [&](AboutDialog& d) {
            version = d.Text(u"version");
            Element* link = d.ById(u"feedback");
            EventDispatcher::Of(*link)->PostEvent(*link, HYPERLINK_CLICK);
            return true;
        },
        [&](AboutDialog& d) {
            const HWND active = GetActiveWindow();
            if (!active || active == d.GetHwnd()) {
                return false;
            }
            CHskFrame* advice = CHskFrame::FromWindow(active);
            feedbackOpened = GetWindow(active, GW_OWNER) == d.GetHwnd();
            Element* root = advice->Page()->Root();
            Element* box = root->FindById(u"adv_msg");
            EventDispatcher::Of(*box)->Input().ControlChanged(box->GetUid(), u"你好");
            EventDispatcher::Of(*box)->SendEvent(*root->FindById(u"btn_send"), BUTTON_CLICK);
            return true;
        },
        [&](AboutDialog&) {
            const HWND active = GetActiveWindow();
            Element* info = CHskFrame::FromWindow(active)->Page()->Root()->FindById(u"req_info");
            if (info->HasState(STATE_DISABLED)) {
                return false;
            }
            refused = info->InnerText();
            PostMessage(active, WM_CLOSE, 0, 0);
            return true;
        },
        [](AboutDialog& d) {
            if (GetActiveWindow() != d.GetHwnd()) {
                return false;
            }
            d.Key(VK_RETURN);  // the close button is the default
            return true;
        }};
    about.Run(SW_SHOWNORMAL);
    EXPECT_FALSE(about.timedOut);
    EXPECT_EQ(version, u"0.1.1.0");
    EXPECT_TRUE(feedbackOpened);
    EXPECT_EQ(refused, u"提交失败,错误码: 401");
}

}  // namespace
}  // namespace tavopix::test
