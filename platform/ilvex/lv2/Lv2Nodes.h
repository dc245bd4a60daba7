#pragma once
// Lv2Nodes: the lilv nodes of the LV2 classes and properties the host asks
// plug-in descriptions about, made once per lilv world.
//
// Threads: main thread.
#include <lilv/lilv.h>

namespace zonda::ilvex {

struct Lv2Nodes {
  explicit Lv2Nodes(LilvWorld* world);
  ~Lv2Nodes();
  Lv2Nodes(const Lv2Nodes&) = delete;
  Lv2Nodes& operator=(const Lv2Nodes&) = delete;

  LilvNode* audioPort;
  LilvNode* controlPort;
  LilvNode* atomPort;
  LilvNode* cvPort;
  LilvNode* inputPort;
  LilvNode* outputPort;
  LilvNode* connectionOptional;
  LilvNode* integer;
  LilvNode* toggled;
  LilvNode* enumeration;
  LilvNode* sampleRate;
  LilvNode* logarithmic;
  LilvNode* minimumSize;  // resize-port: the room an atom port asks for
};

}  // namespace zonda::ilvex
