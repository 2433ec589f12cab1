// libFuzzer target for the host's chunks: any bytes handed to effSetChunk, as a program and as a
// bank, must be taken whole or refused without changing the state, never crash or read outside
// the bytes. One plug-in object serves every input, as one host instance would.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "editor/VELK.h"

namespace
{
VELK& Plugin()
{
  static VELK* plug = []
  {
    VELK* p = new VELK(nullptr);
    p->Effect()->dispatcher(p->Effect(), effOpen, 0, 0, nullptr, 0.f);
    return p;
  }();
  return *plug;
}

intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr)
{
  AEffect* effect = Plugin().Effect();
  return effect->dispatcher(effect, opcode, index, value, ptr, 0.f);
}

std::vector<uint8_t> ProgramChunk()
{
  void* data = nullptr;
  const intptr_t size = Dispatch(effGetChunk, 1, 0, &data);
  if (size <= 0 || !data) std::abort(); // the plug-in always has a state to give
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

void SetAndCheck(const std::vector<uint8_t>& input, bool bank)
{
  const std::vector<uint8_t> before = ProgramChunk();
  std::vector<uint8_t> copy = input; // the dispatcher takes a non-const pointer
  const intptr_t taken = Dispatch(effSetChunk, bank ? 0 : 1, intptr_t(copy.size()), copy.data());
  const std::vector<uint8_t> after = ProgramChunk();
  if (taken == 0 && after != before) std::abort(); // a refused chunk changed the state
  if (taken == 1)
  {
    // What was taken reads back as the same state.
    std::vector<uint8_t> again = after;
    if (Dispatch(effSetChunk, 1, intptr_t(again.size()), again.data()) != 1 || ProgramChunk() != after)
      std::abort();
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size > (std::size_t(1) << 20)) return 0;
  const std::vector<uint8_t> input(data, data + size);
  SetAndCheck(input, false);
  SetAndCheck(input, true);
  return 0;
}
