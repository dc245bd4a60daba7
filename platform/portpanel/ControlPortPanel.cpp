#include "platform/portpanel/ControlPortPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

namespace zonda {

namespace {

bool UsesLogScale(const TControlPortInfo& port) {
  return port.logarithmic && port.minimum > 0.0f && port.maximum > port.minimum;
}

QString ValueText(const TControlPortInfo& port, float value) {
  if (port.integer) return QString::number(std::lround(value));
  return QString::number(double(value), 'g', 4);
}

}  // namespace

float ClampedPortValue(const TControlPortInfo& port, float value) {
  if (!std::isfinite(value)) value = port.minimum;
  const float lo = std::min(port.minimum, port.maximum);
  const float hi = std::max(port.minimum, port.maximum);
  value = std::clamp(value, lo, hi);
  if (port.integer || port.toggled) value = std::round(value);
  return value;
}

float PortValueFromSlider(const TControlPortInfo& port, int position) {
  const double t = std::clamp(position, 0, kPortSliderSteps) / double(kPortSliderSteps);
  double v;
  if (UsesLogScale(port))
    v = port.minimum * std::pow(double(port.maximum) / port.minimum, t);
  else
    v = port.minimum + t * (double(port.maximum) - port.minimum);
  return ClampedPortValue(port, float(v));
}

int PortSliderFromValue(const TControlPortInfo& port, float value) {
  value = ClampedPortValue(port, value);
  double t = 0.0;
  if (UsesLogScale(port))
    t = std::log(double(value) / port.minimum) / std::log(double(port.maximum) / port.minimum);
  else if (port.maximum != port.minimum)
    t = (double(value) - port.minimum) / (double(port.maximum) - port.minimum);
  return int(std::lround(std::clamp(t, 0.0, 1.0) * kPortSliderSteps));
}

TControlPortPanel::TControlPortPanel(const std::vector<TControlPortInfo>& ports, std::atomic<float>* values,
                                     size_t first, size_t count, QWidget* parent)
    : QWidget(parent) {
  auto* form = new QFormLayout(this);
  const size_t end = std::min(ports.size(), first + count);
  for (size_t i = first; i < end; ++i) {
    const TControlPortInfo& port = ports[i];
    std::atomic<float>* value = &values[i];
    const float now = value->load(std::memory_order_relaxed);
    const QString label = QString::fromStdString(port.name);
    if (port.toggled) {
      auto* box = new QCheckBox(this);
      box->setObjectName(label);
      box->setChecked(now > 0.0f);
      connect(box, &QCheckBox::toggled, this, [value](bool on) { value->store(on ? 1.0f : 0.0f); });
      form->addRow(label, box);
    } else if (!port.namedValues.empty()) {
      auto* list = new QComboBox(this);
      list->setObjectName(label);
      for (const auto& [v, name] : port.namedValues) list->addItem(QString::fromStdString(name), double(v));
      int current = 0;
      for (int k = 0; k < list->count(); ++k)
        if (std::fabs(list->itemData(k).toDouble() - now) < 1e-6) current = k;
      list->setCurrentIndex(current);
      connect(list, &QComboBox::currentIndexChanged, this,
              [value, list](int k) { value->store(float(list->itemData(k).toDouble())); });
      form->addRow(label, list);
    } else if (port.integer && port.maximum - port.minimum <= 1000.0f) {
      auto* spin = new QSpinBox(this);
      spin->setObjectName(label);
      spin->setRange(int(std::ceil(std::min(port.minimum, port.maximum))),
                     int(std::floor(std::max(port.minimum, port.maximum))));
      spin->setValue(int(std::lround(now)));
      connect(spin, &QSpinBox::valueChanged, this, [value](int v) { value->store(float(v)); });
      form->addRow(label, spin);
    } else {
      auto* row = new QWidget(this);
      auto* line = new QHBoxLayout(row);
      line->setContentsMargins(0, 0, 0, 0);
      auto* slider = new QSlider(Qt::Horizontal, row);
      slider->setObjectName(label);
      slider->setRange(0, kPortSliderSteps);
      slider->setValue(PortSliderFromValue(port, now));
      slider->setMinimumWidth(200);
      auto* shown = new QLabel(ValueText(port, now), row);
      shown->setMinimumWidth(60);
      line->addWidget(slider, 1);
      line->addWidget(shown);
      connect(slider, &QSlider::valueChanged, this, [value, shown, port](int position) {
        const float v = PortValueFromSlider(port, position);
        value->store(v);
        shown->setText(ValueText(port, v));
      });
      form->addRow(label, row);
    }
  }
}

}  // namespace zonda
