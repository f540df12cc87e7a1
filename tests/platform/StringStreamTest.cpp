#include <gtest/gtest.h>

#include "platform/StringStream.h"

namespace quellion {

TEST(StringStream, WriteCutsWhatLiesBeyondIt) {
  TStringStream stream;
  stream.Write("previous page text", 18);
  stream.SetPosition(0);
  stream.Write("short", 5);
  EXPECT_EQ("short", stream.DataString());
  EXPECT_EQ(5u, stream.Position());
  stream.Write("er", 2);
  EXPECT_EQ("shorter", stream.DataString());
}

TEST(StringStream, NoWriteKeepsThePreviousContent) {
  TStringStream stream;
  stream.Write("page one", 8);
  stream.SetPosition(0);
  EXPECT_EQ("page one", stream.DataString());
}

TEST(StringStream, WritesBinaryBytesAndReadsThemBack) {
  const std::string bytes("a\0b\xff", 4);
  TStringStream stream;
  stream.Write(bytes.data(), bytes.size());
  stream.SetPosition(1);
  char buffer[8];
  ASSERT_EQ(3u, stream.Read(buffer, sizeof buffer));
  EXPECT_EQ(std::string("\0b\xff", 3), std::string(buffer, 3));
  EXPECT_EQ(0u, stream.Read(buffer, sizeof buffer));
}

TEST(StringStream, WriteAfterPositionPastTheEndPadsWithZeros) {
  TStringStream stream;
  stream.SetPosition(3);
  stream.Write("x", 1);
  EXPECT_EQ(std::string("\0\0\0x", 4), stream.DataString());
}

}  // namespace quellion
