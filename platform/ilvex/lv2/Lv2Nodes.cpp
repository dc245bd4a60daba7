#include "platform/ilvex/lv2/Lv2Nodes.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/port-props/port-props.h>
#include <lv2/resize-port/resize-port.h>

#include <initializer_list>

namespace zonda::ilvex {

Lv2Nodes::Lv2Nodes(LilvWorld* world)
    : audioPort(lilv_new_uri(world, LV2_CORE__AudioPort)),
      controlPort(lilv_new_uri(world, LV2_CORE__ControlPort)),
      atomPort(lilv_new_uri(world, LV2_ATOM__AtomPort)),
      cvPort(lilv_new_uri(world, LV2_CORE__CVPort)),
      inputPort(lilv_new_uri(world, LV2_CORE__InputPort)),
      outputPort(lilv_new_uri(world, LV2_CORE__OutputPort)),
      connectionOptional(lilv_new_uri(world, LV2_CORE__connectionOptional)),
      integer(lilv_new_uri(world, LV2_CORE__integer)),
      toggled(lilv_new_uri(world, LV2_CORE__toggled)),
      enumeration(lilv_new_uri(world, LV2_CORE__enumeration)),
      sampleRate(lilv_new_uri(world, LV2_CORE__sampleRate)),
      logarithmic(lilv_new_uri(world, LV2_PORT_PROPS__logarithmic)),
      minimumSize(lilv_new_uri(world, LV2_RESIZE_PORT__minimumSize)) {}

Lv2Nodes::~Lv2Nodes() {
  for (LilvNode* node : {audioPort, controlPort, atomPort, cvPort, inputPort, outputPort, connectionOptional, integer,
                         toggled, enumeration, sampleRate, logarithmic, minimumSize})
    lilv_node_free(node);
}

}  // namespace zonda::ilvex
