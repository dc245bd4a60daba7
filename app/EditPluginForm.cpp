#include "app/EditPluginForm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSize>
#include <QVariant>

#include "torvane/Torvane.h"

namespace zonda {

TEditPluginForm::TEditPluginForm(QWidget* mainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), mainWindow_(mainWindow) {
  setWindowTitle("Edit Plugin");
  resize(452, 307);
  if (const QScreen* s = QGuiApplication::primaryScreen()) move(s->geometry().center() - rect().center());
}

bool TEditPluginForm::event(QEvent* e) {
  if (e->type() == QEvent::Type(TORVANE_SIZE_EVENT)) {
    const QSize size = property("torvaneClientSize").toSize();
    if (size.isValid()) resize(size);
    return true;
  }
  return QDialog::event(e);
}

void TEditPluginForm::moveEvent(QMoveEvent* e) {
  QDialog::moveEvent(e);
  if (EditSlot >= 1 && EditSlot <= 8 && TabChanged) TabChanged(EditSlot);
}

void TEditPluginForm::closeEvent(QCloseEvent* e) {
  if (mainWindow_ != nullptr) mainWindow_->setEnabled(true);
  if (EditSlot >= 1 && EditSlot <= 8 && Closing) Closing(EditSlot);
  hide();
  e->accept();
}

void TEditPluginForm::reject() { close(); }

}  // namespace zonda
