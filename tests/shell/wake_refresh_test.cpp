#include "shell/wake_refresh.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

#include "shell/connectivity.h"

namespace corvella {
namespace {

class OneShot : public Timer {
 public:
  void SetEnabled(bool enabled) override {
    on = enabled;
    ++switches;
  }
  bool on = false;
  int switches = 0;
};

class WakeRefreshTest : public ::testing::Test {
 protected:
  // Lets `timer` fire if it is running, as the window's timer would.
  void Fire(OneShot& timer) {
    if (!timer.on) return;
    if (&timer == &delay) wake.DelayTimer();
    if (&timer == &watch) wake.WatchTimer();
  }
  OneShot delay, watch;
  bool online = true;
  int passes = 0;
  bool failing = false;
  WakeRefresh wake{delay, watch, [this] { return online; },
                   [this] {
                     ++passes;
                     if (failing) throw std::runtime_error("no");
                   }};
};

TEST_F(WakeRefreshTest, OneResumeOnePassAfterTheDelay) {
  wake.Resumed();
  wake.Resumed();  // a wake by the user brings a second message
  EXPECT_EQ(passes, 0) << "never at once: the network needs a moment";
  Fire(delay);
  EXPECT_EQ(passes, 1);
  Fire(delay);
  Fire(delay);
  EXPECT_EQ(passes, 1) << "once";
}

TEST_F(WakeRefreshTest, GoingToSleepDropsAWaitingPass) {
  wake.Resumed();
  wake.Suspending();
  Fire(delay);
  EXPECT_EQ(passes, 0);
}

TEST_F(WakeRefreshTest, ConnectionBackAfterAPassWithoutOne) {
  wake.PassSawConnection(true);
  EXPECT_EQ(watch.switches, 0) << "nothing watched while passes get through";
  online = false;
  wake.PassSawConnection(false);
  EXPECT_TRUE(watch.on);
  Fire(watch);
  Fire(watch);
  EXPECT_FALSE(delay.on);
  online = true;
  Fire(watch);
  EXPECT_FALSE(watch.on);
  EXPECT_EQ(passes, 0);
  Fire(delay);
  EXPECT_EQ(passes, 1);
  wake.PassSawConnection(true);
  Fire(watch);
  Fire(delay);
  EXPECT_EQ(passes, 1);
}

TEST_F(WakeRefreshTest, AFailingPassIsNotRepeated) {
  failing = true;
  wake.Resumed();
  EXPECT_THROW(Fire(delay), std::runtime_error);
  EXPECT_FALSE(delay.on);
  Fire(delay);
  EXPECT_EQ(passes, 1);
}

TEST(Connectivity, OnlineWhenSomeNetworkCarriesTraffic) {
  using namespace connectivity;
  const struct {
    std::uint32_t flags;
    bool online;
  } cases[] = {
      {kDisconnected, false},
      {kIpv4NoTraffic, false},
      {kIpv4NoTraffic | kIpv6NoTraffic, false},
      {0x800, false},  // a flag this program does not know
      {kIpv4Internet, true},
      {kIpv4Internet | kIpv6NoTraffic, true},      // the everyday home connection
      {kIpv4LocalNetwork | kIpv6NoTraffic, true},  // behind a proxy: Windows sees no Internet
      {kIpv4Subnet, true},
      {kIpv6Internet | kIpv4NoTraffic, true},
      {kIpv6LocalNetwork, true},
      {kIpv6Subnet, true},
  };
  for (const auto& c : cases) EXPECT_EQ(ConnectivityMeansOnline(c.flags), c.online) << std::hex << c.flags;
}

}  // namespace
}  // namespace corvella
