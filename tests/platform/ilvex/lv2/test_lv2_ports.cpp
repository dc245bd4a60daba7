#include <gtest/gtest.h>

#include <lilv/lilv.h>

#include <memory>
#include <string>

#include "platform/ilvex/lv2/Lv2Host.h"
#include "platform/ilvex/lv2/Lv2Nodes.h"
#include "platform/ilvex/lv2/Lv2Ports.h"
#include "tests/platform/ilvex/lv2/Lv2TestBundles.h"

namespace zonda::ilvex {
namespace {

// Descriptions only (their binaries do not exist): what the host reads from them
// needs no instance.
constexpr const char* kManifest = R"(
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
<urn:zonda:test:controls> a lv2:Plugin ; lv2:binary <none.so> ; rdfs:seeAlso <plugins.ttl> .
<urn:zonda:test:cv-required> a lv2:Plugin ; lv2:binary <none.so> ; rdfs:seeAlso <plugins.ttl> .
<urn:zonda:test:cv-optional> a lv2:Plugin ; lv2:binary <none.so> ; rdfs:seeAlso <plugins.ttl> .
<urn:zonda:test:instrument> a lv2:Plugin ; lv2:binary <none.so> ; rdfs:seeAlso <plugins.ttl> .
)";

constexpr const char* kPlugins = R"(
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix atom: <http://lv2plug.in/ns/ext/atom#> .
@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .
@prefix doap: <http://usefulinc.com/ns/doap#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .

<urn:zonda:test:controls> a lv2:Plugin ; doap:name "Controls" ;
  lv2:port [ a lv2:AudioPort , lv2:InputPort ; lv2:index 0 ; lv2:symbol "in_l" ; lv2:name "In L" ] ,
           [ a lv2:AudioPort , lv2:InputPort ; lv2:index 1 ; lv2:symbol "in_r" ; lv2:name "In R" ] ,
           [ a lv2:AudioPort , lv2:OutputPort ; lv2:index 2 ; lv2:symbol "out_l" ; lv2:name "Out L" ] ,
           [ a lv2:AudioPort , lv2:OutputPort ; lv2:index 3 ; lv2:symbol "out_r" ; lv2:name "Out R" ] ,
           [ a lv2:ControlPort , lv2:InputPort ; lv2:index 4 ; lv2:symbol "cutoff" ; lv2:name "Cutoff" ;
             lv2:portProperty lv2:sampleRate ; lv2:minimum 0.001 ; lv2:maximum 0.45 ; lv2:default 0.1 ] ,
           [ a lv2:ControlPort , lv2:InputPort ; lv2:index 5 ; lv2:symbol "mode" ; lv2:name "Mode" ;
             lv2:portProperty lv2:integer , lv2:enumeration ; lv2:minimum 0 ; lv2:maximum 2 ; lv2:default 1 ;
             lv2:scalePoint [ rdfs:label "High" ; rdf:value 2 ] , [ rdfs:label "Low" ; rdf:value 0 ] ,
                            [ rdfs:label "Band" ; rdf:value 1 ] ] ,
           [ a lv2:ControlPort , lv2:InputPort ; lv2:index 6 ; lv2:symbol "freq" ; lv2:name "Frequency" ;
             lv2:portProperty pprops:logarithmic ; lv2:minimum 20 ; lv2:maximum 20000 ; lv2:default 50000 ] ,
           [ a lv2:ControlPort , lv2:InputPort ; lv2:index 7 ; lv2:symbol "bare" ] ,
           [ a lv2:ControlPort , lv2:InputPort ; lv2:index 8 ; lv2:symbol "on" ; lv2:name "On" ;
             lv2:portProperty lv2:toggled ; lv2:default 1 ] ,
           [ a lv2:ControlPort , lv2:OutputPort ; lv2:index 9 ; lv2:symbol "level" ; lv2:name "Level" ] ,
           [ a atom:AtomPort , lv2:InputPort ; lv2:index 10 ; lv2:symbol "control" ; lv2:name "Control" ] .

<urn:zonda:test:cv-required> a lv2:Plugin ; doap:name "CV required" ;
  lv2:port [ a lv2:AudioPort , lv2:InputPort ; lv2:index 0 ; lv2:symbol "in" ; lv2:name "In" ] ,
           [ a lv2:AudioPort , lv2:OutputPort ; lv2:index 1 ; lv2:symbol "out" ; lv2:name "Out" ] ,
           [ a lv2:CVPort , lv2:InputPort ; lv2:index 2 ; lv2:symbol "mod" ; lv2:name "Mod" ] .

<urn:zonda:test:cv-optional> a lv2:Plugin ; doap:name "CV optional" ;
  lv2:port [ a lv2:AudioPort , lv2:InputPort ; lv2:index 0 ; lv2:symbol "in" ; lv2:name "In" ] ,
           [ a lv2:AudioPort , lv2:OutputPort ; lv2:index 1 ; lv2:symbol "out" ; lv2:name "Out" ] ,
           [ a lv2:CVPort , lv2:InputPort ; lv2:index 2 ; lv2:symbol "mod" ; lv2:name "Mod" ;
             lv2:portProperty lv2:connectionOptional ] .

<urn:zonda:test:instrument> a lv2:Plugin , lv2:InstrumentPlugin ; doap:name "Instrument" ;
  lv2:port [ a atom:AtomPort , lv2:InputPort ; lv2:index 0 ; lv2:symbol "midi" ; lv2:name "MIDI" ] ,
           [ a lv2:AudioPort , lv2:OutputPort ; lv2:index 1 ; lv2:symbol "out_l" ; lv2:name "Out L" ] ,
           [ a lv2:AudioPort , lv2:OutputPort ; lv2:index 2 ; lv2:symbol "out_r" ; lv2:name "Out R" ] .
)";

