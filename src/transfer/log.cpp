// Log: see log.h.
#include "transfer/log.h"

#include "store/strutil.h"

#include <cstdio>
#include <unistd.h>

namespace pelorin::transfer {

Log& Log::Get() {
    static Log log;
    return log;
}

Log::Log()
    : tty_(::isatty(STDERR_FILENO) == 1) {}

std::string MaskCredentials(std::string_view line) {
    std::string upper = SjisUpper(line.substr(0, 32));
    // Commands whose last argument (or whole payload) is a secret.
    for (std::string_view prefix : {"AUTHINFO PASS ", "PASS ", "AUTH PLAIN ", "AUTH LOGIN "}) {
        if (upper.compare(0, prefix.size(), prefix) == 0)
            return std::string(line.substr(0, prefix.size())) + "****";
    }
    // IMAP: "tag LOGIN user password".
    if (size_t sp = upper.find(' ');
        sp != std::string::npos && upper.compare(sp + 1, 6, "LOGIN ") == 0) {
        return std::string(line.substr(0, sp + 7)) + "****";
    }
    return std::string(line);
}

std::string HumanBytes(int64_t bytes) {
    char buf[32];
    if (bytes < 1024)
        std::snprintf(buf, sizeof buf, "%lld bytes", static_cast<long long>(bytes));
    else if (bytes < int64_t{1024} * 1024)
        std::snprintf(buf, sizeof buf, "%lld KiB", static_cast<long long>(bytes / 1024));
    else
        std::snprintf(buf, sizeof buf, "%.1f MiB", static_cast<double>(bytes) / 1048576.0);
    return buf;
}

void Log::ClearProgress() {
    if (progressShown_) {
        std::fputs("\r\033[K", stderr);
        progressShown_ = false;
    }
}

void Log::Trace(bool sent, std::string_view line) {
    if (!verbose)
        return;
    ClearProgress();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    std::string shown = sent ? MaskCredentials(line) : std::string(line);
    std::fprintf(stderr, "%s %s\n", sent ? ">" : "<", shown.c_str());
}

void Log::Progress(std::string_view item, int64_t count, std::string_view unit, int64_t bytes) {
    if (!tty_ || quiet || verbose)
        return;
    std::fprintf(stderr, "\r\033[K%.*s: %lld %.*s, %s", static_cast<int>(item.size()), item.data(),
                 static_cast<long long>(count), static_cast<int>(unit.size()), unit.data(),
                 HumanBytes(bytes).c_str());
    progressShown_ = true;
}

void Log::Done(std::string_view item, int64_t count, std::string_view unit, int64_t bytes) {
    ClearProgress();
    // The summary goes to a terminal and a log file alike: a run from cron or a script says
    // what it brought (--quiet keeps it silent).
    if (quiet)
        return;
    std::fprintf(stderr, "%.*s: %lld %.*s, %s\n", static_cast<int>(item.size()), item.data(),
                 static_cast<long long>(count), static_cast<int>(unit.size()), unit.data(),
                 HumanBytes(bytes).c_str());
}

void Log::Error(std::string_view message) {
    ClearProgress();
    std::fprintf(stderr, "pelorin-transfer: %.*s\n", static_cast<int>(message.size()),
                 message.data());
}

void Log::Note(std::string_view message) {
    ClearProgress();
    if (!quiet)
        std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
}

}  // namespace pelorin::transfer
