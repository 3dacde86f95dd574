// RunSend: the replies of REPLIES, then the SENDME lines of COMMANDS (commands.h).
//
// REPLIES lines are taken in order. A reply file holds one or more framed messages (binary
// "b"/"B" framing, or rnews "u"); each goes to the SMTP server (kind "mail") or is POSTed to
// the news server (kind "news"), with Date: and Message-ID: added when it has none (posting
// adds them; a reply file written before it did may lack them). Once the server has accepted
// every message of a file, its line leaves REPLIES - read again and replaced atomically, so
// that a line the reader added meanwhile stays - and then the file is removed. A reply the server refuses stays, with its
// file, for the next run; the others go on. The one window that cannot be closed: a crash
// after the server's acceptance and before REPLIES is replaced sends that one reply again on
// the next run.
//
// SENDME lines (SENDME TAB area TAB number) fetch the full article from the news server that
// carries the group (the first one whose Groups lists it, else the first news server) and
// append it to the area; each done line leaves COMMANDS the same way. Other commands are kept.
#include "transfer/appender.h"
#include "transfer/commands.h"
#include "transfer/errors.h"
#include "transfer/log.h"
#include "transfer/mail_client.h"
#include "transfer/nntp_client.h"

#include "coding/cp932.h"
#include "store/message_origin.h"
#include "store/msgfile.h"
#include "store/packet_files.h"
#include "store/packet_lock.h"
#include "store/replace_file.h"
#include "store/strutil.h"
#include "store/textfile.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <unistd.h>

namespace pelorin::transfer {
namespace {

// Removes the first line equal to `line` from the list file at `path` (Shift_JIS), replacing
// the file atomically; the file is read afresh first.
void DropLine(const std::string& path, const std::string& line) {
    const std::string text = ReadFileBytes(path);
    if (text.empty() && FileSize(path) > 0)
        throw TransferError(Failure::LocalFile, cp932::ToUtf8(path) + ": cannot be read");
    std::string out;
    bool dropped = false;
    for (const std::string& l : SplitTextLines(text)) {
        if (!dropped && l == line) {
            dropped = true;
            continue;
        }
        out += l + "\n";
    }
    if (ReplaceFile(path, out) != ReplaceResult::Ok)
        throw TransferError(Failure::LocalFile, cp932::ToUtf8(path) + ": " + LastWriteError());
}

// The messages of a reply file, by the framing of REPLIES field 3.
std::vector<std::string> ReplyMessages(const std::string& path, char letter) {
    MessageList records;
    ParseContext ctx{SharedPath(path), ""};
    if (letter == 'u')
        ParseRnewsFile(ctx, records, {});
    else
        ParseBinaryFile(ctx, records, {});
    const std::string bytes = ReadFileBytes(path);
    std::vector<std::string> out;
    for (const auto& r : records)
        if (r->offset >= 0 && static_cast<uint64_t>(r->offset) <= bytes.size())
            out.push_back(bytes.substr(static_cast<size_t>(r->offset),
                                       static_cast<size_t>(std::max<int64_t>(r->length, 0))));
    return out;
}

// A message as it goes out: one that lacks Date: or Message-ID: (a reply written before
// posting added them) gets them at the top of its header.
std::string WithOriginFields(std::string text) {
    TSList header;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos)
            nl = text.size();
        std::string line = text.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            break;
        header.push_back(std::move(line));
        pos = nl + 1;
    }
    std::string added;
    for (const std::string& line : MissingOriginFields(header, std::time(nullptr)))
        added += line + "\n";
    return added + text;
}

struct Sender {
    const TransferConfig& config;
    std::unique_ptr<SmtpClient> smtp;
    std::unique_ptr<NntpClient> nntp;
    const NewsServer* nntpServer = nullptr;

    SmtpClient& Smtp() {
        if (!config.hasSmtp)
            throw ConfigError{"a mail reply is waiting, but transfer.INI has no [smtp]"};
        if (!smtp)
            smtp = std::make_unique<SmtpClient>(
                config.smtp,
                config.smtp.user.empty() ? std::string() : ResolvePassword(config.smtp, config));
        return *smtp;
    }
    NntpClient& News(const NewsServer* server) {
        if (!server)
            throw ConfigError{"a news reply is waiting, but transfer.INI has no [news NAME]"};
        if (!nntp || nntpServer != server) {
            nntp.reset();
            nntp = std::make_unique<NntpClient>(
                *server, server->user.empty() ? std::string() : ResolvePassword(*server, config));
            nntpServer = server;
        }
        return *nntp;
    }
};

const NewsServer* ServerFor(const TransferConfig& config, const std::string& group) {
    for (const NewsServer& s : config.news)
        if (std::find(s.groups.begin(), s.groups.end(), group) != s.groups.end())
            return &s;
    return config.news.empty() ? nullptr : &config.news.front();
}

}  // namespace

