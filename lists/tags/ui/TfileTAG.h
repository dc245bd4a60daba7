#pragma once
// TfileTAG: the small dialog in which the user edits the title, artist,
// album, track, year, genre and comment of one MP3 or Ogg Vorbis file.
//
//   TfileTAG tagEditor(mainWindow);                    // created once, shown and hidden
//   tagEditor.Texts = [&](const char* key, const char* fallback) { return languageText(key, fallback); };
//   tagEditor.RowUpdated = [&](const std::string& path, const TTagRowTexts& row) { ... };
//   tagEditor.Open(path);                              // the list's "Tag Info" command
//
// Open shows the dialog and disables the main window; the first paint fills
// the fields from ReadTagFields. Update writes only the fields the user
// changed, through SaveTagEdit (the save path zonda-tags uses too), so
// everything else in the file stays; then it hands the row texts to
// RowUpdated (the list code updates the row when the song is under its focus
// cursor), enables the main window and hides. Cancel and Esc hide without
// writing.
//
// Main thread only.
#include <QDialog>
#include <array>
#include <functional>
#include <string>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zonda {

// What a list row of the edited song shows after Update.
struct TTagRowTexts {
  std::string DisplayName;  // "Artist - Title", one of them, or the file's name
  std::string Genre, Comment, Album;
};

class TfileTAG : public QDialog {
  Q_OBJECT

 public:
  explicit TfileTAG(QWidget* mainWindow);
  ~TfileTAG() override;

  // Language text for a key, or the fallback (the English text).
  std::function<std::string(const char* key, const char* fallback)> Texts;
  // After Update, for the list code to update the song's row.
  std::function<void(const std::string& fileName, const TTagRowTexts& row)> RowUpdated;
  // Shows a warning (a modal message box unless replaced).
  std::function<void(const QString& text)> ShowMessage;
  // The main window's flag that the user confirmed quitting: only then may the dialog close.
  std::function<bool()> QuitConfirmed;

  // The "Tag Info" command: false (nothing shown) unless the file exists and
  // is MP3 or Ogg; else shows the dialog for it with the focus on the title.
  bool Open(const std::string& fileName);

  // Sets the caption, labels and buttons from the language texts.
  void ApplyLanguage();

  bool Loaded() const { return loaded_; }

  // The handlers of the form.
  void FormREAD_FILE_INFO();
  void OKClick();
  void CancelClick();

  // The controls, by the form's names.
  QLineEdit* filename_tag;
  QLabel *TitleLabel, *ArtistLabel, *AlbumLabel, *TrackLabel, *YearLabel, *GenreLabel, *CommentLabel;
  QLineEdit *TitleEdit, *ArtistEdit, *AlbumEdit, *TrackEdit, *YearEdit, *GenreEdit, *CommentEdit;
  QLabel* TagExistsLabel;
  QPushButton* OK;
  QPushButton* Cancel;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;  // FormKeyPress
  void closeEvent(QCloseEvent* event) override;   // FormCloseQuery
  void reject() override;

 private:
  std::string Text(const char* key, const char* fallback) const;
  void Finish();
  std::array<QLineEdit*, 7> Edits() const;

  QWidget* mainWindow_;
  bool loaded_ = false;
  std::array<QString, 7> loadedTexts_;  // what each edit showed of the file's tag
};

}  // namespace zonda
