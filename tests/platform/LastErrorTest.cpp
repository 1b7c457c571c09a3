#include "platform/LastError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace tavopix {
namespace {

TEST(LastError, IsPerThread) {
    SetLastError(ERROR_ALREADY_EXISTS);
    std::uint32_t seenByOther = 99;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
    });
    other.join();
    EXPECT_EQ(seenByOther, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
}

TEST(LastError, MapsTheErrnoValuesCallersCompare) {
    EXPECT_EQ(ErrorFromErrno(EEXIST), 183u);
    EXPECT_EQ(ErrorFromErrno(ENOENT), 2u);
    EXPECT_EQ(ErrorFromErrno(ENOTDIR), 3u);
    EXPECT_EQ(ErrorFromErrno(EACCES), 5u);
    EXPECT_EQ(ErrorFromErrno(0), ERROR_SUCCESS);
    EXPECT_EQ(ErrorFromErrno(12345), ERROR_GEN_FAILURE);
    errno = EEXIST;
    EXPECT_EQ(SetLastErrorFromErrno(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
}

}  // namespace
}  // namespace tavopix
