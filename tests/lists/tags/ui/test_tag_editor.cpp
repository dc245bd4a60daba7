// The tag editor dialog driven with QTest mouse and key events on the
// offscreen platform: filling, Update, Cancel, Esc, failures and the row texts.
#include "lists/tags/ui/TfileTAG.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "lists/tags/ID3v2.h"
#include "lists/tags/TagEdit.h"
#include "lists/tags/TagFields.h"
#include "tests/skin/ui/QtApp.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

// A version 2.3 tag with a title, an artist, a track "3/12" and a TXXX frame, then fake audio.
std::string TaggedMp3Bytes() {
  const auto frame = [](const std::string& id, const std::string& content) {
    const auto n = static_cast<uint32_t>(content.size());
    return id + std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + std::string(2, '\0') + content;
  };
  const std::string body = frame("TIT2", std::string("\0Old title", 10)) + frame("TPE1", std::string("\0Old artist", 11)) +
                           frame("TRCK", std::string("\0" "3/12", 5)) +
                           frame("TXXX", std::string("\0REPLAYGAIN\0-2 dB", 17)) + std::string(200, '\0');
  const auto n = static_cast<uint32_t>(body.size());
  return std::string("ID3\x03\0\0", 6) + std::string{char(n >> 21 & 0x7F), char(n >> 14 & 0x7F), char(n >> 7 & 0x7F), char(n & 0x7F)} +
         body + std::string(3000, '\x55');
}

class TagEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    main_.resize(200, 100);
    main_.show();
    dialog_.ShowMessage = [this](const QString& text) { message_ = text.toStdString(); };
    dialog_.RowUpdated = [this](const std::string& file, const TTagRowTexts& row) {
      rowFile_ = file;
      row_ = row;
    };
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_.file(name), std::ios::binary) << bytes;
    return dir_.file(name);
  }
  void OpenAndPaint(const std::string& file) {
    ASSERT_TRUE(dialog_.Open(file));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
    QTRY_VERIFY_WITH_TIMEOUT(dialog_.Loaded(), 5000);
  }
  static void Retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar c : text) {
      if (c.unicode() < 128) {
        QTest::keyClick(edit, c.toLatin1());
      } else {  // typed through an input method: a key event carrying only the text
        QTest::sendKeyEvent(QTest::Press, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
      }
    }
  }
  // The next widget the Tab key reaches.
  static QWidget* NextTabStop(QWidget* w) {
    do {
      w = w->nextInFocusChain();
    } while (!(w->focusPolicy() & Qt::TabFocus));
    return w;
  }
  std::string Bytes(const std::string& file) {
    const auto b = test::ReadAll(file);
    return std::string(b.begin(), b.end());
  }

  test::TempDir dir_;
  bool app_ = (test::QtApp(), true);  // before the first widget
  QWidget main_;
  TfileTAG dialog_{&main_};
  std::string message_;
  std::string rowFile_;
  std::optional<TTagRowTexts> row_;
};

TEST_F(TagEditor, TheFormAsDesigned) {
  EXPECT_EQ(dialog_.windowTitle(), "Tag Editor");
  EXPECT_EQ(dialog_.size(), QSize(424, 240));
  EXPECT_EQ(dialog_.TitleEdit->geometry(), QRect(80, 40, 321, 21));
  EXPECT_EQ(dialog_.GenreEdit->geometry(), QRect(280, 136, 121, 21));
  EXPECT_EQ(dialog_.TagExistsLabel->text(), "Tag exists: NO");
  EXPECT_EQ(dialog_.OK->text(), "&Update");
  EXPECT_TRUE(dialog_.OK->isDefault());
  EXPECT_EQ(dialog_.Cancel->text(), "&Cancel");
  EXPECT_EQ(dialog_.CommentEdit->maxLength(), 250);
  // Tab order: track, title, artist, album, genre, year, comment, Update, Cancel.
  QWidget* expected[] = {dialog_.TrackEdit, dialog_.TitleEdit, dialog_.ArtistEdit, dialog_.AlbumEdit, dialog_.GenreEdit,
                         dialog_.YearEdit,  dialog_.CommentEdit, dialog_.OK,       dialog_.Cancel};
  for (std::size_t i = 1; i < std::size(expected); ++i) EXPECT_EQ(NextTabStop(expected[i - 1]), expected[i]) << i;
  dialog_.Texts = [](const char* key, const char*) { return std::string(key) == "tag_title" ? "Titel:" : ""; };
  dialog_.ApplyLanguage();
  EXPECT_EQ(dialog_.TitleLabel->text(), "Titel:");
  EXPECT_EQ(dialog_.ArtistLabel->text(), "Artist:");  // a key the language lacks keeps the English text
}

