// Whole messages out of what a MIDI library delivers: SysEx joined from pieces, real-time bytes left
// out of it, corrupt and unterminated messages refused without losing the message after them.
#include "framework/plugin/SysExAssembler.h"

#include <gtest/gtest.h>

#include <vector>

using Bytes = std::vector<uint8_t>;

namespace
{
struct Assembled
{
  SysExAssembler assembler;
  std::vector<Bytes> out;

  void Take(const Bytes& delivery)
  {
    assembler.Take(delivery.data(), delivery.size(),
                   [&](const uint8_t* bytes, size_t size) { out.emplace_back(bytes, bytes + size); });
  }
};

Bytes Answer(size_t size, uint8_t fill)
{
  Bytes m(size, fill);
  m.front() = 0xF0;
  m.back() = 0xF7;
  return m;
}

Bytes Join(std::initializer_list<Bytes> parts)
{
  Bytes all;
  for (const Bytes& p : parts)
    all.insert(all.end(), p.begin(), p.end());
  return all;
}
} // namespace

TEST(SysExAssembler, PiecesAreJoinedAndRealTimeBytesAreLeftOut)
{
  Assembled a;
  const Bytes answer = Answer(297, 0x11);
  // Delivered in 16-byte pieces with a timing clock and an active sensing byte in between.
  for (size_t at = 0; at < answer.size(); at += 16)
  {
    a.Take(Bytes(answer.begin() + long(at), answer.begin() + long(std::min(at + 16, answer.size()))));
    if (at == 32) a.Take({0xF8});
  }
  ASSERT_EQ(a.out.size(), 2u);
  EXPECT_EQ(a.out[0], Bytes{0xF8}); // a real-time message of its own, delivered as it came
  EXPECT_EQ(a.out[1], answer);

  // Joined by the library with real-time bytes inside: they are no part of the message, but
  // messages of their own.
  a.out.clear();
  Bytes inside = answer;
  inside.insert(inside.begin() + 100, 0xF8);
  inside.insert(inside.begin() + 200, 0xFE);
  inside.insert(inside.begin() + 250, 0xFA);
  a.Take(inside);
  EXPECT_EQ(a.out, (std::vector<Bytes>{{0xF8}, {0xFE}, {0xFA}, answer}));
  EXPECT_EQ(a.assembler.Refused(), 0u);

  // Channel messages and short SysEx pass as they are.
  a.out.clear();
  a.Take({0x93, 60, 100});
  a.Take({0xF0, 0x7E, 0xF7});
  EXPECT_EQ(a.out, (std::vector<Bytes>{{0x93, 60, 100}, {0xF0, 0x7E, 0xF7}}));
}

TEST(SysExAssembler, AMessageWithADataByteOf0x80OrMoreIsRefusedWhole)
{
  Assembled a;
  Bytes corrupt = Answer(297, 0x22);
  corrupt[120] = 0x85;
  const Bytes good = Answer(297, 0x33);
  // As one delivery (the library joins up to the F7) and in pieces.
  a.Take(corrupt);
  a.Take(good);
  ASSERT_EQ(a.out.size(), 1u);
  EXPECT_EQ(a.out[0], good);
  a.out.clear();
  a.Take(Bytes(corrupt.begin(), corrupt.begin() + 150));
  a.Take(Bytes(corrupt.begin() + 150, corrupt.end()));
  a.Take(good);
  ASSERT_EQ(a.out.size(), 1u);
  EXPECT_EQ(a.out[0], good);
  EXPECT_EQ(a.assembler.Refused(), 2u);

  // A channel message that arrives on its own breaks off a message left open, and is taken.
  a.out.clear();
  a.Take(Bytes(good.begin(), good.begin() + 40));
  a.Take({0xB0, 7, 100});
  a.Take(Bytes(good.begin() + 40, good.end())); // the rest, without its start: not a message
  a.Take(good);
  EXPECT_EQ(a.out, (std::vector<Bytes>{{0xB0, 7, 100}, good}));
}

TEST(SysExAssembler, ANewStartEndsAnUnterminatedMessageAndSizeBoundsIt)
{
  Assembled a;
  const Bytes good = Answer(99, 0x44);
  Bytes endless(20000, 0x55);
  endless.front() = 0xF0;
  // Joined by the library into one delivery, and in pieces.
  a.Take(Join({endless, good}));
  ASSERT_EQ(a.out.size(), 1u);
  EXPECT_EQ(a.out[0], good);
  a.out.clear();
  for (size_t at = 0; at < endless.size(); at += 16)
    a.Take(Bytes(endless.begin() + long(at), endless.begin() + long(std::min(at + 16, endless.size()))));
  a.Take(good);
  ASSERT_EQ(a.out.size(), 1u);
  EXPECT_EQ(a.out[0], good);

  // Past the bound the message is dropped, and its data up to the next status byte with it.
  a.out.clear();
  Bytes huge(SysExAssembler::kMaxSysExBytes + 1000, 0x66);
  huge.front() = 0xF0;
  a.Take(huge);
  a.Take(Bytes(5000, 0x66));
  a.Take({0xF7});
  a.Take(good);
  ASSERT_EQ(a.out.size(), 1u);
  EXPECT_EQ(a.out[0], good);
  EXPECT_EQ(a.assembler.Refused(), 3u);
}
