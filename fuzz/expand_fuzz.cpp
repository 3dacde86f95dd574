// Fuzz target: TMsg::Expand with a random template against a fixed record that has every
// field set (Japanese subject and sender, a date, header lines for %N, %O and %[name]).
// Checks that no template reads outside itself or the record, that expansion stays bounded,
// and that a template without "%" comes back unchanged.
#include "coding/cp932.h"
#include "store/msg.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

const pelorin::TMsg& Record() {
    static const pelorin::TMsg record = [] {
        pelorin::TMsg m = pelorin::TMsg::FromLines({
            "Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?= abc",
            "From: =?ISO-2022-JP?B?GyRCOzNFRBsoSg==?= <yamada@example.jp>",
            "Date: Sun, 6 Dec 1998 9:05:00 +0900",
            "Message-ID: <1@example.jp>",
            "References: <0@example.jp>",
            "Newsgroups: fj.test,fj.misc",
            "Organization: " + pelorin::cp932::FromUtf8("ソフト}マ]研究所"),
            "X-Folded: first",
            "\tsecond",
            "",
            "body",
        });
        m.length = 123456;
        m.lineCount = 11;
        m.depth = 3;
        m.mark = '-';
        return m;
    }();
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096)
        return 0;
    const std::string_view tmpl(reinterpret_cast<const char*>(data), size);
    pelorin::TMsg msg = Record();
    const std::string out = msg.Expand(tmpl);
    if (tmpl.find('%') == std::string_view::npos && out != tmpl)
        __builtin_trap();
    // Every directive yields at most a 9999-byte column, an indentation of at most 9999
    // blanks or a record field plus its conditional text.
    if (out.size() > (size + 1) * 20000)
        __builtin_trap();
    return 0;
}
