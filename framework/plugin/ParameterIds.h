#pragma once
// The parameter enumeration: every name of ParameterNames.def as a constant of its index. A per-part
// name is the index of part 1; part p (0..7) of base b is b + p. kNumAutomatedParams and
// kPatchFileDialog share 2680.

enum EParamId : int
{
#define VELK_PARAM(name, index) name = index,
#include "framework/plugin/ParameterNames.def"
#undef VELK_PARAM
};

inline constexpr int kPartCount = 8; // per-part parameters take this many consecutive indices

static_assert(kDebugParts == 5865, "the highest name is the last of the 5866 parameters");
