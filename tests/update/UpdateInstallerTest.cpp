// Installing update packages made and signed here with libarchive and libsodium: what a good
// package replaces and keeps, every kind of entry or signature that makes a package refused (and
// then nothing changes), and installs cut off before and after the unpacked files were complete.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <sodium.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/ScratchFolder.h"
#include "update/UpdateFolders.h"
#include "update/UpdateInstaller.h"

namespace tavopix::test {
namespace {

namespace fs = std::filesystem;

struct Entry {
    std::string name;
    std::string content;  // a file's bytes, or a link's target
    unsigned type = AE_IFREG;
    unsigned mode = 0644;
    bool hardLink = false;
};

void WritePackage(const std::string& path, const std::vector<Entry>& entries) {
    archive* writer = archive_write_new();
    archive_write_add_filter_gzip(writer);
    archive_write_set_format_pax_restricted(writer);
    ASSERT_EQ(archive_write_open_filename(writer, path.c_str()), ARCHIVE_OK);
    for (const Entry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.name.c_str());
        archive_entry_set_filetype(entry, e.type);
        archive_entry_set_perm(entry, e.mode);
        if (e.hardLink)
            archive_entry_set_hardlink(entry, e.content.c_str());
        else if (e.type == AE_IFLNK)
            archive_entry_set_symlink(entry, e.content.c_str());
        else if (e.type == AE_IFREG)
            archive_entry_set_size(entry, static_cast<la_int64_t>(e.content.size()));
        archive_write_header(writer, entry);
        if (e.type == AE_IFREG && !e.hardLink)
            archive_write_data(writer, e.content.data(), e.content.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

// A signing key, and the signature trailer albumd appends to a package.
struct SigningKey {
    SigningKey() { crypto_sign_keypair(publicKey, secretKey); }
    std::string PublicHex() const {
        char hex[2 * crypto_sign_PUBLICKEYBYTES + 1];
        sodium_bin2hex(hex, sizeof hex, publicKey, sizeof publicKey);
        return std::string(hex) + "\n";
    }
    std::string Sign(const std::string& tarball) const {
        crypto_sign_state state;
        crypto_sign_init(&state);
        crypto_sign_update(&state, reinterpret_cast<const unsigned char*>(tarball.data()),
                           tarball.size());
        std::string signature(crypto_sign_BYTES, '\0');
        crypto_sign_final_create(&state, reinterpret_cast<unsigned char*>(signature.data()),
                                 nullptr, secretKey);
        return tarball + signature + "tavopix-signed-1";
    }
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
};

const std::vector<Entry> kGoodPackage = {
    {"./tavopix", "new program", AE_IFREG, 0755},
    {"skin/", "", AE_IFDIR, 0755},
    {"skin/mainframe.htm", "new page"},
    {"web/shell.js", "new shell"},
};

class UpdateInstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(sodium_init(), 0);
        program_.Write("update-signing.pub", key_.PublicHex());
        fs::create_directories(program_.Path("skin"));
        fs::create_directories(program_.Path("iconsdb"));
        program_.Write("tavopix", "old program");
        program_.Write("skin/mainframe.htm", "old page");
        program_.Write("skin/old-only.css", "kept");
        for (const char* user : {"tavopix.ini", "UserInfo.dat", "SetPathCfg.dat",
                                 "searchPathCache.dat", "uploadedImg.dat", "iconsdb/a.jpg"})
            program_.Write(user, std::string("user data of ") + user);
    }

    InstallResult Install(const std::vector<Entry>& entries) {
        return InstallSigned(entries,
                             [&](const std::string& tarball) { return key_.Sign(tarball); });
    }
    // Installs the archive of `entries` as `sign` turns it into a package.
    template <typename Sign>
    InstallResult InstallSigned(const std::vector<Entry>& entries, Sign sign) {
        const std::string archivePath = packages_.Path("update.tar");
        WritePackage(archivePath, entries);
        return InstallBytes(sign(packages_.Read("update.tar")));
    }
    InstallResult InstallBytes(const std::string& bytes) {
        const std::string package = packages_.Write("update.tar.gz", bytes);
        error_.clear();
        return InstallUpdatePackage(program_.Path(), package, error_);
    }

    void ExpectOldProgram() {
        EXPECT_EQ(program_.Read("tavopix"), "old program");
        EXPECT_EQ(program_.Read("skin/mainframe.htm"), "old page");
        EXPECT_EQ(program_.Read("tavopix.ini"), "user data of tavopix.ini");
        EXPECT_FALSE(fs::exists(program_.Path("web")));
        EXPECT_FALSE(fs::exists(program_.Path(".update")));
    }

    SigningKey key_;
    ScratchFolder program_;
    ScratchFolder packages_;
    std::string error_;
};

TEST_F(UpdateInstallerTest, ReplacesTheProgramsFilesAndKeepsTheUsers) {
    ASSERT_EQ(Install(kGoodPackage), InstallResult::Installed) << error_;
    EXPECT_EQ(program_.Read("tavopix"), "new program");
    EXPECT_TRUE((fs::status(program_.Path("tavopix")).permissions() & fs::perms::owner_exec) !=
                fs::perms::none);
    EXPECT_EQ(program_.Read("skin/mainframe.htm"), "new page");
    EXPECT_EQ(program_.Read("web/shell.js"), "new shell");
    EXPECT_EQ(program_.Read("skin/old-only.css"), "kept");
    for (const char* user : {"tavopix.ini", "UserInfo.dat", "SetPathCfg.dat", "searchPathCache.dat",
                             "uploadedImg.dat", "iconsdb/a.jpg"})
        EXPECT_EQ(program_.Read(user), std::string("user data of ") + user) << user;
    EXPECT_FALSE(fs::exists(program_.Path(".update")));
}

TEST_F(UpdateInstallerTest, RefusesPackagesThatReachOutsideOrTouchTheUsersFiles) {
    const std::vector<std::vector<Entry>> hostile = {
        {{"tavopix", "x", AE_IFREG, 0755}, {"../escaped", "x"}},
        {{"tavopix", "x", AE_IFREG, 0755}, {"skin/../../escaped", "x"}},
        {{"tavopix", "x", AE_IFREG, 0755}, {"/tmp/absolute", "x"}},
        {{"tavopix", "x", AE_IFREG, 0755}, {"skin/link", "/etc", AE_IFLNK, 0777}},
        {{"tavopix", "x", AE_IFREG, 0755}, {"skin/hard", "tavopix", AE_IFREG, 0644, true}},
        {{"tavopix", "x", AE_IFREG, 0755}, {"UserInfo.dat", "stolen login"}},
        {{"tavopix", "x", AE_IFREG, 0755}, {"pendingUpload.dat", "another queue"}},
        {{"tavopix", "x", AE_IFREG, 0755}, {"./iconsdb/a.jpg", "x"}},
        {{"tavopix", "x", AE_IFREG, 0755}, {"skin/a\nb", "x"}},
        {{"tavopix", "x", AE_IFREG, 0755}, {"skin/a", "x"}, {"skin/a", "y"}},
        {{"skin/mainframe.htm", "a package without the program"}},
        {{"tavopix", "not executable", AE_IFREG, 0644}},
        // A file where the program folder has a folder: nothing is replaced by it.
        {{"tavopix", "x", AE_IFREG, 0755}, {"skin", "x"}},
    };
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        EXPECT_EQ(Install(hostile[i]), InstallResult::Refused) << "package " << i;
        EXPECT_FALSE(error_.empty());
        ExpectOldProgram();
    }
    EXPECT_FALSE(fs::exists(program_.Path("../escaped")));
    EXPECT_EQ(InstallBytes(key_.Sign("\x1f\x8b not really gzip")), InstallResult::Refused);
    ExpectOldProgram();
}

TEST_F(UpdateInstallerTest, OnlyAPackageSignedWithTheUpdateKeyIsInstalled) {
    const SigningKey other;
    const auto asIs = [](const std::string& tarball) { return tarball; };
    const auto byOther = [&](const std::string& tarball) { return other.Sign(tarball); };
    const auto changedAfterSigning = [&](const std::string& tarball) {
        std::string bytes = key_.Sign(tarball);
        bytes[bytes.size() / 3] ^= 1;
        return bytes;
    };
    EXPECT_EQ(InstallSigned(kGoodPackage, asIs), InstallResult::Refused);
    EXPECT_EQ(error_, "the package is not signed");
    ExpectOldProgram();
    EXPECT_EQ(InstallSigned(kGoodPackage, byOther), InstallResult::Refused);
    EXPECT_EQ(error_, "the package's signature does not match the update key");
    ExpectOldProgram();
    EXPECT_EQ(InstallSigned(kGoodPackage, changedAfterSigning), InstallResult::Refused);
    ExpectOldProgram();
    // Without the operator's key file only the built-in release key is trusted; a damaged key
    // file trusts nothing.
    fs::remove(program_.Path("update-signing.pub"));
    EXPECT_EQ(Install(kGoodPackage), InstallResult::Refused);
    program_.Write("update-signing.pub", "not a key");
    EXPECT_EQ(Install(kGoodPackage), InstallResult::Refused);
    ExpectOldProgram();
}

// A link where the package puts a file is never written through.
TEST_F(UpdateInstallerTest, RefusesToWriteThroughALinkInTheProgramFolder) {
    fs::create_directories(packages_.Path("elsewhere"));
    fs::create_directory_symlink(packages_.Path("elsewhere"), program_.Path("web"));
    EXPECT_EQ(Install(kGoodPackage), InstallResult::Refused);
    EXPECT_FALSE(fs::exists(packages_.Path("elsewhere/shell.js")));
    EXPECT_EQ(program_.Read("tavopix"), "old program");
}

TEST_F(UpdateInstallerTest, AnInstallCutOffIsFinishedOrDiscardedAtTheNextStart) {
    const UpdateFolders folders(program_.Path());
    // Cut off while unpacking: no ready mark, so the old program stays as it is.
    fs::create_directories(folders.staging + "skin");
    program_.Write(".update/staging/tavopix", "half a program");
    EXPECT_FALSE(FinishInterruptedUpdate(program_.Path()));
    ExpectOldProgram();

    // Cut off while moving: the program is new, the page not yet; the next start moves the rest.
    fs::create_directories(folders.staging + "skin");
    program_.Write(".update/staging/skin/mainframe.htm", "new page");
    program_.Write(".update/ready", "");
    program_.Write("tavopix", "new program");
    EXPECT_TRUE(FinishInterruptedUpdate(program_.Path()));
    EXPECT_EQ(program_.Read("tavopix"), "new program");
    EXPECT_EQ(program_.Read("skin/mainframe.htm"), "new page");
    EXPECT_FALSE(fs::exists(folders.root));
    EXPECT_FALSE(FinishInterruptedUpdate(program_.Path()));
}

}  // namespace
}  // namespace tavopix::test
