// The main window's lists on real decks and real files: loading and saving the
// library, drops, search as you type, keys, marks, removal, dead files,
// deletion to the trash, loading decks from the list with the marker, random
// order and History, the detected tempo, list management and the export.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/ConfigValues.h"
#include "app/MainForm.h"
#include "app/MainFormLists.h"
#include "lists/tags/TagEdit.h"
#include "lists/tags/TagFields.h"
#include "lists/tags/ui/TfileTAG.h"
#include "dsp/FFTFilter.h"
#include "engine/Mixer.h"
#include "engine/SoundSource.h"
#include "platform/AtomicFile.h"
#include "lists/SongListTemplate.h"
#include "lists/ui/ListeQZ.h"
#include "skin/ActionTables.h"
#include "skin/ui/TSKINTreeNode.h"
#include "skin/ui/SkinPaint.h"
#include "tests/engine/DeckTestSupport.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

namespace fs = std::filesystem;

QApplication& App() {
  static int argc = 1;
  static char name[] = "test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Answers every message box with OK (or Cancel) and counts them.
class Answerer {
 public:
  explicit Answerer(QMessageBox::StandardButton answer) {
    QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        ++boxes;
        texts.push_back(box->text().toStdString());
        if (QAbstractButton* b = box->button(answer))
          b->click();
        else
          box->button(QMessageBox::Ok)->click();
      }
    });
    timer_.start(5);
  }
  int boxes = 0;
  std::vector<std::string> texts;

 private:
  QTimer timer_;
};

class MainFormLists : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    const fs::path lists = dir_.dir().path() / "lists";
    fs::create_directories(lists);
    for (const auto& e : fs::directory_iterator(fs::path(std::getenv("ZONDA_SOURCE_DIR")) / "data" / "lists"))
      if (e.path().extension() != ".keep") fs::copy_file(e.path(), lists / e.path().filename());
    setenv("XDG_DATA_HOME", (dir_.dir().path() / "xdg").c_str(), 1);
    Open();
  }
  void Open() {
    form_ = std::make_unique<TMainForm>(actions_);
    TMainFormLinks links;
    links.Deck = {&deckA_, &deckB_};
    links.Equaliser = {&eqA_, &eqB_};
    links.Mixer = &mixer_;
    links.Config = &config_;
    links.EngineRunning = &running_;
    links.FormClose = [] {};
    form_->AttachProgram(actions_, std::move(links));
    form_->resize(800, 600);
    Lists().View().setGeometry(0, 0, 700, 300);
    Lists().View().show();
    form_->show();
    Lists().LoadAllLists();
  }
  TMainFormLists& Lists() { return form_->Lists(); }
  TLista& Shown() { return Lists().View().Shown(); }
  std::string Song(const std::string& name, int64_t bytes = 176400) {
    fs::create_directories((dir_.dir().path() / "music" / name).parent_path());
    return WritePatternTrack(dir_.dir(), "music/" + name, bytes);
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(form_.get(), Qt::Key(key), mods); }
  std::vector<std::string> Names(TLista& l) {
    std::vector<std::string> out;
    for (int r = 1; r <= l.RowCount(); ++r) out.emplace_back(l.GetCell(r, ColName));
    return out;
  }
  bool WaitLoaded(TSoundSource& deck) {
    return WaitUntil([&] { return !deck.LoadPending.load(); });
  }

  IsolatedProgramDir dir_;
  TActionTables actions_;
  TSoundSource deckA_{true}, deckB_{false};
  TFFTFilter eqA_, eqB_;
  TKAVMixer mixer_{{&deckA_, &eqA_, {}}, {&deckB_, &eqB_, {}}, nullptr};
  TConfigValues config_;
  std::atomic<uint8_t> running_{1};
  std::unique_ptr<TMainForm> form_;
};

}  // namespace

TEST_F(MainFormLists, ShippedLibraryLoadsFourFixedListsAndShowsTheDatabase) {
  EXPECT_EQ(Lists().View().ListCount(), 4);
  EXPECT_EQ(Lists().View().CurrentIndex(), 1);
  EXPECT_EQ(Lists().View().GetList(1)->Name, "Database");
  EXPECT_EQ(Shown().GetColumn(ColName)->Caption, "Artist - Title  [ empty ]");
  EXPECT_TRUE(TMainFormLists::MissingListFiles(Lists().Folder()).empty());
}

