// pelorin-transfer: fetches news and mail into a SOUP packet for the reader, sends the replies
// it leaves behind, and packs and unpacks zip packets. Plain C++ on the core library; the
// network goes through libcurl (POP3, SMTP) and our own NNTP and IMAP clients on OpenSSL.
#include "transfer/commands.h"
#include "transfer/config.h"
#include "transfer/errors.h"
#include "transfer/log.h"
#include "transfer/zip_packet.h"

#include <cctype>
#include <csignal>
#include <cstdio>
#include <curl/curl.h>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace pelorin::transfer;

const char kHelp[] = R"(NAME
    pelorin-transfer - fetch news and mail into a SOUP packet, send its replies

SYNOPSIS
    pelorin-transfer [--verbose] [--quiet] [--config FILE] fetch [PACKET_DIR]
    pelorin-transfer [--verbose] [--quiet] [--config FILE] send [OUTBOUND_DIR]
    pelorin-transfer import FILE.zip PACKET_DIR
    pelorin-transfer export OUTBOUND_DIR FILE.zip

DESCRIPTION
    fetch    For each [news NAME] section, reads its Groups over NNTP (NNTPS, STARTTLS or
             plain) and appends the new articles to the packet, one area per newsgroup ("un";
             "uc" with an index for the groups of Summary=, which keep only the header and the
             first SummaryLines lines). For each [imap NAME] and [pop3 NAME] section, appends
             the new mail to the area of its Area= (letters "bn"). Articles go after the ones
             already there, so the reader's marks stay valid; nothing is fetched twice (a
             message is there already when the area holds the same bytes). A message the
             server refuses, or one larger than MaxMessageSize, is named, left on the server
             and tried again on the next run; the others are fetched, and the run exits 1.
             PACKET_DIR (the directory or its AREAS file) defaults to [General]
             Packet.
    send     Sends each reply listed in REPLIES: mail through [smtp] (submission with
             STARTTLS on 587, or TLS on 465; the envelope from From:, To:, Cc: and Bcc:, groups
             included), news by POST to the news server with Post=Y (else the first); a message
             without Date: or Message-ID: is given them. A reply leaves REPLIES, and its file is
             removed, once the server has accepted it; a refusal names the command the server
             refused with its code and text. Then the SENDME lines of COMMANDS fetch full
             articles into their areas of the packet ([General] Packet). OUTBOUND_DIR defaults
             to [General] Outbound, else the program's own directory.
    import   Unpacks a zip packet into PACKET_DIR, merging its areas as fetch does.
    export   Packs REPLIES, COMMANDS and the reply files of OUTBOUND_DIR into FILE.zip.

OPTIONS
    --verbose    print every protocol line (passwords shown as ****)
    --quiet      no progress and summary lines; errors only
    --config F   settings file (default $PELORIN_HOME/transfer.INI, else
                 ~/.config/pelorin/transfer.INI)
    --help       this text

SETTINGS (transfer.INI)
    [General]
    Packet=/home/me/soup
    Outbound=/home/me/.config/pelorin  ; where the reader leaves REPLIES (its [Files] Outbound)
    ConnectTimeout=30         ; limits for every server (or in a server's section): seconds
    IdleTimeout=120           ; to connect, of silence while an answer is awaited, and for
    MessageTimeout=900        ; one answer or message from its first byte to its last
    MaxMessageSize=256M       ; a larger message stays on the server, is named, is retried

    [news main]
    Host=news.example.org
    Security=tls              ; tls (563), starttls (119) or none
    User=me                   ; optional: AUTHINFO USER/PASS
    PasswordCommand=pass show news
    Groups=fj.comp.misc, fj.test
    Summary=fj.comp.misc      ; fetched as summaries; the reader's body request gets the rest
    SummaryLines=20
    FirstFetch=100            ; articles taken from a group met for the first time
    Post=Y

    [imap work]               ; or [pop3 NAME]
    Host=mail.example.org
    Security=tls              ; tls (993/995), starttls (143/110) or none
    User=me
    PasswordEnv=WORK_MAIL_PASSWORD
    Mailbox=INBOX
    Area=mail
    AfterFetch=keep           ; keep, seen (IMAP) or delete (POP3)

    [smtp]
    Host=mail.example.org
    Security=starttls         ; starttls (587), tls (465) or none
    User=me
    PasswordCommand=secret-tool lookup service smtp

    Every server section also takes Port= and TrustCertificate=FILE, a PEM file that the
    server's certificate is checked against instead of the system's store (the way to accept
    a self-signed server). Password= is accepted only while the file is readable and writable
    by its owner alone (chmod 600).

    Signing in with an access token (Gmail, Microsoft 365), in an [imap], [pop3] or [smtp]
    section: Auth=xoauth2 (or oauthbearer) and TokenCommand=PROGRAM, which prints a current
    access token on its first line (a helper of your own that trades a refresh token for it).
    User= is the account's address. The token is never printed.

FILES
    transfer.INI           the settings
    transfer-state.INI     beside it: the last article of each group, IMAP UIDVALIDITY,
                           last UID and the UIDs to try again (Retry=), and per POP3 mailbox
                           the file of UIDLs already fetched

EXIT STATUS
    0  everything was done
    1  a server failed (connection lost, a timeout, protocol error, message refused or too
       large); what was done is kept, and running again takes up where this run stopped
    2  usage error
    3  settings error (transfer.INI missing or malformed, no password to be had)
    4  a server refused the user name or password
    5  a server's certificate was refused
    6  a local file could not be read or written
    With several failures the highest code is returned.
)";

