// The operator's commands on a data folder: accounts, limits, the published update and backups.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Operator.h"
#include "ServiceFixture.h"

namespace albumd::test {
namespace {

class OperatorTest : public ServiceFixture {
protected:
    int Run(const std::vector<std::string>& words, const std::string& input = "") {
        std::istringstream in(input);
        out_.str("");
        err_.str("");
        return RunOperatorCommand(words, service_->Data(), in, out_, err_);
    }
    std::ostringstream out_, err_;
};

TEST_F(OperatorTest, ManagesAccounts) {
    EXPECT_EQ(Run({"user", "add", "alice"}, "first-password\r\n"), 0);
    EXPECT_EQ(Run({"user", "add", "alice"}, "first-password\n"), 1);
    EXPECT_EQ(Run({"user", "add", "bob"}, "short\n"), 1);
    EXPECT_EQ(Run({"user", "add", "a b"}, "long-enough-pw\n"), 1);
    std::string ticket = LoginTicket("alice", "first-password");

    EXPECT_EQ(Run({"user", "passwd", "alice"}, "second-password\n"), 0);
    EXPECT_EQ(Send("GET", "/api/user", "", ticket).status, 401);  // old logins end
    EXPECT_EQ(Send("POST", "/api/login", "{\"username\":\"alice\",\"password\":\"first-password\"}")
                  .status,
              403);
    ticket = LoginTicket("alice", "second-password");
    EXPECT_EQ(Run({"user", "passwd", "nobody"}, "second-password\n"), 1);

    std::string album = CreateAlbum(ticket, "a");
    ASSERT_EQ(Upload(ticket, album, FakeJpeg(2048)).status, 200);
    EXPECT_EQ(Run({"user", "list"}), 0);
    EXPECT_NE(out_.str().find("1\talice\t"), std::string::npos);
    EXPECT_NE(out_.str().find("\t1\t2.0 KB\t1.0 GB\t1000\n"), std::string::npos) << out_.str();

    EXPECT_EQ(Run({"user", "delete", "alice"}), 0);
    EXPECT_FALSE(std::filesystem::exists(config_.dataDir + "/photos/1"));
    EXPECT_EQ(Send("GET", "/api/user", "", ticket).status, 401);
    EXPECT_EQ(Run({"user", "delete", "alice"}), 1);
}

TEST_F(OperatorTest, SetsDefaultAndPerUserLimits) {
    ASSERT_EQ(Run({"user", "add", "alice"}, "first-password\n"), 0);
    EXPECT_EQ(Run({"limits", "--space", "2G", "--pictures", "50"}), 0);
    EXPECT_EQ(out_.str(),
              "default: space per user 2147483648 bytes (2.0 GB), pictures per album 50, albums "
              "per user 100, feedback per day 20\n");
    EXPECT_EQ(Run({"limits", "--user", "alice", "--space", "10M"}), 0);
    EXPECT_EQ(out_.str(),
              "alice: space per user 10485760 bytes (10.0 MB), pictures per album 50, albums per "
              "user 100, feedback per day 20\n");
    EXPECT_EQ(Run({"limits", "--user", "alice", "--space", "default"}), 0);
    EXPECT_NE(out_.str().find("2147483648"), std::string::npos);
    EXPECT_EQ(Run({"limits", "--space", "default"}), 2);
    EXPECT_EQ(Run({"limits", "--space", "9X"}), 2);
    EXPECT_EQ(Run({"limits", "--user", "nobody", "--space", "1G"}), 1);
    EXPECT_FALSE(ParseSize("99999999999G"));
}

TEST_F(OperatorTest, BacksUpTheDatabaseWhileItIsOpen) {
    ASSERT_EQ(Run({"user", "add", "alice"}, "first-password\n"), 0);
    const std::string ticket = LoginTicket("alice", "first-password");
    CreateAlbum(ticket, "旅行");
    const std::string copy = dir_.Path() + "backup.db";
    ASSERT_EQ(Run({"backup", copy}), 0) << err_.str();
    EXPECT_EQ(std::filesystem::status(copy).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(Run({"backup", copy}), 1);  // never over an existing file

    // The copy is a whole database: a data folder made of it lists the account and its album.
    std::filesystem::create_directory(dir_.Path() + "restored");
    std::filesystem::copy_file(copy, dir_.Path() + "restored/albumd.db");
    std::string error;
    auto restored = DataStore::Open(dir_.Path() + "restored", HashCost::Minimal, 3600, error);
    ASSERT_NE(restored, nullptr) << error;
    UserRecord alice;
    ASSERT_EQ(restored->accounts.FindUser("alice", alice), StoreResult::Ok);
    std::vector<AlbumRecord> albums;
    ASSERT_EQ(restored->albums.ListAlbums(alice.id, albums), StoreResult::Ok);
    ASSERT_EQ(albums.size(), 1u);
    EXPECT_EQ(albums[0].name, "旅行");
}

TEST_F(OperatorTest, PublishesAndWithdrawsTheUpdate) {
    std::string package = dir_.Path() + "tavopix-0.1.3.0.tar.gz";
    std::ofstream(package) << "pkg";
    EXPECT_EQ(Run({"update", "show"}), 0);
    EXPECT_EQ(out_.str(), "no update published\n");
    EXPECT_EQ(Run({"update", "set", "0.1.3.0", package, "--base-url", "http://127.0.0.1:9000"}), 0);
    EXPECT_EQ(out_.str(),
              "version 0.1.3.0 http://127.0.0.1:9000/tavopix/packages/tavopix-0.1.3.0.tar.gz\n");
    EXPECT_EQ(Send("GET", "/tavopix/update.dat").status, 200);
    // The key made for the first package is kept, private to albumd, and shown on demand.
    std::ostringstream publicKey;
    publicKey << std::ifstream(dir_.Path() + "data/update-signing.pub").rdbuf();
    EXPECT_EQ(std::filesystem::status(dir_.Path() + "data/update-signing.key").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(Run({"update", "key"}), 0);
    EXPECT_EQ(out_.str(), publicKey.str());
    EXPECT_EQ(out_.str().size(), 65u);
    EXPECT_EQ(Run({"update", "set", "0.1.3.0", package, "--base-url", "http://h", "--signing-key",
                   dir_.Path() + "missing.key"}),
              1);
    EXPECT_EQ(Run({"update", "set", "v2", package, "--base-url", "http://h"}), 1);
    EXPECT_EQ(Run({"update", "clear"}), 0);
    EXPECT_EQ(Send("GET", "/tavopix/update.dat").status, 404);
    EXPECT_EQ(Run({"update"}), 2);
}

}  // namespace
}  // namespace albumd::test
