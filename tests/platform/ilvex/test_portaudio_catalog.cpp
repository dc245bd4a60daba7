// PortAudio as Debian ships it must offer JACK, and the device order must
// prefer what the settings name, then JACK.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/ilvex/core/PortAudioCatalog.h"
#include "tests/support/JackClient.h"

namespace zonda::ilvex {
namespace {

class PortAudioCatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZONDA_REQUIRE_JACK();
    ::setenv("ZONDA_JACK_CLIENT", ("zonda-catalog-" + std::to_string(::getpid())).c_str(), 1);
    session_ = std::make_unique<PortAudioSession>();
    ASSERT_TRUE(session_->Ok());
  }
  std::unique_ptr<PortAudioSession> session_;
};

TEST_F(PortAudioCatalogTest, ListsJackWithTheServersFourByFourDevice) {
  const auto apis = ListHostApis();
  auto jack = std::find_if(apis.begin(), apis.end(), [](const PaHostApiEntry& a) { return a.name == kJackHostApiName; });
  ASSERT_NE(jack, apis.end()) << "PortAudio was built without JACK";
  // PortAudio lists every JACK client with ports as a device; other tests' clients may be there too.
  auto system = std::find_if(jack->devices.begin(), jack->devices.end(),
                             [](const PaDeviceEntry& d) { return d.name == "system"; });
  ASSERT_NE(system, jack->devices.end());
  EXPECT_EQ(system->outputs, 4);
  EXPECT_EQ(system->inputs, 4);
  EXPECT_TRUE(system->isDefault);
  EXPECT_EQ(JackClientName(), "zonda-catalog-" + std::to_string(::getpid()));
}

TEST_F(PortAudioCatalogTest, CandidatesFollowTheSettings) {
  const auto apis = ListHostApis();
  auto apiOf = [&](const PaDeviceEntry& d) {
    for (const auto& a : apis)
      for (const auto& x : a.devices)
        if (x.index == d.index) return a.name;
    return std::string();
  };
  AudioSettings automatic;
  auto c = DeviceCandidates(automatic);
  ASSERT_FALSE(c.empty());
  EXPECT_EQ(apiOf(c[0]), kJackHostApiName) << "JACK first when a server runs";

  AudioSettings pinned;
  pinned.hostApi = kJackHostApiName;
  pinned.hostApiStrict = true;
  c = DeviceCandidates(pinned);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].name, "system");

  AudioSettings absent;
  absent.hostApi = "No Such Host API";
  absent.hostApiStrict = true;
  EXPECT_TRUE(DeviceCandidates(absent).empty());
  absent.hostApiStrict = false;
  c = DeviceCandidates(absent);
  ASSERT_FALSE(c.empty()) << "a stored host API that is gone falls back";
  EXPECT_EQ(apiOf(c[0]), kJackHostApiName);

  AudioSettings missingDevice;
  missingDevice.hostApi = kJackHostApiName;
  missingDevice.device = "unplugged";
  c = DeviceCandidates(missingDevice);
  ASSERT_FALSE(c.empty());
  EXPECT_EQ(c[0].name, "system") << "the host API's default stands in for a missing device";
}

}  // namespace
}  // namespace zonda::ilvex
