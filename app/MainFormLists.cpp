// The main window's list commands, keys, search, preview, export, the lists
// browser's commands and loading decks from the shown list. Main thread.
#include "app/MainFormLists.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QStandardPaths>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTreeView>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <unordered_map>

#include "app/MainForm.h"
#include "decoding/DataProvider.h"
#include "decoding/cda/DecoderCDA.h"
#include "lists/tags/ui/TfileTAG.h"
#include "engine/Mixer.h"
#include "engine/PreviewMonitor.h"
#include "engine/SongSettings.h"
#include "engine/SoundSource.h"
#include "platform/AtomicFile.h"
#include "lists/ListExport.h"
#include "lists/M3UImport.h"
#include "lists/SongListTemplate.h"
#include "lists/ui/ListSearch.h"
#include "lists/ui/ListeQZ.h"
#include "lists/ui/TAddDIR.h"
#include "platform/ProgramDir.h"
#include "skin/LanguageTables.h"
#include "skin/ui/TSKINTreeNode.h"

namespace zonda {
namespace fs = std::filesystem;
namespace {

constexpr int kDatabase = 1, kHistory = 2, kReserved = 3, kExplorer = 4;

bool Exists(std::string_view path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(fs::path(path), ec);
}

// For adding many files at once: the song settings file read once into a
// name -> BPM table, instead of one scan of the file per song.
TSongRowSource WithBpmTable(TSongRowSource source) {
  auto table = std::make_shared<std::unordered_map<std::string, std::string>>();
  std::string bytes;
  {
    std::lock_guard guard(SongSettingsLock());
    ReadWholeFile(SongSettingsPath(), bytes, nullptr, uint64_t{256} << 20);
  }
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  for (size_t at = 0; at + kSongRecordBytes <= bytes.size(); at += kSongRecordBytes) {
    const TSongRecord record = DecodeSongRecord(data + at);
    table->emplace(record.Name, SongBPMText(record.BPM));  // the first record of a name counts
  }
  source.LookupBPM = [table](const std::string& file) {
    const auto it = table->find(SongNameOf(file));
    return it == table->end() ? std::string() : it->second;
  };
  return source;
}

}  // namespace

TMainFormLists::TMainFormLists(TMainForm& form) : QObject(&form), form_(form) {
  view_ = new TListeQZ(&form.Canvas());
  view_->hide();
  view_->setToolTip("Current List");
  search_ = new QLineEdit(&form.Canvas());
  search_->hide();
  search_->setMaxLength(50);
  search_->setReadOnly(true);
  // Search mode starts with Space or a click, not when the window hands out its first focus.
  search_->setFocusPolicy(Qt::ClickFocus);
  search_->installEventFilter(this);
  browser_ = std::make_unique<TSKINTreeNode>(&form.Canvas());
  browser_->hide();
  browser_->AcceptedDragMime = kListRowsMime;
  // Optical drives show even without a mounted disc: an audio CD has no file
  // system, its tracks are listed from its table of contents.
  browser_->Places = [] {
    std::vector<TSKINTreeNode::Place> places = TSKINTreeNode::SystemPlaces();
    for (const std::string& drive : CDDrives()) places.push_back({"CD " + drive, drive, true});
    return places;
  };
  Source.LookupBPM = [](const std::string& file) { return LookupSongBPM(file); };
  Source.Supported = [](const std::string& ext) { return IsSupportedExtension(ext); };
  ExportFolder = ProgramDir();
  OpenDocument = [](const std::string& file) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file)));
  };
  view_->OnPopupClickDreaptaOn = [this](int row, int line, int x, int y) { PopupClickDreapta(row, line, x, y); };
  view_->OnFilesDropped = [this](const QStringList& files, QPoint at) {
    DropExplorer(files, view_->mapTo(&form_, at));
  };
  view_->OnLeftClick = [this] {
    if (searchMode_) EndSearch();
  };
  connect(search_, &QLineEdit::textEdited, this, [this] { SearchChanged(); });
  browser_->OnListEnd = [this] { ListEndChange(); };
  browser_->OnDrop = [this](int nodeId) {
    for (int n = 1; n <= view_->ListCount(); ++n)
      if (view_->GetList(n)->BrowserId == nodeId) DoDropList(n);
  };
  browser_->OnMenuCommand = [this](const std::string& command) {
    if (command == "new") {
      bool ok = false;
      const QString answer = QInputDialog::getText(&form_, QString::fromStdString(Text("main_createnewlist", "New list")),
                                                   QString::fromStdString(Text("main_enterlistname", "List name:")),
                                                   QLineEdit::Normal, QString::fromStdString(Text("list", "list")), &ok);
      if (ok) NewList(answer.toStdString());
    } else if (command == "delete") {
      DeleteList();
    } else if (command == "rename") {
      const TBrowserLine* line = browser_->SelectedLine();
      if (!line || line->Kind != TBrowserLine::PlayList) return;
      const int list = line->ListIndex;
      if (list >= 1 && list <= 4) {
        QMessageBox::warning(&form_, "Zonda",
                             QString::fromStdString(Text("main_canteditlist", "This list cannot be renamed.")));
        return;
      }
      bool ok = false;
      const QString answer = QInputDialog::getText(
          &form_, QString::fromStdString(Text("main_editlist", "Rename list")),
          QString::fromStdString(Text("main_enternewlistname", "New name:")), QLineEdit::Normal,
          QString::fromStdString(line->Caption), &ok);
      if (ok) EditList(answer.toStdString());
    } else if (command == "export") {
      const TBrowserLine* line = browser_->SelectedLine();
      ListExport(line ? line->Caption : view_->Shown().Name);
    } else if (command == "add_database") {
      AddToDatabase();
    }
  };
  BuildRowMenu();
}

