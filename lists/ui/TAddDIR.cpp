#include "lists/ui/TAddDIR.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace zonda {

TAddDIR::TAddDIR(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Open Directory");
  auto* layout = new QVBoxLayout(this);
  label_ = new QLabel("Choose directory to add", this);
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath(QDir::rootPath());
  tree_ = new QTreeView(this);
  tree_->setModel(model_);
  for (int c = 1; c < model_->columnCount(); ++c) tree_->hideColumn(c);
  tree_->header()->hide();
  tree_->setRootIndex(model_->index(QDir::rootPath()));
  recurse_ = new QCheckBox("Recurse subdirectories", this);
  recurse_->setChecked(true);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
  buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(label_);
  layout->addWidget(tree_, 1);
  layout->addWidget(recurse_);
  layout->addWidget(buttons);
  resize(420, 480);
  SelectFolder(QDir::homePath().toStdString());
}

std::string TAddDIR::Folder() const {
  const QModelIndex at = tree_->currentIndex();
  return at.isValid() ? model_->filePath(at).toStdString() : std::string();
}

bool TAddDIR::Recurse() const { return recurse_->isChecked(); }

void TAddDIR::SelectFolder(const std::string& folder) {
  const QModelIndex at = model_->index(QString::fromStdString(folder));
  if (!at.isValid()) return;
  tree_->setCurrentIndex(at);
  tree_->scrollTo(at);
}

void TAddDIR::SetTexts(const std::string& choose, const std::string& recurse) {
  if (!choose.empty()) label_->setText(QString::fromStdString(choose));
  if (!recurse.empty()) recurse_->setText(QString::fromStdString(recurse));
}

}  // namespace zonda
