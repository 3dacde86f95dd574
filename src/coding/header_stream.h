// A header value that arrives in blocks, such as the decode-header filter's standard input.
// It reads exactly as the whole value would through DecodeHeaderWords, Unfold and JisToSjis,
// byte for byte, while holding only about a block of it at a time: the value is cut at the
// start of a line that no word, fold or JIS escape runs across, and a stretch of text between
// two words remembers across the cut which of its folds it has already lost.
//
// Values that never offer such a place (a word that is never closed, lines that all start
// with a blank, a JIS escape into kanji that is never left) are held until they do or until
// the value ends, as the whole value would be.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelorin {

class HeaderValueStream {
public:
    static constexpr size_t kBlock = 256 * 1024;

    // `block`: how much is gathered before a place to cut is looked for.
    explicit HeaderValueStream(size_t block = kBlock)
        : block_(block)
        , nextScan_(block) {}

    // Takes the next bytes of the value (CRs are dropped, as everywhere in header values) and
    // appends to `sjis` the part of the decoded Shift_JIS text that later bytes cannot change.
    void Feed(std::string_view bytes, std::string& sjis);
    // The value has ended: its trailing line ends are dropped and the rest of the text appended.
    void Finish(std::string& sjis);

    // Bytes held: not yet decoded, or decoded but not yet read as JIS.
    size_t Held() const { return raw_.size() + jis_.size(); }

private:
    struct Cut {
        size_t at = 0;                              // the value's bytes before it are decoded
        size_t firstWord = std::string_view::npos;  // the first word before `at`, if any
        size_t stretch = 0;                         // where the text that runs across it starts
    };
    Cut FindCut();
    void Decode(const Cut& cut);
    void AppendBetween(std::string& out, std::string_view text);
    void NoteFolds(std::string_view text);
    void ReadJis(bool all, std::string& sjis);

    std::string raw_;      // bytes not yet decoded
    std::string jis_;      // decoded and unfolded, not yet read by JisToSjis
    std::string words_;    // scratch: one piece's decoded words
    std::string decoded_;  // scratch
    std::vector<std::pair<size_t, size_t>> stretches_;  // scratch for FindCut
    // Whether the stretch of text that runs across the last cut has lost its LF + space and
    // its LF + TAB.
    bool spaceFolded_ = false;
    bool tabFolded_ = false;
    size_t block_;
    size_t nextScan_;
    size_t nextJisScan_ = 0;
};

}  // namespace pelorin
