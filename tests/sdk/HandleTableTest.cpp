#include "sdk/internal/HandleTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/WaitUntil.h"

namespace tavopix::sdk {
namespace {

class Counted : public HandleObject {
public:
    void Abandon() override { ++abandoned; }
    int abandoned = 0;
};

TEST(HandleTableTest, HandlesAreNeverReusedAndCloseOnce) {
    HandleTable table;
    std::uint32_t first = table.Add(std::make_shared<Counted>());
    std::uint32_t second = table.Add(std::make_shared<Counted>());
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    EXPECT_TRUE(table.Remove(first));
    EXPECT_FALSE(table.Remove(first));
    EXPECT_FALSE(table.Find(first));
    EXPECT_GT(table.Add(std::make_shared<Counted>()), second);
    EXPECT_EQ(table.CloseAll().size(), 2u);
    EXPECT_EQ(table.Add(std::make_shared<Counted>()), 0u);
    EXPECT_FALSE(table.Deliver(second, [] {}));
}

TEST(HandleTableTest, RemoveWaitsForARunningDeliveryAndNoneRunsAfterIt) {
    HandleTable table;
    std::uint32_t handle = table.Add(std::make_shared<Counted>());
    std::atomic<bool> delivering = false;
    std::atomic<bool> removing = false;
    std::atomic<bool> deliveryDone = false;
    std::thread deliverer([&] {
        table.Deliver(handle, [&] {
            delivering = true;
            // Still running when the close begins.
            EXPECT_TRUE(test::WaitUntil([&] { return removing.load(); }));
            deliveryDone = true;
        });
    });
    ASSERT_TRUE(test::WaitUntil([&] { return delivering.load(); }));
    removing = true;
    EXPECT_TRUE(table.Remove(handle));
    EXPECT_TRUE(deliveryDone);  // the close returned only after the callback had ended
    deliverer.join();
    EXPECT_FALSE(table.Deliver(handle, [] { ADD_FAILURE() << "delivered after close"; }));
}

TEST(HandleTableTest, ACallbackMayCloseItsOwnHandle) {
    HandleTable table;
    std::uint32_t handle = table.Add(std::make_shared<Counted>());
    bool removed = false;
    std::thread deliverer(
        [&] { table.Deliver(handle, [&] { removed = table.Remove(handle) != nullptr; }); });
    deliverer.join();
    EXPECT_TRUE(removed);
}

TEST(HandleTableTest, ClosingAndDeliveringRaceWithoutALateCallback) {
    for (int round = 0; round < 200; ++round) {
        HandleTable table;
        std::uint32_t handle = table.Add(std::make_shared<Counted>());
        std::atomic<bool> closed = false;
        std::atomic<int> late = 0;
        std::thread deliverer([&] {
            for (int i = 0; i < 50; ++i) {
                table.Deliver(handle, [&] { late += closed ? 1 : 0; });
            }
        });
        (void)table.Remove(handle);
        closed = true;
        deliverer.join();
        EXPECT_EQ(late, 0);
    }
}

}  // namespace
}  // namespace tavopix::sdk
