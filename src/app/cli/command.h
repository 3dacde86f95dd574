// The command table of pelorin-cli. Each file of this folder registers its commands with a
// static CliCommand object, so a new command is a new file and main.cpp never changes.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin::cli {

// Options every command may look at; they are removed from the arguments before dispatch.
struct Options {
    bool utf8 = false;  // --utf8: print text through the CP932 codec as UTF-8
    bool raw = false;   // --raw: print Shift_JIS bytes as they are
};

// A command gets its own arguments (without the command name) and returns the exit status.
// Usage errors are reported by throwing UsageError.
using Handler = std::function<int(const std::vector<std::string>& args, const Options& opts)>;

struct UsageError {
    std::string message;
};

class CliCommand {
public:
    CliCommand(std::string name, std::string usage, std::string summary, Handler handler);

    const std::string name;
    const std::string usage;    // arguments, e.g. "TEMPLATE FILE"
    const std::string summary;  // one line for the help text
    const Handler handler;
};

const std::vector<const CliCommand*>& Commands();

// Takes "NAME VALUE" out of the arguments and returns VALUE; `def` when NAME is absent.
std::string TakeOption(std::vector<std::string>& args, std::string_view name, std::string def = {});

// Hands `take` standard input in blocks of up to 1 MiB, in order.
void ReadStdinBlocks(const std::function<void(std::string_view)>& take);
// All of standard input, read in such blocks.
std::string ReadStdin();

// Writes Shift_JIS text to standard output: as UTF-8 when `utf8`, else as bytes.
void Print(std::string_view sjis, bool utf8);
// Prints text that is UTF-8 already (a part read through Unicode), as it stands.
void PrintUtf8(std::string_view utf8);

}  // namespace pelorin::cli
