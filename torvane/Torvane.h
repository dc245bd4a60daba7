#pragma once
/* The C interface of libtorvane.so, the effect bridge: LADSPA plug-ins
 * behind eight exports. The program loads it with dlopen and binds the
 * exports by name; nothing links against it.
 *
 * A plug-in is named by a text of the form "ladspa:<library path>:<unique id>"
 * (the moniker display name of the enumeration), passed as UTF-16.
 *
 * The enumeration opens every *.so of the folders of LADSPA_PATH (or, when it
 * is not set, /usr/lib/ladspa, /usr/local/lib/ladspa, the multiarch folder
 * and ~/.ladspa) and lists the plug-ins that fit a stereo block: 2 audio
 * inputs and 2 outputs; 1 and 1 (run as two instances, one per channel);
 * 1 input and 2 outputs (fed (left + right) / 2); 2 inputs and 1 output
 * (the output on both channels). The friendly name is the plug-in's Name.
 *
 * loadplugin accepts 1..TORVANE_MAX_BUFFER_FRAMES frames per block; a failed
 * step writes "ERROR: SetFilter", "ERROR: SetBufferSizeAndSampleRate" or
 * "ERROR: Play" on standard output and returns 0. Control inputs start at
 * their LADSPA defaults.
 *
 * Threads: processshortint/process run on the audio thread and never take a
 * mutex: the host's lock is an atomic flag the audio thread only tries (a
 * block that finds it taken passes through unprocessed) and the main thread
 * waits for. Everything else is called on the main thread.
 *
 * Results: 0 success, TORVANE_E_FAIL, TORVANE_E_INVALIDARG.
 */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TORVANE_E_FAIL ((int32_t)0x80004005)
#define TORVANE_E_INVALIDARG ((int32_t)0x80070057)
#define TORVANE_MAX_BUFFER_FRAMES 4000

/* The property pages of a host ask their parent window (the QWidget* given
 * to loadplugin) for a client area: they set the parent's dynamic property
 * "torvaneClientSize" (a QSize) and post a QEvent of this type to it. */
#define TORVANE_SIZE_EVENT (1000 + 0x0622)

typedef void (*TorvaneFilterCallback)(const char16_t* monikerDisplayName, const char* friendlyName);

typedef int32_t (*TorvaneEnumerateFilters)(TorvaneFilterCallback callback);
typedef intptr_t (*TorvaneLoadPlugin)(void* parentWindow, const char16_t* monikerDisplayName,
                                      int32_t bufferFrames, int32_t sampleRate);
typedef int32_t (*TorvaneUnloadPlugin)(intptr_t host);
typedef int32_t (*TorvaneProcessShortInt)(intptr_t host, int16_t* stereoInterleaved, int32_t frames);
typedef int32_t (*TorvaneProcess)(intptr_t host, float* stereoInterleaved, int32_t frames);
typedef int32_t (*TorvaneShowProperties)(intptr_t host);
typedef int32_t (*TorvaneHideProperties)(intptr_t host);
typedef int32_t (*TorvaneChangeTab)(intptr_t host);

#ifdef __cplusplus
}
#endif
