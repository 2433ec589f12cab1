#include "framework/plugin/ChunkHeader.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace
{
std::vector<uint8_t> Bytes(const IStateChunk& c)
{
  return c.Size() ? std::vector<uint8_t>(c.Data(), c.Data() + c.Size()) : std::vector<uint8_t>();
}
} // namespace

TEST(IStateChunk, WritesLittleEndianAndReadsBack)
{
  IStateChunk c;
  ASSERT_TRUE(c.PutInt(0x01020304));
  ASSERT_TRUE(c.PutDouble(1.0));
  ASSERT_TRUE(c.PutBool(true));
  ASSERT_TRUE(c.PutString("abc"));
  ASSERT_TRUE(c.PutInt(-2));
  EXPECT_EQ(Bytes(c), (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01,                       //
                                            0,    0,    0,    0,    0,   0,   0xf0, 0x3f, //
                                            1,                                            //
                                            3,    0,    0,    0,    'a', 'b', 'c',        //
                                            0xfe, 0xff, 0xff, 0xff}));

  int32_t i = 0;
  double d = 0;
  bool b = false;
  HeapString s;
  int pos = c.GetInt(i, 0);
  EXPECT_EQ(i, 0x01020304);
  pos = c.GetDouble(d, pos);
  EXPECT_EQ(d, 1.0);
  pos = c.GetBool(b, pos);
  EXPECT_TRUE(b);
  pos = c.GetString(s, pos);
  EXPECT_STREQ(s.Get(), "abc");
  pos = c.GetInt(i, pos);
  EXPECT_EQ(i, -2);
  EXPECT_EQ(pos, c.Size());

  // Reading at the end fails, and a failed read ends every read after it.
  EXPECT_EQ(c.GetInt(i, pos), -1);
  EXPECT_EQ(c.GetBool(b, -1), -1);
  EXPECT_EQ(c.GetDouble(d, c.Size() - 7), -1);
  EXPECT_EQ(c.GetDouble(d, -8), -1);

  // Any non-zero byte reads as true.
  IStateChunk flags;
  const uint8_t raw[] = {0, 7};
  flags.PutBytes(raw, 2);
  EXPECT_EQ(flags.GetBool(b, 0), 1);
  EXPECT_FALSE(b);
  EXPECT_EQ(flags.GetBool(b, 1), 2);
  EXPECT_TRUE(b);
}

TEST(IStateChunk, TextLengthsFromOutsideAreChecked)
{
  HeapString s("unchanged");

  // A length past the end copies nothing.
  IStateChunk c;
  c.PutInt(10);
  c.PutBytes("abc", 3);
  EXPECT_EQ(c.GetString(s, 0), -1);
  EXPECT_STREQ(s.Get(), "unchanged");

  // A length that would overflow 32-bit arithmetic is refused too.
  IStateChunk huge;
  huge.PutInt(std::numeric_limits<int32_t>::max());
  huge.PutBytes("abcd", 4);
  EXPECT_EQ(huge.GetString(s, 0), -1);
  EXPECT_EQ(huge.GetString(s, 4), -1); // the length field itself does not fit
  EXPECT_STREQ(s.Get(), "unchanged");

  // Lengths below 1 read as the empty text and move past the length.
  IStateChunk neg;
  neg.PutInt(-5);
  neg.PutInt(0);
  EXPECT_EQ(neg.GetString(s, 0), 4);
  EXPECT_STREQ(s.Get(), "");
  s.Set("again");
  EXPECT_EQ(neg.GetString(s, 4), 8);
  EXPECT_STREQ(s.Get(), "");

  // Null and empty texts are written as length 0.
  IStateChunk empty;
  empty.PutString(nullptr);
  empty.PutString("");
  EXPECT_EQ(Bytes(empty), std::vector<uint8_t>(8, 0));
}

TEST(IStateChunk, NestedChunksAndAssign)
{
  IStateChunk inner;
  inner.PutInt(7);
  inner.PutString("x");
  IStateChunk outer;
  outer.PutBool(true);
  ASSERT_TRUE(outer.PutChunk(inner));
  EXPECT_EQ(outer.Size(), 1 + inner.Size()); // raw bytes, no length in front
  EXPECT_EQ(std::memcmp(outer.Data() + 1, inner.Data(), size_t(inner.Size())), 0);

  ASSERT_TRUE(outer.PutChunk(outer)); // appending itself doubles it
  EXPECT_EQ(outer.Size(), 2 * (1 + inner.Size()));
  EXPECT_EQ(outer.Data()[1 + inner.Size()], 1);

  IStateChunk copy;
  ASSERT_TRUE(copy.Assign(inner.Data(), inner.Size()));
  EXPECT_EQ(Bytes(copy), Bytes(inner));
  EXPECT_FALSE(copy.Assign(nullptr, 3));
  EXPECT_FALSE(copy.PutBytes(nullptr, 1));
  EXPECT_FALSE(copy.PutBytes("a", -1));
  EXPECT_EQ(copy.Size(), inner.Size()); // failed writes leave the stream alone

  // A host may hand back the chunk's own bytes, whole or in part.
  const std::vector<uint8_t> whole = Bytes(copy);
  ASSERT_TRUE(copy.Assign(copy.Data(), copy.Size()));
  EXPECT_EQ(Bytes(copy), whole);
  ASSERT_TRUE(copy.Assign(copy.Data() + 4, copy.Size() - 4));
  EXPECT_EQ(Bytes(copy), std::vector<uint8_t>(whole.begin() + 4, whole.end()));
  EXPECT_FALSE(copy.Assign(copy.Data() + 1, copy.Size())); // runs past its own end
  EXPECT_EQ(copy.Size(), int(whole.size()) - 4);

  // Large streams grow across many pages intact.
  IStateChunk big;
  for (int k = 0; k < 20000; ++k)
    ASSERT_TRUE(big.PutDouble(k * 0.5));
  double d = 0;
  EXPECT_EQ(big.GetDouble(d, 8 * 19999), 8 * 20000);
  EXPECT_EQ(d, 19999 * 0.5);
}

