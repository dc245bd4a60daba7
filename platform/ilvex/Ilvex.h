#pragma once
/* The C interface of libilvex.so, the audio device library.
 *
 * The program loads the library with dlopen and binds these exports by name
 * (engine/IlvexLibrary.h); nothing links against it. All exports use the C
 * calling convention and are called from the program's main thread, except
 * vst_process (the audio thread) and get_mpeg_first_frame_pos (deck workers).
 *
 * Audio: init_audio_io opens the device chosen in the library's own settings
 * (PortAudio on JACK or ALSA, or the "null" device, which runs the callbacks
 * paced by the clock with no hardware; ZONDA_AUDIO=null forces it) and starts
 * calling the two callbacks on the library's audio thread, once per device
 * block, input first:
 *   - input:  4 floats per frame in -1..1: line A L, line A R, line B L, line B R
 *             (zeros for channels the device does not have);
 *   - output: fills 4 floats per frame: master L, master R, monitor L, monitor R;
 *             returns the frame count, or 0 to leave the (silent) buffer untouched.
 * The frame count is the same every block and equals get_latency().
 *
 * Environment (over the stored settings, platform/ilvex/core/AudioSettings.h):
 *   ZONDA_AUDIO=null|jack|alsa|portaudio  the device kind (jack/alsa: that host API only)
 *   ZONDA_AUDIO_BLOCK=<frames>            block size, 64..2205
 *   ZONDA_JACK_CLIENT=<name>              the JACK client name (default "zonda")
 *   ZONDA_AUDIO_VERBOSE=1                 report the opened device, blocks and xruns on stderr
 *
 * Audio restart: the control panel (audio_control_panel) stores new settings and
 * then calls the callback registered with ilvex_set_restart_callback, passing the
 * window handle given to init_audio_io; the program then runs deinit/init.
 *
 * Effect plug-ins: the vst_* exports host LV2 plug-ins through lilv
 * (platform/ilvex/lv2/Lv2Host.h). vst_enumerate_plugins lists those usable as a
 * stereo effect, found in the standard LV2 folders or LV2_PATH, with the plug-in
 * URI as path and its index stable for the run; vst_load instantiates one at
 * 44100 Hz (0 when it cannot); vst_process runs a stereo interleaved float block
 * in place on the audio thread (no allocation, no lock; any length, run in
 * pieces of at most 4411 frames); vst_show_editor(instance, -1) opens a window
 * generated from the plug-in's control ports, 0 hides it. vst_unload closes the
 * editor and frees the instance; vst_deinit unloads whatever is still loaded.
 * The plug-ins are read at the first listing or load; vst_init costs nothing.
 */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t (*IlvexAudioCallback)(float* buffer, int32_t frames);
typedef int32_t (*IlvexPluginCallback)(const char* path, const char* name, int32_t pluginIndex);
typedef void (*IlvexRestartCallback)(void* windowHandle);

typedef int32_t (*IlvexInitAudioIO)(void* windowHandle, IlvexAudioCallback input, IlvexAudioCallback output);
typedef void (*IlvexDeinitAudioIO)(void);
typedef int32_t (*IlvexGetLatency)(void);
typedef void (*IlvexAudioControlPanel)(void);
typedef int32_t (*IlvexGetMpegFirstFramePos)(const char* fileName);
typedef void (*IlvexVstInit)(void* mainWindowHandle);
typedef void (*IlvexVstDeinit)(void);
typedef void (*IlvexVstEnumeratePlugins)(IlvexPluginCallback callback);
typedef intptr_t (*IlvexVstLoad)(int32_t pluginIndex);
typedef void (*IlvexVstUnload)(intptr_t instance);
typedef void (*IlvexVstProcess)(intptr_t instance, float* stereoInterleaved, int32_t frames);
typedef void (*IlvexVstShowEditor)(intptr_t instance, int32_t show);
typedef void (*IlvexVstGuiIdleRefresh)(intptr_t instance);
typedef void (*IlvexSetRestartCallback)(IlvexRestartCallback callback);

#ifdef __cplusplus
}
#endif

/* Sizes every side agrees on. */
#define ILVEX_SAMPLE_RATE 44100
#define ILVEX_CHANNELS 4
#define ILVEX_MIN_BLOCK_FRAMES 64
#define ILVEX_MAX_BLOCK_FRAMES 2205
#define ILVEX_DEFAULT_BLOCK_FRAMES 512
