#pragma once
/* The C interface of a native effect plug-in: a .so exporting these nine
 * functions by name (C calling convention). A library lacking any of them is
 * refused, and so is one whose getdspversion() does not return 2.
 *
 * Threads: process runs on the audio thread (no allocation, no lock, no I/O);
 * everything else on the program's main thread. "create" receives the main
 * window (a QWidget*, or null in headless hosts) as the parent for an editor.
 * "create" returning 0 is a failed load. "clear" must exist and is never called.
 *
 * process: block is 16-bit signed stereo, interleaved L/R, processed in place;
 * bytes = frames * 4; tempo = the deck's BPM as it plays (0 when unknown).
 */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZONDA_NATIVE_EFFECT_VERSION 2

typedef int32_t (*ZondaFxGetDspVersion)(void);
typedef intptr_t (*ZondaFxCreate)(void* mainWindow);
typedef const char* (*ZondaFxGetName)(void);
typedef void (*ZondaFxDestroy)(intptr_t instance);
typedef void (*ZondaFxEdit)(intptr_t instance);
typedef void (*ZondaFxStart)(intptr_t instance);
typedef void (*ZondaFxStop)(intptr_t instance);
typedef void (*ZondaFxClear)(void);
typedef void (*ZondaFxProcess)(intptr_t instance, int16_t* block, int32_t bytes, double tempoBpm);

#ifdef __cplusplus
}
#endif