TMainFormLists::~TMainFormLists() = default;

std::string TMainFormLists::Folder() const { return ProgramPath("/lists"); }

std::string TMainFormLists::Text(const char* key, const char* fallback) const {
  return form_.LanguageText(key, fallback);
}

bool TMainFormLists::IsListWidget(const QObject* widget) const {
  return widget == view_ || widget == browser_.get() || widget == search_;
}

bool TMainFormLists::Ask(const std::string& text) {
  return QMessageBox::warning(&form_, "Zonda", QString::fromStdString(text), QMessageBox::Ok | QMessageBox::Cancel) ==
         QMessageBox::Ok;
}

void TMainFormLists::FillHandlers(TActionTables& t) {
  auto fill = [&](const char* name, std::function<void()> fn) {
    t.FillHandler(name, [this, fn](int) {
      if (form_.Attached()) fn();
    });
  };
  for (int d = 0; d < 2; ++d) {
    t.FillHandler(d == 0 ? "LoadA" : "LoadB", [this, d](int) {
      if (form_.Attached()) LoadRow(d, -1);
    });
    t.FillHandler(d == 0 ? "DroppedOnA" : "DroppedOnB", [this, d](int, int) {
      if (form_.Attached()) DroppedOn(d);
    });
  }
  fill("LoadButtonClick", [this] { LoadButtonClick(); });
  fill("AddDIR_to_plClick", [this] { AddDIR_to_plClick(); });
  fill("RemoveButtonClick", [this] { RemoveButtonClick(); });
  fill("ClearButtonClick", [this] { ClearButtonClick(); });
  fill("InsertSong", [this] { InsertSong(); });
  fill("InsertAllSongs", [this] { InsertAllSongs(); });
  fill("DragUpClick", [this] { DragUpClick(); });
  fill("DragDownClick", [this] { DragDownClick(); });
  fill("next_search_buttonUnClick", [this] { NextSearch(); });
  fill("StopPreviewClick", [this] { StopPreviewClick(); });
  fill("PREVIEW_POSTrack", [this] { PreviewPosTrack(); });
  fill("NewList", [this] { browser_->OnMenuCommand("new"); });
  fill("DeleteList", [this] { DeleteList(); });
  fill("EditList", [this] { browser_->OnMenuCommand("rename"); });
  fill("ListExport", [this] { browser_->OnMenuCommand("export"); });
}

void TMainFormLists::PlaceFromSkin() {
  const TSkinLoader& skin = form_.Skins();
  const TSkinListPlacement& p = skin.ListPlacement();
  if (p.Placed && p.Rect.width() > 0 && p.Rect.height() > 0) {
    TListSkinStyle& s = view_->SkinStyle;
    s.Given = true;
    s.FontName = p.FontName;
    s.FontSize = p.FontSize;
    s.FontColor = static_cast<int32_t>(p.FontColor);
    s.CursorFontColor = static_cast<int32_t>(p.CursorFontColor);
    s.InsertedColor = static_cast<int32_t>(p.InsertedColor);
    s.NextSongColor = static_cast<int32_t>(p.NextSongColor);
    s.BetweenLines = p.BetweenLines;
    s.BeforeHeader = p.BeforeHeader;
    s.AfterHeader = p.AfterHeader;
    s.GridColor = static_cast<int32_t>(p.GridColor);
    s.CursorColor = static_cast<int32_t>(p.CursorColor);
    s.GeneralOverColor = static_cast<int32_t>(p.GeneralOverColor);
    s.SliderColor = static_cast<int32_t>(p.SliderColor);
    s.HeaderColor = static_cast<int32_t>(p.HeaderColor);
    s.HeaderBorderColor = static_cast<int32_t>(p.HeaderBorderColor);
    s.HeaderOverColor = static_cast<int32_t>(p.HeaderOverColor);
    view_->BeginUpdate();
    for (int n = 1; n <= view_->ListCount(); ++n) s.Apply(*view_->GetList(n));
    view_->EndUpdate();
    view_->setGeometry(p.Rect);
    view_->CaptureImage(0, skin.SkinImage(), p.Rect, qRgb(255, 255, 255), false);
    view_->show();
    view_->Redraw();
  } else {
    view_->hide();
  }
  const TSkinSearchPlacement& sp = skin.SearchPlacement();
  if (sp.Placed && sp.Rect.width() > 0 && sp.Rect.height() > 0) {
    search_->setGeometry(sp.Rect);
    QFont font(QString::fromStdString(sp.FontName));
    if (sp.FontSize > 0) font.setPointSize(sp.FontSize);
    font.setBold(sp.Bold);
    font.setItalic(sp.Italic);
    search_->setFont(font);
    QPalette pal = search_->palette();
    pal.setColor(QPalette::Base, ToQColor(sp.BackColor));
    pal.setColor(QPalette::Text, ToQColor(sp.FontColor));
    search_->setPalette(pal);
    search_->setFrame(false);
    if (!searchMode_) search_->setText(QString::fromStdString(Text("main_pressspace", "Press SPACE to search")));
    search_->show();
  } else {
    search_->hide();
  }
  const TSkinListsViewParams& lv = skin.ListsView();
  if (lv.Placed && lv.Rect.width() > 0 && lv.Rect.height() > 0) {
    browser_->ApplyStyle(lv, &skin.SkinImage());
    browser_->setGeometry(lv.Rect);
    browser_->show();
  } else {
    browser_->hide();
  }
}

