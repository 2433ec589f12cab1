#include "link/dumps/SysExCodec.h"
#include "link/dumps/SysExFrame.h"

#include <gtest/gtest.h>

using Bytes = std::vector<uint8_t>;

TEST(SysExFrame, EveryMessageTypeForEveryModelAndDeviceId)
{
  struct Type
  {
    uint8_t type;
    size_t size;
  } const types[] = {{0x00, 296}, {0x1E, 98},  {0x02, 297}, {0x1F, 99},  {0x05, 381}, {0x1B, 25},
                     {0x20, 473}, {0x07, 383}, {0x1C, 27},  {0x21, 475}, {0x0C, 204}, {0x0F, 281},
                     {0x15, 297}, {0x08, 9},   {0x13, 11},  {0x10, 9}};
  struct Model
  {
    int model;
    uint8_t byte;
  } const models[] = {{0, 0x24}, {1, 0x22}, {2, 0x23}, {3, 0x23}, {-1, 0x23}};

  for (const auto& model : models)
    for (int deviceId : {0, 7, 15, 127})
      for (const auto& t : types)
      {
        const Bytes message = BuildSysExMessage(t.type, SysExAddress{model.model, deviceId});
        ASSERT_EQ(message.size(), t.size) << int(t.type);
        const Bytes header{0xF0, 0x00, 0x20, 0x29, 0x01, model.byte, uint8_t(deviceId), t.type};
        EXPECT_EQ(Bytes(message.begin(), message.begin() + 8), header)
            << "type " << int(t.type) << " model " << model.model << " id " << deviceId;
        EXPECT_EQ(message.back(), 0xF7);
        for (size_t i = 8; i + 1 < message.size(); ++i)
          ASSERT_EQ(message[i], 0) << i;
      }

  EXPECT_TRUE(BuildSysExMessage(0x11, SysExAddress{}).empty());
  EXPECT_EQ(SysExMessageSize(0x7F), 0u);
}

TEST(SysExFrame, RequestsByteForByte)
{
  EXPECT_EQ(BuildEditBufferRequest({0, 15}), (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x08, 0xF7}));
  EXPECT_EQ(BuildEditBufferRequest({1, 0}), (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x22, 0x00, 0x08, 0xF7}));
  EXPECT_EQ(BuildDeviceIdRequest({2, 3}), (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x23, 0x03, 0x10, 0xF7}));
  // Program bank 2 (code 7), slot 127; performance bank 0 (code 1), slot 5.
  EXPECT_EQ(BuildMemoryRequest({0, 15}, 7, 127),
            (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x13, 0x07, 0x7F, 0xF7}));
  EXPECT_EQ(BuildMemoryRequest({1, 9}, 1, 5),
            (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x22, 0x09, 0x13, 0x01, 0x05, 0xF7}));

  // Nothing with the top bit set gets inside the frame.
  EXPECT_EQ(BuildMemoryRequest({0, 200}, 300, 128),
            (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x7F, 0x13, 0x7F, 0x7F, 0xF7}));
  EXPECT_EQ(BuildEditBufferRequest({0, -4})[6], 0x00);

  EXPECT_EQ(WithoutSysExFraming(BuildDeviceIdRequest({0, 15})),
            (Bytes{0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x10}));
  EXPECT_EQ(WithoutSysExFraming(Bytes{0x7E, 0x00}), (Bytes{0x7E, 0x00}));
}

TEST(SysExCodec, Unpackers)
{
  std::vector<uint32_t> flags{9, 9, 9, 9, 9, 9, 9, 9, 9};
  UnpackFlags(0x55, flags);
  EXPECT_EQ(flags, (std::vector<uint32_t>{1, 0, 1, 0, 1, 0, 1}));
  UnpackFlagsWithLowPair(0x7F, flags);
  EXPECT_EQ(flags, (std::vector<uint32_t>{1, 1, 1, 1, 1, 3}));
  UnpackFlagsWithPairs(0x7F, flags);
  EXPECT_EQ(flags, (std::vector<uint32_t>{3, 1, 1, 1, 3}));
  UnpackFlagsWithPairs(0x4A, flags); // 10 0 1 0 10
  EXPECT_EQ(flags, (std::vector<uint32_t>{2, 0, 1, 0, 2}));
  UnpackFlagsWithLowPair(0x21, flags); // 0 1 0 0 0 01
  EXPECT_EQ(flags, (std::vector<uint32_t>{0, 1, 0, 0, 0, 1}));
  // Only the seven data bits count.
  UnpackFlags(0xD5, flags);
  EXPECT_EQ(flags, (std::vector<uint32_t>{1, 0, 1, 0, 1, 0, 1}));
}

TEST(SysExCodec, NameCharacters)
{
  const uint8_t message[] = {0xF0, 'A', 0x01, ' ', ' ', 0xF7};
  std::string name = "x";
  AppendNameChars(message, sizeof message, 1, 5, name);
  EXPECT_EQ(name, std::string("xA\x01  "));
  AppendNameChars(message, sizeof message, 4, 4, name);
  AppendNameChars(message, sizeof message, 4, 2, name);
  EXPECT_EQ(name.size(), 5u);
  // A range past the end of a short message stops at its end.
  name.clear();
  AppendNameChars(message, sizeof message, 3, 25, name);
  EXPECT_EQ(name.size(), 3u);

  uint8_t field[8];
  WriteNameChars("Caf\xc3\xa9 Pad", field, sizeof field);
  EXPECT_EQ(Bytes(field, field + 8), (Bytes{'C', 'a', 'f', '?', '?', ' ', 'P', 'a'}));
  WriteNameChars("Bs", field, sizeof field);
  EXPECT_EQ(Bytes(field, field + 8), (Bytes{'B', 's', ' ', ' ', ' ', ' ', ' ', ' '}));
}

TEST(SysExCodec, SustainCodes)
{
  const unsigned codes[] = {77, 78, 79, 126, 80, 81, 82, 127, 4, 5, 6, 7, 8, 83};
  for (int value = 0; value < 14; ++value)
  {
    EXPECT_EQ(DecodeSustainCode(codes[value]), value);
    EXPECT_EQ(EncodeSustainCode(value), codes[value]);
  }
  EXPECT_EQ(DecodeSustainCode(3), 0);
  EXPECT_EQ(DecodeSustainCode(126), 3);
  EXPECT_EQ(DecodeSustainCode(1000), 0);
  EXPECT_EQ(EncodeSustainCode(99), 83);
  EXPECT_EQ(EncodeSustainCode(-1), 77);
}