class Lv2PortsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // rdf: is used in the scale points; Turtle needs its prefix.
    folder_.WriteBundle("described.lv2", "manifest.ttl", kManifest);
    folder_.WriteBundle("described.lv2", "plugins.ttl",
                        std::string("@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n") + kPlugins);
    folder_.Use();
    world_ = lilv_world_new();
    lilv_world_load_all(world_);
    nodes_ = std::make_unique<Lv2Nodes>(world_);
  }
  void TearDown() override {
    nodes_.reset();
    lilv_world_free(world_);
  }
  const LilvPlugin* Plugin(const char* uri) {
    LilvNode* node = lilv_new_uri(world_, uri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), node);
    lilv_node_free(node);
    return plugin;
  }

  test::Lv2Folder folder_;
  LilvWorld* world_ = nullptr;
  std::unique_ptr<Lv2Nodes> nodes_;
};

TEST_F(Lv2PortsTest, ControlPortsBecomePanelRows) {
  const LilvPlugin* plugin = Plugin("urn:zonda:test:controls");
  ASSERT_NE(plugin, nullptr);
  const uint32_t count = lilv_plugin_get_num_ports(plugin);
  std::vector<float> minimums(count), maximums(count), defaults(count);
  lilv_plugin_get_port_ranges_float(plugin, minimums.data(), maximums.data(), defaults.data());
  auto row = [&](uint32_t index) {
    return ReadControlPort(plugin, lilv_plugin_get_port_by_index(plugin, index), *nodes_, minimums[index],
                           maximums[index], defaults[index]);
  };

  struct Case {
    uint32_t index;
    const char* name;
    float minimum, maximum, defaultValue;
    bool integer, toggled, logarithmic;
    size_t namedValues;
  } cases[] = {
      {4, "Cutoff", 44.1f, 19845.0f, 4410.0f, false, false, false, 0},  // fractions of the sample rate
      {5, "Mode", 0, 2, 1, true, false, false, 3},
      {6, "Frequency", 20, 20000, 20000, false, false, true, 0},  // default clamped into the range
      {7, "bare", 0, 1, 0, false, false, false, 0},               // no name, no bounds, no default
      {8, "On", 0, 1, 1, false, true, false, 0},
  };
  for (const Case& c : cases) {
    const TControlPortInfo info = row(c.index);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(info.name, c.name);
    EXPECT_NEAR(info.minimum, c.minimum, 1e-3);
    EXPECT_NEAR(info.maximum, c.maximum, 1e-2);
    EXPECT_NEAR(info.defaultValue, c.defaultValue, 1e-2);
    EXPECT_EQ(info.integer, c.integer);
    EXPECT_EQ(info.toggled, c.toggled);
    EXPECT_EQ(info.logarithmic, c.logarithmic);
    EXPECT_EQ(info.namedValues.size(), c.namedValues);
  }
  const TControlPortInfo mode = row(5);
  ASSERT_EQ(mode.namedValues.size(), 3u);  // in value order
  EXPECT_EQ(mode.namedValues[0], (std::pair<float, std::string>(0.0f, "Low")));
  EXPECT_EQ(mode.namedValues[1], (std::pair<float, std::string>(1.0f, "Band")));
  EXPECT_EQ(mode.namedValues[2], (std::pair<float, std::string>(2.0f, "High")));

  using K = Lv2PortKind;
  EXPECT_EQ(ClassifyPorts(plugin, *nodes_),
            (std::vector<K>{K::kAudioIn, K::kAudioIn, K::kAudioOut, K::kAudioOut, K::kControlIn, K::kControlIn,
                            K::kControlIn, K::kControlIn, K::kControlIn, K::kControlOut, K::kAtomIn}));
}

TEST_F(Lv2PortsTest, OnlyPortsTheHostCanFeedAreListed) {
  struct Case {
    const char* uri;
    Lv2StereoLayout layout;
  } cases[] = {
      {"urn:zonda:test:controls", Lv2StereoLayout::kStereo},
      {"urn:zonda:test:cv-required", Lv2StereoLayout::kNone},
      {"urn:zonda:test:cv-optional", Lv2StereoLayout::kPairedMono},
      {"urn:zonda:test:instrument", Lv2StereoLayout::kNone},
  };
  Lv2Host host;
  for (const Case& c : cases) {
    const LilvPlugin* plugin = Plugin(c.uri);
    ASSERT_NE(plugin, nullptr) << c.uri;
    EXPECT_EQ(StereoLayoutOf(ClassifyPorts(plugin, *nodes_)), c.layout) << c.uri;
    bool listed = false;
    for (const Lv2PluginEntry& entry : host.Plugins()) listed = listed || entry.uri == c.uri;
    EXPECT_EQ(listed, c.layout != Lv2StereoLayout::kNone) << c.uri;
  }
}

}  // namespace
}  // namespace zonda::ilvex
