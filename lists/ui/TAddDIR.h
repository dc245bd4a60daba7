#pragma once
// TAddDIR: the "Open Directory" dialog of the add-folder command - a folder
// tree (folders only) rooted at the file-system root, and "Recurse
// subdirectories" (ticked by default). Escape cancels.
//
//   TAddDIR dialog(window);
//   if (dialog.exec() == QDialog::Accepted) add(dialog.Folder(), dialog.Recurse());
//
// Main thread only.
#include <QDialog>
#include <string>

class QCheckBox;
class QLabel;
class QTreeView;
class QFileSystemModel;

namespace zonda {

class TAddDIR : public QDialog {
 public:
  explicit TAddDIR(QWidget* parent = nullptr);
  std::string Folder() const;  // "" when none is chosen
  bool Recurse() const;
  void SelectFolder(const std::string& folder);
  void SetTexts(const std::string& choose, const std::string& recurse);
  QTreeView& Tree() { return *tree_; }

 private:
  QLabel* label_;
  QTreeView* tree_;
  QFileSystemModel* model_;
  QCheckBox* recurse_;
};

}  // namespace zonda
