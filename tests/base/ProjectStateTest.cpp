#include "editor/ProjectState.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"
#include "tests/support/HostlessPlug.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace
{
// A state by hand: the given automated and other values, names (empty but the first) and, for
// version 2, device id and model.
IStateChunk HandMade(int32_t version, const std::vector<double>& automated, const std::vector<double>& others,
                     const std::string& firstName = "Pad")
{
  IStateChunk chunk;
  chunk.PutInt(ProjectState::kTag);
  chunk.PutInt(version);
  for (double v : automated)
    chunk.PutDouble(v);
  chunk.PutInt(int32_t(others.size()));
  for (double v : others)
    chunk.PutDouble(v);
  chunk.PutInt(PatchManager::kNumNames);
  for (int i = 0; i < PatchManager::kNumNames; ++i)
    chunk.PutString(i == 0 ? firstName.c_str() : "");
  if (version >= 2)
  {
    chunk.PutInt(17);
    chunk.PutInt(2);
  }
  return chunk;
}

IStateChunk Copy(const IStateChunk& chunk, int size)
{
  IStateChunk out;
  out.PutBytes(chunk.Data(), size);
  return out;
}
} // namespace

TEST(ProjectState, ReadsBothBlocksInParameterOrderAndRefusesAnyFault)
{
  ProjectState state;
  const IStateChunk good = HandMade(2, {0.25, 0.5}, {3.0});
  ASSERT_EQ(state.Read(good, 0, 2, 1), good.Size());
  EXPECT_EQ(state.values, (std::vector<double>{0.25, 0.5, 3.0}));
  EXPECT_EQ(state.names[0], "Pad");
  EXPECT_EQ(state.deviceId, 17);
  EXPECT_EQ(state.model, 2);

  // Version 1 has no device id and model.
  const IStateChunk old = HandMade(1, {0.25, 0.5}, {3.0});
  ASSERT_EQ(state.Read(old, 0, 2, 1), old.Size());
  EXPECT_EQ(state.version, 1);
  EXPECT_EQ(state.deviceId, -1);
  EXPECT_EQ(state.model, -1);

  // Cut short anywhere, followed by a byte, or counted for another plug-in.
  for (int size = 0; size < good.Size(); ++size)
    EXPECT_EQ(state.Read(Copy(good, size), 0, 2, 1), -1) << size;
  IStateChunk longer = Copy(good, good.Size());
  longer.PutBytes("x", 1);
  EXPECT_EQ(state.Read(longer, 0, 2, 1), -1);
  EXPECT_EQ(state.Read(good, 0, 1, 2), -1);
  EXPECT_EQ(state.Read(good, 0, 2, 2), -1);
  EXPECT_EQ(state.Read(good, -1, 2, 1), -1);

  // A value that is not a number, in either block; a name too long or holding a zero byte.
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity()})
  {
    EXPECT_EQ(state.Read(HandMade(2, {0.25, bad}, {3.0}), 0, 2, 1), -1);
    EXPECT_EQ(state.Read(HandMade(2, {0.25, 0.5}, {bad}), 0, 2, 1), -1);
  }
  EXPECT_EQ(state.Read(HandMade(2, {}, {1.0}, std::string(PatchManager::kMaxNameLength + 1, 'a')), 0, 0, 1),
            -1);
  EXPECT_GT(state.Read(HandMade(2, {}, {1.0}, std::string(PatchManager::kMaxNameLength, 'a')), 0, 0, 1), 0);
  IStateChunk zero = HandMade(2, {}, {1.0}, "a?b");
  const int at = 8 + 4 + 8 + 4 + 4 + 1; // tag, version, count, value, name count, length, "a"
  ASSERT_EQ(zero.Data()[at], '?');
  EXPECT_GT(state.Read(zero, 0, 0, 1), 0);
  const_cast<uint8_t*>(zero.Data())[at] = 0;
  EXPECT_EQ(state.Read(zero, 0, 0, 1), -1);

  // Another tag or version; device id or model out of range.
  for (auto [at, value] : {std::pair{0, 0x12345678}, {4, 3}, {4, 0}})
  {
    IStateChunk bytes = Copy(good, good.Size());
    std::memcpy(const_cast<uint8_t*>(bytes.Data()) + at, &value, 4);
    EXPECT_EQ(state.Read(bytes, 0, 2, 1), -1) << at << " " << value;
  }
  for (auto [fromEnd, value] : {std::pair{8, 128}, {8, -1}, {4, 3}, {4, -1}})
  {
    IStateChunk bytes = Copy(good, good.Size());
    std::memcpy(const_cast<uint8_t*>(bytes.Data()) + bytes.Size() - fromEnd, &value, 4);
    EXPECT_EQ(state.Read(bytes, 0, 2, 1), -1) << fromEnd << " " << value;
  }
}

TEST(ProjectState, WhatIsWrittenReadsBack)
{
  HostlessPlug plug;
  plug.ParameterAt(3)->SetClamped(0.5);
  plug.ParameterAt(plug.NumParameters() - 1)->SetClamped(1.0);
  ProjectState written;
  written.names[PatchManager::kFirstPartName] = "Bass";
  written.names[PatchManager::kMidiOutputName] = "Synth out";
  written.deviceId = 16;
  written.model = 1;
  IStateChunk chunk;
  ASSERT_TRUE(written.Write(chunk, plug));

  ProjectState read;
  ASSERT_EQ(read.Read(chunk, 0, plug.AutomatedCount(), plug.NonAutomatedCount()), chunk.Size());
  EXPECT_EQ(read.version, ProjectState::kVersion);
  ASSERT_EQ(int(read.values.size()), plug.NumParameters());
  for (int i = 0; i < plug.NumParameters(); ++i)
    ASSERT_EQ(read.values[size_t(i)], plug.ParameterAt(i)->Value()) << i;
  EXPECT_EQ(read.names, written.names);
  EXPECT_EQ(read.deviceId, 16);
  EXPECT_EQ(read.model, 1);
}
