#include "app/results/StoredText.h"

#include <QList>
#include <array>
#include <optional>

#include "platform/TextEncoding.h"

namespace quellion {
namespace {

// Code points of the bytes 0x80..0x9F, taken from the display decoder so that the two
// directions cannot disagree.
const std::array<char32_t, 32>& HighBytes() {
  static const std::array<char32_t, 32> table = [] {
    std::array<char32_t, 32> t{};
    for (int b = 0; b < 32; ++b) {
      const QString shown =
          QString::fromStdString(DecodeForDisplay(std::string(1, static_cast<char>(0x80 + b))));
      t[b] = shown.isEmpty() ? 0 : shown.toUcs4().value(0);
    }
    return t;
  }();
  return table;
}

std::optional<std::string> ToWindows1252(const QString& text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (const char32_t cp : text.toUcs4()) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    const auto& high = HighBytes();
    int found = -1;
    for (int b = 0; b < 32 && found < 0; ++b) {
      if (high[b] == cp)
        found = b;
    }
    if (found < 0)
      return std::nullopt;
    out += static_cast<char>(0x80 + found);
  }
  return out;
}

bool HasNonAscii(const std::string& bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80)
      return true;
  }
  return false;
}

}  // namespace

std::string EncodeForStorage(const QString& text, size_t maxBytes) {
  if (auto cp1252 = ToWindows1252(text)) {
    if (cp1252->size() > maxBytes)
      cp1252->resize(maxBytes);
    // Bytes that happen to form valid UTF-8 (like "Ã©") would be shown as UTF-8.
    if (!HasNonAscii(*cp1252) || !IsValidUtf8(*cp1252))
      return *cp1252;
  }
  const QByteArray utf8 = text.toUtf8();
  return CutText(std::string(utf8.constData(), static_cast<size_t>(utf8.size())), maxBytes);
}

}  // namespace quellion
