#include "lists/tags/ui/TfileTAG.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "lists/tags/TagEdit.h"
#include "lists/tags/TagFields.h"

namespace zonda {

namespace {

constexpr int kMaxEditChars = 250;

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TfileTAG::TfileTAG(QWidget* mainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), mainWindow_(mainWindow) {
  setObjectName("fileTAG");
  setFixedSize(424, 240);
  const auto bevel = [&](int x, int y, int w, int h) {
    auto* f = new QFrame(this);
    f->setFrameStyle(QFrame::Box | QFrame::Sunken);
    f->setGeometry(x, y, w, h);
  };
  bevel(8, 5, 409, 17);
  bevel(8, 25, 409, 176);
  const auto label = [&](const char* name, int x, int y, int w, int h) {
    auto* l = new QLabel(this);
    l->setObjectName(name);
    l->setGeometry(x, y, w, h);
    return l;
  };
  const auto edit = [&](const char* name, int x, int y, int w, int h) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    e->setGeometry(x, y, w, h);
    e->setMaxLength(kMaxEditChars);
    return e;
  };
  filename_tag = edit("filename_tag", 24, 7, 385, 14);
  filename_tag->setReadOnly(true);
  filename_tag->setFrame(false);
  filename_tag->setMaxLength(32767);
  filename_tag->setFocusPolicy(Qt::NoFocus);
  filename_tag->setBackgroundRole(QPalette::Window);
  TitleLabel = label("TitleLabel", 24, 40, 57, 17);
  TitleEdit = edit("TitleEdit", 80, 40, 321, 21);
  ArtistLabel = label("ArtistLabel", 24, 72, 57, 17);
  ArtistEdit = edit("ArtistEdit", 80, 72, 321, 21);
  AlbumLabel = label("AlbumLabel", 24, 104, 57, 17);
  AlbumEdit = edit("AlbumEdit", 80, 104, 321, 21);
  TrackLabel = label("TrackLabel", 24, 136, 57, 17);
  TrackEdit = edit("TrackEdit", 80, 136, 49, 21);
  YearLabel = label("YearLabel", 144, 136, 33, 17);
  YearEdit = edit("YearEdit", 176, 136, 49, 21);
  GenreLabel = label("GenreLabel", 240, 136, 41, 17);
  GenreEdit = edit("GenreEdit", 280, 136, 121, 21);
  CommentLabel = label("CommentLabel", 24, 168, 57, 17);
  CommentEdit = edit("CommentEdit", 80, 168, 321, 21);
  TagExistsLabel = label("TagExistsLabel", 240, 212, 176, 17);
  TagExistsLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  OK = new QPushButton(this);
  OK->setObjectName("OK");
  OK->setGeometry(8, 208, 73, 25);
  OK->setDefault(true);
  Cancel = new QPushButton(this);
  Cancel->setObjectName("Cancel");
  Cancel->setGeometry(88, 208, 73, 25);
  QWidget* order[] = {TrackEdit, TitleEdit, ArtistEdit, AlbumEdit, GenreEdit, YearEdit, CommentEdit, OK, Cancel};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  connect(OK, &QPushButton::clicked, this, [this] { OKClick(); });
  connect(Cancel, &QPushButton::clicked, this, [this] { CancelClick(); });
  ShowMessage = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
  ApplyLanguage();
  TagExistsLabel->setText("Tag exists: NO");
}

TfileTAG::~TfileTAG() = default;

std::string TfileTAG::Text(const char* key, const char* fallback) const {
  if (Texts) {
    std::string t = Texts(key, fallback);
    if (!t.empty()) return t;
  }
  return fallback;
}

void TfileTAG::ApplyLanguage() {
  setWindowTitle(Q(Text("tag_windowtitle", "Tag Editor")));
  TitleLabel->setText(Q(Text("tag_title", "Title:")));
  ArtistLabel->setText(Q(Text("tag_artist", "Artist:")));
  AlbumLabel->setText(Q(Text("tag_album", "Album:")));
  TrackLabel->setText(Q(Text("tag_track", "Track:")));
  YearLabel->setText(Q(Text("tag_year", "Year:")));
  GenreLabel->setText(Q(Text("tag_genre", "Genre:")));
  CommentLabel->setText(Q(Text("tag_comment", "Comment:")));
  OK->setText(Q(Text("update", "&Update")));
  Cancel->setText(Q(Text("cancel", "&Cancel")));
}

std::array<QLineEdit*, 7> TfileTAG::Edits() const {
  return {TitleEdit, ArtistEdit, AlbumEdit, TrackEdit, YearEdit, GenreEdit, CommentEdit};
}

bool TfileTAG::Open(const std::string& fileName) {
  if (!QFileInfo(Q(fileName)).isFile() || !IsEditableTagFile(fileName)) return false;
  loaded_ = false;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  show();
  raise();
  activateWindow();
  TitleEdit->setFocus();
  filename_tag->setText(Q(fileName));
  if (mainWindow_) mainWindow_->setEnabled(false);
  update();
  return true;
}

void TfileTAG::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  FormREAD_FILE_INFO();
}