void TMainFormLists::Tick() { view_->Tick(); }

void TMainFormLists::ApplyLanguage() {
  static constexpr const char* keys[kSongColumns] = {"tag_number", nullptr,       "tag_bpm",     "tag_genre",
                                                     "tag_comment", "tag_album", "tag_filename"};
  for (int n = 1; n <= view_->ListCount(); ++n) {
    TLista& l = *view_->GetList(n);
    for (int c = 1; c <= std::min(l.ColumnCount(), kSongColumns); ++c) {
      if (!keys[c - 1]) continue;
      const std::string t = form_.links_.Language ? form_.links_.Language->Text(keys[c - 1]) : std::string();
      if (!t.empty()) l.GetColumn(c)->Caption = t;
    }
  }
  const std::string hint = Text("ls_hint", "Current List");
  view_->setToolTip(QString::fromStdString(hint));
  search_->setToolTip(QString::fromStdString(Text("ls_search", "")));
  view_->SortLockCaption = Text("main_lockcolumnsorting", "Lock column sorting");
  view_->SizeLockCaption = Text("main_lockcolumnsize", "Lock column size");
  BuildRowMenu();
  refresh_count();
}

// ---- start-up and shutdown ----

std::vector<std::string> TMainFormLists::MissingListFiles(const std::string& folder) {
  std::vector<std::string> missing;
  for (const char* name : {"default.lst", "list1.lst", "list2.lst", "lists.ssa"})
    if (!Exists(folder + "/" + name)) missing.push_back(folder + "/" + name);
  return missing;
}

void TMainFormLists::ShowProblems(const std::vector<std::string>& problems, const char* what) {
  if (problems.empty()) return;
  std::string text = what;
  for (const std::string& p : problems) text += "\n" + p;
  QMessageBox::warning(&form_, "Zonda", QString::fromStdString(text), QMessageBox::Ok);
}

std::vector<std::string> TMainFormLists::LoadAllLists() {
  view_->MultiplicatorTact = 5;
  view_->BeginUpdate();
  const auto problems = LoadAllListsFrom(Folder(), *view_);
  // The fixed lists exist even when the index names fewer.
  while (view_->ListCount() < kExplorer) {
    TLista& l = view_->AddList();
    LoadListTemplate(Folder(), l);
    l.Name = l.CreatedName = kFixedListNames[view_->ListCount() - 1];
  }
  for (int n = 1; n <= view_->ListCount(); ++n) {
    TLista& l = *view_->GetList(n);
    if (l.ColumnCount() == 0) MakeSongListTemplate(l);
    view_->SkinStyle.Apply(l);
  }
  view_->EndUpdate();
  RebuildBrowser();
  ShowProblems(problems, "These lists could not be read and are left as they are on disk:");
  refresh_count();
  return problems;
}

std::vector<std::string> TMainFormLists::SaveAllLists() {
  view_->GetList(kHistory)->ClearRows();
  view_->Redraw();
  const auto problems = SaveAllListsTo(Folder(), *view_);
  for (const std::string& p : problems) std::fprintf(stderr, "zonda: %s\n", p.c_str());
  return problems;
}

// ---- decks ----

bool TMainFormLists::LoadRow(int d, int row) {
  TLista& l = view_->Shown();
  if (l.RowCount() == 0) return false;
  const bool next = row == -1;
  if (next) row = l.CursorRow(1);
  if (row <= 0) row = 1;
  if (row > l.RowCount()) return false;
  const std::string path(l.GetCell(row, ColPath));
  const std::string name(l.GetCell(row, ColName));
  if (!Exists(path)) return false;
  if (!form_.load_but_Click(d, path, name.empty() ? fs::path(path).filename().string() : name)) return false;
  TLista& history = *view_->GetList(kHistory);
  if (&history != &l) CopySongRow(l, row, false, history, Source);
  if (next) {
    const bool random = form_.state_.random >= 0 && form_.Button(form_.state_.random).Selected();
    const int target = random ? 1 + std::rand() % l.RowCount() : NextRowAfter(row, l.RowCount());
    l.SetCursor(1, target);
  }
  refresh_count();
  return true;
}

