// The plug-in on the host's processing thread: its callbacks return while an output port is being
// opened, say once when the output had no room for what they sent, and allocate nothing when a
// program change loads a librarian slot.
#include "framework/plugin/AudioThreadScope.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "link/incoming/IncomingMessages.h"
#include "platform/midi/LoopbackMidiBackend.h"
#include "tests/editor/EditorTestSupport.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <new>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// Allocations are counted on the thread that asks for it, so that a case can tell whether a call
// allocated anything on its own thread.
namespace
{
thread_local bool tCountAllocations = false;
thread_local int tAllocations = 0;
} // namespace

__attribute__((noinline)) void* operator new(std::size_t size)
{
  if (tCountAllocations) ++tAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

// Kept out of line: inlined, the compiler sees free() given what operator new returned.
__attribute__((noinline)) void operator delete(void* p) noexcept
{
  std::free(p);
}

__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept
{
  std::free(p);
}

// Every other form that pairs with these, so that no block is freed by another allocator than the
// one that made it (the sanitizers check that).
__attribute__((noinline)) void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
  if (tCountAllocations) ++tAllocations;
  return std::malloc(size ? size : 1);
}

__attribute__((noinline)) void* operator new[](std::size_t size)
{
  return operator new(size);
}

__attribute__((noinline)) void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
  return operator new(size, tag);
}

__attribute__((noinline)) void operator delete(void* p, const std::nothrow_t&) noexcept
{
  std::free(p);
}

__attribute__((noinline)) void operator delete[](void* p) noexcept
{
  std::free(p);
}

__attribute__((noinline)) void operator delete[](void* p, std::size_t) noexcept
{
  std::free(p);
}

__attribute__((noinline)) void operator delete[](void* p, const std::nothrow_t&) noexcept
{
  std::free(p);
}

namespace
{
struct Plug
{
  Plug()
  {
    backend->AddDestinationPort("A");
    backend->AddDestinationPort("B");
    EXPECT_TRUE(plug->MidiPorts().SetBackend(backend));
    EXPECT_TRUE(Select("A"));
    plug->midiOutputReady = 1;
  }
  ~Plug()
  {
    backend->SetOutputOpenHeld(false);
    backend->SetOutputsFull(false);
  }
  bool Select(const std::string& name)
  {
    int index = 1;
    return plug->SelectMidiOutputPort(index, name) > 0;
  }
  // One host block through the plug-in's 32-bit replacing callback.
  void Process()
  {
    float* in[2] = {buffers[0].data(), buffers[1].data()};
    float* out[2] = {buffers[2].data(), buffers[3].data()};
    AEffect* effect = plug->Effect();
    effect->processReplacing(effect, in, out, 64);
  }
  void HostEvent(uint8_t status, uint8_t data1)
  {
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.midiData[0] = char(status);
    event.midiData[1] = char(data1);
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&event);
    AEffect* effect = plug->Effect();
    effect->dispatcher(effect, effProcessEvents, 0, 0, &events, 0.0f);
  }

  TempDataFolder folder;
  std::shared_ptr<LoopbackMidiBackend> backend = std::make_shared<LoopbackMidiBackend>();
  std::unique_ptr<VELK> plug = MakePlug();
  std::vector<float> buffers[4] = {std::vector<float>(64), std::vector<float>(64), std::vector<float>(64),
                                   std::vector<float>(64)};
};

IMidiMessage Cc(int controller)
{
  IMidiMessage m;
  m.status = 0xB0;
  m.data1 = uint8_t(controller);
  m.data2 = 1;
  return m;
}
} // namespace

TEST(ProcessingThread, ACallbackReturnsWhileTheOutputPortIsOpenedAndWhatItSentArrivesOnce)
{
  Plug p;
  p.plug->queueShortMidi = 1;
  p.plug->midiQueue.Add(Cc(20));
  p.Process();
  ASSERT_TRUE(p.plug->MidiPorts().WaitUntilQueuedOutputHandled(5s));
  EXPECT_EQ(p.backend->Received("A"), (std::vector<Bytes>{{0xB0, 20, 1}}));

  // A recalled project names another port, whose open takes its time.
  p.backend->SetOutputOpenHeld(true);
  auto selection = std::async(std::launch::async, [&] { return p.Select("B"); });
  ASSERT_TRUE(p.backend->WaitForHeldOpen(5s));
  p.plug->midiQueue.Add(Cc(21));
  auto block = std::async(std::launch::async, [&] { p.Process(); });
  const bool returned = block.wait_for(10s) == std::future_status::ready;
  EXPECT_TRUE(returned) << "the process callback waited for the port being opened";
  p.backend->SetOutputOpenHeld(false);
  block.get();
  ASSERT_TRUE(selection.get());

  ASSERT_TRUE(p.backend->WaitForReceived("B", 1, 5s));
  ASSERT_TRUE(p.plug->MidiPorts().WaitUntilQueuedOutputHandled(5s));
  EXPECT_EQ(p.backend->Received("B"), (std::vector<Bytes>{{0xB0, 21, 1}}));
  EXPECT_EQ(p.backend->Received("A").size(), 1u);
}