TEST_F(MainFormLists, DroppedFolderIsAddedRecursivelyAndSurvivesARestartButHistoryDoesNot) {
  Song("a/One Beat.wav");
  Song("a/b/Two.wav");
  Song("c/Three.wav");
  std::ofstream(dir_.dir().path() / "music" / "notes.txt") << "x";
  Lists().DropExplorer({QString::fromStdString((dir_.dir().path() / "music").string())}, QPoint(5, 5));
  EXPECT_EQ(Shown().RowCount(), 3);
  Lists().View().GetList(2)->AddRow();  // History
  EXPECT_TRUE(Lists().SaveAllLists().empty());
  form_.reset();
  Open();
  EXPECT_EQ(Shown().RowCount(), 3);
  EXPECT_EQ(Lists().View().GetList(2)->RowCount(), 0);
  EXPECT_EQ(Shown().GetColumn(ColName)->Caption, "Artist - Title  [ 3 songs ]");
}

TEST_F(MainFormLists, TypingSearchesColumnTwoAndFindNextStopsAtTheLastRow) {
  for (const char* n : {"Intro.wav", "BEATS.wav", "calm.wav", "Beat it.wav", "the beat.wav", "end.wav"}) {
    Lists().AddFiles({QString::fromStdString(Song(n))});
  }
  ASSERT_EQ(Shown().RowCount(), 6);
  Key(Qt::Key_Space);
  ASSERT_TRUE(Lists().SearchMode());
  QTest::keyClicks(&Lists().SearchBox(), "beat");
  EXPECT_EQ(Shown().CursorRow(0), 2);
  Lists().NextSearch();
  EXPECT_EQ(Shown().CursorRow(0), 4);
  Lists().NextSearch();
  EXPECT_EQ(Shown().CursorRow(0), 5);
  Lists().NextSearch();  // no wrap
  EXPECT_EQ(Shown().CursorRow(0), 5);
  QTest::keyClick(&Lists().SearchBox(), Qt::Key_Down);  // ends search and moves on
  EXPECT_FALSE(Lists().SearchMode());
  EXPECT_EQ(Shown().CursorRow(0), 6);
  EXPECT_TRUE(Lists().SearchBox().isReadOnly());
}

TEST_F(MainFormLists, KeysMoveFocusMarkerAndMarks) {
  for (int i = 1; i <= 6; ++i) Lists().AddFiles({QString::fromStdString(Song("s" + std::to_string(i) + ".wav"))});
  Key(Qt::Key_Home);
  EXPECT_EQ(Shown().CursorRow(0), 1);
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  EXPECT_EQ(Shown().CursorRow(0), 3);
  Key(Qt::Key_Up);
  Key(Qt::Key_Return);
  EXPECT_EQ(Shown().CursorRow(1), 2);
  Key(Qt::Key_Insert);  // marks 2, focus to 3
  Key(Qt::Key_Insert);
  EXPECT_EQ(Shown().MarkedRows(), (std::vector<int32_t>{2, 3}));
  Key(Qt::Key_End);
  EXPECT_EQ(Shown().CursorRow(0), 6);
  Key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(Shown().MarkCount(), 6);
  Key(Qt::Key_A, Qt::ControlModifier);  // row 1 marked: all marks go
  EXPECT_EQ(Shown().MarkCount(), 0);
  Key(Qt::Key_Up, Qt::ControlModifier);  // focus row 6 moves up
  EXPECT_EQ(Names(Shown())[4], "s6.wav");
}

TEST_F(MainFormLists, RemoveAsksOnlyWithMarksAndRemovesOnlyTheMarkedRows) {
  for (int i = 1; i <= 5; ++i) Lists().AddFiles({QString::fromStdString(Song("s" + std::to_string(i) + ".wav"))});
  Shown().SetCursor(0, 2);
  {
    Answerer ok(QMessageBox::Ok);
    Key(Qt::Key_Delete);
    EXPECT_EQ(ok.boxes, 0);
  }
  EXPECT_EQ(Names(Shown()), (std::vector<std::string>{"s1.wav", "s3.wav", "s4.wav", "s5.wav"}));
  EXPECT_EQ(Shown().CursorRow(0), 2);
  Shown().SetCursor(3, 1);
  Shown().SetCursor(3, 3);
  {
    Answerer cancel(QMessageBox::Cancel);
    Key(Qt::Key_Delete);
    EXPECT_EQ(cancel.boxes, 1);
  }
  EXPECT_EQ(Shown().RowCount(), 4);
  {
    Answerer ok(QMessageBox::Ok);
    Key(Qt::Key_Delete);
    EXPECT_EQ(ok.boxes, 1);
  }
  EXPECT_EQ(Names(Shown()), (std::vector<std::string>{"s3.wav", "s5.wav"}));
}