void TMainFormLists::DroppedOn(int d) {
  TLista& l = view_->Shown();
  if (l.RowCount() > 0 && l.CursorRow(0) > 0) LoadRow(d, l.CursorRow(0));
}

void TMainFormLists::AppendFileToHistory(const std::string& file) {
  AddFileToList(*view_->GetList(kHistory), file, true, Source);
  refresh_count();
}

void TMainFormLists::StoreDetectedBpm(int d) {
  if (!form_.Attached()) return;
  TSoundSource& deck = form_.Deck(d);
  const int bpm = deck.DetectedBPM.load();
  const int votes = bpm >= kBPMHistogramLow && bpm <= kBPMHistogramHigh
                        ? deck.BPMHistogram[static_cast<size_t>(bpm - kBPMHistogramLow)].load()
                        : 0;
  const std::string name = form_.Text(form_.state_.Deck[static_cast<size_t>(d)].A.songName).Text();
  if (zonda::StoreDetectedBpm(*view_, name, bpm, votes) > 0) refresh_count();
}

// ---- adding ----

void TMainFormLists::LoadButtonClick() {
  static const QString filter =
      "All supported file types (*.m3u *.m3u8 *.mp3 *.wav *.cda *.ogg *.wma *.au *.aif *.aiff *.flac *.m4a *.mp4 "
      "*.m4b *.aac *.opus);;M3U List (*.m3u *.m3u8);;MPEG Layer 3 (*.mp3);;Microsoft WAVE (*.wav);;"
      "CD Digital Audio (*.cda);;OGG Vorbis (*.ogg);;Windows Media Audio (*.wma);;Sun/NEXT Audio (*.au);;"
      "Audio Interchange Format (*.aif *.aiff);;FLAC (*.flac);;MPEG-4 Audio (*.m4a *.mp4 *.m4b *.aac);;"
      "Opus (*.opus)";
  const QStringList files = QFileDialog::getOpenFileNames(&form_, "Open File (playlist or media)",
                                                          QString::fromStdString(ProgramDir()), filter);
  AddFiles(files);
}

void TMainFormLists::AddFiles(const QStringList& files) {
  view_->BeginUpdate();
  for (const QString& f : files) {
    const std::string file = f.toStdString();
    const std::string ext = UpperExtension(file);
    if (ext == ".M3U" || ext == ".M3U8") {
      view_->EndUpdate();
      ImportM3U(file);
      view_->BeginUpdate();
    } else if (IsSupportedExtension(ext) && Exists(file)) {
      AddFileToList(view_->Shown(), file, true, Source);
    }
  }
  view_->EndUpdate();
  refresh_count();
}

void TMainFormLists::AddDIR_to_plClick() {
  TAddDIR dialog(&form_);
  dialog.SetTexts(Text("adddir_choose", ""), Text("adddir_recurse", ""));
  dialog.Tree().setFocus();
  if (dialog.exec() != QDialog::Accepted || dialog.Folder().empty()) return;
  AddFolder(dialog.Folder(), dialog.Recurse(), 0, true);
}

void TMainFormLists::AddFolder(const std::string& folder, bool recurse, int listIndex, bool readTags) {
  TLista& list = *view_->GetList(listIndex);
  // A large folder keeps the window responsive and shows how far it got.
  QProgressDialog progress(QString::fromStdString(Text("main_addingfiles", "Adding files ...")),
                           QString::fromStdString(Text("cancel", "Cancel")), 0, 0, &form_);
  progress.setMinimumDuration(500);
  progress.setWindowModality(Qt::WindowModal);
  TSongRowSource source = WithBpmTable(Source);
  source.Progress = [&progress](size_t added) {
    progress.setLabelText(QString("%1 ...").arg(added));
    QApplication::processEvents();
    return !progress.wasCanceled();
  };
  view_->BeginUpdate();
  if (recurse)
    AddFolderTree(list, folder, readTags, source);
  else
    AddFolderFiles(list, folder, readTags, source);
  view_->EndUpdate();
  progress.reset();
  refresh_count();
}

void TMainFormLists::ImportM3U(const std::string& file) {
  view_->BeginUpdate();
  const TSongRowSource source = WithBpmTable(Source);
  for (const std::string& song : ReadPlaylistFiles(file)) AddFileToList(view_->Shown(), song, true, source);
  view_->EndUpdate();
  refresh_count();
}

void TMainFormLists::DropExplorer(const QStringList& files, QPoint at) {
  if (files.isEmpty()) return;
  // On a deck's beat display: the first file loads into that deck.
  for (const auto& display : form_.Skins().BeatDisplays()) {
    if (!display || !display->isVisible()) continue;
    const QRect r(display->mapTo(&form_, QPoint(0, 0)), display->size());
    if (!r.contains(at)) continue;
    const std::string file = files.front().toStdString();
    if (IsSupportedExtension(UpperExtension(file))) {
      const int d = display.get() == form_.Skins().BeatDisplays().front().get() ? 0 : 1;
      if (form_.load_but_Click(d, file)) AppendFileToHistory(file);
    }
    return;
  }
  view_->BeginUpdate();
  for (const QString& f : files) {
    const std::string name = f.toStdString();
    const std::string ext = UpperExtension(name);
    std::error_code ec;
    if (fs::is_directory(name, ec)) {
      view_->EndUpdate();
      AddFolder(name, true, 0, true);
      view_->BeginUpdate();
    } else if (ext == ".M3U" || ext == ".M3U8") {
      view_->EndUpdate();
      ImportM3U(name);
      view_->BeginUpdate();
    } else if (IsSupportedExtension(ext)) {
      AddFileToList(view_->Shown(), name, true, Source);
    }
  }
  view_->EndUpdate();
  refresh_count();
}

