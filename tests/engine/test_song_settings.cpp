// The song settings file: record layout, the load rules of a record, save in
// place or append, the name rules, LookupSongBPM, and a deck's round trip.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "engine/SongSettings.h"
#include "engine/SoundSource.h"
#include "tests/engine/DeckTestSupport.h"

namespace zonda {
namespace {

using test::IsolatedProgramDir;

std::vector<uint8_t> FileBytes() { return test::ReadAll(SongSettingsPath()); }

TEST(SongSettings, RecordLayoutIsTheHundredByteFormat) {
  TSongRecord r;
  r.Name = "track.mp3";
  r.SlowFlags = 2;
  r.GainByte = 205;
  r.BPM = -128.5;
  r.SelectedSlot = 3;
  r.Slots = {1, 2, 3, 4, 5, 6, 7, 0x01020304};
  r.EqLow = -5;
  r.EqMid = 7;
  r.EqHigh = 0x7FFFFFFF;
  uint8_t b[kSongRecordBytes];
  EncodeSongRecord(r, b);
  EXPECT_EQ(b[0], 9);
  EXPECT_EQ(std::memcmp(b + 1, "track.mp3", 9), 0);
  EXPECT_EQ(b[44], 0);
  EXPECT_EQ(b[45], 2);
  EXPECT_EQ(b[46], 205);
  double bpm;
  std::memcpy(&bpm, b + 47, 8);
  EXPECT_EQ(bpm, -128.5);
  EXPECT_EQ(b[55], 3);
  EXPECT_EQ(b[56 + 28], 0x04);
  EXPECT_EQ(b[56 + 31], 0x01);
  EXPECT_EQ(b[88], 0xFB);
  EXPECT_EQ(b[99], 0x7F);
  const TSongRecord back = DecodeSongRecord(b);
  EXPECT_EQ(back.Name, r.Name);
  EXPECT_EQ(back.BPM, r.BPM);
  EXPECT_EQ(back.Slots, r.Slots);
  EXPECT_EQ(back.EqLow, -5);
  EXPECT_EQ(back.EqHigh, 0x7FFFFFFF);
}

TEST(SongSettings, LoadRulesOfARecord) {
  const struct {
    const char* name;
    double bpm;
    uint8_t flags, gain, selected;
    bool locked, slow;
    int32_t stored, gainValue, selectedSlot;
  } cases[] = {
      {"lockedNegative", -128.0, 0, 200, 1, true, false, 128, 0, 1},
      {"slowByRange", 100.0, 0, 200, 1, false, true, 100, 0, 1},
      {"slowOffByFlag", 100.0, 2, 200, 1, false, false, 100, 0, 1},
      {"slowOnByFlag", 128.0, 1, 200, 1, false, true, 128, 0, 1},
      {"bothFlagsIgnored", 100.0, 3, 200, 1, false, true, 100, 0, 1},
      {"gainBelow168", 0.0, 0, 150, 1, false, false, 0, 0, 1},
      {"gainUp", 0.0, 0, 255, 8, false, false, 0, 55, 8},
      {"gainDown", 0.0, 0, 168, 9, false, false, 0, -32, 1},
      {"selectedZero", 0.0, 0, 200, 0, false, false, 0, 0, 1},
      {"tinyNegative", -0.4, 0, 200, 1, false, false, 0, 0, 1},  // rounds to 0: not locked
      {"nan", std::numeric_limits<double>::quiet_NaN(), 0, 200, 1, false, false, 0, 0, 1},
      {"huge", 1e300, 0, 200, 1, false, false, 0, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSongRecord r;
    r.BPM = c.bpm;
    r.SlowFlags = c.flags;
    r.GainByte = c.gain;
    r.SelectedSlot = c.selected;
    const TSongSettingsValues v = InterpretSongRecord(r);
    EXPECT_EQ(v.BPMLocked, c.locked);
    EXPECT_EQ(v.SlowBPM, c.slow);
    EXPECT_EQ(v.StoredBPM, c.stored);
    EXPECT_EQ(v.Gain, c.gainValue);
    EXPECT_EQ(v.SelectedSlot, c.selectedSlot);
  }
}

TEST(SongSettings, NamesAndBPMText) {
  EXPECT_EQ(SongNameOf("/music/house/track one.mp3"), "track one.mp3");
  EXPECT_EQ(SongNameOf(std::string(50, 'a')), std::string(43, 'a'));
  // UTF-8: 43 characters at most and whole characters within 43 bytes.
  std::string wide;
  for (int i = 0; i < 30; ++i) wide += "\xC3\xA9";  // e-acute, 2 bytes each
  EXPECT_EQ(SongNameOf(wide).size(), 42u);
  EXPECT_EQ(SongNameCharacters(SongNameOf(wide)), 21u);

  const struct { double bpm; const char* text; } bpms[] = {
      {128.4, "128"}, {-73.0, ""}, {74.0, "074"}, {98.0, "098"}, {155.4, "155"}, {155.6, ""}, {-128.0, "128"},
      {0.0, ""}, {73.4, ""}};
  for (const auto& b : bpms) EXPECT_EQ(SongBPMText(b.bpm), b.text) << b.bpm;
}

TEST(SongSettings, SaveOverwritesInPlaceOrAppendsAndSkipsShortNames) {
  IsolatedProgramDir program;
  EXPECT_EQ(LookupSongBPM("/a/x.mp3"), "") << "no file yet";
  TSongRecord a;
  a.Name = "a.mp3";
  a.BPM = 128.4;
  TSongRecord b;
  b.Name = "b.mp3";
  b.BPM = -73.0;
  ASSERT_TRUE(WriteSongRecord(a));
  ASSERT_TRUE(WriteSongRecord(b));
  EXPECT_EQ(FileBytes().size(), 200u);
  a.BPM = 140.0;
  ASSERT_TRUE(WriteSongRecord(a));
  EXPECT_EQ(FileBytes().size(), 200u) << "rewritten in place";
  EXPECT_EQ(LookupSongBPM("/one/folder/a.mp3"), "140");
  EXPECT_EQ(LookupSongBPM("/other/folder/a.mp3"), "140") << "same name, one record";
  EXPECT_EQ(LookupSongBPM("/x/b.mp3"), "");
  EXPECT_EQ(LookupSongBPM("/x/A.mp3"), "") << "names are case-sensitive";

  TSongRecord one;
  one.Name = "x";
  EXPECT_FALSE(WriteSongRecord(one));
  EXPECT_EQ(FileBytes().size(), 200u);

  // A short tail (a torn write) is not a record: lookups still work, saving appends over it.
  {
    std::ofstream out(SongSettingsPath(), std::ios::binary | std::ios::app);
    out << "torn";
  }
  EXPECT_EQ(LookupSongBPM("/x/a.mp3"), "140");
  TSongRecord c;
  c.Name = "c.mp3";
  c.BPM = 99.0;
  ASSERT_TRUE(WriteSongRecord(c));
  EXPECT_EQ(FileBytes().size(), 300u);
  EXPECT_EQ(LookupSongBPM("c.mp3"), "099");
}

TEST(SongSettings, FindSongRecordOverRawBytes) {
  std::vector<uint8_t> image(250, 0);
  TSongRecord r;
  r.Name = "deep.wav";
  r.BPM = 120;
  EncodeSongRecord(r, image.data() + 100);
  image[0] = 200;  // a corrupt length byte reads as 43 characters
  EXPECT_TRUE(FindSongRecord(image.data(), image.size(), "deep.wav"));
  EXPECT_FALSE(FindSongRecord(image.data(), 199, "deep.wav")) << "only whole records";
  EXPECT_FALSE(FindSongRecord(image.data(), image.size(), "deep"));
}

TEST(SongSettings, DeckSavesOnLoadAndRestoresOnTheNextOpen) {
  IsolatedProgramDir program;
  test::TempDir tracks;
  const std::string first = test::WritePatternTrack(tracks, "first.wav", 3LL * kChunkBytes);
  const std::string second = test::WritePatternTrack(tracks, "second.wav", 8000);
  {
    TSoundSource deck(false);
    bool unloaded = false;
    deck.OnTrackUnload = [&] { unloaded = true; };
    ASSERT_TRUE(test::LoadAndWait(deck, first));
    EXPECT_TRUE(unloaded) << "called before every load";
    deck.StoredBPM = 126;
    deck.BPMLocked = true;
    deck.SlowBPM = false;
    deck.SongGain = -12;
    deck.SongEqLow = -3;
    deck.SongEqMid = 4;
    deck.SongEqHigh = 5;
    deck.SelectedCueSlot = 4;
    deck.CueSlots[4] = 300000;
    deck.CueSlots[8] = 1234;
    // A detected tempo with more than 3 votes wins over the stored one.
    deck.DetectedBPM = 131;
    deck.BPMHistogram[131 - kBPMHistogramLow] = 4;
    ASSERT_TRUE(test::LoadAndWait(deck, second));
    EXPECT_EQ(LookupSongBPM(first), "131");
    ASSERT_TRUE(test::LoadAndWait(deck, first));
    EXPECT_TRUE(deck.BPMLocked.load());
    EXPECT_FALSE(deck.SlowBPM.load());
    EXPECT_EQ(deck.StoredBPM.load(), 131);
    EXPECT_EQ(deck.SongGain.load(), -12);
    EXPECT_EQ(deck.SongEqLow.load(), -3);
    EXPECT_EQ(deck.SongEqMid.load(), 4);
    EXPECT_EQ(deck.SongEqHigh.load(), 5);
    EXPECT_EQ(deck.SelectedCueSlot.load(), 4);
    EXPECT_EQ(deck.CueSlots[4].load(), 300000);
    EXPECT_EQ(deck.CueSlots[8].load(), 1234);
    EXPECT_EQ(deck.CuePoint.load(), 300000);
    // The old track's votes are gone: the worker's analysis of the new load
    // casts at most one vote per chunk it has analysed since.
    const int32_t votes = deck.BPMHistogram[131 - kBPMHistogramLow].load();
    EXPECT_LE(votes, deck.ChunksAnalysed());
    EXPECT_TRUE(deck.DetectedBPM.load() == 0 || deck.DetectedBPMVotes.load() <= deck.ChunksAnalysed());
    EXPECT_NE(deck.ChunkAt(1), nullptr) << "chunk of hot cue 4 decoded";
    deck.StoredBPM = 90;
    deck.BPMLocked = false;
    deck.SlowBPM = true;
    // A failed load in between: the next load must not file first.wav's values
    // under the failed name, and first.wav's record is saved before it.
    ASSERT_TRUE(test::LoadAndWait(deck, tracks.file("missing.wav")));
    EXPECT_FALSE(deck.LoadOk.load());
    deck.StoredBPM = 111;
    ASSERT_TRUE(test::LoadAndWait(deck, second));
    deck.StoredBPM = 90;
    ASSERT_TRUE(test::LoadAndWait(deck, first));
    deck.StoredBPM = 90;
    deck.BPMLocked = false;
    deck.SlowBPM = true;
  }  // the destructor saves too
  const auto record = ReadSongRecord("first.wav");
  ASSERT_TRUE(record);
  EXPECT_FALSE(ReadSongRecord("missing.wav")) << "never loaded, never filed";
  EXPECT_EQ(record->BPM, 90.0);
  EXPECT_EQ(record->SlowFlags, 1);
  EXPECT_EQ(record->GainByte, 188);
  EXPECT_EQ(FileBytes().size(), 200u);  // first.wav and second.wav
}

}  // namespace
}  // namespace zonda
