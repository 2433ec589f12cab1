// Memory the system cannot give while the reader builds an element refuses that element alone: no
// exception leaves the reader, and the rest of the document loads.
#include "FactoryTestSupport.h"

#include "framework/controls/IControl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
// While armed, an allocation of at least this many bytes fails as an exhausted system's would.
std::atomic<std::size_t> gFailFrom{0};

struct FailLargeAllocations
{
  explicit FailLargeAllocations(std::size_t bytes) { gFailFrom = bytes; }
  ~FailLargeAllocations() { gFailFrom = 0; }
};
} // namespace

// The replacements pair malloc with free; the compiler cannot see that new and delete here are them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size)
{
  const std::size_t from = gFailFrom.load();
  if (from != 0 && size >= from) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

// Every other plain form goes the same way, so that each block is freed as it was allocated.
void* operator new[](std::size_t size)
{
  return ::operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
  try
  {
    return ::operator new(size);
  }
  catch (...)
  {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
  return ::operator new(size, tag);
}

void operator delete(void* p) noexcept
{
  std::free(p);
}

void operator delete[](void* p) noexcept
{
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
  std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
  std::free(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept
{
  std::free(p);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept
{
  std::free(p);
}
#pragma GCC diagnostic pop

TEST(AllocationFailure, AnElementThatCannotGetItsMemoryIsRefusedAndTheRestLoads)
{
  Factories t;
  const int before = t.f.graphics->NumControls();
  bool read = false;
  {
    // A SysEx knob of the most values a control may have needs a table of some 400 kB.
    FailLargeAllocations fail(256 * 1024);
    EXPECT_NO_THROW(read = t.R().ReadUiText(R"(<uiconfig>
      <knobcontrol type="seKnob" name="Wide SysEx" paramId="kOscillator1Octave" sysexIndex="1" changingByte="9"
                   valueBounds="0,0,16383" position="1,1"/>
      <knobcontrol type="ccKnob" name="Fine Knob" paramId="kFilterResonance" ccNumber="71" valueBounds="0,0,127,1"
                   position="10,20"/>
    </uiconfig>)"));
  }
  EXPECT_TRUE(read);
  EXPECT_TRUE(t.Logged("knobcontrol Wide SysEx: std::bad_alloc, NOT BUILT!"))
      << ::testing::PrintToString(t.f.log);
  EXPECT_EQ(t.Record(kOscillator1Octave), nullptr);
  ASSERT_EQ(t.f.graphics->NumControls(), before + 1);
  EXPECT_EQ(t.f.graphics->GetControl(before)->ParamIdx(), kFilterResonance);

  // With the memory there, the same knob is built.
  ASSERT_TRUE(
      t.R().ReadUiText(R"(<uiconfig><knobcontrol type="seKnob" name="Wide SysEx" paramId="kOscillator1Octave"
      sysexIndex="1" changingByte="9" valueBounds="0,0,16383" position="1,1"/></uiconfig>)"));
  ASSERT_NE(t.Record(kOscillator1Octave), nullptr);
  EXPECT_EQ(t.Record(kOscillator1Octave)->sysExMessages.size(), 16384u);
}
