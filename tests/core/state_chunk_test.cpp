// StateChunk: appends, bounded reads and the -1 position that ends a read.
#include "core/state_chunk.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vantor {
namespace {

TEST(StateChunkTest, ValuesRoundTripInOrder) {
  StateChunk chunk;
  chunk.PutInt32(-7);
  chunk.PutDouble(0.25);
  chunk.PutString("Pad: Fat Strings");
  chunk.PutString("");
  int32_t i = 0;
  double d = 0;
  std::string s = "x", empty = "x";
  int p = chunk.GetInt32(&i, 0);
  p = chunk.GetDouble(&d, p);
  p = chunk.GetString(&s, p);
  p = chunk.GetString(&empty, p);
  EXPECT_EQ(i, -7);
  EXPECT_EQ(d, 0.25);
  EXPECT_EQ(s, "Pad: Fat Strings");
  EXPECT_EQ(empty, "");
  EXPECT_EQ(p, chunk.Size());
  EXPECT_EQ(chunk.Data()[0], 0xF9);  // little-endian
  chunk.Resize(5000);                // grows keeping what it holds
  EXPECT_EQ(chunk.Size(), 5000);
  EXPECT_EQ(chunk.GetInt32(&i, 0), 4);
  EXPECT_EQ(i, -7);
  chunk.Clear();
  EXPECT_TRUE(chunk.Empty());
}

TEST(StateChunkTest, ShortReadsAndBadStringLengthsReturnMinusOneAndLeaveTheValue) {
  StateChunk chunk;
  chunk.PutBytes("abc", 3);
  int32_t i = 42;
  EXPECT_EQ(chunk.GetInt32(&i, 0), -1);
  EXPECT_EQ(i, 42);
  EXPECT_EQ(chunk.GetInt32(&i, -1), -1);
  EXPECT_EQ(chunk.GetBytes(&i, 1, 3), -1);
  EXPECT_EQ(chunk.GetBytes(&i, 0, 3), 3);
  EXPECT_EQ(chunk.GetBytes(&i, 1, 1 << 30), -1);

  // Strings whose length is negative, runs past the end or is absurd are refused.
  StateChunk negative;
  negative.PutInt32(-1);
  std::string s;
  EXPECT_EQ(negative.GetString(&s, 0), -1);
  StateChunk cut;
  cut.PutInt32(10);
  cut.PutBytes("abc", 3);
  EXPECT_EQ(cut.GetString(&s, 0), -1);
  StateChunk huge;
  huge.PutInt32(0x7FFFFFFF);
  EXPECT_EQ(huge.GetString(&s, 0), -1);
}

}  // namespace
}  // namespace vantor
