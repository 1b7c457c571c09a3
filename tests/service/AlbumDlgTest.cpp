// The album dialog against a real albumd: creating an album whose every field holds quotes,
// backslashes, markup and CJK text, finding it whole in the list the next time, the heights of
// the two views, a service that does not answer, and replies that come after the dialog closed.
#include "AccountDialogSupport.h"
#include "service/AlbumDlg.h"

namespace tavopix::test {
namespace {

using AlbumDialog = Scripted<CAlbumDlg>;

constexpr std::u16string_view kAwkwardName = u"Tom \"Jerry\" & <Co> 相册";

class AlbumDlgTest : public AccountDialogTest {
protected:
    void SetUp() override {
        AccountDialogTest::SetUp();
        StartService();
        ASSERT_EQ(sdk_->Login("alice", kPassword), 1u);
    }

    static int Height(const AlbumDialog& dialog) {
        RECT rect{};
        GetWindowRect(dialog.GetHwnd(), &rect);
        return rect.bottom - rect.top;
    }
};

TEST_F(AlbumDlgTest, AnAlbumWithQuestionIsCreatedAndListedWhole) {
    std::vector<int> heights;
    std::u16string id;
    {
        AlbumDialog dialog(nullptr);
        dialog.steps = {[&](AlbumDialog& d) {
            if (d.Display(u"btn_upload") != u"block") {
                return false;  // the list has not come yet
            }
            heights.push_back(Height(d));
            d.Click(u"create_album");
            heights.push_back(Height(d));
            d.Click(u"tp_qa");
            heights.push_back(Height(d));
            EXPECT_EQ(d.Display(u"qa_div"), u"block");
            d.Type(u"albname", u"  " + std::u16string(kAwkwardName) + u" \n");
            d.Type(u"albdesc", u"第一行 \\ \"引号\"\n<b>第二行</b>");
            d.Type(u"quest", u"猫叫\"什么\"?");
            d.Type(u"answer", u"<咪咪> & \\");
            d.Click(u"size_raw");
            d.Click(u"btn_upload");
            EXPECT_EQ(d.Text(u"info"), u"正在新建相册,请稍后...");
            EXPECT_TRUE(d.Disabled(u"btn_upload"));
            return true;
        }};
        EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), 1);
        EXPECT_FALSE(dialog.timedOut);
        id = dialog.AlbumId();
        EXPECT_EQ(dialog.FullSize(), 1);
    }
    EXPECT_EQ(heights, (std::vector<int>{CAlbumDlg::kListHeight, CAlbumDlg::kCreateHeight,
                                         CAlbumDlg::kCreateWithQuestionHeight}));
    ASSERT_FALSE(id.empty());

    // The service stored the name as typed, trimmed (the reply is read here decoded).
    const ApiReply list = CallOpenApi(appContext.serviceSession, OVK_API_ALBUM_LIST, u"", u"");
    const std::string stored = U8(list.text);
    EXPECT_NE(stored.find(R"("album_name":"Tom "Jerry" & <Co> 相册")"), std::string::npos)
        << stored;

    // The next opening lists it: the option shows the name as text, its caption carries the id.
    std::u16string optionText, caption, aid;
    std::size_t optionCount = 0;
    AlbumDialog dialog(nullptr);
    dialog.steps = {[&](AlbumDialog& d) {
        if (d.Display(u"btn_upload") != u"block") {
            return false;
        }
        Element* popup = d.ById(u"album_list")->FindFirst("popup");
        optionCount = popup->ChildCount();
        optionText = popup->ChildCount() ? popup->Child(0)->InnerText() : u"";
        Element* captionElement = d.ById(u"album_list")->FindFirst("caption");
        caption = captionElement->InnerText();
        const std::u16string* value = captionElement->GetAttribute("aid");
        aid = value ? *value : u"";
        EXPECT_EQ(d.Text(u"info"), u"");
        EXPECT_EQ(d.Display(u"btn_get_alist"), u"none");
        d.Click(u"btn_upload");
        return true;
    }};
    EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), 1);
    EXPECT_EQ(optionCount, 1u);
    EXPECT_EQ(optionText, kAwkwardName);
    EXPECT_EQ(caption, kAwkwardName);
    EXPECT_EQ(aid, id);
    EXPECT_EQ(dialog.AlbumId(), id);
    EXPECT_EQ(dialog.FullSize(), 0);
}

TEST_F(AlbumDlgTest, RefusalsAreShownAndTheViewsSwitchBack) {
    AlbumDialog dialog(nullptr);
    std::u16string refused;
    int listHeight = 0;
    dialog.steps = {[&](AlbumDialog& d) {
                        if (d.Display(u"btn_upload") != u"block") {
                            return false;
                        }
                        d.Click(u"create_album");
                        d.Click(u"tp_qa");
                        d.Type(u"albname", u"问答相册");  // no question: the service refuses
                        d.Click(u"btn_upload");
                        return true;
                    },
                    [&](AlbumDialog& d) {
                        if (d.Disabled(u"btn_upload")) {
                            return false;
                        }
                        refused = d.Text(u"info");
                        d.Click(u"btn_cancel_create");
                        listHeight = Height(d);
                        EXPECT_EQ(d.Display(u"alblist_div"), u"block");
                        EXPECT_EQ(d.Display(u"qa_div"), u"none");
                        d.Key(VK_ESCAPE);
                        return true;
                    }};
    EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), 2);
    EXPECT_EQ(refused, u"新建相册失败,请填写问题和答案,请重试!");
    EXPECT_EQ(listHeight, CAlbumDlg::kListHeight);
}

TEST_F(AlbumDlgTest, AStoppedServiceFailsTheList) {
    albumd_.reset();
    AlbumDialog dialog(nullptr);
    std::u16string failure;
    dialog.steps = {[&](AlbumDialog& d) {
        if (d.Display(u"btn_get_alist") != u"block") {
            return false;
        }
        failure = d.Text(u"info");
        d.Close();
        return true;
    }};
    EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), 2);
    EXPECT_FALSE(dialog.timedOut);
    EXPECT_EQ(failure, u"获取相册列表失败,无法连接到服务器!,请重试!");
}

TEST_F(AlbumDlgTest, RepliesAfterTheDialogClosedAreDropped) {
    for (int round = 0; round < 5; ++round) {
        AlbumDialog dialog(nullptr);
        dialog.steps = {[](AlbumDialog& d) {
            d.Click(u"btn_get_alist");  // a second list request replaces the first
            d.Close();
            return true;
        }};
        EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), 2);
    }
    MSG msg;
    EXPECT_FALSE(PeekMessage(&msg, nullptr, WM_ALBUM_LIST_REPLY, WM_ALBUM_CREATE_REPLY, PM_REMOVE));
}

}  // namespace
}  // namespace tavopix::test
