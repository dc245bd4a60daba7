#include "app/EditBPMForm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "engine/BeatSync.h"

namespace zonda {

TEditBPMform::TEditBPMform(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint) {
  setFixedSize(193, 80);
  BPMValueLabel = new QLabel("BPM value", this);
  BPMValueLabel->setGeometry(8, 10, 60, 16);
  BPMeditval = new QLineEdit("120", this);
  BPMeditval->setMaxLength(3);
  BPMeditval->setGeometry(72, 8, 41, 21);
  BPMchecklock = new QCheckBox("LOCK", this);
  BPMchecklock->setChecked(true);
  BPMchecklock->setGeometry(122, 10, 64, 17);
  OK = new QPushButton("&OK", this);
  OK->setDefault(true);
  OK->setGeometry(16, 44, 75, 25);
  Cancel = new QPushButton("&Cancel", this);
  Cancel->setGeometry(102, 44, 75, 25);
  connect(OK, &QPushButton::clicked, this, [this] { OKClick(); });
  connect(Cancel, &QPushButton::clicked, this, [this] { CancelClick(); });
  connect(BPMeditval, &QLineEdit::textChanged, this, [this] { BPMeditvalChange(); });
}

void TEditBPMform::Open(int deck, const std::string& caption, int32_t value, bool locked) {
  deck_ = deck;
  setWindowTitle(QString::fromStdString(caption));
  BPMeditval->setText(QString::number(value));
  BPMchecklock->setChecked(locked);
  if (const QScreen* s = QGuiApplication::primaryScreen()) {
    move(s->geometry().center() - QPoint(width() / 2, height() / 2));
  }
  show();
  raise();
  activateWindow();
  BPMeditval->setFocus();
  BPMeditval->selectAll();
}

void TEditBPMform::BPMeditvalChange() { BPMchecklock->setChecked(true); }

void TEditBPMform::OKClick() {
  const std::optional<int32_t> v = ParseEditedBPM(BPMeditval->text().trimmed().toStdString());
  if (!v) {
    const std::string first = InvalidNumberText ? InvalidNumberText() : std::string();
    QMessageBox::warning(this, "Zonda", QString::fromStdString(first + " (75-150)"));
    return;
  }
  const bool locked = BPMchecklock->isChecked();
  HideDialog();
  if (OnAccepted) OnAccepted(deck_, *v, locked);
}

void TEditBPMform::CancelClick() { HideDialog(); }

void TEditBPMform::HideDialog() {
  hide();
  if (OnHidden) OnHidden();
}

void TEditBPMform::reject() { CancelClick(); }

void TEditBPMform::closeEvent(QCloseEvent* event) {
  if (ShuttingDown) {
    event->accept();
    return;
  }
  event->ignore();
}

}  // namespace zonda
