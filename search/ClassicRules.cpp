#include "search/ClassicRules.h"

#include "html/HtmlParser.h"

namespace quellion {

TClassicRules::TClassicRules(TEngine engine) : engine_(engine) {
  if (engine != TEngine::Google)
    parser_ = std::make_unique<THTMLParser>();
}

TClassicRules::~TClassicRules() = default;

void TClassicRules::Extract(const std::string& page, const std::function<bool()>& mayReadBlock,
                            const THitSink& sink) {
  if (engine_ == TEngine::Google) {
    ExtractGoogle(page, google_, mayReadBlock, sink);
    return;
  }
  parser_->Clear();
  parser_->Parse(page);
  const TTagNode* root = parser_->Root();
  switch (engine_) {
    case TEngine::Altavista:
      ExtractAltavista(root, sink);
      break;
    case TEngine::Excite:
      ExtractExcite(root, sink);
      break;
    case TEngine::Hotbot:
      ExtractHotbot(root, sink);
      break;
    case TEngine::AllTheWeb:
      ExtractAllTheWeb(root, allTheWeb_, sink);
      break;
    case TEngine::Google:
      break;
  }
}

}  // namespace quellion
