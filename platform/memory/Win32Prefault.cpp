#include "platform/memory/Prefault.h"

// Windows commits the pages of a heap block as it grows; nothing to ask for.
void PrefaultForWrite(void*, std::size_t) {}
