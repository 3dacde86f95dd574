// TREPreProcessor. See re_preprocessor.h.
#include "select/re_preprocessor.h"

#include "select/fuzzy_dictionary.h"
#include "select/re_scanner.h"

namespace pelorin {

TREPreProcessor::TREPreProcessor()
    : fuzzy_{&FuzzyCharDictionary()} {}

std::string TREPreProcessor::ExpandPattern(std::string_view pattern,
                                           std::vector<size_t>* origin) const {
    std::string text(pattern);
    if (origin) {
        origin->resize(pattern.size() + 1);
        for (size_t i = 0; i <= pattern.size(); ++i) (*origin)[i] = i + 1;
    }
    std::vector<size_t> step;
    auto pass = [&](const TREDictionary& d) {
        text = Pass(text, d, origin ? &step : nullptr);
        if (origin) {
            // Positions of this pass point into the previous text: follow them back.
            for (size_t& p : step) p = (*origin)[p - 1];
            origin->swap(step);
        }
    };
    if (UseSynonymDic)
        pass(synonym_);
    if (UseFuzzyCharDic) {
        for (const TREDictionary* d : fuzzy_) pass(*d);
    }
    return text;
}

std::string TREPreProcessor::Pass(std::string_view pattern,
                                  const TREDictionary& dictionary,
                                  std::vector<size_t>* origin) {
    const std::vector<TREToken> tokens = TREScanner::Tokenize(pattern);
    auto source = [&](const TREToken& t) { return pattern.substr(t.start - 1, t.length); };

    std::vector<unsigned> codes(tokens.size());
    for (size_t i = 0; i < tokens.size(); ++i) codes[i] = tokens[i].code;

    std::string out;
    out.reserve(pattern.size());
    if (origin)
        origin->clear();
    auto copy = [&](const TREToken& t) {
        out += source(t);
        if (origin) {
            for (size_t k = 0; k < t.length; ++k) origin->push_back(t.start + k);
        }
    };
    bool in_class = false;
    size_t i = 0;
    while (i < tokens.size()) {
        const TREToken& t = tokens[i];
        if (t.kind == TRETokenKind::ClassOpen || t.kind == TRETokenKind::NegClassOpen)
            in_class = true;
        else if (t.kind == TRETokenKind::ClassClose)
            in_class = false;
        if (t.kind != TRETokenKind::Literal || in_class) {
            copy(t);
            ++i;
            continue;
        }
        size_t e = i;
        while (tokens[e].kind == TRETokenKind::Literal) ++e;  // the End token stops the run
        while (i < e) {
            size_t length = 0;
            const TREDictionary::Group* g =
                dictionary.Empty() ? nullptr : dictionary.Lookup(codes, i, e, length);
            if (g) {
                out += g->replacement;
                if (origin)
                    origin->resize(out.size(), tokens[i].start);
                i += length;
            } else {
                copy(tokens[i]);
                ++i;
            }
        }
    }
    if (origin)
        origin->push_back(pattern.size() + 1);
    return out;
}

}  // namespace pelorin
