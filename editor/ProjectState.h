#pragma once

#include "editor/PatchManager.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class IEffectBase;
class IStateChunk;

// The project state the host saves with its project, after the chunk header: int32 tag "VLKS",
// int32 version, the automated block (one double per automated parameter), int32 count and one
// double per other parameter, int32 name count and the project's names (int32 length, bytes, no
// terminator), then (version 2) int32 device id and int32 model. Version 1 (without the last two)
// still loads.
struct ProjectState
{
  static constexpr int32_t kTag = 0x564C4B53; // "VLKS"
  static constexpr int32_t kVersion = 2;
  static constexpr int32_t kOldestVersion = 1;

  int32_t version = kVersion;
  std::vector<double> values; // automated first, then the others: in parameter order
  std::array<std::string, PatchManager::kNumNames> names;
  int32_t deviceId = -1; // -1 in a version 1 state: then they come from their parameters
  int32_t model = -1;

  // Appends the plug-in's parameters and the names, device id and model of this state.
  bool Write(IStateChunk& chunk, IEffectBase& plug) const;
  // Reads a whole state from position, for a plug-in of the given parameter counts; answers the
  // position after it, or -1 for a state that is cut short, of another version or tag, holds a
  // value that is not finite, a name too long or holding a zero byte, or is followed by more bytes.
  int Read(const IStateChunk& chunk, int position, int automated, int nonAutomated);
};
