#include "effects/native/EffectEditor.h"

#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QWidget>
#include <algorithm>

#include "effects/native/EffectParameters.h"

namespace zonda::fx {

QWidget* BuildEffectEditor(const char* effectName, TEffectParameters& parameters, QWidget* parent) {
  auto* window = new QWidget(parent, Qt::Window);
  window->setWindowTitle(QString::fromUtf8(effectName));
  auto* grid = new QGridLayout(window);
  for (int32_t i = 0; i < parameters.Count(); ++i) {
    const TParameterInfo& info = parameters.Infos()[static_cast<size_t>(i)];
    auto* label = new QLabel(QString::fromUtf8(info.name), window);
    auto* slider = new QSlider(Qt::Horizontal, window);
    slider->setObjectName(QString::fromUtf8(info.name));
    slider->setRange(0, SliderSteps(info));
    slider->setPageStep(std::max(1, SliderSteps(info) / 10));
    slider->setMinimumWidth(240);
    slider->setValue(SliderPositionOfValue(info, parameters.Value(i)));
    auto* shown = new QLabel(QString::fromStdString(FormatParameterValue(info, parameters.Value(i))), window);
    shown->setMinimumWidth(80);
    label->setBuddy(slider);
    QObject::connect(slider, &QSlider::valueChanged, shown, [&parameters, i, &info, shown](int position) {
      parameters.SetValue(i, ValueAtSliderPosition(info, position));
      shown->setText(QString::fromStdString(FormatParameterValue(info, parameters.Value(i))));
    });
    grid->addWidget(label, i, 0);
    grid->addWidget(slider, i, 1);
    grid->addWidget(shown, i, 2);
  }
  return window;
}

}  // namespace zonda::fx
