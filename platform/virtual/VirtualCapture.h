// The virtual backend's sound-capture device, for tests: a scripted source clocked by the
// virtual clock. The source's frame n sounds at virtual time n / rate seconds; a running buffer
// holds every frame whose time has come, computed when its positions are asked for, so that
// whatever advances the clock delivers the capture data of that time.
#pragma once

#include "platform/Capture.h"

#include <cstdint>
#include <vector>

struct VirtualTone {
    double frequency; // Hz
    double amplitude; // fraction of full scale (1.0 is 32767)
    double phase = 0; // radians at time 0
};

// One channel of the source: the sum of its tones, its noise and its samples, rounded to the
// nearest 16-bit value and clipped. No tones, no noise and no samples is silence.
struct VirtualCaptureChannel {
    std::vector<VirtualTone> tones;
    double noise = 0; // amplitude of uniform noise, fraction of full scale
    uint64_t noiseSeed = 1;
    std::vector<int16_t> samples; // frame n plays samples[n]; silence after the last
};

struct VirtualCaptureSource {
    bool present = true;   // false: CoCreateInstance finds no capture device
    WORD channels = 2;     // the device's channel count (1 or 2)
    DWORD grantedRate = 0; // 0: buffers run at the rate asked for; else at this one
    // Lock calls of a buffer, counted from 1, that fail with DSERR_INVALIDCALL: from the
    // first-th on, count of them (0: none fail).
    unsigned failLockFirst = 0, failLockCount = 0;
    // From stopAt (virtual ms) on the device delivers nothing, and from resumeAt on again: the
    // frames of that time are lost, the positions stand still meanwhile.
    uint64_t stopAt = UINT64_MAX, resumeAt = UINT64_MAX;
    // From lostAt (virtual ms) on the device is gone: buffers made before fail with
    // DSERR_NODRIVER for good and Initialize finds no device, until backAt, from which a new
    // device object opens it again. A lostAt of 0: no device at start, one appearing at backAt.
    uint64_t lostAt = UINT64_MAX, backAt = UINT64_MAX;
    // Initialize answers E_PENDING before this virtual time (UINT64_MAX: a server that hangs).
    uint64_t answerAt = 0;
    VirtualCaptureChannel channel[2];
};

// The capture device that capture objects made from now on have. A copy is kept.
void VirtualSetCaptureSource(const VirtualCaptureSource& source);
// A present stereo device of silence; called by VirtualReset.
void VirtualCaptureReset();

// The value of a channel at a frame, at the rate its buffer runs at.
int16_t VirtualCaptureSample(const VirtualCaptureChannel& channel, uint64_t frame, DWORD rate);

// The samples of a WAV file (RIFF, PCM 16-bit, mono or stereo, at the given rate) into the
// source's channels: a mono file into both. False, the source untouched, for any other file.
bool VirtualCaptureLoadWave(const char* path, DWORD rate, VirtualCaptureSource& source);
