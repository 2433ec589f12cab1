#include "framework/plugin/HostId.h"

#include <cstring>

namespace
{
struct HostKey
{
  const char* key;
  HostId id;
};

// Order matters: the first key found decides (a product naming two hosts).
constexpr HostKey kHostKeys[] = {
    {"cubase", kHostCubase},
    {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},
    {"cakewalk", kHostCakewalk},
    {"samplitude", kHostSamplitude},
    {"fruity", kHostFruity},
    {"live", kHostLive},
    {"melodyne", kHostMelodyne},
    {"vstmanlib", kHostVstManLib},
    {"aulab", kHostAULab},
    {"garageband", kHostGarageBand},
    {"forte", kHostForte},
    {"chainer", kHostChainer},
    {"audition", kHostAudition},
    {"orion", kHostOrion},
    {"sawstudio", kHostSawStudio},
    {"logic", kHostLogic},
    {"digital", kHostDigital},
    {"audiomulch", kHostAudioMulch},
    {"presonus", kHostPreSonus},
    {"vst3plugintesthost", kHostVst3TestHost},
    {"protools", kHostProTools},
    {"ardour", kHostArdour},
    {"standalone", kHostStandalone},
};

constexpr int kMaxProductLength = 255;
} // namespace

HostId IdentifyHost(const char* productText)
{
  if (!productText) return kHostUnknown;

  // Only A to Z are lowered, whatever the locale, so bytes of other encodings
  // pass through unchanged.
  char lower[kMaxProductLength + 1];
  int n = 0;
  for (; n < kMaxProductLength && productText[n]; ++n)
  {
    const char c = productText[n];
    lower[n] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  }
  lower[n] = '\0';

  for (const HostKey& key : kHostKeys)
    if (std::strstr(lower, key.key)) return key.id;
  return kHostUnknown;
}

bool HostNeedsChannelFix(HostId id)
{
  return id >= 0 && id < 21 && ((0x168000u >> id) & 1u) != 0;
}
