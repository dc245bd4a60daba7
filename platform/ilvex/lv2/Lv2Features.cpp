#include "platform/ilvex/lv2/Lv2Features.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/parameters/parameters.h>

namespace zonda::ilvex {

Lv2Features::Lv2Features() {
  sequence_ = urids_.Map(LV2_ATOM__Sequence);
  chunk_ = urids_.Map(LV2_ATOM__Chunk);
  const LV2_URID intType = urids_.Map(LV2_ATOM__Int);
  const LV2_URID floatType = urids_.Map(LV2_ATOM__Float);
  options_[0] = {LV2_OPTIONS_INSTANCE, 0, urids_.Map(LV2_BUF_SIZE__minBlockLength), sizeof(int32_t), intType,
                 &minBlock_};
  options_[1] = {LV2_OPTIONS_INSTANCE, 0, urids_.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), intType,
                 &maxBlock_};
  options_[2] = {LV2_OPTIONS_INSTANCE, 0, urids_.Map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t), intType,
                 &nominalBlock_};
  options_[3] = {LV2_OPTIONS_INSTANCE, 0, urids_.Map(LV2_PARAMETERS__sampleRate), sizeof(float), floatType,
                 &sampleRate_};
  options_[4] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};  // end of the list
  optionsFeature_ = {LV2_OPTIONS__options, options_.data()};
  boundedBlockFeature_ = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
  list_ = {urids_.MapFeature(), urids_.UnmapFeature(), &optionsFeature_, &boundedBlockFeature_, nullptr};
}

bool Lv2Features::Provides(std::string_view featureUri) {
  // The last three are plug-in properties some plug-ins list as features; this
  // host meets them (separate in/out buffers, no blocking calls into plug-ins).
  static constexpr std::string_view kProvided[] = {
      LV2_URID__map,         LV2_URID__unmap,          LV2_OPTIONS__options, LV2_BUF_SIZE__boundedBlockLength,
      LV2_CORE__inPlaceBroken, LV2_CORE__hardRTCapable, LV2_CORE__isLive};
  for (std::string_view provided : kProvided)
    if (featureUri == provided) return true;
  return false;
}

}  // namespace zonda::ilvex