TEST_F(MainFormLists, DeadFilesAreRemovedAndPhysicalDeleteGoesToTheTrashAfterAsking) {
  const std::string a = Song("a.wav"), b = Song("b.wav"), c = Song("c.wav");
  Lists().AddFiles({QString::fromStdString(a), QString::fromStdString(b), QString::fromStdString(c)});
  fs::remove(b);
  Lists().RemoveDeadSongs();
  EXPECT_EQ(Names(Shown()), (std::vector<std::string>{"a.wav", "c.wav"}));
  Shown().SetCursor(0, 2);
  {
    Answerer cancel(QMessageBox::Cancel);
    Lists().PhysicalDelete();
  }
  EXPECT_TRUE(fs::exists(c));
  {
    Answerer ok(QMessageBox::Ok);
    Lists().PhysicalDelete();
    EXPECT_EQ(ok.boxes, 1);
  }
  EXPECT_FALSE(fs::exists(c));
  EXPECT_EQ(Names(Shown()), (std::vector<std::string>{"a.wav"}));
  EXPECT_TRUE(fs::exists(dir_.dir().path() / "xdg" / "Trash" / "files" / "c.wav"));
}

TEST_F(MainFormLists, LoadNextWrapsTheMarkerAndFillsHistory) {
  for (int i = 1; i <= 3; ++i) Lists().AddFiles({QString::fromStdString(Song("n" + std::to_string(i) + ".wav"))});
  Shown().SetCursor(1, 3);
  ASSERT_TRUE(Lists().LoadRow(0, -1));
  EXPECT_EQ(deckA_.FileName, Shown().GetCell(3, ColPath));
  EXPECT_EQ(Shown().CursorRow(1), 1);
  ASSERT_TRUE(WaitLoaded(deckA_));
  // A chosen row does not move the marker.
  ASSERT_TRUE(Lists().LoadRow(1, 2));
  EXPECT_EQ(Shown().CursorRow(1), 1);
  ASSERT_TRUE(WaitLoaded(deckB_));
  TLista& history = *Lists().View().GetList(2);
  EXPECT_EQ(Names(history), (std::vector<std::string>{"n3.wav", "n2.wav"}));
  // A missing file loads nothing.
  fs::remove(std::string(Shown().GetCell(1, ColPath)));
  EXPECT_FALSE(Lists().LoadRow(0, -1));
  EXPECT_EQ(history.RowCount(), 2);
}

TEST_F(MainFormLists, RandomLoadingPutsTheMarkerOnAnyRow) {
  for (int i = 1; i <= 8; ++i) Lists().AddFiles({QString::fromStdString(Song("r" + std::to_string(i) + ".wav"))});
  actions_.Button(actions_.FindButtonAction("random")).SetSelected(true);
  std::set<int> seen;
  for (int i = 0; i < 12; ++i) {
    ASSERT_TRUE(WaitLoaded(deckA_));
    ASSERT_TRUE(Lists().LoadRow(0, -1));
    const int marker = Shown().CursorRow(1);
    ASSERT_GE(marker, 1);
    ASSERT_LE(marker, 8);
    seen.insert(marker);
  }
  EXPECT_GT(seen.size(), 2u);
}

TEST_F(MainFormLists, DetectedTempoIsWrittenWhenTheDecksTrackIsReplaced) {
  const std::string first = Song("Tempo Song.wav"), second = Song("next.wav");
  Lists().AddFiles({QString::fromStdString(first), QString::fromStdString(second)});
  ASSERT_TRUE(Lists().LoadRow(0, 1));
  ASSERT_TRUE(WaitLoaded(deckA_));
  form_->PeriodicUpdate();  // the song name shows the loaded song
  deckA_.DetectedBPM.store(98);
  deckA_.BPMHistogram[98 - kBPMHistogramLow].store(7);
  ASSERT_TRUE(Lists().LoadRow(0, 2));
  EXPECT_EQ(Shown().GetCell(1, ColBpm), "098");
  EXPECT_EQ(Lists().View().GetList(2)->GetCell(1, ColBpm), "098");  // History's row too
  EXPECT_EQ(Shown().GetCell(2, ColBpm), "");
  ASSERT_TRUE(WaitLoaded(deckA_));
}

