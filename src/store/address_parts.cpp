// Address, name and local parts of From texts (rules in address_parts.h).
#include "store/address_parts.h"

#include "store/strutil.h"

namespace pelorin {

std::string AddressPart(std::string_view from) {
    std::string s(from);
    if (size_t q1 = s.find('"'); q1 != std::string::npos) {
        std::string kept = s.substr(0, q1);
        std::string rest = s.substr(q1 + 1);
        if (size_t q2 = rest.find('"'); q2 != std::string::npos)
            rest.erase(0, q2 + 1);
        s = kept + rest;
    }
    size_t paren = s.find('(');
    size_t angle = s.find('<');
    size_t quote = s.find('"');
    if (paren != std::string::npos && paren >= 3) {
        s.resize(paren);
    } else if (angle != std::string::npos) {
        size_t close = s.find('>', angle + 1);
        s = s.substr(angle + 1, close == std::string::npos ? std::string::npos : close - angle - 1);
    } else if (quote != std::string::npos && quote >= 3) {
        s.resize(quote);
    }
    return s.empty() ? std::string(from) : s;
}

std::string NamePart(std::string_view from) {
    const size_t none = from.size();
    auto at = [&](char c) {
        size_t p = from.find(c);
        return p == std::string_view::npos ? none : p;
    };
    const size_t paren = at('(');
    const size_t quote = at('"');
    const size_t angle = at('<');
    auto between = [&](size_t open, char close) {
        std::string_view rest = from.substr(open + 1);
        size_t end = rest.find(close);
        return std::string(end == std::string_view::npos ? rest : rest.substr(0, end));
    };
    if (paren < quote && paren < angle)
        return between(paren, ')');
    if (quote < paren && quote < angle)
        return between(quote, '"');
    if (angle < paren && angle < quote)
        return std::string(from.substr(0, angle));
    return "";
}

std::string LocalPart(std::string_view address) {
    size_t at = FindSjisChar(address, '@');
    if (at == std::string_view::npos || at == 0)
        return std::string(address);
    return std::string(address.substr(0, at));
}

}  // namespace pelorin
