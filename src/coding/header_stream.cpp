// Where a header value may be cut. A place c qualifies when
// - the byte before it is LF and the byte at it is none of blank, TAB, LF and "=", so Unfold
//   takes nothing but that LF there, no fold runs across, and no word starts at c;
// - it lies in text between words, after the last word the bytes so far close, and before any
//   "=?" that later bytes could still make a word of.
// The part before c then reads alone as it reads in the whole value: its words are the same
// words, its last stretch of text is kept (it holds the byte at c in the whole value, so it is
// never white space dropped between two words), and the reader stands after it as at the
// start of a value. The one thing the stretch carries on is which of its two folds it has
// already lost.
//
// JisToSjis is cut right after an ESC ( B or ESC ( J, where every state ends, or at the end of
// text that holds no escape and no open SO.
#include "coding/header_stream.h"

#include "coding/header_words.h"
#include "coding/header_words_scan.h"
#include "coding/jis.h"

namespace pelorin {
namespace {

constexpr size_t npos = std::string_view::npos;

// The last line start c in (pos, limit) whose byte qualifies, or npos.
size_t LastCutIn(std::string_view raw, size_t pos, size_t limit) {
    if (limit < pos + 2)
        return npos;
    for (size_t i = raw.rfind('\n', limit - 2); i != npos && i >= pos;) {
        const char next = raw[i + 1];
        if (next != ' ' && next != '\t' && next != '\n' && next != '=')
            return i + 1;
        if (i == 0)
            break;
        i = raw.rfind('\n', i - 1);
    }
    return npos;
}

// Whether a SO in this ASCII text is still open at its end.
bool OpenShiftOut(std::string_view text) {
    const size_t so = text.rfind('\x0E');
    if (so == npos)
        return false;
    const size_t si = text.rfind('\x0F');
    return si == npos || si < so;
}

// How much of `jis` (which starts in ASCII, as a line does) JisToSjis may read now.
size_t JisCut(std::string_view jis) {
    const size_t last = jis.rfind('\x1B');
    if (last == npos)
        return OpenShiftOut(jis) ? 0 : jis.size();
    for (size_t i = last;; --i) {
        i = jis.rfind('\x1B', i);
        if (i == npos)
            return 0;
        if (jis.compare(i, 3, "\x1B(B") == 0 || jis.compare(i, 3, "\x1B(J") == 0) {
            const size_t after = i + 3;
            if (i == last && !OpenShiftOut(jis.substr(after)))
                return jis.size();
            return after;
        }
        if (i == 0)
            return 0;
    }
}

}  // namespace

void HeaderValueStream::Feed(std::string_view bytes, std::string& sjis) {
    for (size_t cr; (cr = bytes.find('\r')) != npos; bytes.remove_prefix(cr + 1))
        raw_.append(bytes.substr(0, cr));
    raw_.append(bytes);
    if (raw_.size() < nextScan_)
        return;
    const Cut cut = FindCut();
    if (cut.at == 0) {  // nowhere yet: look again when twice as much has come
        nextScan_ = raw_.size() * 2;
        return;
    }
    Decode(cut);
    ReadJis(false, sjis);
    nextScan_ = raw_.size() + block_;
}

void HeaderValueStream::Finish(std::string& sjis) {
    while (!raw_.empty() && raw_.back() == '\n') raw_.pop_back();
    Cut cut;
    cut.at = raw_.size();
    cut.firstWord = header_scan::FindWord(raw_, 0).at;
    Decode(cut);
    ReadJis(true, sjis);
}

HeaderValueStream::Cut HeaderValueStream::FindCut() {
    const std::string_view raw = raw_;
    stretches_.clear();
    size_t firstWord = npos;
    for (size_t pos = 0;;) {
        const header_scan::WordStart w = header_scan::FindWord(raw, pos, false);
        stretches_.emplace_back(pos, w.at == npos ? raw.size() : w.at);
        if (w.at == npos || w.undecided)
            break;
        if (firstWord == npos)
            firstWord = w.at;
        const size_t payload = w.letter_at + 2;
        const size_t end = payload <= raw.size() ? raw.find("?=", payload) : npos;
        if (end == npos)  // not closed yet
            break;
        pos = end + 2;
    }
    for (size_t k = stretches_.size(); k-- > 0;) {
        const auto [pos, limit] = stretches_[k];
        const size_t at = LastCutIn(raw, pos, limit);
        if (at != npos)
            return {at, firstWord < at ? firstWord : npos, pos};
    }
    return {};
}

void HeaderValueStream::Decode(const Cut& cut) {
    const std::string_view part = std::string_view(raw_).substr(0, cut.at);
    const size_t first = cut.firstWord < cut.at ? cut.firstWord : cut.at;
    words_.clear();
    AppendBetween(words_, part.substr(0, first));
    if (first < cut.at) {
        DecodeHeaderWordsTo(decoded_, part.substr(first));
        words_ += decoded_;
        NoteFolds(part.substr(cut.stretch));
    }
    UnfoldAppend(jis_, words_);
    raw_.erase(0, cut.at);
}

// The text of a stretch that runs on from the last cut, losing the folds it has not lost yet.
void HeaderValueStream::AppendBetween(std::string& out, std::string_view text) {
    if (!spaceFolded_ && !tabFolded_) {
        header_scan::AppendBetweenWords(out, text);
        NoteFolds(text);
        return;
    }
    if (spaceFolded_ && tabFolded_) {
        out.append(text);
        return;
    }
    const char blank = spaceFolded_ ? '\t' : ' ';
    const size_t fold = header_scan::FindFold(text, blank);
    out.append(text.substr(0, fold));
    if (fold == npos)
        return;
    out.append(text.substr(fold + 2));
    (blank == ' ' ? spaceFolded_ : tabFolded_) = true;
}

// Which folds AppendBetweenWords takes out of `text`, a stretch's start: its first LF + space,
// and an LF + TAB that it holds or that forms where that LF + space goes.
void HeaderValueStream::NoteFolds(std::string_view text) {
    const size_t space = header_scan::FindFold(text, ' ');
    spaceFolded_ = space != npos;
    tabFolded_ = header_scan::FindFold(text, '\t') != npos ||
                 (space != npos && space > 0 && text[space - 1] == '\n' &&
                  space + 2 < text.size() && text[space + 2] == '\t');
}

void HeaderValueStream::ReadJis(bool all, std::string& sjis) {
    if (!all && jis_.size() < nextJisScan_)
        return;
    const size_t n = all ? jis_.size() : JisCut(jis_);
    if (n == 0) {  // as with the raw bytes: look again when twice as much has come
        nextJisScan_ = jis_.size() * 2;
        return;
    }
    nextJisScan_ = 0;
    sjis += JisToSjis(std::string_view(jis_).substr(0, n));
    jis_.erase(0, n);
}

}  // namespace pelorin
