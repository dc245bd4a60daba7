#include "skin/ui/TSkinWindow.h"

#include "skin/ui/SkinChoice.h"

#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace zonda {

// Paints the skin picture and moves the window when its background is dragged.
class TSkinCanvas : public QWidget {
 public:
  explicit TSkinCanvas(TSkinWindow* window) : QWidget(window), window_(window) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter p(this);
    const TSkinLoader& skins = window_->Skins();
    if (skins.SkinChanging()) return;
    p.fillRect(event->rect(), Qt::black);
    if (!skins.SkinImage().isNull()) p.drawImage(event->rect().topLeft(), skins.SkinImage(), event->rect());
  }
  void resizeEvent(QResizeEvent*) override { window_->PlaceCanvas(); }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton || window_->isFullScreen()) return;
    window_->dragging_ = true;
    window_->dragOffset_ = event->globalPosition().toPoint() - window_->frameGeometry().topLeft();
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (window_->dragging_) window_->move(event->globalPosition().toPoint() - window_->dragOffset_);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) window_->dragging_ = false;
  }

 private:
  TSkinWindow* window_;
};

TSkinWindow::TSkinWindow(TActionTables& actions, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), canvas_(std::make_unique<TSkinCanvas>(this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  loader_ = std::make_unique<TSkinLoader>(canvas_.get(), actions);
  canvas_->resize(800, 600);
  resize(800, 600);
}

TSkinWindow::~TSkinWindow() {
  // Controls before the canvas that parents them.
  loader_.reset();
  canvas_.reset();
}

QWidget& TSkinWindow::Canvas() { return *canvas_; }

void TSkinWindow::PlaceCanvas() {
  const QSize skin = canvas_->size();
  if (isFullScreen())
    canvas_->move(std::max(0, (width() - skin.width()) / 2), std::max(0, (height() - skin.height()) / 2));
  else
    canvas_->move(0, 0);
}

void TSkinWindow::resizeEvent(QResizeEvent*) { PlaceCanvas(); }

void TSkinWindow::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  p.fillRect(event->rect(), Qt::black);
}

void TSkinWindow::AdaptFormsToResolution() {
  const bool wasEnabled = isEnabled();
  setEnabled(true);
  const QSize skin(loader_->SkinWidth(), loader_->SkinHeight());
  canvas_->resize(skin);
  setWindowState(Qt::WindowNoState);
  resize(skin);
  if (QScreen* s = screen()) {
    const QRect area = s->geometry();
    if (area.size() == skin) {
      setWindowState(Qt::WindowFullScreen);
    } else {
      move(area.x() + (area.width() - skin.width()) / 2, area.y() + (area.height() - skin.height()) / 2);
    }
  }
  PlaceCanvas();
  setEnabled(wasEnabled);
}

void TSkinWindow::FillWindowHandlers(TActionTables& actions) {
  actions.FillHandler("Min_buttonClick", [this](int) { Min_buttonClick(); });
  actions.FillHandler("Max_buttonClick", [this](int) { Max_buttonClick(); });
  actions.FillHandler("ExitAppClick", [this](int) { ExitAppClick(); });
}

bool TSkinWindow::ChangeSkin(const TDataSkin& skin, const std::string& tooWideText) {
  const QScreen* s = screen();
  const int screenWidth = s ? s->geometry().width() : skin.Width;
  const std::string refusal = SkinFitMessage(skin, screenWidth, tooWideText);
  if (!refusal.empty()) {
    QMessageBox::warning(this, "Zonda", QString::fromStdString(refusal));
    return false;
  }
  loader_->SetSkinChanging(true);
  loader_->LoadSkin(skin.BasePath);
  AdaptFormsToResolution();
  loader_->SetSkinChanging(false);
  canvas_->update();
  return true;
}

void TSkinWindow::Min_buttonClick() {
  setEnabled(false);
  showMinimized();
  setEnabled(true);
}

void TSkinWindow::Max_buttonClick() {
  if (isFullScreen()) {
    const QScreen* s = screen();
    if (s && s->geometry().size() == QSize(loader_->SkinWidth(), loader_->SkinHeight())) {
      QMessageBox::warning(this, "Zonda", "The skin is already maximized !");
      return;
    }
    showNormal();
    AdaptFormsToResolution();
    return;
  }
  showFullScreen();
  PlaceCanvas();
}

}  // namespace zonda
