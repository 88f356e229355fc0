// Generation-counted handle pools: a handle kept after its object went never
// reaches the object that took its slot; capacity ends at its edge.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/ZeHandlePool.h"

namespace {

struct Thing {
  int value;
};
struct ThingTag;
using Pool = ZeHandlePool<Thing, ThingTag>;
using Handle = Pool::Handle;

std::shared_ptr<Thing> thing(int value) { return std::make_shared<Thing>(Thing{value}); }

TEST(HandlePool, AStaleHandleMissesEvenAfterItsSlotIsTakenAgain) {
  Pool pool(4);
  const Handle first = pool.add(thing(1));
  ASSERT_FALSE(first.empty());
  ASSERT_TRUE(pool.remove(first));
  const Handle second = pool.add(thing(2));
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(second.id & 0xFFFF, first.id & 0xFFFF);  // the same slot ...
  EXPECT_NE(second, first);                          // ... in a new generation
  EXPECT_EQ(pool.find(first), nullptr);
  EXPECT_NE(std::string(pool.reason()).find("is stale"), std::string::npos) << pool.reason();
  EXPECT_FALSE(pool.remove(first));
  ASSERT_NE(pool.find(second), nullptr);
  EXPECT_EQ(pool.find(second)->value, 2);

  // The empty handle names nothing and writes no reason.
  pool.find(Handle{0x00010003});  // never made
  EXPECT_NE(std::string(pool.reason()).find("never made"), std::string::npos) << pool.reason();
  const std::string before = pool.reason();
  EXPECT_EQ(pool.find(Handle{}), nullptr);
  EXPECT_EQ(pool.reason(), before);
}

TEST(HandlePool, AHolderKeepsTheObjectAfterTheHandleIsRemoved) {
  Pool pool(2);
  const Handle h = pool.add(thing(7));
  std::shared_ptr<Thing> held = pool.shared(h);
  pool.clear();
  EXPECT_EQ(pool.count(), 0u);
  EXPECT_EQ(pool.find(h), nullptr);
  EXPECT_EQ(held->value, 7);
}

TEST(HandlePool, CapacityEndsAtItsEdge) {
  Pool pool(2);
  EXPECT_FALSE(pool.add(thing(1)).empty());
  EXPECT_FALSE(pool.add(thing(2)).empty());  // the last slot
  EXPECT_TRUE(pool.add(thing(3)).empty());   // one too many
  EXPECT_NE(std::string(pool.reason()).find("all 2 slots"), std::string::npos) << pool.reason();

  EXPECT_EQ(Pool(kZeHandlePoolMaxCapacity).capacity(), kZeHandlePoolMaxCapacity);
  EXPECT_EQ(Pool(kZeHandlePoolMaxCapacity + 1).capacity(), kZeHandlePoolMaxCapacity);
}

TEST(HandlePool, GenerationsWrapWithoutEverBeingZero) {
  Pool pool(1);
  Handle h = pool.add(thing(0));
  const Handle firstEver = h;
  for (int i = 0; i < 0xFFFF; ++i) {
    ASSERT_TRUE(pool.remove(h));
    h = pool.add(thing(i));
    ASSERT_NE(h.id >> 16, 0u) << "after " << i << " reuses";
  }
  // 65535 reuses bring the first generation back: the pool cannot tell a
  // handle that old from the new one (the price of 16-bit generations).
  EXPECT_EQ(h, firstEver);
}

}  // namespace
