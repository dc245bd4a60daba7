#pragma once
// TControlPortPanel: the editor generated for a plug-in that has no window of
// its own: one labelled control per control port (a slider for a range, a
// check box for a toggle, a spin box for an integer, a choice list for a port
// with named values). It writes the port values into atomics the host owns,
// so the audio thread reads them without a lock.
//
//   std::vector<TControlPortInfo> ports = ...;       // from the plug-in's description
//   std::vector<std::atomic<float>> values(ports.size());
//   auto* page = new TControlPortPanel(ports, values.data(), 0, ports.size(), parentWidget);
//
// Threads: main thread only (it is a widget).
#include <QWidget>
#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace zonda {

struct TControlPortInfo {
  std::string name;
  float minimum = 0.0f;
  float maximum = 1.0f;
  float defaultValue = 0.0f;
  bool toggled = false;
  bool integer = false;
  bool logarithmic = false;  // only used when minimum > 0
  std::vector<std::pair<float, std::string>> namedValues;  // shown as a choice list when not empty
};

// The value a port starts at, inside its bounds.
float ClampedPortValue(const TControlPortInfo& port, float value);

class TControlPortPanel final : public QWidget {
 public:
  // Shows ports [first, first + count) of `ports`; values[i] belongs to ports[i].
  TControlPortPanel(const std::vector<TControlPortInfo>& ports, std::atomic<float>* values, size_t first, size_t count,
                    QWidget* parent = nullptr);
};

// Slider positions 0..kPortSliderSteps map onto a port's range (logarithmic when asked).
inline constexpr int kPortSliderSteps = 1000;
float PortValueFromSlider(const TControlPortInfo& port, int position);
int PortSliderFromValue(const TControlPortInfo& port, float value);

}  // namespace zonda
