// The upload dialog's parts that need no window: the speed meter, picture titles, the queue's
// markup and the scratch file a picture is converted into.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <utility>

#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "engine/InputRouter.h"
#include "platform/ScratchFolder.h"
#include "upload/CommonScrollList.h"
#include "upload/SpeedMeter.h"
#include "upload/UploadFilePreparer.h"
#include "upload/UploadMessages.h"
#include "upload/UploadQueueHtml.h"

namespace tavopix::test {
namespace {

TEST(SpeedMeterTest, KilobytesPerSecondOverTheLastTenReports) {
    SpeedMeter meter;
    meter.ResetAt(1000);
    EXPECT_EQ(meter.Rate(), 0.0F);
    meter.AddSampleAt(3000, 204800);  // 200 KB in 2 s
    EXPECT_FLOAT_EQ(meter.Rate(), 100.0F);
    // Ten slow reports push the fast start out of the ring.
    std::uint64_t bytes = 204800;
    std::uint32_t now = 3000;
    for (int i = 0; i < 10; ++i)
        meter.AddSampleAt(now += 1000, bytes += 10240);
    EXPECT_FLOAT_EQ(meter.Rate(), 10.0F);
    meter.ResetAt(now);
    EXPECT_EQ(meter.Rate(), 0.0F);
}

TEST(UploadTitleTest, TheExtensionGoesUnlessItIsJpg) {
    EXPECT_EQ(UploadTitle(u"a.png"), u"a");
    EXPECT_EQ(UploadTitle(u"b.jpg"), u"b.jpg");
    EXPECT_EQ(UploadTitle(u"c.JPG"), u"c.JPG");
    EXPECT_EQ(UploadTitle(u".png"), u".png");
    EXPECT_EQ(UploadTitle(u"d.e.jpeg"), u"d.e");
    EXPECT_EQ(UploadTitle(u"noext"), u"noext");
}

TEST(UploadQueueHtmlTest, PathsKeepTheirExactValueWhateverTheyHold) {
    const std::vector<std::u16string> paths = {u"/p/Tom & \"Jerry\" <1>.jpg", u"%mypic%/猫.png"};
    std::unique_ptr<Document> document = Document::FromHtml("<div #task_list></div>", u"");
    Element* list = document->Root()->FindById(u"task_list");
    ASSERT_TRUE(list->SetHtml(QueueItemsHtml(paths), SIH_APPEND_AFTER_LAST));
    ASSERT_EQ(list->ChildCount(), 2u);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(*list->Child(i)->FindFirst("picture")->GetAttribute("path"), paths[i]);
        EXPECT_NE(list->Child(i)->FindFirst("div.sts > p.txt_wait"), nullptr);
    }
    ASSERT_TRUE(
        list->SetHtml(DoneItemHtml(u"/t/a\".jpg", u"http://h/p?a=1&b=\"2\""), SIH_INSERT_AT_START));
    EXPECT_EQ(*list->FirstChild()->FindFirst("a.txt_link")->GetAttribute("url"),
              u"http://h/p?a=1&b=\"2\"");
    EXPECT_EQ(*list->FirstChild()->FindFirst("picture")->GetAttribute("src"), u"/t/a\".jpg");
}

// The queue's behaviour speaks up for wheel turns, arrow keys and scrolls, and for nothing
// else, without taking any of them from the page.
TEST(CommonScrollListTest, WheelArrowsAndScrollsRaiseTheListEvent) {
    ASSERT_EQ(Behavior::Find("common_scroll_list"), &commonScrollList);
    std::unique_ptr<Document> page = Document::FromHtml(
        "<style>#list { behavior: common_scroll_list }</style><div #list tabindex=0></div>", u"");
    EventDispatcher events(*page);
    struct Listener : EventHandler {
        Listener() : EventHandler(HANDLE_BEHAVIOR_EVENT) {}
        bool OnBehaviorEvent(Element*, Element*, std::uint32_t code, std::uintptr_t) override {
            if (code == SCROLL_LIST_EVENT)
                ++raised;
            return false;
        }
        int raised = 0;
    } listener;
    events.AttachWindowHandler(listener, HANDLE_BEHAVIOR_EVENT);
    Element* list = page->Root()->FindById(u"list");
    const auto deliver = [&] {
        while (events.DeliverPostedEvent()) {
        }
        return std::exchange(listener.raised, 0);
    };
    MouseInput wheel;
    wheel.cmd = MOUSE_WHEEL;
    wheel.target = list->GetUid();
    EXPECT_TRUE(events.Input().Mouse(wheel));
    EXPECT_EQ(deliver(), 1);
    ASSERT_TRUE(events.Input().FocusMoved(list->GetUid()));
    for (std::uint32_t key : {36u, 37u, 38u, 39u, 40u, 41u}) {
        KeyInput press;
        press.keyCode = key;
        events.Input().Key(press);
    }
    EXPECT_EQ(deliver(), 4);  // the arrows only
    ScrollInput scroll;
    scroll.target = list->GetUid();
    scroll.pos = 84;
    EXPECT_TRUE(events.Input().Scroll(scroll));
    EXPECT_EQ(deliver(), 1);
}

class ScratchFileTest : public ::testing::Test {
protected:
    std::u16string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(folder_.Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return FromUtf8(folder_.Path(name));
    }
    std::u16string Photo(const std::string& name) {
        const char* photos = std::getenv("TAVOPIX_PHOTOS");
        std::ifstream file(std::filesystem::path(photos) / "real" / name, std::ios::binary);
        return Write(name, std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
    }
    ScratchFolder folder_;
};

// A failed conversion never leaves the previous picture to be sent in its place, and the
// scratch file stays private even when it was readable before.
TEST_F(ScratchFileTest, IsPrivateAndNeverHoldsAnEarlierPicture) {
    if (!std::getenv("TAVOPIX_PHOTOS"))
        GTEST_SKIP() << "TAVOPIX_PHOTOS is not set";
    const std::u16string scratch = FromUtf8(folder_.Path("~uploadtmp.jpg"));
    Write("~uploadtmp.jpg", std::vector<std::uint8_t>(10, 1));
    ASSERT_EQ(chmod(folder_.Path("~uploadtmp.jpg").c_str(), 0644), 0);

    std::u16string file;
    std::u16string title;
    ASSERT_TRUE(PrepareUploadFile(Photo("chelsea.png"), false, scratch, file, title));
    EXPECT_EQ(file, scratch);
    EXPECT_EQ(title, u"chelsea");
    struct stat info {};
    ASSERT_EQ(stat(folder_.Path("~uploadtmp.jpg").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_GT(info.st_size, 1000);

    const std::u16string broken = Write("broken.png", std::vector<std::uint8_t>(4096, 0x5A));
    EXPECT_FALSE(PrepareUploadFile(broken, false, scratch, file, title));
    EXPECT_FALSE(PrepareUploadFile(broken, true, scratch, file, title));
    ASSERT_EQ(stat(folder_.Path("~uploadtmp.jpg").c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 0);

    // A JPEG within the side, or any JPEG at full size, is sent as it is.
    const std::u16string small = Photo("Wine_by_Jakkub_Mede.jpg");
    ASSERT_TRUE(PrepareUploadFile(small, true, scratch, file, title));
    EXPECT_EQ(file, small);
    EXPECT_EQ(title, u"Wine_by_Jakkub_Mede.jpg");
    EXPECT_FALSE(PrepareUploadFile(u"%nothing%/x.jpg", false, scratch, file, title));
}

}  // namespace
}  // namespace tavopix::test
