// Reading transfer.INI: see config.h for the keys.
#include "transfer/config.h"

#include "store/inifile.h"
#include "store/strutil.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pelorin::transfer {
namespace {

std::vector<std::string> SplitList(std::string_view text) {
    // Groups may be separated by commas, blanks or both.
    std::vector<std::string> out;
    std::string cur;
    for (char c : text) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!cur.empty())
                out.push_back(std::move(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        out.push_back(std::move(cur));
    return out;
}

// A value without the blanks around it and without a comment after it: a ";" that follows a
// blank or TAB starts one ("Security=tls   ; NNTPS"). PasswordCommand is read whole instead,
// since a shell command may hold " ;".
std::string Read(TIniF& ini, const std::string& section, std::string_view key) {
    std::string value = ini.ReadString(section, key, "");
    for (size_t i = 1; i < value.size(); ++i) {
        if (value[i] == ';' && (value[i - 1] == ' ' || value[i - 1] == '\t')) {
            value.resize(i);
            break;
        }
    }
    return std::string(Trim(value));
}

int ReadNumber(
    TIniF& ini, const std::string& section, std::string_view key, int def, int lo, int hi) {
    std::string text = Read(ini, section, key);
    if (text.empty())
        return def;
    int32_t value = 0;
    if (!ParseInt32(text, value) || value < lo || value > hi)
        throw ConfigError{"[" + section + "] " + std::string(key) + "=" + text +
                          ": not a number from " + std::to_string(lo) + " to " +
                          std::to_string(hi)};
    return value;
}

// A byte count with an optional K, M or G (binary multiples): "256M".
int64_t ReadSize(TIniF& ini, const std::string& section, std::string_view key, int64_t def) {
    std::string text = Read(ini, section, key);
    if (text.empty())
        return def;
    int shift = 0;
    switch (text.back()) {
        case 'k':
        case 'K':
            shift = 10;
            break;
        case 'm':
        case 'M':
            shift = 20;
            break;
        case 'g':
        case 'G':
            shift = 30;
            break;
        default:
            break;
    }
    std::string digits = shift ? text.substr(0, text.size() - 1) : text;
    int64_t value = 0;
    bool ok = !digits.empty() && digits.size() <= 12;
    for (char c : digits) {
        if (c < '0' || c > '9')
            ok = false;
        else
            value = value * 10 + (c - '0');
    }
    value <<= shift;
    if (!ok || value < 1024 || value > (int64_t{4} << 30))
        throw ConfigError{"[" + section + "] " + std::string(key) + "=" + text +
                          ": not a size from 1K to 4G (a number of bytes, or with K, M or G)"};
    return value;
}

bool ReadFlag(TIniF& ini, const std::string& section, std::string_view key, bool def) {
    std::string text = SjisUpper(Read(ini, section, key));
    if (text.empty())
        return def;
    return text == "Y" || text == "YES" || text == "1" || text == "TRUE";
}

void ReadServer(TIniF& ini,
                const std::string& section,
                std::string_view kind,
                ServerConfig& s,
                int tlsPort,
                int plainPort,
                Security defaultSecurity) {
    s.section = section;
    s.name = std::string(Trim(std::string_view(section).substr(kind.size())));
    s.host = Read(ini, section, "Host");
    if (s.host.empty())
        throw ConfigError{"[" + section + "] has no Host="};
    std::string sec = SjisLower(Read(ini, section, "Security"));
    if (sec.empty())
        s.security = defaultSecurity;
    else if (sec == "tls" || sec == "ssl")
        s.security = Security::Tls;
    else if (sec == "starttls")
        s.security = Security::StartTls;
    else if (sec == "none" || sec == "plain")
        s.security = Security::None;
    else
        throw ConfigError{"[" + section + "] Security=" + sec + ": use tls, starttls or none"};
    s.port = ReadNumber(ini, section, "Port", s.security == Security::Tls ? tlsPort : plainPort, 1,
                        65535);
    s.user = Read(ini, section, "User");
    s.passwordCommand = std::string(Trim(ini.ReadString(section, "PasswordCommand", "")));
    s.passwordEnv = Read(ini, section, "PasswordEnv");
    // The password itself is taken as written (it may begin or end with blanks).
    s.password = ini.ReadString(section, "Password", "");
    s.trustCertificate = Read(ini, section, "TrustCertificate");
    // A missing file is a mistake in the settings, not a certificate the server got wrong.
    if (!s.trustCertificate.empty() && ::access(s.trustCertificate.c_str(), R_OK) != 0)
        throw ConfigError{"[" + section + "] TrustCertificate=" + s.trustCertificate + ": " +
                          std::strerror(errno)};
    const std::string auth = SjisLower(Read(ini, section, "Auth"));
    if (auth == "xoauth2")
        s.auth = AuthMethod::XOAuth2;
    else if (auth == "oauthbearer")
        s.auth = AuthMethod::OAuthBearer;
    else if (!auth.empty() && auth != "password")
        throw ConfigError{"[" + section + "] Auth=" + auth +
                          ": use password, xoauth2 or oauthbearer"};
    s.tokenCommand = std::string(Trim(ini.ReadString(section, "TokenCommand", "")));
    if (s.auth != AuthMethod::Password) {
        if (s.user.empty())
            throw ConfigError{"[" + section + "] Auth=" + auth +
                              " needs User= (the account's address)"};
        if (s.tokenCommand.empty())
            throw ConfigError{"[" + section + "] Auth=" + auth +
                              " needs TokenCommand= (a program that prints the access token)"};
    }
    // A limit set in the section wins over one in [General].
    auto limit = [&](std::string_view key, int def) {
        def = ReadNumber(ini, "General", key, def, 1, 86400);
        return ReadNumber(ini, section, key, def, 1, 86400);
    };
    s.connectTimeout = limit("ConnectTimeout", 30);
    s.idleTimeout = limit("IdleTimeout", 120);
    s.messageTimeout = limit("MessageTimeout", 900);
    s.maxMessageSize = ReadSize(ini, section, "MaxMessageSize",
                                ReadSize(ini, "General", "MaxMessageSize", int64_t{256} << 20));
}

bool StartsWithWord(std::string_view text, std::string_view word) {
    return text.size() > word.size() && EqualNoCase(text.substr(0, word.size()), word) &&
           (text[word.size()] == ' ' || text[word.size()] == '\t');
}

}  // namespace

bool NewsServer::IsSummary(std::string_view group) const {
    for (const std::string& g : summaryGroups)
        if (g == group)
            return true;
    return false;
}

const NewsServer* TransferConfig::PostServer() const {
    for (const NewsServer& s : news)
        if (s.post)
            return &s;
    return news.empty() ? nullptr : &news.front();
}

std::string DefaultConfigPath() {
    std::string dir;
    if (const char* home = std::getenv("PELORIN_HOME"); home && *home)
        dir = home;
    else if (const char* user = std::getenv("HOME"); user && *user)
        dir = std::string(user) + "/.config/pelorin";
    else
        dir = ".";
    return dir + "/transfer.INI";
}

TransferConfig LoadConfig(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw ConfigError{path + ": " + std::strerror(errno) +
                          " (see `pelorin-transfer --help` for an example)"};
    TransferConfig config;
    config.path = path;
    config.fileIsPrivate = (st.st_mode & 077) == 0;
    // TIniF takes Shift_JIS paths; an ASCII or UTF-8 path is passed through the one codec.
    TIniF ini(path);
    config.packetDir = Read(ini, "General", "Packet");
    config.outboundDir = Read(ini, "General", "Outbound");
    for (const std::string& section : ini.ReadSections()) {
        if (StartsWithWord(section, "news")) {
            NewsServer s;
            ReadServer(ini, section, "news", s, 563, 119, Security::Tls);
            if (s.auth != AuthMethod::Password)
                throw ConfigError{"[" + section + "] Auth=" + SjisLower(to_string(s.auth)) +
                                  ": a news server signs in with a password (AUTHINFO)"};
            s.groups = SplitList(Read(ini, section, "Groups"));
            s.summaryGroups = SplitList(Read(ini, section, "Summary"));
            s.summaryLines = ReadNumber(ini, section, "SummaryLines", 20, 0, 100000);
            s.firstFetch = ReadNumber(ini, section, "FirstFetch", 100, 0, 100000000);
            s.post = ReadFlag(ini, section, "Post", false);
            config.news.push_back(std::move(s));
        } else if (StartsWithWord(section, "imap") || StartsWithWord(section, "pop3")) {
            MailServer s;
            const bool imap = StartsWithWord(section, "imap");
            s.protocol = imap ? MailProtocol::Imap : MailProtocol::Pop3;
            ReadServer(ini, section, imap ? "imap" : "pop3", s, imap ? 993 : 995, imap ? 143 : 110,
                       Security::Tls);
            if (std::string box = Read(ini, section, "Mailbox"); !box.empty())
                s.mailbox = box;
            if (std::string area = Read(ini, section, "Area"); !area.empty())
                s.area = area;
            std::string after = SjisLower(Read(ini, section, "AfterFetch"));
            if (after == "seen" && imap)
                s.markSeen = true;
            else if (after == "delete" && !imap)
                s.deleteAfter = true;
            else if (!after.empty() && after != "keep")
                throw ConfigError{"[" + section + "] AfterFetch=" + after + ": use keep or " +
                                  (imap ? "seen" : "delete")};
            config.mail.push_back(std::move(s));
        } else if (EqualNoCase(section, "smtp")) {
            ReadServer(ini, section, "smtp", config.smtp, 465, 587, Security::StartTls);
            config.hasSmtp = true;
        }
    }
    return config;
}

namespace {

// The first line a shell command prints; `key` names it in errors ("PasswordCommand").
std::string FirstLineOf(const std::string& command,
                        const std::string& where,
                        const char* key,
                        const char* what) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        throw ConfigError{where + " " + key + " could not be started"};
    std::string out;
    char buf[256];
    size_t n = 0;
    // A secret is a line; a command that prints without end is not read past 64 KiB.
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        if (out.size() < (64 << 10))
            out.append(buf, n);
    const int status = ::pclose(pipe);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw ConfigError{where + " " + key + " failed (exit status " +
                          std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")"};
    // The first line is the secret (pass(1) puts other data on later lines).
    if (size_t nl = out.find_first_of("\r\n"); nl != std::string::npos)
        out.resize(nl);
    if (out.empty())
        throw ConfigError{where + " " + key + " printed no " + what};
    return out;
}

}  // namespace

