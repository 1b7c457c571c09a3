// The login dialog and the session helper against a real albumd: password and ticket logins,
// UserInfo.dat as they leave it, the failure texts by status, logout with and without
// "remember", the keys, and completions that come after the dialog closed.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "AccountDialogSupport.h"
#include "app/TextFile.h"
#include "service/LoginDlg.h"
#include "service/SessionHelper.h"
#include "service/UserInfoFile.h"

namespace tavopix::test {
namespace {

using LoginDialog = Scripted<CLoginDlg>;

std::string FileBytes(const std::u16string& path) {
    std::ifstream in(U8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::u16string FileText() {
    std::u16string text;
    return ReadTextFile(UserInfoPath(), text) ? text : u"(unreadable)";
}

// Types the name and password, checks the boxes asked for and clicks "btn_login".
LoginDialog::Step TypeAndLogin(std::u16string name, std::u16string password, bool remember,
                               bool autoLogin) {
    return [=](LoginDialog& dialog) {
        dialog.ById(u"info")->SetInnerText(u"");  // so the failure that follows can be told
        dialog.Type(u"username", name);
        dialog.Type(u"pswd", password);
        if (dialog.Checked(u"rcd_pswd") != remember) {
            dialog.Click(u"rcd_pswd");
        }
        if (dialog.Checked(u"auto_login") != autoLogin) {
            dialog.Click(u"auto_login");
        }
        dialog.Click(u"btn_login");
        return true;
    };
}

// Waits until the login has ended with a failure, and records its text.
LoginDialog::Step FailureText(std::u16string& text) {
    return [&text](LoginDialog& dialog) {
        const std::u16string shown = dialog.Text(u"info");
        if (dialog.Disabled(u"btn_login") || shown.empty() || shown == u"登录中请稍候...") {
            return false;
        }
        text = dialog.Text(u"info");
        return true;
    };
}

class LoginDlgTest : public AccountDialogTest {};

TEST_F(LoginDlgTest, RememberedLoginIsWrittenAndLogsInByTicketNextTime) {
    StartService();
    SessionHelper session;
    EXPECT_FALSE(session.IsLoggedIn());
    {
        LoginDialog dialog(nullptr, false);
        dialog.steps = {TypeAndLogin(u"alice", u"secret-pw", true, true)};
        EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), 1);
        EXPECT_EQ(dialog.UserName(), u"alice");
    }
    const std::string bytes = FileBytes(UserInfoPath());
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::u16string text = FileText();
    ASSERT_EQ(text.substr(0, 8), u"11alice\t");
    ASSERT_EQ(text.substr(text.size() - 2), u"\r\n");
    const std::u16string ticket = text.substr(8, text.size() - 10);
    EXPECT_EQ(ticket.size(), 43u);  // the service's ticket, never the password
    EXPECT_EQ(text.find(u"secret-pw"), std::u16string::npos);
    struct stat info {};
    ASSERT_EQ(stat(U8(UserInfoPath()).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // A fresh start: the remembered automatic login runs before anything is clicked.
    ovkSetLogout(appContext.serviceSession);
    ASSERT_FALSE(session.IsLoggedIn());
    {
        LoginDialog dialog(nullptr, false);
        EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), 1);
        EXPECT_FALSE(dialog.timedOut);
    }
    ovkSetLogout(appContext.serviceSession);
    EXPECT_TRUE(session.EnsureLoggedIn(nullptr));
    EXPECT_EQ(session.UserName(), u"alice");
    EXPECT_TRUE(session.IsLoggedIn());
    EXPECT_EQ(FileText(), text);

    // Changing the user offers the ticket without logging in by itself; typing a password
    // leaves the ticket behind.
    {
        LoginDialog dialog(nullptr, true);
        std::u16string shown[4];
        dialog.steps = {[&](LoginDialog& d) {
                            shown[0] = d.Value(u"username");
                            shown[1] = d.Value(u"pswd");
                            shown[2] = d.Checked(u"rcd_pswd") ? u"remember" : u"";
                            shown[3] = d.Checked(u"auto_login") ? u"auto" : u"";
                            return true;
                        },
                        TypeAndLogin(u"alice", u"wrong-password", true, false),
                        FailureText(shown[3])};
        dialog.steps.push_back([](LoginDialog& d) {
            d.Close();
            return true;
        });
        EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), 2);
        EXPECT_EQ(shown[0], u"alice");
        EXPECT_EQ(shown[1], u"ticket_login");
        EXPECT_EQ(shown[2], u"remember");
        EXPECT_EQ(shown[3], u"登录失败,密码错误");
    }
    // A failed login clears the remembered flag and keeps the rest.
    EXPECT_EQ(FileText(), u"0" + text.substr(1));
}