// ---- removing and marking ----

void TMainFormLists::ClearButtonClick() {
  if (!Ask(Text("main_confirmclearlist", "Clear the list?"))) return;
  view_->Shown().ClearRows();
  refresh_count();
}

void TMainFormLists::FocusAfterRemoval(int oldFocus, int oldCount) {
  TLista& l = view_->Shown();
  const int target = std::min(oldFocus, oldCount - 1);
  if (target >= 1 && target <= l.RowCount()) l.SetCursor(0, target);
}

void TMainFormLists::RemoveButtonClick() {
  TLista& l = view_->Shown();
  const int marks = l.MarkCount();
  if (marks > 0) {
    if (!Ask(Text("main_confirmremovesongs", "Remove") + " " + std::to_string(marks) + " " +
             Text("main_confirm_part2", "songs from the list?")))
      return;
    view_->BeginUpdate();
    const std::vector<int32_t> rows = l.MarkedRows();
    l.ClearMarks();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) l.DeleteRow(*it);
    view_->EndUpdate();
  } else if (l.CursorRow(0) > 0) {
    const int focus = l.CursorRow(0), count = l.RowCount();
    l.DeleteRow(focus);
    FocusAfterRemoval(focus, count);
  }
  refresh_count();
}

void TMainFormLists::RemoveDeadSongs() {
  TLista& l = view_->Shown();
  const int focus = l.CursorRow(0), count = l.RowCount();
  view_->BeginUpdate();
  for (int r = l.RowCount(); r >= 1; --r)
    if (!Exists(l.GetCell(r, ColPath))) l.DeleteRow(r);
  view_->EndUpdate();
  FocusAfterRemoval(focus, count);
  refresh_count();
}

void TMainFormLists::PhysicalDelete() {
  TLista& l = view_->Shown();
  std::vector<int32_t> rows = l.MarkedRows();
  std::string question;
  if (!rows.empty()) {
    question = Text("main_confirmphysicaldelete", "Delete") + " " + std::to_string(rows.size()) + " " +
               Text("main_confirmphysicaldelete_part2", "files from the disk?");
  } else if (l.CursorRow(0) > 0) {
    rows.push_back(l.CursorRow(0));
    question = Text("main_confirmphysicaldelete_single", "Delete this file from the disk?");
  } else {
    return;
  }
  if (!Ask(question)) return;
  const int focus = l.CursorRow(0), count = l.RowCount();
  // Qt needs the data folder that holds the trash to exist, or it moves the
  // file into a "files" folder of the working directory instead.
  QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
  view_->BeginUpdate();
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    const QString path = QString::fromUtf8(l.GetCell(*it, ColPath));
    QFile file(path);
    if (file.exists()) file.setPermissions(file.permissions() | QFile::WriteOwner);
    // The desktop's trash where there is one; deleted outright only where not.
    const bool gone = file.exists() && (QFile::moveToTrash(path) || QFile::remove(path));
    if (gone) {
      l.DeleteRow(*it);
    } else {
      QMessageBox::information(&form_, "Zonda",
                               QString::fromStdString(Text("main_accesdenied", "Access denied")) + ": " + path);
    }
  }
  view_->EndUpdate();
  FocusAfterRemoval(focus, count);
  refresh_count();
}

void TMainFormLists::InsertSong() {
  TLista& l = view_->Shown();
  const int focus = l.CursorRow(0);
  if (l.RowCount() == 0 || focus < 1) return;
  if (l.IsRowMarked(focus))
    l.ClearCursor(3, focus);
  else
    l.SetCursor(3, focus);
  if (focus < l.RowCount()) l.SetCursor(0, focus + 1);
  view_->Redraw();
}

void TMainFormLists::InsertAllSongs() {
  TLista& l = view_->Shown();
  if (l.RowCount() == 0) return;
  view_->BeginUpdate();
  if (l.IsRowMarked(1)) {
    l.ClearMarks();
  } else {
    for (int r = 1; r <= l.RowCount(); ++r) l.SetCursor(3, r);
  }
  view_->EndUpdate();
  view_->Redraw();
}

void TMainFormLists::DragUpClick() {
  TLista& l = view_->Shown();
  const int f = l.CursorRow(0);
  l.MoveRow(f, f - 1);
  view_->Redraw();
}

void TMainFormLists::DragDownClick() {
  TLista& l = view_->Shown();
  const int f = l.CursorRow(0);
  l.MoveRow(f, f + 1);
  view_->Redraw();
}

// ---- search ----

