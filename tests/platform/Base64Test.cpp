#include <gtest/gtest.h>

#include <string>

#include "platform/Base64.h"

namespace quellion {
namespace {

TEST(Base64Test, EncodesWithPadding) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
      {"user:", "dXNlcjo="},
      {std::string("\xff\xfe\x00", 3), "//4A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(EncodeBase64(c.in), c.out);
  }
}

}  // namespace
}  // namespace quellion
