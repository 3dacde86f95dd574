// HTML as readable text, for mail that comes only as HTML: paragraphs and headings set apart by
// an empty line, line breaks kept, list items on lines of their own ("・ ", or "1. " in an
// ordered list), table rows on lines of their own with their cells separated by a TAB, links
// followed by their address in angle brackets when the link text does not already show it (so
// the text view finds it as a URL), entities decoded, and scripts, styles and the document head
// dropped. Runs of white space collapse to one space except inside <pre>.
//
// The document is read by libxml2's HTML parser (a real parser, recovering from broken markup
// as browsers do), never by patterns over the text.
//
// Bad input: markup errors are repaired by the parser; broken UTF-8 in the input shows as
// U+FFFD; elements nested deeper than kMaxHtmlDepth are read as if their inner markup were
// absent (their text is still shown). Nothing here fails; an empty document gives no lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

constexpr int kMaxHtmlDepth = 200;

// UTF-8 HTML to UTF-8 lines (without line ends).
std::vector<std::string> HtmlToTextLines(std::string_view utf8Html);

}  // namespace pelorin