void TMainFormLists::StartSearch() {
  if (searchMode_) return;
  searchMode_ = true;
  search_->setReadOnly(false);
  search_->clear();
  search_->setFocus();
}

void TMainFormLists::EndSearch() {
  if (!searchMode_) return;
  searchMode_ = false;
  search_->setReadOnly(true);
  search_->setText(QString::fromStdString(Text("main_pressspace", "Press SPACE to search")));
  search_->clearFocus();
  form_.setFocus();
}

void TMainFormLists::SearchChanged() {
  if (!searchMode_) return;
  QString text = search_->text();
  if (text.startsWith(' ')) {
    text.remove(0, 1);
    search_->setText(text);
  }
  TLista& l = view_->Shown();
  if (const int row = FindRowContaining(l, ColName, text)) l.SetCursor(0, row);
  view_->Redraw();
}

void TMainFormLists::NextSearch() {
  if (!searchMode_) return;
  TLista& l = view_->Shown();
  if (const int row = FindRowContaining(l, ColName, search_->text(), l.CursorRow(0) + 1)) l.SetCursor(0, row);
  view_->Redraw();
}

// ---- row menu, preview, tag editor ----

void TMainFormLists::BuildRowMenu() {
  rowMenu_ = std::make_unique<QMenu>();
  auto add = [&](QMenu* m, const char* key, const char* fallback, std::function<void()> fn) {
    QAction* a = m->addAction(QString::fromStdString(Text(key, fallback)));
    connect(a, &QAction::triggered, this, fn);
  };
  add(rowMenu_.get(), "listmenu_preview", "PREVIEW", [this] { Preview(); });
  add(rowMenu_.get(), "listmenu_loaddecka", "Load in Deck A", [this] { LoadRow(0, ContextRow); });
  add(rowMenu_.get(), "listmenu_loaddeckb", "Load in Deck B", [this] { LoadRow(1, ContextRow); });
  rowMenu_->addSeparator();
  QMenu* files = rowMenu_->addMenu(QString::fromStdString(Text("listmenu_fileoptions", "File Options")));
  add(files, "listmenu_physicaldelete", "Physical Delete", [this] { PhysicalDelete(); });
  add(files, "listmenu_removealldead", "Remove All Dead", [this] { RemoveDeadSongs(); });
  add(rowMenu_.get(), "listmenu_taginfo", "Tag Info", [this] { TagInfo(); });
}

void TMainFormLists::PopupClickDreapta(int row, int, int x, int y) {
  ContextRow = row;
  rowMenu_->popup(view_->mapToGlobal(QPoint(x, y)));
}

void TMainFormLists::Preview() {
  TKAVMixer* mixer = form_.links_.Mixer;
  const std::string path(view_->Shown().GetCell(ContextRow, ColPath));
  if (!mixer || !mixer->Preview || path.empty()) return;
  const int32_t bytes = mixer->Preview->Open(path);
  const int slider = form_.actions_->FindSliderAction("preview");
  const int seconds = bytes / 176400 - 1;
  if (slider >= 0) {
    form_.Slider(slider).SetValue(0);
    form_.Slider(slider).SetMaximum(std::max(seconds, 1));
  }
  if (seconds > 0) {
    if (slider >= 0) form_.Slider(slider).SetValue(1);
    mixer->PreviewOn.store(true);
  }
  const int button = form_.actions_->FindButtonAction("ss_preview");
  if (button >= 0) form_.Button(button).SetSelected(mixer->PreviewOn.load());
}

void TMainFormLists::StopPreviewClick() {
  TKAVMixer* mixer = form_.links_.Mixer;
  if (!mixer) return;
  if (mixer->PreviewOn.load()) {
    mixer->PreviewOn.store(false);
  } else {
    TLista& l = view_->Shown();
    if (l.RowCount() > 0 && l.CursorRow(0) > 0) {
      ContextRow = l.CursorRow(0);
      Preview();
    }
  }
  const int button = form_.actions_->FindButtonAction("ss_preview");
  if (button >= 0) form_.Button(button).SetSelected(mixer->PreviewOn.load());
}

void TMainFormLists::PreviewPosTrack() {
  TKAVMixer* mixer = form_.links_.Mixer;
  const int slider = form_.actions_->FindSliderAction("preview");
  if (mixer && mixer->Preview && slider >= 0) mixer->Preview->JumpToSecond(form_.Slider(slider).Value());
}