std::string ResolvePassword(const ServerConfig& server, const TransferConfig& config) {
    const std::string where = "[" + server.section + "]";
    if (server.auth != AuthMethod::Password)
        return FirstLineOf(server.tokenCommand, where, "TokenCommand", "access token");
    if (!server.passwordCommand.empty())
        return FirstLineOf(server.passwordCommand, where, "PasswordCommand", "password");
    if (!server.passwordEnv.empty()) {
        const char* value = std::getenv(server.passwordEnv.c_str());
        if (!value || !*value)
            throw ConfigError{where + " PasswordEnv: the variable " + server.passwordEnv +
                              " is not set"};
        return value;
    }
    if (!server.password.empty()) {
        if (!config.fileIsPrivate)
            throw ConfigError{where + " Password= is refused: " + config.path +
                              " can be read by others; run `chmod 600 " + config.path +
                              "`, or use PasswordCommand= or PasswordEnv="};
        return server.password;
    }
    throw ConfigError{where + " User=" + server.user +
                      " needs PasswordCommand=, PasswordEnv= or Password="};
}

std::string ServerConfig::Where() const {
    return "[" + section + "] " + host + ":" + std::to_string(port);
}

const char* to_string(Security security) {
    switch (security) {
        case Security::Tls:
            return "TLS";
        case Security::StartTls:
            return "STARTTLS";
        case Security::None:
            break;
    }
    return "plain";
}

const char* to_string(AuthMethod auth) {
    switch (auth) {
        case AuthMethod::XOAuth2:
            return "XOAUTH2";
        case AuthMethod::OAuthBearer:
            return "OAUTHBEARER";
        case AuthMethod::Password:
            break;
    }
    return "password";
}

}  // namespace pelorin::transfer