// A view reads a host's bytes where they are: nothing is copied or kept, and a write makes the
// stream its own without touching the host's bytes.
TEST(IStateChunk, ViewReadsInPlaceAndCopiesOnlyToWrite)
{
  IStateChunk source;
  source.PutInt(0x01020304);
  source.PutDouble(2.5);
  source.PutString("name");
  const std::vector<uint8_t> host = Bytes(source);

  IStateChunk view = IStateChunk::View(host.data(), int(host.size()));
  EXPECT_EQ(view.Data(), host.data());
  EXPECT_EQ(view.Size(), int(host.size()));
  int32_t i = 0;
  double d = 0;
  HeapString text;
  int position = view.GetInt(i, 0);
  position = view.GetDouble(d, position);
  position = view.GetString(text, position);
  EXPECT_EQ(position, int(host.size()));
  EXPECT_EQ(i, 0x01020304);
  EXPECT_EQ(d, 2.5);
  EXPECT_STREQ(text.Get(), "name");
  EXPECT_EQ(view.GetInt(i, position), -1); // its end is the host's end

  ASSERT_TRUE(view.PutBool(true));
  EXPECT_NE(view.Data(), host.data());
  EXPECT_EQ(view.Size(), int(host.size()) + 1);
  EXPECT_EQ(std::memcmp(view.Data(), host.data(), host.size()), 0);
  EXPECT_EQ(Bytes(source), host);

  IStateChunk self = IStateChunk::View(host.data(), int(host.size()));
  ASSERT_TRUE(self.PutChunk(self));
  EXPECT_EQ(self.Size(), 2 * int(host.size()));
  EXPECT_EQ(std::memcmp(self.Data() + host.size(), host.data(), host.size()), 0);

  IStateChunk cleared = IStateChunk::View(host.data(), int(host.size()));
  cleared.Clear();
  EXPECT_EQ(cleared.Size(), 0);
  EXPECT_EQ(IStateChunk::View(nullptr, 5).Size(), 0);
}

TEST(IStateChunk, CanReadGuardsWholeBlocks)
{
  IStateChunk c;
  c.PutDouble(0.25);
  c.PutDouble(5.0);
  EXPECT_TRUE(c.CanRead(0, 16));
  EXPECT_FALSE(c.CanRead(0, 3 * 8)); // a block of three doubles is not all there
  EXPECT_FALSE(c.CanRead(-1, 0));
  EXPECT_FALSE(c.CanRead(8, std::numeric_limits<int64_t>::max()));
  EXPECT_FALSE(c.CanRead(0, -1));
  EXPECT_TRUE(c.CanRead(16, 0));

  // As the base serialiser applies values: clamped into range, never NaN.
  IParameter p;
  p.SetupContinuous("x", 0.5, 0, 1, 0.01, "");
  double v = 0;
  int pos = c.GetDouble(v, 8);
  p.SetClamped(v);
  EXPECT_EQ(pos, 16);
  EXPECT_EQ(p.Value(), 1.0);

  IStateChunk nan;
  nan.PutDouble(std::numeric_limits<double>::quiet_NaN());
  nan.GetDouble(v, 0);
  p.SetClamped(v);
  EXPECT_EQ(p.Value(), 0.0);
}

TEST(ChunkHeader, WriteAndRead)
{
  IStateChunk c;
  for (int k = 0; k < 25; ++k)
    c.PutInt(k);
  ASSERT_EQ(c.Size(), 100);
  ASSERT_TRUE(WriteChunkHeader(c));
  EXPECT_EQ(Bytes(c), (std::vector<uint8_t>{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}));

  int pos = 0;
  EXPECT_EQ(ReadChunkHeader(c, pos), kChunkVersion);
  EXPECT_EQ(pos, 8);

  // The magic without room for the version.
  IStateChunk shortChunk;
  shortChunk.PutInt(kChunkMagic);
  shortChunk.PutBytes("\0\0", 2);
  pos = 0;
  EXPECT_EQ(ReadChunkHeader(shortChunk, pos), 0);
  EXPECT_EQ(pos, -1);

  // No magic: a headerless chunk, read from where it starts.
  IStateChunk headerless;
  headerless.PutDouble(0.5);
  pos = 0;
  EXPECT_EQ(ReadChunkHeader(headerless, pos), 0);
  EXPECT_EQ(pos, 0);

  IStateChunk empty;
  pos = 0;
  EXPECT_EQ(ReadChunkHeader(empty, pos), 0);
  EXPECT_EQ(pos, 0);
  pos = -1;
  EXPECT_EQ(ReadChunkHeader(c, pos), 0);
  EXPECT_EQ(pos, -1);
}
