/* The LV2 side of an audio device library for the slot tests: one plug-in,
 * index 0, that passes audio through unchanged. */
#include <stdint.h>
#include <stdlib.h>

#define EXPORT __attribute__((visibility("default")))

typedef int32_t (*PluginCallback)(const char* path, const char* name, int32_t index);

EXPORT void vst_enumerate_plugins(PluginCallback cb) {
  cb("urn:fixture:through", "Fixture Through", 0);
  cb("urn:fixture:other", "Fixture Other", 7);
}
EXPORT intptr_t vst_load(int32_t index) { return index == 0 || index == 7 ? (intptr_t)malloc(16) : 0; }
EXPORT void vst_unload(intptr_t instance) { free((void*)instance); }
EXPORT void vst_process(intptr_t instance, float* buffer, int32_t frames) {
  (void)instance;
  (void)buffer;
  (void)frames;
}
EXPORT void vst_show_editor(intptr_t instance, int32_t show) {
  (void)instance;
  (void)show;
}
EXPORT void vst_gui_idle_refresh(intptr_t instance) { (void)instance; }
