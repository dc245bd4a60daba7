#pragma once
// TSKINBeatDisplay: the scrolling view of one deck's audio around its play
// position, either as beat-envelope bars or as a standard waveform with beat
// lines, with loop and cue marks, the centre (play position) line and an
// optional beat-difference indicator.
//
// The deck fills two entries per display column (its DisplayPoints is twice
// the width while bound) on every update tick; the beat array carries envelope
// values 0..55, 56 for a beat mark, -2 for a loop end and -5 for the cue
// point, the wave array overview amplitudes. Each tick repaints once: the beat
// array repaints in envelope mode, the wave array in waveform mode. The whole
// picture is composed off-screen and copied in one piece.
//
//   TSKINBeatDisplay display(&window, &skinImage, params);
//   display.setGeometry(20, 100, 300, 60);
//   display.SetDisplayData(beats, 1200);
//
// Mouse: left button scratches (OnLeftDown, OnDrag, OnLeftUp), right button
// mutes (OnRightDown, OnRightUp); anything dropped calls OnDrop.
// Main thread only.
#include <QImage>
#include <cstdint>
#include <functional>
#include <vector>

#include "skin/ActionControl.h"
#include "skin/ui/SkinPaint.h"
#include "skin/ui/TSKINControl.h"

namespace zonda {

struct TSKINBeatDisplayParams {
  QPoint up, over;  // background origins on the sheet
  TColor dataColor = 0, loopColor = 0, cueColor = 0, cursorColor = 0;
  bool beatDiffVisible = false;
  QPoint beatDiff;  // top-left corner of the 40 x 5 indicator
};

class TSKINBeatDisplay : public TSKINControl, public TBeatDisplayControl {
 public:
  static constexpr int16_t kBeatMark = 56;
  static constexpr int16_t kLoopMark = -2;
  static constexpr int16_t kCueMark = -5;

  TSKINBeatDisplay(QWidget* parent, const QImage* skinImage, const TSKINBeatDisplayParams& params);

  // The deck's arrays (copied; entries past `count` read as 0).
  void SetDisplayData(const int16_t* beats, size_t count);
  void SetOverviewData(const int16_t* wave, size_t count);
  void SetStandardWave(bool standard) override { standardWave_ = standard; }
  bool StandardWave() const { return standardWave_; }
  void SetBeatDiff(int hundredths) override { beatDiff_ = hundredths; }
  int BeatDiff() const { return beatDiff_; }

  // TBeatDisplayControl.
  void SetDisplayData(std::span<const int16_t> beats) override { SetDisplayData(beats.data(), beats.size()); }
  void SetOverviewData(std::span<const int16_t> wave) override { SetOverviewData(wave.data(), wave.size()); }
  void SetHint(const std::string& hint) override { ApplyHint(hint); }
  // The action's slots (they outlive the control); nullptr calls nothing.
  void SetHandlers(const TBeatDisplayHandlers* handlers) override;
  int Left() const override { return x(); }
  int Top() const override { return y(); }
  int Width() const override { return width(); }
  int Height() const override { return height(); }

  // Entries the deck should fill: two per column.
  int DisplayPoints() const { return 2 * width(); }

  // Composes the picture now (the data setters and hover changes call it).
  void Compose();
  const QImage& Picture() const { return picture_; }
  const TSKINBeatDisplayParams& Params() const { return params_; }

  std::function<void()> OnLeftDown, OnLeftUp, OnRightDown, OnRightUp;
  std::function<void(int x, int y)> OnDrag, OnDrop;

 protected:
  void PointerEnter() override;
  void PointerLeave() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int16_t Beat(size_t i) const;
  int16_t Wave(size_t i) const;
  void Refresh();

  TSKINBeatDisplayParams params_;
  std::vector<int16_t> beats_;
  std::vector<int16_t> wave_;
  bool standardWave_ = false;
  int beatDiff_ = 0;
  bool hovered_ = false, leftPressed_ = false, rightPressed_ = false;
  QImage picture_;
};

}  // namespace zonda
