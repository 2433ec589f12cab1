#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vsthost
{

// Where a chunk read back from the plug-in first differs from the one handed to it. When both read
// as the product's state (header, tag and version, the automated and the other parameter values),
// the answer names the parameter: "parameter 12 (kName): 0.5 given, 0.25 read back"; otherwise it
// gives the sizes and the first differing byte. `automated` is the count the plug-in offers the host.
std::string DescribeChunkDifference(const std::vector<uint8_t>& given, const std::vector<uint8_t>& back,
                                    int automated);

// The name of a parameter index from the parameter table: the name itself, or a per-part name with
// its part (index b + 2 of a per-part name at b: "kName [part 3]"); empty when the index has none.
std::string ParameterNameOf(int index);

} // namespace vsthost
