// DecodeHeaderWords on arbitrary header values, and EncodeHeaderWords on the SjisToJis form of
// arbitrary text in an unstructured field: encoding then decoding must give the text back. DecodeHeaderUtf8 always
// gives well-formed UTF-8, and a UTF-8 line encoded by EncodeUtf8HeaderLine reads back whole.
// A value fed to HeaderValueStream in pieces reads as the whole value reads.
#include "coding/charset.h"
#include "coding/header_stream.h"
#include "coding/header_words.h"
#include "coding/jis.h"
#include "store/strutil.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::string decoded = pelorin::DecodeHeaderWords(in);
    (void)pelorin::JisToSjis(pelorin::Unfold(decoded));
    if (!pelorin::IsUtf8(pelorin::DecodeHeaderUtf8(in)))
        std::abort();

    // Header lines never hold line breaks or "=?" of their own when they are written.
    std::string line;
    for (char c : in) {
        if (c != '\n' && c != '\r' && c != '?' && c != '=')
            line.push_back(c);
    }
    std::string typed;  // no escapes of JIS in what the user typed, no blanks before it
    for (char c : line) {
        if (c != '\x1B' && (!typed.empty() || (c != ' ' && c != '\t')))
            typed.push_back(c);
    }
    std::string jis = pelorin::SjisToJis("X-Fuzz: " + typed);
    std::string encoded = pelorin::EncodeHeaderWords(jis);
    if (pelorin::JisToSjis(pelorin::Unfold(pelorin::DecodeHeaderWords(encoded))) !=
        pelorin::JisToSjis(jis))
        std::abort();

    // A UTF-8 line with one blank between its words and none at its ends (as a composed header
    // line is written), in an unstructured field, comes back as it was.
    const std::string utf8 = pelorin::ValidUtf8(line);
    std::string words;
    for (char c : utf8) {
        if (c == '\t')
            c = ' ';
        if (static_cast<unsigned char>(c) < 0x20)
            continue;  // no escapes of JIS or other controls in a line the user typed
        if (c != ' ' || (!words.empty() && words.back() != ' '))
            words.push_back(c);
    }
    while (!words.empty() && words.back() == ' ') words.pop_back();
    words = "X-Fuzz: " + words;
    if (pelorin::DecodeHeaderUtf8(pelorin::EncodeUtf8HeaderLine(words)) != words)
        std::abort();

    // The first byte chooses how often a cut is looked for and how big the pieces are.
    if (!in.empty()) {
        const auto choice = static_cast<unsigned char>(in[0]);
        const std::string_view value = in.substr(1);
        std::string whole(value);
        while (!whole.empty() && (whole.back() == '\n' || whole.back() == '\r')) whole.pop_back();
        std::erase(whole, '\r');
        pelorin::HeaderValueStream stream(1 + choice % 16);
        const size_t piece = 1 + choice / 16;
        std::string streamed;
        for (size_t i = 0; i < value.size(); i += piece)
            stream.Feed(value.substr(i, piece), streamed);
        stream.Finish(streamed);
        if (streamed != pelorin::JisToSjis(pelorin::Unfold(pelorin::DecodeHeaderWords(whole))))
            std::abort();
    }
    return 0;
}
