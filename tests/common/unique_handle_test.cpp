// The handle wrapper closes each handle exactly once and keeps its kind's live count right
// through moves, resets and releases: the long-run check trusts that count.
#include <gtest/gtest.h>

#include <vector>

#include "common/unique_handle.h"

namespace corvella {
namespace {

std::vector<int> closed;

struct CountedTraits {
  static constexpr Counted kCounted = Counted::KernelHandles;
  using handle_type = int;
  static int Invalid() { return 0; }
  static void Close(int h) { closed.push_back(h); }
};
using Handle = UniqueHandle<CountedTraits>;

long Live() { return LiveCount(Counted::KernelHandles).load(); }

TEST(UniqueHandleTest, ClosesOnceAndCountsWhatIsHeld) {
  closed.clear();
  const long base = Live();
  {
    Handle a(1);
    Handle none;
    EXPECT_EQ(Live(), base + 1);
    Handle b(std::move(a));  // a move hands over, it does not add
    EXPECT_FALSE(a);
    EXPECT_EQ(Live(), base + 1);
    Handle c(2);
    c = std::move(b);  // 2 is closed, 1 lives on in c
    EXPECT_EQ(closed, std::vector<int>{2});
    EXPECT_EQ(Live(), base + 1);
    c.reset(3);
    EXPECT_EQ(Live(), base + 1);
    none.reset(4);
    EXPECT_EQ(Live(), base + 2);
    EXPECT_EQ(none.release(), 4);  // the caller owns it now: not counted, not closed
    EXPECT_EQ(Live(), base + 1);
  }
  EXPECT_EQ(closed, (std::vector<int>{2, 1, 3}));
  EXPECT_EQ(Live(), base);
}

}  // namespace
}  // namespace corvella
