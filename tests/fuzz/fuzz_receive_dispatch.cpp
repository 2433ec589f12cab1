// libFuzzer target for the receive dispatcher: the first byte sets the reception state (a record
// armed for one kind, edit-buffer receive, a handshake, a polling request), the rest is cut into
// messages (two length bytes, high first, then the message) from the synthesizer. Nothing may crash or read
// past a message, every parameter stays inside its range, and whatever reaches the librarian is a whole slot
// in memory form.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stop_token>
#include <vector>

#include "link/transfer/TransferWorker.h"
#include "tests/support/TransferHostStub.h"

namespace
{
void Require(bool condition)
{
  if (!condition) std::abort();
}

struct Fixture
{
  TransferHostStub host;
  TransferWorker worker{host, host};
};

Fixture& Shared()
{
  static Fixture* fixture = new Fixture; // one set of worker threads for the whole run
  return *fixture;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size == 0 || size > 8192) return 0;
  Fixture& f = Shared();
  TransferHostStub& host = f.host;
  TransferWorker& worker = f.worker;

  const uint8_t state = data[0];
  worker.EndReceive();
  host.patternMode = (state & 3) == 2;
  host.performanceMode = (state & 3) == 1;
  host.librarian.SetMode(host.patternMode ? 2 : host.performanceMode ? 1 : 0);
  host.librarian.selectedLeftSlot = state >> 4;
  if (state & 4) worker.ArmReceive((state & 8) != 0);
  host.connectPending = (state & 0x40) != 0;
  worker.editBufferPolling = (state & 0x80) != 0;

  for (size_t at = 1; at + 1 < size;)
  {
    const size_t length = size_t(data[at]) << 8 | data[at + 1];
    at += 2;
    const size_t take = length < size - at ? length : size - at;
    // An exact-size copy, so that a read past the message is a read past the allocation.
    const std::vector<uint8_t> message(data + at, data + at + take);
    at += take;
    worker.ReceiveSysExMessage(message.empty() ? nullptr : message.data(), message.size(), true);
  }

  for (int i = 0; i < host.plug.NumParameters(); ++i)
  {
    const IParameter* p = host.plug.ParameterAt(i);
    Require(std::isfinite(p->Value()) && p->Value() >= p->Min() && p->Value() <= p->Max());
  }
  const DumpKind kinds[] = {DumpKind::Program, DumpKind::Performance, DumpKind::Pattern};
  for (int mode = 0; mode < 3; ++mode)
  {
    host.librarian.SetMode(mode);
    auto lock = host.librarian.Lock();
    const BankEntry* bank = host.librarian.LeftBank();
    for (int s = 0; s < bank->NumSlots(); ++s)
    {
      const LibrarianSlot* slot = bank->Slot(s);
      if (!slot || slot->IsEmpty()) continue;
      Require(int(slot->messages.size()) == SlotMessageCount(kinds[mode]));
      for (size_t m = 0; m < slot->messages.size(); ++m)
        Require(IsStoredSlotMessage(kinds[mode], int(m), slot->messages[m].data(), slot->messages[m].size()));
    }
  }
  return 0;
}
