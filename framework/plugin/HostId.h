#pragma once

#include <cstdint>

// A small integer for the host the plug-in runs in, so that code tests an id
// instead of comparing product texts.
using HostId = int32_t;

enum : HostId
{
  kHostNotAsked = -1,
  kHostUnknown = 0,
  kHostReaper = 1,
  kHostProTools = 2,
  kHostCubase = 3,
  kHostNuendo = 4,
  kHostCakewalk = 5,
  kHostFruity = 7,
  kHostSamplitude = 8,
  kHostLive = 9,
  kHostMelodyne = 12,
  kHostVstManLib = 13,
  kHostAULab = 14,
  kHostForte = 15,
  kHostChainer = 16,
  kHostAudition = 17,
  kHostOrion = 18,
  kHostSawStudio = 20,
  kHostLogic = 21,
  kHostGarageBand = 22,
  kHostDigital = 23,
  kHostStandalone = 24,
  kHostAudioMulch = 25,
  kHostPreSonus = 26,
  kHostVst3TestHost = 27,
  kHostArdour = 28,
};

// Identifies the host from its product text (case-insensitive for A to Z,
// judged on the first 255 characters); 0 when no known key occurs.
HostId IdentifyHost(const char* productText);

// The hosts that get the channel fix when the plug-in starts.
bool HostNeedsChannelFix(HostId id);
