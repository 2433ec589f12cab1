#pragma once

#include <cstddef>

// Asks the system to supply every whole page of a block that is about to be written, in one call,
// instead of one page fault per page as the writes reach them. Only a hint: where the system cannot,
// nothing happens and the pages fault in as they are written.
void PrefaultForWrite(void* block, std::size_t bytes);
