// What pelorin-transfer tells its user while it works, on standard error:
//  - one progress line per server, group and mailbox ("fj.test: 12 messages, 34 KiB"),
//    redrawn in place while it counts (only on a terminal) and left standing when the item is
//    done - that summary line is written whatever standard error is (a terminal, a file, a
//    pipe), so a run from cron or a script says what it fetched; --quiet leaves errors only;
//  - with --verbose, every protocol line sent and received ("> GROUP fj.test", "< 211 ...").
//    Credentials never reach a trace: AUTHINFO PASS, AUTH PLAIN/LOGIN payloads, LOGIN and PASS
//    arguments are shown as "****".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelorin::transfer {

class Log {
public:
    static Log& Get();

    bool verbose = false;
    bool quiet = false;

    // A protocol line; `sent` for ours. Masked (see above) before it is shown.
    void Trace(bool sent, std::string_view line);
    // The running count of an item (terminal only).
    void Progress(std::string_view item, int64_t count, std::string_view unit, int64_t bytes);
    // The final line of an item (always, unless quiet).
    void Done(std::string_view item, int64_t count, std::string_view unit, int64_t bytes);
    // A warning or error line ("pelorin-transfer: ...").
    void Error(std::string_view message);
    void Note(std::string_view message);

private:
    bool tty_ = false;
    bool progressShown_ = false;
    void ClearProgress();
    Log();
};

// A protocol line with its credentials replaced by "****".
std::string MaskCredentials(std::string_view line);

// "12 KiB", "3.4 MiB".
std::string HumanBytes(int64_t bytes);

}  // namespace pelorin::transfer
