// The simulated synthesizer fed any bytes as one message from the editor: it must not read past
// the message, and everything it answers is a whole message of its family, addressed from its own
// device id. The same bytes go through its edit and memory form conversions.
#include "tools/simsynth/SimSynth.h"

#include <cstdlib>

namespace
{
constexpr uint8_t kId = 3;

void Check(bool condition)
{
  if (!condition) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  // One synthesizer for the whole run: building its banks for every input would starve the fuzzer.
  static SimSynth synth(kId, 1);
  static size_t answered = 0;
  static bool once = []
  {
    synth.SetSender(
        [](const SimBytes& m)
        {
          Check(SimSysEx::WellFormed(m));
          Check(m[SimSysEx::kDeviceByte] == kId);
          ++answered;
        });
    return true;
  }();
  (void)once;

  const SimBytes message(data, data + size);
  const size_t before = answered;
  synth.Receive(message);
  // Only a request of the right length for its own device id is answered.
  if (answered != before)
  {
    Check(SimSysEx::WellFormed(message));
    Check(message[SimSysEx::kDeviceByte] == kId);
  }

  const SimBytes memory = SimSysEx::ToMemory(message, 5, 0);
  Check(memory.empty() || SimSysEx::WellFormed(memory));
  const SimBytes edit = SimSysEx::ToEdit(message, 0);
  Check(edit.empty() || SimSysEx::WellFormed(edit));
  if (!edit.empty())
  {
    // Back to memory form: the same message, but for a program's part byte, which becomes bank and slot.
    const SimBytes again = SimSysEx::ToMemory(edit, message[8], message[9]);
    Check(again == message);
  }
  return 0;
}
