#pragma once

#include <cstdint>

// The key of the enciphered definition documents, shared by DecipherResource and the build tool
// that enciphers them. Changing it only needs a rebuild: the documents are enciphered at build time.
inline constexpr uint32_t kResourceKey[4] = {0x56454C4Bu, 0x2D434647u, 0x9A3C71E5u, 0x1F86D20Bu};