TEST_F(LoginDlgTest, EachFailureIsNamedAndTheDialogStaysUsable) {
    StartService({"alice", "bob"});
    LoginDialog dialog(nullptr, false);
    std::u16string unknown, wrong, locked, empty;
    dialog.steps = {TypeAndLogin(u"nobody", u"secret-pw", false, false), FailureText(unknown),
                    TypeAndLogin(u"bob", u"wrong-pw-1", false, false), FailureText(wrong)};
    // Wrong passwords until the account is locked.
    for (int attempt = 0; attempt < 5; ++attempt) {
        dialog.steps.push_back(TypeAndLogin(u"bob", u"wrong-pw-2", false, false));
        dialog.steps.push_back(FailureText(locked));
    }
    dialog.steps.push_back([&](LoginDialog& d) {
        d.Type(u"pswd", u"");
        d.ClickLater(u"btn_login");  // refused before the service is asked: a message box
        return true;
    });
    dialog.steps.push_back([&](LoginDialog& d) {
        const HWND box = GetActiveWindow();
        if (!box || box == d.GetHwnd()) {
            return false;
        }
        Element* text = CHskFrame::FromWindow(box)->Page()->Root()->FindById(u"text_div");
        empty = text ? text->InnerText() : u"";
        PostMessage(box, WM_CLOSE, 0, 0);
        return true;
    });
    dialog.steps.push_back(TypeAndLogin(u"alice", u"secret-pw", false, false));
    EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), 1);
    EXPECT_FALSE(dialog.timedOut);
    EXPECT_EQ(unknown, u"登录失败,用户名错误");
    EXPECT_EQ(wrong, u"登录失败,密码错误");
    EXPECT_EQ(locked, u"登录受限,稍后再登录");
    EXPECT_EQ(empty, u"请输入用户名,密码!");
    EXPECT_EQ(FileText().substr(0, 8), u"00alice\t");
}

TEST_F(LoginDlgTest, NoServiceReadsConnectionFailedAndTheKeysWork) {
    UseAddress("http://127.0.0.1:9/");  // the discard port: nothing listens
    LoginDialog dialog(nullptr, false);
    std::u16string failure;
    dialog.steps = {[](LoginDialog& d) {
                        d.ById(u"info")->SetInnerText(u"");
                        d.Type(u"username", u"alice");
                        d.Type(u"pswd", u"secret-pw");
                        d.Focus(u"pswd");
                        d.Key(VK_RETURN);  // Enter in a field presses "btn_login"
                        return true;
                    },
                    FailureText(failure),
                    [](LoginDialog& d) {
                        d.Key(VK_ESCAPE);
                        return true;
                    }};
    EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), 2);
    EXPECT_FALSE(dialog.timedOut);
    EXPECT_EQ(failure, u"连接服务器失败");
}

TEST_F(LoginDlgTest, LogoutKeepsOrDropsTheRememberedTicket) {
    StartService();
    SessionHelper session;
    const auto login = [&](bool remember) {
        LoginDialog dialog(nullptr, true);
        dialog.steps = {TypeAndLogin(u"alice", u"secret-pw", remember, false)};
        return dialog.Run(SW_SHOWNORMAL);
    };
    ASSERT_EQ(login(true), 1);
    const std::string remembered = FileBytes(UserInfoPath());
    EXPECT_TRUE(session.Logout());
    EXPECT_FALSE(session.IsLoggedIn());
    EXPECT_EQ(FileBytes(UserInfoPath()), remembered);  // byte for byte

    ASSERT_EQ(login(false), 1);
    const UserInfo before = ParseUserInfo(FileText());
    EXPECT_TRUE(session.Logout());
    EXPECT_FALSE(session.IsLoggedIn());
    EXPECT_EQ(FileText(), u"00alice\r\n");
    // The ticket was revoked at the service: logging in with it fails.
    const std::u16string key = u"test-key-0000000";
    OvkTicketParams params;
    EventRecorder recorder;
    params.appId = u"2";
    params.machineKey = key.c_str();
    params.ticket = before.ticket.c_str();
    params.completion = &EventRecorder::OnCompletion;
    params.context = &recorder;
    ASSERT_TRUE(ovkTicketLoginStart(appContext.serviceSession, &params, 30000));
    ASSERT_TRUE(recorder.WaitForEnd());
    EXPECT_EQ(recorder.Events().back().event, 0u);

    // Without a remembered login the session still ends.
    ASSERT_EQ(login(false), 1);
    std::filesystem::remove(U8(UserInfoPath()));
    EXPECT_TRUE(session.Logout());
    EXPECT_FALSE(session.IsLoggedIn());
}

TEST_F(LoginDlgTest, ALoginEndingAfterTheDialogClosedTouchesNothing) {
    StartService();
    for (int round = 0; round < 5; ++round) {
        LoginDialog dialog(nullptr, false);
        dialog.steps = {[](LoginDialog& d) {
            d.Type(u"username", u"alice");
            d.Type(u"pswd", u"secret-pw");
            d.Click(u"btn_login");
            d.Close();  // at once, while the login runs
            return true;
        }};
        EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), 2);
    }
    // Whatever the SDK still had under way found no window to post to.
    EXPECT_TRUE(ListWindows().empty());
    MSG msg;
    EXPECT_FALSE(PeekMessage(&msg, nullptr, WM_LOGIN_RESULT, WM_LOGIN_RESULT, PM_REMOVE));
    EXPECT_FALSE(std::filesystem::exists(U8(UserInfoPath())));
}

}  // namespace
}  // namespace tavopix::test
