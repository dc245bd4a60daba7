#pragma once
// TPropertyPages: the property pages of one effect host, generated from the
// plug-in's control inputs and shown inside the program's editor window (the
// parent). Up to kControlsPerPage controls make one page; more are split into
// pages of kControlsPerPage in a tab control titled "Controls 1",
// "Controls 2", ...; a plug-in without controls gets one page saying so.
// The controls write the host's atomics, which the audio thread reads.
//
//   TPropertyPages pages(parent, shape.Controls, values);  // built, hidden
//   parent->resize(pages.ClientSize()); pages.Show();      // at (0, 0)
//   ... the user picks a tab ...  pages.ChangeTab();
//
// Main thread only (widgets). Destroying it deletes the pages, unless the
// parent has already deleted them with itself.
#include <QPointer>
#include <QSize>
#include <QTabWidget>
#include <QWidget>
#include <atomic>
#include <vector>

#include "platform/portpanel/ControlPortPanel.h"

namespace zonda {

class TPropertyPages {
 public:
  static constexpr size_t kControlsPerPage = 12;

  TPropertyPages(QWidget* parent, const std::vector<TControlPortInfo>& ports, std::atomic<float>* values);
  ~TPropertyPages();
  TPropertyPages(const TPropertyPages&) = delete;
  TPropertyPages& operator=(const TPropertyPages&) = delete;

  // The client area the parent needs to show the largest page.
  QSize ClientSize() const;
  // Shows the pages at (0, 0) of the parent in ClientSize().
  void Show();
  // The tab control's selection becomes the shown page.
  void ChangeTab();

  int PageCount() const { return pageCount_; }
  int ShownPage() const { return shown_; }
  // The widget placed in the parent: the one page, or the tab control.
  QWidget* Root() const { return root_; }
  // The tab control, or null with a single page.
  QTabWidget* Tabs() const { return tabs_; }

 private:
  QPointer<QWidget> root_;
  QPointer<QTabWidget> tabs_;
  int pageCount_ = 1;
  int shown_ = 0;
};

}  // namespace zonda
