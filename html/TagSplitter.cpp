#include "html/TagSplitter.h"

namespace quellion {

void SplitTag(std::string_view text, std::vector<std::string>& attributes, std::string& name) {
  name.clear();
  if (text.size() >= 2 && text.front() == '<')
    text.remove_prefix(1);
  if (text.size() >= 2 && text.back() == '>')
    text.remove_suffix(1);

  const size_t n = text.size();
  size_t segment = 0;  // first character not yet taken
  std::string token;   // the accumulator
  bool inDouble = false;
  bool inSingle = false;
  bool haveName = false;

  auto take = [&](size_t i) {
    token.append(text.data() + segment, i - segment);
    segment = i + 1;
  };
  auto emit = [&] {
    if (token.empty())
      return;
    if (!haveName) {
      name = std::move(token);
      haveName = true;
    } else {
      attributes.push_back(std::move(token));
    }
    token.clear();
  };

  for (size_t i = 0; i < n; ++i) {
    switch (text[i]) {
      case ' ':
      case '\t':
      case '\r':
        if (inDouble || inSingle)
          break;
        take(i);
        emit();
        break;
      case '\n':
        if (inDouble || inSingle)
          break;
        take(i);
        break;
      case '"':
        if (inSingle)
          break;
        inDouble = !inDouble;
        take(i);
        break;
      case '\'':
        if (inDouble)
          break;
        take(i);
        inSingle = !inSingle;
        break;
      case '=': {
        if (inDouble || inSingle)
          break;
        token.append(text.data() + segment, i + 1 - segment);
        size_t j = i + 1;
        while (j < n && (text[j] == ' ' || text[j] == '\t' || text[j] == '\n' || text[j] == '\r'))
          ++j;
        segment = j;
        i = j - 1;  // the skipped blanks are not examined
        break;
      }
      default:
        break;
    }
  }
  token.append(text.data() + segment, n - segment);
  emit();
}

}  // namespace quellion