int RunSend(const TransferConfig& config,
            const std::string& outboundDir,
            const std::string& packetDir) {
    std::string dir = outboundDir.back() == '/' ? outboundDir : outboundDir + "/";
    const std::string sjis = cp932::FromUtf8(dir);
    PacketLock lock(sjis);
    Sender sender{config, nullptr, nullptr, nullptr};
    int worst = 0;
    auto failed = [&](int kind, const std::string& message) {
        Log::Get().Error(message);
        worst = std::max(worst, kind);
    };
    bool mailDown = false;  // a failure that every further mail would meet (login, certificate)
    bool newsDown = false;

    const std::string replies = FindPacketFile(sjis + "REPLIES");
    int sentCount = 0;
    int64_t sentBytes = 0;
    for (const std::string& line : SplitTextLines(ReadFileBytes(replies))) {
        TSList f = SplitTab(line, 2);
        if (Trim(f[0]).empty())
            continue;
        const bool mail = f[1] == "mail";
        if (!mail && f[1] != "news") {
            failed(static_cast<int>(Failure::LocalFile),
                   "REPLIES: " + cp932::ToUtf8(f[0]) + " has the unknown kind " +
                       cp932::ToUtf8(f[1]) + "; it is left waiting");
            continue;
        }
        if ((mail && mailDown) || (!mail && newsDown))
            continue;
        const std::string file = FindPacketFile(sjis + f[0] + ".MSG");
        if (f[0].find('/') != std::string::npos || !PacketFileExists(file)) {
            failed(static_cast<int>(Failure::LocalFile),
                   dir + cp932::ToUtf8(f[0]) + ".MSG: the reply file of REPLIES is missing");
            continue;
        }
        try {
            for (const std::string& message : ReplyMessages(file, f[2].empty() ? 'b' : f[2][0])) {
                const std::string text = WithOriginFields(message);
                if (mail)
                    sender.Smtp().Send(text);
                else
                    sender.News(config.PostServer()).Post(text);
                sentBytes += static_cast<int64_t>(text.size());
            }
            DropLine(replies, line);
            ::unlink(cp932::ToUtf8(file).c_str());
            ++sentCount;
            Log::Get().Progress("sent", sentCount, "replies", sentBytes);
        } catch (const TransferError& e) {
            failed(static_cast<int>(e.kind()), e.what());
            if (e.kind() == Failure::LocalFile)
                return worst;  // REPLIES cannot be kept right: stop before sending more
            // A lost connection is opened again for the next reply.
            if (mail)
                sender.smtp.reset();
            else
                sender.nntp.reset();
            if (e.kind() == Failure::Auth || e.kind() == Failure::Certificate)
                (mail ? mailDown : newsDown) = true;
        } catch (const ConfigError& e) {
            failed(static_cast<int>(Failure::Settings), e.message);
            (mail ? mailDown : newsDown) = true;
        }
    }
    if (sentCount > 0)
        Log::Get().Done("sent", sentCount, "replies", sentBytes);

    // Body requests.
    const std::string commands = FindPacketFile(sjis + "COMMANDS");
    std::unique_ptr<PacketAppender> app;
    int fetched = 0;
    for (const std::string& line : SplitTextLines(ReadFileBytes(commands))) {
        TSList f = SplitTab(line, 2);
        if (f[0] != "SENDME" || newsDown)
            continue;
        if (packetDir.empty()) {
            failed(static_cast<int>(Failure::Settings),
                   "SENDME lines wait, but [General] Packet= names no packet");
            break;
        }
        if (!app)
            app = std::make_unique<PacketAppender>(packetDir);
        try {
            const std::string group = f[1];
            NntpClient& nntp = sender.News(ServerFor(config, group));
            nntp.Group(group);
            const int64_t number = ToInteger64(f[2]);
            std::optional<std::string> text = nntp.Article(number);
            if (text) {
                try {
                    app->Append(group, "uc", {Article{std::move(*text), number}}, false);
                } catch (const AppendError& e) {
                    throw TransferError(Failure::LocalFile, e.message);
                }
                ++fetched;
            } else {
                Log::Get().Error(group + " " + f[2] + ": the article is gone from the server");
            }
            DropLine(commands, line);
        } catch (const TransferError& e) {
            failed(static_cast<int>(e.kind()), e.what());
            sender.nntp.reset();
            if (e.kind() != Failure::Server)
                break;
        } catch (const ConfigError& e) {
            failed(static_cast<int>(Failure::Settings), e.message);
            break;
        }
    }
    if (fetched > 0)
        Log::Get().Done("SENDME", fetched, "articles", 0);
    return worst;
}

}  // namespace pelorin::transfer