TEST(ProcessingThread, AnOutputOverflowIsSaidOnceABurst)
{
  Plug p;
  p.backend->SetOutputsFull(true);
  auto flood = [&]
  {
    AudioThreadScope audioThread;
    for (int n = 0; n < 4000; ++n)
      p.plug->MidiPorts().SendMidiToDevice(Cc(n & 0x7F));
  };
  flood();
  ASSERT_GT(p.plug->MidiPorts().OutputOverflows(), 0u);
  p.plug->OnEditorIdle();
  EXPECT_EQ(p.plug->StatusText(), VELK::kMidiOutputOverflow);
  // Still overflowing: not said again over what the status line shows since.
  p.plug->SetStatusText("Other");
  flood();
  p.plug->OnEditorIdle();
  EXPECT_EQ(p.plug->StatusText(), "Other");
  // A quiet moment ends the burst; the next one is said again.
  p.plug->OnEditorIdle();
  flood();
  p.plug->OnEditorIdle();
  EXPECT_EQ(p.plug->StatusText(), VELK::kMidiOutputOverflow);
}

TEST(ProcessingThread, AHostProgramChangeInTheLibrarianViewAllocatesNothing)
{
  Plug p;
  ASSERT_NE(p.plug->Librarian(), nullptr);
  ASSERT_NE(p.plug->LibrarianView(), nullptr);
  LibrarianSlot slot;
  slot.name = "Stored";
  slot.AddMessage(Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x00, 0x10, 0x00, 0x01, 0xF7});
  const int side = p.plug->LibrarianViewSide();
  ASSERT_TRUE(p.plug->Librarian()->PutSlot(side, 5, slot));
  p.plug->ParameterAt(kControlLibrary)->SetupEnumerated("", 0, 2, "");
  Change(*p.plug, kControlLibrary, 1);
  p.plug->passThrough[IncomingMessages::kProgramSwitch] = 1;
  p.plug->LibrarianView()->loadedSlot = -1;
  ASSERT_TRUE(p.plug->WaitForPortRecall(5000));
  for (int i = 0; i < 500 && !p.plug->JobsThreadIdle(); ++i)
    std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(p.plug->JobsThreadIdle());

  const int channel = p.plug->IntParam(kMultiPartMIDICh) & 0x0F;
  tAllocations = 0;
  tCountAllocations = true;
  p.HostEvent(uint8_t(0xC0 | channel), 5);
  tCountAllocations = false;
  EXPECT_EQ(tAllocations, 0);

  // The jobs thread took the slot out of the bank and loaded it.
  for (int i = 0; i < 500 && p.plug->LibrarianView()->loadedSlot != 5; ++i)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(p.plug->LibrarianView()->loadedSlot, 5);

  // While a request waits for its answer the program change is not followed, and saying so builds
  // no text here: the next idle call says it.
  for (int i = 0; i < 500 && !p.plug->JobsThreadIdle(); ++i)
    std::this_thread::sleep_for(10ms);
  p.plug->LibrarianTransfer(ILibrarianHost::Transfer::kReceiveSlot, 0);
  ASSERT_FALSE(p.plug->JobsThreadIdle());
  tAllocations = 0;
  tCountAllocations = true;
  p.HostEvent(uint8_t(0xC0 | channel), 6);
  tCountAllocations = false;
  EXPECT_EQ(tAllocations, 0);
  ASSERT_FALSE(p.plug->JobsThreadIdle()) << "the request ended before the program change came";
  p.plug->OnEditorIdle();
  EXPECT_EQ(p.plug->StatusText(), IncomingMessages::kProgramChangeDuringTransfer);
}