TEST_F(TagEditor, UpdateWritesTheChangedFieldsAndKeepsTheRest) {
  const std::string mp3 = Write("Song.mp3", TaggedMp3Bytes());
  OpenAndPaint(mp3);
  EXPECT_FALSE(main_.isEnabled());
  EXPECT_EQ(dialog_.filename_tag->text().toStdString(), mp3);
  EXPECT_EQ(dialog_.TitleEdit->text(), "Old title");
  EXPECT_EQ(dialog_.ArtistEdit->text(), "Old artist");
  EXPECT_EQ(dialog_.TrackEdit->text(), "3");
  EXPECT_EQ(dialog_.TagExistsLabel->text(), "Tag exists: YES");
  EXPECT_TRUE(dialog_.TitleEdit->hasFocus());

  Retype(dialog_.TitleEdit, "New title — ünï");
  Retype(dialog_.GenreEdit, "Techno");
  QTest::mouseClick(dialog_.OK, Qt::LeftButton);

  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_TRUE(main_.isEnabled());
  EXPECT_EQ(message_, "");
  const TTagFields f = ReadTagFields(mp3);
  EXPECT_EQ(f.Title, "New title — ünï");
  EXPECT_EQ(f.Genre, "Techno");
  EXPECT_EQ(f.Artist, "Old artist");
  TID3v2 tag;
  ASSERT_TRUE(tag.ReadFromFile(mp3));
  EXPECT_EQ(tag.TrackString, "3/12");  // the track was not touched
  bool txxx = false;
  for (const auto& frame : tag.Frames()) txxx = txxx || (frame.Id == "TXXX" && frame.Content == std::string("\0REPLAYGAIN\0-2 dB", 17));
  EXPECT_TRUE(txxx);
  ASSERT_TRUE(row_);
  EXPECT_EQ(rowFile_, mp3);
  EXPECT_EQ(row_->DisplayName, "Old artist - New title — ünï");
  EXPECT_EQ(row_->Genre, "Techno");
}

TEST_F(TagEditor, EscAndCancelCloseWithoutWriting) {
  const std::string mp3 = Write("esc.mp3", TaggedMp3Bytes());
  const std::string before = Bytes(mp3);
  OpenAndPaint(mp3);
  Retype(dialog_.TitleEdit, "Never saved");
  QTest::keyClick(dialog_.TitleEdit, Qt::Key_Escape);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_TRUE(main_.isEnabled());
  EXPECT_EQ(Bytes(mp3), before);
  EXPECT_FALSE(row_);

  OpenAndPaint(mp3);
  EXPECT_EQ(dialog_.TitleEdit->text(), "Old title");  // filled anew on every opening
  Retype(dialog_.TitleEdit, "Never saved either");
  QTest::mouseClick(dialog_.Cancel, Qt::LeftButton);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(Bytes(mp3), before);
}

TEST_F(TagEditor, AFileWithoutATagShowsItsNameAndUpdateWritesIt) {
  const std::string mp3 = Write("my track.mp3", std::string(3000, '\x55'));
  OpenAndPaint(mp3);
  EXPECT_EQ(dialog_.TitleEdit->text(), "my track");
  EXPECT_EQ(dialog_.ArtistEdit->text(), "my track");
  EXPECT_EQ(dialog_.TagExistsLabel->text(), "Tag exists: NO");
  Retype(dialog_.TrackEdit, "12a");  // not a number: no track
  QTest::mouseClick(dialog_.OK, Qt::LeftButton);
  const TTagFields f = ReadTagFields(mp3);
  EXPECT_EQ(f.Title, "my track");
  EXPECT_EQ(f.Artist, "my track");
  EXPECT_EQ(f.Track, "");
  ASSERT_TRUE(row_);
  EXPECT_EQ(row_->DisplayName, "My track - my track");
}

