// TREProgram. See re_program.h.
#include "select/re_program.h"

#include "select/re_parser.h"

namespace pelorin {

TREProgram::TREProgram(std::string_view pattern) {
    TREParser parser(pattern);
    TRENodeId root = parser.Run();
    const size_t end_position = pattern.size() + 1;
    alphabet_ = std::make_unique<TREAlphabet>(parser.Tree(), end_position);
    nfa_ = std::make_unique<TRE_NFA>(parser.Tree(), root, *alphabet_, end_position);
    dfa_ = std::make_unique<TRE_DFA>(*nfa_, *alphabet_, end_position);
}

const TRE_ScanDFA* TREProgram::ScanDfa(unsigned char separator) const {
    const int i = separator == '\n' ? 1 : 0;
    if (!scan_built_[i]) {
        scan_[i] = TRE_ScanDFA::Build(*nfa_, *alphabet_, separator);
        scan_built_[i] = true;
    }
    return scan_[i].get();
}

const TRESkip* TREProgram::FindSkip(unsigned char separator) const {
    const int i = separator == '\n' ? 1 : 0;
    if (!find_skip_built_[i]) {
        find_skip_built_[i] = true;
        // A position matters when a match can start there: the start state has a transition
        // on its character, or "$" can hold before it, or "^" after it (an LF).
        const TRE_DFA& dfa = *dfa_;
        const int32_t start = TRE_DFA::Start();
        const bool line_end = dfa.LineEndTarget(start) != TRE_DFA::kNone;
        TREClassSet matters(dfa.ClassCount());
        for (uint32_t k = 0; k < dfa.ClassCount(); ++k)
            matters[k] = dfa.Next(start, k) != TRE_DFA::kNone;
        if (line_end)
            matters[alphabet_->ClassOf(separator)] = true;
        if (dfa.UsesLineStart())
            matters[alphabet_->ClassOf('\n')] = true;
        auto after = [&](unsigned char b) -> std::optional<TREClassSet> {
            if ((b == '\n' && dfa.UsesLineStart()) || (b == separator && line_end))
                return std::nullopt;
            const int32_t to = dfa.Next(start, alphabet_->ClassOf(b));
            if (to == TRE_DFA::kNone || dfa.Accepting(to) ||
                dfa.LineEndTarget(to) != TRE_DFA::kNone)
                return std::nullopt;
            TREClassSet next(dfa.ClassCount());
            for (uint32_t k = 0; k < dfa.ClassCount(); ++k)
                next[k] = dfa.Next(to, k) != TRE_DFA::kNone;
            return next;
        };
        find_skip_[i] = BuildSkip(*alphabet_, matters, after);
    }
    return find_skip_[i] ? &*find_skip_[i] : nullptr;
}

}  // namespace pelorin
