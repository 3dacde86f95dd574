// The address part and the name part of a From text, and the local part of an address. These
// are the rules behind TMsg::FromAddress and TMsg::FromName; the composer applies the address
// rule to a typed recipient as well.
//
// Address part of From:
//   1. when the text holds a double quote, the first quote and (when a second one follows)
//      everything through the second quote are removed: "Name" <a@b> becomes  <a@b>;
//   2. when "(" stands at position 4 or later, the text before it;
//   3. otherwise, when "<" occurs, the text after it up to the next ">" (or to the end);
//   4. otherwise, when a double quote stands at position 4 or later, the text before it;
//   5. an empty result gives the whole From.
// Nothing is trimmed: "a@b (Name)" gives "a@b " with its blank.
//
// Name part of From: whichever of "(", double quote and "<" comes first decides. "(": the text
// after it up to the next ")"; double quote: the text after it up to the next double quote;
// (in both cases the whole rest when the closing character is missing); "<": the text before
// it, blanks kept. None of the three: empty. An empty pair ("()" or two quotes) gives an
// empty name.
//
// The characters looked for ( " < > ) are below 0x40 and so never the second byte of a
// double-byte character; "@" is, and LocalPart steps over double-byte characters.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

std::string AddressPart(std::string_view from);
std::string NamePart(std::string_view from);
// The text before "@"; the whole address when "@" is missing or first.
std::string LocalPart(std::string_view address);

}  // namespace pelorin
