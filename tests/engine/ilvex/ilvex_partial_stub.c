/* A stand-in audio device library with only two of the thirteen exports, for
 * the binding's missing-export handling. */
#include <stdint.h>

__attribute__((visibility("default"))) int32_t get_latency(void) { return 333; }
__attribute__((visibility("default"))) intptr_t vst_load(int32_t index) { return index + 1000; }
