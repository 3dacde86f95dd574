// pelorin-cli: the command-line companion. Runs the core library's conversions and packet
// operations without a window, for scripts, tests and trying things out.
#include "command.h"

#include "coding/cp932.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace pelorin::cli {
namespace {

std::vector<const CliCommand*>& Registry() {
    static std::vector<const CliCommand*> commands;
    return commands;
}

void PrintHelp(std::ostream& out) {
    out << "usage: pelorin-cli COMMAND [ARGS] [--utf8|--raw]\n\ncommands:\n";
    for (const CliCommand* c : Registry())
        out << "  " << c->name << (c->usage.empty() ? "" : " ") << c->usage << "\n      "
            << c->summary << "\n";
}

}  // namespace

CliCommand::CliCommand(std::string n, std::string u, std::string s, Handler h)
    : name(std::move(n))
    , usage(std::move(u))
    , summary(std::move(s))
    , handler(std::move(h)) {
    Registry().push_back(this);
}

const std::vector<const CliCommand*>& Commands() {
    return Registry();
}

std::string TakeOption(std::vector<std::string>& args, std::string_view name, std::string def) {
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == name) {
            std::string value = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i),
                       args.begin() + static_cast<long>(i) + 2);
            return value;
        }
    }
    return def;
}

void ReadStdinBlocks(const std::function<void(std::string_view)>& take) {
    std::vector<char> block(1 << 20);
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        take(std::string_view(block.data(), static_cast<size_t>(n)));
    }
}

std::string ReadStdin() {
    std::string all;
    ReadStdinBlocks([&all](std::string_view block) { all.append(block); });
    return all;
}

void Print(std::string_view sjis, bool utf8) {
    if (utf8) {
        std::string text = cp932::ToUtf8(sjis);
        std::fwrite(text.data(), 1, text.size(), stdout);
    } else {
        std::fwrite(sjis.data(), 1, sjis.size(), stdout);
    }
}

void PrintUtf8(std::string_view utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

}  // namespace pelorin::cli

int main(int argc, char** argv) {
    using namespace pelorin::cli;
    std::vector<std::string> args;
    Options opts;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--utf8")
            opts.utf8 = true;
        else if (a == "--raw")
            opts.raw = true;
        else if (a == "-h" || a == "--help")
            return PrintHelp(std::cout), 0;
        else
            args.push_back(a);
    }
    if (args.empty()) {
        std::cerr << "pelorin-cli: no command given\n";
        PrintHelp(std::cerr);
        return 2;
    }
    for (const CliCommand* c : Commands()) {
        if (c->name != args[0])
            continue;
        std::vector<std::string> rest(args.begin() + 1, args.end());
        try {
            return c->handler(rest, opts);
        } catch (const UsageError& e) {
            std::cerr << "pelorin-cli " << c->name << ": " << e.message << "\nusage: pelorin-cli "
                      << c->name << " " << c->usage << "\n";
            return 2;
        } catch (const std::exception& e) {
            std::cerr << "pelorin-cli " << c->name << ": " << e.what() << "\n";
            return 1;
        }
    }
    std::cerr << "pelorin-cli: unknown command \"" << args[0] << "\"\n";
    PrintHelp(std::cerr);
    return 2;
}
