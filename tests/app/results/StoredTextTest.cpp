#include <gtest/gtest.h>

#include "app/results/StoredText.h"
#include "platform/TextEncoding.h"

namespace quellion {
namespace {

TEST(StoredText, Windows1252WherePossibleElseUtf8AndAlwaysShownAsTyped) {
  struct Case {
    QString typed;
    std::string stored;
  } cases[] = {
      {QStringLiteral("plain"), "plain"},
      {QStringLiteral("caf\u00e9"), "caf\xe9"},
      {QStringLiteral("\u20ac 5 \u201cq\u201d"), "\x80 5 \x93q\x94"},
      {QStringLiteral("\u03a9 and \u00e9"), "\xce\xa9 and \xc3\xa9"},  // no byte for Omega
      {QStringLiteral("\u00c3\u00a9"), "\xc3\x83\xc2\xa9"},  // would read back as UTF-8 "é"
      {QStringLiteral("\U0001F600"), "\xf0\x9f\x98\x80"},
  };
  for (const auto& c : cases) {
    const std::string stored = EncodeForStorage(c.typed, 250);
    EXPECT_EQ(c.stored, stored) << c.typed.toStdString();
    EXPECT_EQ(c.typed.toStdString(), DecodeForDisplay(stored)) << c.typed.toStdString();
  }
}

TEST(StoredText, CutsToTheWidthBetweenCharacters) {
  EXPECT_EQ(std::string(250, 'a'), EncodeForStorage(QString(260, QLatin1Char('a')), 250));
  EXPECT_EQ(std::string(250, '\xe9'), EncodeForStorage(QString(260, QChar(0xe9)), 250));
  // 125 two-byte Omegas fill 250 bytes exactly; one more byte of room is not enough.
  const QString omegas(130, QChar(0x3a9));
  EXPECT_EQ(250u, EncodeForStorage(omegas, 250).size());
  const std::string cut = EncodeForStorage(omegas, 251);
  EXPECT_EQ(250u, cut.size());
  EXPECT_TRUE(IsValidUtf8(cut));
}

}  // namespace
}  // namespace quellion
