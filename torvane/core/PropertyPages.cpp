#include "torvane/core/PropertyPages.h"

#include <QLabel>

namespace zonda {

TPropertyPages::TPropertyPages(QWidget* parent, const std::vector<TControlPortInfo>& ports,
                               std::atomic<float>* values) {
  if (ports.empty()) {
    auto* label = new QLabel(QStringLiteral("This plug-in has no controls."), parent);
    label->setMargin(12);
    root_ = label;
  } else if (ports.size() <= kControlsPerPage) {
    root_ = new TControlPortPanel(ports, values, 0, ports.size(), parent);
  } else {
    tabs_ = new QTabWidget(parent);
    pageCount_ = 0;
    for (size_t first = 0; first < ports.size(); first += kControlsPerPage) {
      ++pageCount_;
      tabs_->addTab(new TControlPortPanel(ports, values, first, kControlsPerPage, tabs_),
                    QStringLiteral("Controls %1").arg(pageCount_));
    }
    root_ = tabs_;
  }
  root_->hide();
}

TPropertyPages::~TPropertyPages() { delete root_.data(); }

QSize TPropertyPages::ClientSize() const {
  if (!root_) return {};
  return root_->sizeHint().expandedTo(root_->minimumSizeHint());
}

void TPropertyPages::Show() {
  if (!root_) return;
  root_->setGeometry(QRect(QPoint(0, 0), ClientSize()));
  root_->show();
}

void TPropertyPages::ChangeTab() {
  if (!tabs_) return;
  const int selected = tabs_->currentIndex();
  if (selected >= 0 && selected != shown_) shown_ = selected;
  tabs_->setCurrentIndex(shown_);
  if (QWidget* page = tabs_->widget(shown_)) page->show();
}

}  // namespace zonda