void TfileTAG::FormREAD_FILE_INFO() {
  if (loaded_) return;
  const std::string fileName = filename_tag->text().toStdString();
  if (!QFileInfo(filename_tag->text()).isFile() || !IsEditableTagFile(fileName)) {
    CancelClick();
    return;
  }
  const TTagFields f = ReadTagFields(fileName);
  const bool exists = !f.Title.empty() || !f.Artist.empty();
  TagExistsLabel->setText(Q(Text("tag_exists", "Tag exists") + ": " + (exists ? Text("yes", "YES") : Text("no", "NO"))));
  const std::array<const std::string*, 7> values = {&f.Title, &f.Artist, &f.Album, &f.Track,
                                                    &f.Year,  &f.Genre,  &f.Comment};
  const auto edits = Edits();
  for (std::size_t i = 0; i < edits.size(); ++i) {
    edits[i]->setText(Q(*values[i]));
    loadedTexts_[i] = edits[i]->text();  // as shown: a text cut at 250 characters is no edit
  }
  if (f.Title.empty() && f.Artist.empty()) {
    // The file's name without its extension and dot stands in; saved as the user's edit.
    QString name = QFileInfo(filename_tag->text()).fileName();
    name.chop(4);
    TitleEdit->setText(name);
    ArtistEdit->setText(name);
  }
  loaded_ = true;
}

void TfileTAG::OKClick() {
  const std::string fileName = filename_tag->text().toStdString();
  TTagEdit edit;
  std::array<std::optional<std::string>*, 7> fields = {&edit.Title, &edit.Artist, &edit.Album, &edit.Track,
                                                       &edit.Year,  &edit.Genre,  &edit.Comment};
  const auto edits = Edits();
  bool changed = false;
  for (std::size_t i = 0; i < edits.size(); ++i) {
    if (edits[i]->text() == loadedTexts_[i]) continue;  // untouched fields keep the file's frames
    *fields[i] = edits[i]->text().toStdString();
    changed = true;
  }
  if (changed && (!QFileInfo(filename_tag->text()).isFile() || !SaveTagEdit(fileName, edit))) {
    if (ShowMessage) ShowMessage(Q(Text("tag_cantsavetag", "Cannot save the tag") + ": " + fileName));
  }
  if (RowUpdated) {
    const QString artist = ArtistEdit->text().trimmed();
    const QString title = TitleEdit->text().trimmed();
    QString name = !artist.isEmpty() && !title.isEmpty() ? artist + " - " + title
                   : !artist.isEmpty()                   ? artist
                   : !title.isEmpty()                    ? title
                                                         : QFileInfo(filename_tag->text()).fileName();
    if (!name.isEmpty()) name[0] = name[0].toUpper();
    RowUpdated(fileName, TTagRowTexts{name.toStdString(), GenreEdit->text().toStdString(),
                                      CommentEdit->text().toStdString(), AlbumEdit->text().toStdString()});
  }
  Finish();
}

void TfileTAG::CancelClick() { Finish(); }

void TfileTAG::Finish() {
  if (mainWindow_) mainWindow_->setEnabled(true);
  loaded_ = false;
  hide();
}

void TfileTAG::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    CancelClick();
    event->accept();  // swallowed
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfileTAG::reject() { CancelClick(); }

void TfileTAG::closeEvent(QCloseEvent* event) {
  if (QuitConfirmed && QuitConfirmed()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace zonda