int Usage(const std::string& message) {
    Log::Get().Error(message + " (see pelorin-transfer --help)");
    return static_cast<int>(Failure::Usage);
}

// A packet is named by its directory or by its AREAS file (any case), as the reader does.
std::string PacketDirectory(const std::string& path) {
    const std::filesystem::path p(path);
    std::string name = p.filename().string();
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::error_code ec;
    if (name == "AREAS" && !std::filesystem::is_directory(p, ec))
        return p.parent_path().empty() ? std::string(".") : p.parent_path().string();
    return path;
}

std::string StateDir(const std::string& configPath) {
    std::string dir = std::filesystem::path(configPath).parent_path().string();
    return dir.empty() ? std::string(".") : dir;
}

int Run(std::vector<std::string> args) {
    std::string configPath;
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--verbose" || args[i] == "-v") {
            Log::Get().verbose = true;
        } else if (args[i] == "--quiet" || args[i] == "-q") {
            Log::Get().quiet = true;
        } else if (args[i] == "--config") {
            if (i + 1 == args.size())
                return Usage("--config needs a file");
            configPath = args[++i];
        } else if (args[i] == "--help" || args[i] == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return Usage("unknown option " + args[i]);
        } else {
            rest.push_back(args[i]);
        }
    }
    if (rest.empty())
        return Usage("no command given");
    const std::string command = rest[0];
    if (command == "import") {
        if (rest.size() != 3)
            return Usage("import needs FILE.zip and PACKET_DIR");
        ImportResult r = ImportZip(rest[1], PacketDirectory(rest[2]),
                                   ReadImportLimits(configPath.empty() ? DefaultConfigPath()
                                                                       : configPath));
        for (const std::string& w : r.warnings) Log::Get().Error(w);
        Log::Get().Note(
            rest[1] + ": " + std::to_string(r.messages) + " messages into " +
            std::to_string(r.areas) + " areas" +
            (r.duplicates ? ", " + std::to_string(r.duplicates) + " already there" : ""));
        return 0;
    }
    if (command == "export") {
        if (rest.size() != 3)
            return Usage("export needs OUTBOUND_DIR and FILE.zip");
        int n = ExportZip(rest[1], rest[2]);
        Log::Get().Note(rest[2] + ": " + std::to_string(n) + " files");
        return 0;
    }
    if (command != "fetch" && command != "send")
        return Usage("unknown command " + command);
    if (rest.size() > 2)
        return Usage(command + " takes at most one directory");
    if (configPath.empty())
        configPath = DefaultConfigPath();
    TransferConfig config = LoadConfig(configPath);
    if (command == "fetch") {
        std::string packet = PacketDirectory(rest.size() > 1 ? rest[1] : config.packetDir);
        if (packet.empty())
            return Usage("fetch needs PACKET_DIR, or Packet= in [General] of " + configPath);
        return RunFetch(config, packet, StateDir(configPath));
    }
    std::string outbound = rest.size() > 1 ? rest[1] : config.outboundDir;
    if (outbound.empty())
        outbound = StateDir(configPath);
    return RunSend(config, outbound,
                   config.packetDir.empty() ? std::string() : PacketDirectory(config.packetDir));
}

}  // namespace

int main(int argc, char** argv) {
    // A server that closes the connection must be an error we report, not a SIGPIPE that ends
    // the program between two replies (OpenSSL writes to its socket with plain write()).
    std::signal(SIGPIPE, SIG_IGN);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    int code = 0;
    try {
        code = Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const ConfigError& e) {
        Log::Get().Error(e.message);
        code = static_cast<int>(Failure::Settings);
    } catch (const TransferError& e) {
        Log::Get().Error(e.what());
        code = static_cast<int>(e.kind());
    } catch (const std::exception& e) {
        Log::Get().Error(e.what());
        code = static_cast<int>(Failure::LocalFile);
    }
    curl_global_cleanup();
    return code;
}
