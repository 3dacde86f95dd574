// Date: and Message-ID: for posted messages (see message_origin.h).
#include "store/message_origin.h"

#include "store/address_list.h"

#include <cstdio>
#include <random>
#include <unistd.h>

namespace pelorin {
namespace {

bool IsAtext(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}

bool IsDotAtom(std::string_view s) {
    if (s.empty() || s.front() == '.' || s.back() == '.' || s.size() > 253)
        return false;
    char last = 0;
    for (char c : s) {
        if (c == '.' ? last == '.' : !IsAtext(c))
            return false;
        last = c;
    }
    return true;
}

// The value of the field `name` in header lines (continuations joined), or empty.
std::string FieldValue(const TSList& header, std::string_view name) {
    std::string value;
    bool in = false;
    for (const std::string& line : header) {
        if (in && !line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            value += line;
            continue;
        }
        if (in)
            break;
        in = line.size() > name.size() && line[name.size()] == ':' &&
             EqualNoCase(std::string_view(line).substr(0, name.size()), name);
        if (in)
            value = line.substr(name.size() + 1);
    }
    return value;
}

bool HasField(const TSList& header, std::string_view name) {
    for (const std::string& line : header) {
        if (line.size() > name.size() && line[name.size()] == ':' &&
            EqualNoCase(std::string_view(line).substr(0, name.size()), name))
            return true;
    }
    return false;
}

}  // namespace

std::string MessageDate(std::time_t when) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    localtime_r(&when, &tm);
    const long offset = tm.tm_gmtoff / 60;  // minutes east of UTC
    const long zone = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  kDays[tm.tm_wday % 7], tm.tm_mday, kMonths[tm.tm_mon % 12], tm.tm_year + 1900,
                  tm.tm_hour, tm.tm_min, tm.tm_sec, offset < 0 ? '-' : '+', zone / 60, zone % 60);
    return text;
}

std::string NewMessageId(std::string_view domain, std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    static std::mt19937 random{std::random_device{}()};
    char text[64];
    std::snprintf(text, sizeof text, "<%04d%02d%02d%02d%02d%02d.%ld.%08x@", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<long>(::getpid()), static_cast<unsigned>(random()));
    return text + std::string(domain) + ">";
}

std::string MessageIdDomain(std::string_view from) {
    for (const Mailbox& m : ParseAddressList(from).mailboxes) {
        if (!m.HasDomain())
            continue;
        const std::string domain = m.address.substr(m.address.rfind('@') + 1);
        if (IsDotAtom(domain))
            return domain;
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0 && IsDotAtom(host))
        return host;
    return "localhost";
}

TSList MissingOriginFields(const TSList& header, std::time_t when) {
    TSList out;
    if (!HasField(header, "Date"))
        out.push_back("Date: " + MessageDate(when));
    if (!HasField(header, "Message-ID"))
        out.push_back("Message-ID: " +
                      NewMessageId(MessageIdDomain(FieldValue(header, "From")), when));
    return out;
}

}  // namespace pelorin