void TMainFormLists::TagInfo() {
  const std::string path(view_->Shown().GetCell(ContextRow, ColPath));
  if (!Exists(path)) {
    QMessageBox::warning(&form_, "Zonda",
                         QString::fromStdString("The file \"" + path + "\" does NOT exist anymore !\n" +
                                                "You should remove all the dead files from the list !"));
    return;
  }
  const std::string ext = UpperExtension(path);
  if (ext != ".MP3" && ext != ".OGG") {
    QMessageBox::warning(&form_, "Zonda", "The TAG Editor works only for MP3 and OGG Vorbis files !");
    return;
  }
  if (!tagEditor_) {
    tagEditor_ = std::make_unique<TfileTAG>(&form_);
    tagEditor_->Texts = [this](const char* key, const char* fallback) { return Text(key, fallback); };
    // The edited song's rows in the shown list take the new texts.
    tagEditor_->RowUpdated = [this](const std::string& file, const TTagRowTexts& row) {
      TLista& list = view_->Shown();
      for (int r = 1; r <= list.RowCount(); ++r) {
        if (std::string(list.GetCell(r, ColPath)) != file) continue;
        list.SetCell(r, ColName, row.DisplayName);
        list.SetCell(r, ColGenre, row.Genre);
        list.SetCell(r, ColComment, row.Comment);
        list.SetCell(r, ColAlbum, row.Album);
      }
      view_->Redraw();
    };
    tagEditor_->QuitConfirmed = [this] { return form_.ClosingConfirmed; };
    tagEditor_->ApplyLanguage();
  }
  tagEditor_->Open(path);
}

// ---- lists and the browser ----

void TMainFormLists::NewList(const std::string& answer) {
  TLista& l = view_->AddList();
  std::string error;
  if (!LoadListTemplate(Folder(), l, &error)) MakeSongListTemplate(l);
  l.Name = l.CreatedName = answer.empty() ? Text("list", "list") : answer;
  l.ListTag = 0;
  l.BrowserId = browser_->AddPlayList(l.Name, view_->ListCount());
  view_->SkinStyle.Apply(l);
  refresh_count();
}

void TMainFormLists::DeleteList() {
  const TBrowserLine* line = browser_->SelectedLine();
  if (!line || line->Kind != TBrowserLine::PlayList) return;
  const int nodeId = browser_->GetNodeId(browser_->SelectedRow());
  int list = 0;
  for (int n = 1; n <= view_->ListCount(); ++n)
    if (view_->GetList(n)->BrowserId == nodeId) list = n;
  if (list >= 1 && list <= 4) {
    QMessageBox::warning(&form_, "Zonda", QString::fromStdString(Text("main_cantdeletelist", "This list cannot be deleted.")));
    return;
  }
  if (list == 0 || !Ask(Text("main_confirmdeletelist", "Delete this list?"))) return;
  browser_->DeletePlayList(nodeId);
  view_->SelectList(1);
  view_->RemoveList(list);
  // The browser's list numbers follow the removal.
  RebuildBrowser();
  refresh_count();
}

void TMainFormLists::EditList(const std::string& answer) {
  const TBrowserLine* line = browser_->SelectedLine();
  if (!line || line->Kind != TBrowserLine::PlayList) return;
  const int nodeId = browser_->GetNodeId(browser_->SelectedRow());
  for (int n = 5; n <= view_->ListCount(); ++n) {
    TLista& l = *view_->GetList(n);
    if (l.BrowserId != nodeId) continue;
    l.Name = answer.empty() ? "list" : answer;
    browser_->RenamePlayList(l.Name, nodeId);
  }
}

