#pragma once
// The main window's lists: the song list view and search box the skin places,
// the library's lists (1 Database, 2 History, 3 reserved, 4 Explorer, 5 and
// up the user's), and every list command - adding files, folders and play
// lists, removing, marking, moving, searching, previewing, exporting, loading
// decks from the shown list and the History they leave, and the lists
// browser's commands. TMainForm owns one and forwards keys, the wheel, the
// periodic tick and skin loads to it.
//
// Main thread only.
#include <QObject>
#include <QPoint>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "lists/SongRows.h"

class QKeyEvent;
class QLineEdit;
class QMenu;
class QWheelEvent;

namespace zonda {

class TActionTables;
class TListeQZ;
class TMainForm;
class TSKINTreeNode;

class TMainFormLists : public QObject {
 public:
  explicit TMainFormLists(TMainForm& form);
  ~TMainFormLists() override;

  TListeQZ& View() { return *view_; }
  QLineEdit& SearchBox() { return *search_; }
  TSKINTreeNode* Browser() { return browser_.get(); }
  // The library folder (ProgramDir + "/lists").
  std::string Folder() const;
  TSongRowSource Source;

  // Wiring: the list commands' handlers, and the skin's placements.
  void FillHandlers(TActionTables& actions);
  void PlaceFromSkin();
  void Tick();  // periodic update: auto-repeat of the list view
  void ApplyLanguage();

  // Start-up and shutdown. LoadAllLists tells the user about every file it
  // could not read; both return the problems.
  std::vector<std::string> LoadAllLists();
  std::vector<std::string> SaveAllLists();
  // Files the program needs in the library folder, missing ones named.
  static std::vector<std::string> MissingListFiles(const std::string& folder);

  // ---- decks ----
  // Loads row (-1: the next-to-load row) of the shown list into deck d; only
  // the "next" load moves the marker, to the next row or a random one.
  bool LoadRow(int d, int row);
  void DroppedOn(int d);                               // the focus row
  void AppendFileToHistory(const std::string& file);   // a file loaded directly
  void StoreDetectedBpm(int d);                        // before the deck's track is replaced

  // ---- commands ----
  void LoadButtonClick();
  void AddFiles(const QStringList& files);  // LoadButtonClick after the dialog
  void AddDIR_to_plClick();
  void AddFolder(const std::string& folder, bool recurse, int listIndex, bool readTags);
  void ImportM3U(const std::string& file);
  void DropExplorer(const QStringList& files, QPoint at);  // at: in the main window
  void ClearButtonClick();
  void RemoveButtonClick();
  void RemoveDeadSongs();
  void PhysicalDelete();
  void InsertSong();
  void InsertAllSongs();
  void DragUpClick();
  void DragDownClick();
  void StartSearch();
  void EndSearch();
  void SearchChanged();
  void NextSearch();
  void PopupClickDreapta(int row, int line, int x, int y);
  void Preview();
  void StopPreviewClick();
  void PreviewPosTrack();
  void TagInfo();
  void NewList(const std::string& answer);
  void DeleteList();
  void EditList(const std::string& answer);
  void ListExport(const std::string& entryName);
  void ListEndChange();
  void DoDropList(int targetList);
  void AddToDatabase();
  void refresh_count();
  void RebuildBrowser();  // the browser's tree from the lists; their BrowserId follows

  bool FormKeyDown(QKeyEvent* key);  // true: consumed
  bool FormKeyUp(QKeyEvent* key);
  bool Wheel(QWheelEvent* wheel);
  bool IsListWidget(const QObject* widget) const;

  int ContextRow = 0;
  bool SearchMode() const { return searchMode_; }
  QMenu& RowMenu() { return *rowMenu_; }
  // Where the exports go (ProgramDir); tests point it elsewhere.
  std::string ExportFolder;
  // Opens exported pages; tests replace it.
  std::function<void(const std::string& file)> OpenDocument;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::string Text(const char* key, const char* fallback) const;
  void ShowProblems(const std::vector<std::string>& problems, const char* what);
  void FocusAfterRemoval(int oldFocus, int oldCount);
  void BuildRowMenu();
  bool Ask(const std::string& text);

  TMainForm& form_;
  TListeQZ* view_;
  QLineEdit* search_;
  std::unique_ptr<TSKINTreeNode> browser_;
  std::unique_ptr<QMenu> rowMenu_;
  std::unique_ptr<class TfileTAG> tagEditor_;  // made at the first "Tag Info"
  bool searchMode_ = false;
};

}  // namespace zonda
