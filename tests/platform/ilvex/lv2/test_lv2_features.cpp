#include <gtest/gtest.h>

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/parameters/parameters.h>
#include <lv2/worker/worker.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/ilvex/lv2/Lv2Features.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/LockCounter.h"

namespace zonda::ilvex {
namespace {

TEST(Lv2UridMap, GivesEachUriOneNumberAndReadsKnownOnesWithoutALock) {
  Lv2UridMap map;
  const LV2_URID a = map.Map("urn:a");
  const LV2_URID b = map.Map("urn:b");
  EXPECT_NE(a, 0u);
  EXPECT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(map.Map("urn:a"), a);
  EXPECT_STREQ(map.Unmap(b), "urn:b");
  EXPECT_EQ(map.Unmap(0), nullptr);
  EXPECT_EQ(map.Unmap(999), nullptr);
  EXPECT_EQ(map.Map(nullptr), 0u);

  // What a plug-in does on the audio thread: look up URIs it has seen, and unmap.
  EXPECT_EQ(test::CountLocks([&] { EXPECT_EQ(map.Map("urn:b"), b); }), 0);
  EXPECT_EQ(test::CountAllocations([&] { EXPECT_EQ(map.Map("urn:a"), a); }), 0);
  EXPECT_EQ(test::CountLocks([&] { EXPECT_STREQ(map.Unmap(a), "urn:a"); }), 0);

  // Through the feature, as plug-ins call it.
  const auto* feature = static_cast<const LV2_URID_Map*>(map.MapFeature()->data);
  EXPECT_STREQ(map.MapFeature()->URI, LV2_URID__map);
  EXPECT_EQ(feature->map(feature->handle, "urn:a"), a);
  const auto* unmap = static_cast<const LV2_URID_Unmap*>(map.UnmapFeature()->data);
  EXPECT_STREQ(unmap->unmap(unmap->handle, a), "urn:a");
}

TEST(Lv2UridMap, ThreadsMappingAtOnceAgree) {
  Lv2UridMap map;
  constexpr int kUris = 500;
  std::vector<std::vector<LV2_URID>> seen(4, std::vector<LV2_URID>(kUris));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kUris; ++i) seen[size_t(t)][size_t(i)] = map.Map(("urn:u" + std::to_string(i)).c_str());
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(map.Size(), uint32_t(kUris));
  for (int t = 1; t < 4; ++t) EXPECT_EQ(seen[size_t(t)], seen[0]);
  for (int i = 0; i < kUris; ++i) EXPECT_EQ(map.Unmap(seen[0][size_t(i)]), "urn:u" + std::to_string(i));
}

TEST(Lv2UridMap, AFullTableAnswersZero) {
  Lv2UridMap map;
  for (uint32_t i = map.Size(); i < Lv2UridMap::kCapacity; ++i) ASSERT_NE(map.Map(("urn:f" + std::to_string(i)).c_str()), 0u);
  EXPECT_EQ(map.Map("urn:one-too-many"), 0u);
  EXPECT_EQ(map.Map("urn:f5"), 6u);  // those already there still answer
}

TEST(Lv2Features, OffersMappingOptionsAndABoundedBlockLength) {
  Lv2Features features;
  std::vector<std::string> offered;
  for (const LV2_Feature* const* f = features.List(); *f != nullptr; ++f) offered.push_back((*f)->URI);
  EXPECT_EQ(offered, (std::vector<std::string>{LV2_URID__map, LV2_URID__unmap, LV2_OPTIONS__options,
                                               LV2_BUF_SIZE__boundedBlockLength}));

  const LV2_Options_Option* options = nullptr;
  for (const LV2_Feature* const* f = features.List(); *f != nullptr; ++f)
    if (std::strcmp((*f)->URI, LV2_OPTIONS__options) == 0) options = static_cast<const LV2_Options_Option*>((*f)->data);
  ASSERT_NE(options, nullptr);
  Lv2UridMap& urids = features.Urids();
  struct Case {
    const char* key;
    double value;
  } cases[] = {{LV2_BUF_SIZE__minBlockLength, 1},
               {LV2_BUF_SIZE__maxBlockLength, 4411},
               {LV2_BUF_SIZE__nominalBlockLength, 512},
               {LV2_PARAMETERS__sampleRate, 44100}};
  for (const Case& c : cases) {
    const LV2_Options_Option* found = nullptr;
    for (const LV2_Options_Option* o = options; o->key != 0; ++o)
      if (o->key == urids.Map(c.key)) found = o;
    ASSERT_NE(found, nullptr) << c.key;
    if (found->type == urids.Map(LV2_ATOM__Int))
      EXPECT_EQ(*static_cast<const int32_t*>(found->value), int32_t(c.value)) << c.key;
    else if (found->type == urids.Map(LV2_ATOM__Float))
      EXPECT_EQ(*static_cast<const float*>(found->value), float(c.value)) << c.key;
    else
      ADD_FAILURE() << c.key << " has type " << urids.Unmap(found->type);
  }

  struct Required {
    const char* uri;
    bool provided;
  } required[] = {{LV2_URID__map, true},
                  {LV2_OPTIONS__options, true},
                  {LV2_BUF_SIZE__boundedBlockLength, true},
                  {LV2_CORE__inPlaceBroken, true},
                  {LV2_BUF_SIZE__powerOf2BlockLength, false},
                  {LV2_BUF_SIZE__fixedBlockLength, false},
                  {LV2_WORKER__schedule, false},
                  {"urn:unknown", false}};
  for (const Required& r : required) EXPECT_EQ(Lv2Features::Provides(r.uri), r.provided) << r.uri;
}

}  // namespace
}  // namespace zonda::ilvex