void TMainFormLists::ListExport(const std::string& entryName) {
  TLista& l = view_->Shown();
  if (l.RowCount() == 0) return;
  if (QMessageBox::information(&form_, "Zonda", QString::fromStdString(Text("main_exportlist", "Export the list?")),
                               QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
    return;
  auto lookup = [this](const char* key) { return Text(key, key); };
  const std::string html = ExportFolder + "/list.html";
  std::string error;
  if (!WriteFileAtomically(html, ListToHtml(l, entryName, lookup), &error) ||
      !WriteFileAtomically(ExportFolder + "/list.m3u8", ListToM3U8(l), &error)) {
    QMessageBox::warning(&form_, "Zonda", QString::fromStdString(error));
    return;
  }
  if (OpenDocument) OpenDocument(html);
}

void TMainFormLists::ListEndChange() {
  const TBrowserLine* line = browser_->SelectedLine();
  if (!line) return;
  if (line->Kind == TBrowserLine::Root || line->Kind == TBrowserLine::Explorer || line->Kind == TBrowserLine::Lists)
    return;
  int target = 0;
  if (line->ListIndex == kReserved || line->ListIndex == kExplorer) {
    target = line->ListIndex;
  } else {
    const int nodeId = browser_->GetNodeId(browser_->SelectedRow());
    for (int n = 1; n <= view_->ListCount(); ++n)
      if (view_->GetList(n)->BrowserId == nodeId) target = n;
  }
  if (target == 0) return;
  if (target == kExplorer && !line->Path.empty()) {
    TLista& explorer = *view_->GetList(kExplorer);
    view_->BeginUpdate();
    explorer.ClearRows();
    std::error_code ec;
    if (line->Kind == TBrowserLine::OpticalDrive && !fs::is_directory(fs::path(line->Path), ec)) {
      for (const std::string& track : CDTrackNames(line->Path)) AddFileToList(explorer, track, false, Source);
    } else {
      AddFolderFiles(explorer, line->Path, false, Source);
    }
    view_->EndUpdate();
  }
  view_->SelectList(target);
  form_.LastListSelected = target;
  refresh_count();
}

void TMainFormLists::DoDropList(int target) {
  if (target < 1 || target > view_->ListCount() || target == view_->CurrentIndex()) return;
  TLista& from = view_->Shown();
  TLista& to = *view_->GetList(target);
  const bool reRead = view_->CurrentIndex() == kExplorer;
  if (from.MarkCount() > 0) {
    for (int32_t r : from.MarkedRows()) CopySongRow(from, r, reRead, to, Source);
    from.ClearMarks();
  } else if (from.CursorRow(0) > 0) {
    CopySongRow(from, from.CursorRow(0), reRead, to, Source);
  }
  refresh_count();
}

void TMainFormLists::AddToDatabase() {
  const TBrowserLine* line = browser_->SelectedLine();
  if (!line || line->Path.empty()) return;
  if (line->Kind == TBrowserLine::Drive || line->Kind == TBrowserLine::OpticalDrive) {
    if (!Ask("Are you sure you want to add a whole disk? This might take a while!")) return;
  }
  AddFolder(line->Path, true, kDatabase, true);
}

void TMainFormLists::RebuildBrowser() {
  std::vector<std::string> names;
  for (int n = 1; n <= view_->ListCount(); ++n) names.push_back(view_->GetList(n)->Name);
  const std::vector<int> ids = browser_->BuildTree(names);
  for (int n = 1; n <= view_->ListCount(); ++n) view_->GetList(n)->BrowserId = ids[static_cast<size_t>(n - 1)];
}

void TMainFormLists::refresh_count() {
  TLista& l = view_->Shown();
  if (TColoana* c = l.GetColumn(ColName)) {
    const std::string head = Text("tag_artist", "Artist") + " - " + Text("tag_title", "Title") + "  [ ";
    c->Caption = l.RowCount() > 0 ? head + std::to_string(l.RowCount()) + " " + Text("main_songs", "songs") + " ]"
                                  : head + Text("main_empty", "empty") + " ]";
  }
  view_->Redraw();
}

// ---- keys and wheel ----

bool TMainFormLists::eventFilter(QObject* watched, QEvent* event) {
  if (watched == search_) {
    if (event->type() == QEvent::FocusIn && !searchMode_) {
      StartSearch();
    } else if (event->type() == QEvent::KeyPress && searchMode_) {
      auto* key = static_cast<QKeyEvent*>(event);
      switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
          EndSearch();
          return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
          EndSearch();
          FormKeyDown(key);
          return true;
        default: break;
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

bool TMainFormLists::FormKeyDown(QKeyEvent* key) {
  TLista& l = view_->Shown();
  const bool ctrl = key->modifiers() & Qt::ControlModifier;
  const bool alt = key->modifiers() & Qt::AltModifier;
  const int focus = l.CursorRow(0);
  switch (key->key()) {
    case Qt::Key_F4:
      if (alt) form_.close();
      break;
    case Qt::Key_Space: StartSearch(); break;
    case Qt::Key_Up:
      if (ctrl)
        DragUpClick();
      else if (focus > 1)
        l.SetCursor(0, focus - 1);
      else if (focus == 0 && l.RowCount() > 0)
        l.SetCursor(0, 1);
      break;
    case Qt::Key_Down:
      if (ctrl)
        DragDownClick();
      else if (focus < l.RowCount())
        l.SetCursor(0, focus + 1);
      break;
    case Qt::Key_3:
      if (alt && l.RowCount() > 0 && focus > 0) {
        ContextRow = focus;
        TagInfo();
      }
      break;
    case Qt::Key_Delete:
      if (ctrl)
        ClearButtonClick();
      else
        RemoveButtonClick();
      break;
    case Qt::Key_Insert:
      if (ctrl)
        InsertAllSongs();
      else
        InsertSong();
      break;
    case Qt::Key_A:
      if (ctrl) InsertAllSongs();
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (!ctrl && focus > 0) l.SetCursor(1, focus);
      break;
    case Qt::Key_Home:
      if (l.RowCount() > 0) l.SetCursor(0, 1);
      break;
    case Qt::Key_End:
      if (l.RowCount() > 0) l.SetCursor(0, l.RowCount());
      break;
    case Qt::Key_PageUp:
      if (l.RowCount() > 0) l.SetCursor(0, std::max(focus - l.RowsShown + 1, 1));
      break;
    case Qt::Key_PageDown:
      if (l.RowCount() > 0) l.SetCursor(0, std::min(l.RowCount(), focus + l.RowsShown - 1));
      break;
    default: break;
  }
  view_->Redraw();
  return true;
}

bool TMainFormLists::FormKeyUp(QKeyEvent* key) {
  if (key->key() == Qt::Key_Menu) {
    ContextRow = view_->Shown().CursorRow(0);
    view_->PopupAtFocus();
  }
  return true;
}

bool TMainFormLists::Wheel(QWheelEvent* wheel) {
  const int notches = wheel->angleDelta().y() / 120;
  if (notches == 0) return false;
  if (browser_->isVisible() && browser_->rect().contains(browser_->mapFromGlobal(wheel->globalPosition().toPoint()))) {
    browser_->ScrollByWheel(notches > 0 ? -1 : 1);
    return true;
  }
  view_->ScrollRows(-4 * notches);
  return true;
}

}  // namespace zonda