TEST_F(TagEditor, AnMp3WithOnlyAnID3v1TagGetsAnID3v2TagAndKeepsTheOldOne) {
  std::string v1 = "TAG" + std::string("V1 Title") + std::string(22, '\0') + std::string("V1 Artist") +
                   std::string(21, '\0') + std::string("V1 Album") + std::string(22, '\0') + "1998" +
                   std::string(31, '\0');  // genre 0
  ASSERT_EQ(v1.size(), 128u);
  const std::string mp3 = Write("v1.mp3", std::string(3000, '\x55') + v1);
  OpenAndPaint(mp3);
  EXPECT_EQ(dialog_.TitleEdit->text(), "V1 Title");
  EXPECT_EQ(dialog_.AlbumEdit->text(), "V1 Album");
  EXPECT_EQ(dialog_.GenreEdit->text(), "Blues");
  Retype(dialog_.YearEdit, "1999");
  QTest::mouseClick(dialog_.OK, Qt::LeftButton);
  TID3v2 tag;
  ASSERT_TRUE(tag.ReadFromFile(mp3));
  EXPECT_TRUE(tag.Exists);
  EXPECT_EQ(tag.Title, "V1 Title");
  EXPECT_EQ(tag.Artist, "V1 Artist");
  EXPECT_EQ(tag.Year, "1999");
  const std::string bytes = Bytes(mp3);
  EXPECT_EQ(bytes.substr(bytes.size() - 128), v1);
}

TEST_F(TagEditor, OnlyMp3AndOggOpenAndAVanishedFileClosesTheDialog) {
  EXPECT_FALSE(dialog_.Open(Write("song.flac", "fLaC")));
  EXPECT_FALSE(dialog_.Open(dir_.file("missing.mp3")));
  EXPECT_FALSE(dialog_.isVisible());
  const std::string mp3 = Write("gone.mp3", TaggedMp3Bytes());
  ASSERT_TRUE(dialog_.Open(mp3));
  std::filesystem::remove(mp3);  // gone before the first paint
  QTest::qWait(50);
  dialog_.FormREAD_FILE_INFO();
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_TRUE(main_.isEnabled());
}

TEST_F(TagEditor, AFailedSaveTellsTheUserAndStillClosesAndUpdatesTheRow) {
  const std::string mp3 = Write("fail.mp3", TaggedMp3Bytes());
  OpenAndPaint(mp3);
  Retype(dialog_.AlbumEdit, "Album");
  std::filesystem::remove(mp3);
  QTest::mouseClick(dialog_.OK, Qt::LeftButton);
  EXPECT_EQ(message_, "Cannot save the tag: " + mp3);
  EXPECT_FALSE(dialog_.isVisible());
  ASSERT_TRUE(row_);
  EXPECT_EQ(row_->Album, "Album");
}

TEST_F(TagEditor, LongTextsShownCutAreNotWrittenBackCut) {
  const std::string mp3 = Write("long.mp3", std::string(3000, '\x55'));
  TTagEdit edit;
  edit.Comment = std::string(400, 'c');
  edit.Title = "T";
  ASSERT_TRUE(SaveTagEdit(mp3, edit));
  OpenAndPaint(mp3);
  EXPECT_EQ(dialog_.CommentEdit->text().size(), 250);
  Retype(dialog_.TitleEdit, "Other");
  QTest::mouseClick(dialog_.OK, Qt::LeftButton);
  EXPECT_EQ(ReadTagFields(mp3).Comment, std::string(400, 'c'));
  EXPECT_EQ(ReadTagFields(mp3).Title, "Other");
}

TEST_F(TagEditor, ClosingIsRefusedUntilTheUserConfirmedQuitting) {
  const std::string mp3 = Write("q.mp3", TaggedMp3Bytes());
  OpenAndPaint(mp3);
  bool quit = false;
  dialog_.QuitConfirmed = [&] { return quit; };
  dialog_.close();
  EXPECT_TRUE(dialog_.isVisible());
  quit = true;
  dialog_.close();
  EXPECT_FALSE(dialog_.isVisible());
}

}  // namespace
}  // namespace zonda
