#include "platform/ilvex/lv2/Lv2EditorWindow.h"

#include <QScrollArea>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace zonda::ilvex {

Lv2EditorWindow::Lv2EditorWindow(Lv2Effect& effect, QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QString::fromStdString(effect.Name()));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  auto* panel = new TControlPortPanel(effect.Controls(), effect.ControlValues(), 0, effect.Controls().size());
  scroll->setWidget(panel);
  layout->addWidget(scroll);
  // As tall as the panel, but never taller than most of the screen.
  const QSize wanted = panel->sizeHint() + QSize(40, 20);
  int maxHeight = 700;
  if (const QScreen* screen = this->screen()) maxHeight = std::max(200, screen->availableGeometry().height() * 4 / 5);
  resize(std::max(wanted.width(), 360), std::min(wanted.height(), maxHeight));
}

}  // namespace zonda::ilvex