TEST_F(MainFormLists, FixedListsCannotBeDeletedOrRenamedAndNewListsCan) {
  TSKINTreeNode& browser = *Lists().Browser();
  browser.SelectRow(browser.RowOfNode(Lists().View().GetList(2)->BrowserId));  // History
  {
    Answerer ok(QMessageBox::Ok);
    Lists().DeleteList();
    ASSERT_EQ(ok.boxes, 1);
    EXPECT_NE(ok.texts[0].find("cannot be deleted"), std::string::npos) << ok.texts[0];
  }
  EXPECT_EQ(Lists().View().ListCount(), 4);
  Lists().NewList("Friday");
  ASSERT_EQ(Lists().View().ListCount(), 5);
  TLista& mine = *Lists().View().GetList(5);
  EXPECT_EQ(mine.Name, "Friday");
  EXPECT_EQ(mine.ColumnCount(), kSongColumns);
  const int row = browser.RowOfNode(mine.BrowserId);
  ASSERT_GE(row, 0);
  EXPECT_EQ(browser.GetLine(row)->Caption, "Friday");
  browser.SelectRow(row);
  Lists().EditList("Saturday");
  EXPECT_EQ(mine.Name, "Saturday");
  EXPECT_EQ(mine.CreatedName, "Friday");
  // Rows dropped on it from the shown list are copied.
  Lists().AddFiles({QString::fromStdString(Song("x.wav"))});
  Shown().SetCursor(0, 1);
  Lists().DoDropList(5);
  EXPECT_EQ(Lists().View().GetList(5)->RowCount(), 1);
  browser.SelectRow(browser.RowOfNode(Lists().View().GetList(5)->BrowserId));
  {
    Answerer ok(QMessageBox::Ok);
    Lists().DeleteList();
  }
  EXPECT_EQ(Lists().View().ListCount(), 4);
}

TEST_F(MainFormLists, ExportWritesEscapedHtmlAndAPlaylistAndOpensThePage) {
  Lists().AddFiles({QString::fromStdString(Song("a<b>&\"q\".wav"))});
  Lists().ExportFolder = dir_.dir().path().string();
  std::string opened;
  Lists().OpenDocument = [&](const std::string& f) { opened = f; };
  {
    Answerer ok(QMessageBox::Ok);
    Lists().ListExport("Database");
  }
  EXPECT_EQ(opened, dir_.dir().file("list.html"));
  std::string html, m3u;
  ASSERT_TRUE(ReadWholeFile(dir_.dir().file("list.html"), html));
  ASSERT_TRUE(ReadWholeFile(dir_.dir().file("list.m3u8"), m3u));
  EXPECT_NE(html.find("a&lt;b&gt;&amp;&quot;q&quot;.wav"), std::string::npos);
  EXPECT_EQ(html.find("a<b>"), std::string::npos);
  EXPECT_NE(m3u.find("#EXTINF:-1,a<b>&\"q\".wav\n"), std::string::npos);
}

TEST_F(MainFormLists, UnreadableListFileIsReportedAndLeftAlone) {
  form_.reset();
  const std::string list3 = dir_.dir().file("lists/list3.lst");
  { std::ofstream(list3, std::ios::binary | std::ios::trunc) << "damaged"; }
  {
    Answerer ok(QMessageBox::Ok);
    Open();
    ASSERT_EQ(ok.boxes, 1);
    EXPECT_NE(ok.texts[0].find("list3.lst"), std::string::npos);
  }
  EXPECT_EQ(Lists().View().ListCount(), 4);
  EXPECT_TRUE(Lists().SaveAllLists().empty());
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(list3, bytes));
  EXPECT_EQ(bytes, "damaged");
}

}  // namespace zonda::test

namespace zonda::test {

// The default skin places the list, the search box and the browser; a filled
// list is drawn inside its rectangle. ZONDA_SCREENSHOT=file.png keeps the picture.
TEST_F(MainFormLists, TagInfoEditsTheSongsTagAndItsRow) {
  ZONDA_REQUIRE_TOOLS("lame");
  const std::string wav = Song("tagged.wav");
  const std::string mp3 = (dir_.dir().path() / "music" / "tagged.mp3").string();
  ASSERT_EQ(test::Run("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'"), 0);
  TTagEdit tags;
  tags.Artist = "Ana";
  tags.Title = "Old";
  ASSERT_TRUE(SaveTagEdit(mp3, tags));
  Lists().AddFiles({QString::fromStdString(mp3)});
  ASSERT_EQ(Shown().RowCount(), 1);
  EXPECT_EQ(std::string(Shown().GetCell(1, ColName)), "Ana - Old") << "rows show the tags";
  Lists().ContextRow = 1;
  Lists().TagInfo();
  TfileTAG* editor = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* t = qobject_cast<TfileTAG*>(w)) editor = t;
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(WaitUntil([&] { QApplication::processEvents(); return editor->isVisible() && editor->Loaded(); }));
  EXPECT_EQ(editor->TitleEdit->text(), "Old");
  editor->TitleEdit->selectAll();
  QTest::keyClicks(editor->TitleEdit, "New");
  QTest::mouseClick(editor->OK, Qt::LeftButton);
  EXPECT_EQ(ReadTagFields(mp3).Title, "New");
  EXPECT_EQ(ReadTagFields(mp3).Artist, "Ana");
  EXPECT_EQ(std::string(Shown().GetCell(1, ColName)), "Ana - New");
}

TEST_F(MainFormLists, DefaultSkinShowsTheFilledListBesideTheBrowser) {
  const char* bin = std::getenv("ZONDA_TEST_BIN");
  ASSERT_NE(bin, nullptr);
  const std::string skin = std::string(bin) + "/zonda/skins/zc2000_blue";
  if (!fs::exists(skin + ".xml")) ZONDA_SKIP_OR_FAIL("no default skin at " + skin);
  const char* names[] = {"Daft Punk - Around the World", "Moby - Porcelain", "Underworld - Born Slippy",
                         "Orbital - Halcyon On and On", "The Chemical Brothers - Galvanize", "Massive Attack - Teardrop",
                         "Leftfield - Open Up", "Fatboy Slim - Praise You", "Faithless - Insomnia",
                         "Basement Jaxx - Where's Your Head At", "Royksopp - Eple", "Air - La Femme d'Argent"};
  TLista& l = Shown();
  int i = 0;
  for (const char* n : names) {
    const std::string file = "/home/dj/Music/" + std::string(n) + ".mp3";
    l.AddRow();
    l.SetCell(l.RowCount(), ColName, n);
    l.SetCell(l.RowCount(), ColBpm, std::to_string(100 + 3 * i++));
    l.SetCell(l.RowCount(), ColGenre, i % 2 ? "House" : "Breaks");
    l.SetCell(l.RowCount(), ColPath, file);
  }
  // A picture that does not depend on this machine's mounts.
  Lists().Browser()->Places = [] {
    return std::vector<TSKINTreeNode::Place>{
        {"Desktop", "/nonexistent/Desktop", false}, {"My Documents", "/nonexistent/Documents", false},
        {"/", "/", false}, {"Home", "/tmp", false}, {"USB STICK", "/", false}};
  };
  Lists().Browser()->RebuildExplorer();
  l.SetCursor(0, 3);
  l.SetCursor(1, 5);
  l.SetCursor(3, 7);
  l.SetCursor(3, 8);
  ASSERT_TRUE(form_->Skins().LoadSkin(skin));
  form_->AdaptFormsToResolution();
  Lists().refresh_count();
  QApplication::processEvents();
  TListeQZ& view = Lists().View();
  ASSERT_TRUE(view.isVisible());
  ASSERT_TRUE(Lists().Browser()->isVisible());
  EXPECT_EQ(view.geometry(), form_->Skins().ListPlacement().Rect);
  EXPECT_EQ(l.RowsShown, std::min(l.PageRows, 12));
  EXPECT_GE(l.RowsShown, 5);
  // The focus row's bar and the marker's text colour are on screen.
  const QImage frame = view.Frame();
  const QRect focus = view.RowRect(3);
  EXPECT_EQ(frame.pixelColor(focus.left() + 3, focus.center().y()),
            ToQColor(form_->Skins().ListPlacement().CursorColor));
  const QImage shot = form_->grab().toImage();
  if (const char* out = std::getenv("ZONDA_SCREENSHOT")) shot.save(out);
  EXPECT_FALSE(shot.isNull());
}

}  // namespace zonda::test
