// RunFetch: every news server's groups and every mailbox into the packet (commands.h).
//
// Messages are gathered in batches (50 messages or 8 MiB) and appended; the fetch state
// moves on only after a batch is in the packet, so an interruption at any point costs at
// most a refetch of one batch, which the appender's Message-ID check then skips. When a
// server fails halfway, the batch fetched so far is appended before the error is reported.
#include "transfer/appender.h"
#include "transfer/commands.h"
#include "transfer/errors.h"
#include "transfer/fetch_state.h"
#include "transfer/log.h"
#include "transfer/mail_client.h"
#include "transfer/nntp_client.h"

#include "coding/cp932.h"

#include <algorithm>
#include <functional>

namespace pelorin::transfer {
namespace {

constexpr size_t kBatchMessages = 50;
constexpr int64_t kBatchBytes = 8 << 20;

// Collects messages of one area and appends them a batch at a time; `committed` runs after
// each batch is in the packet, with the batch's last message.
class Batch {
public:
    Batch(PacketAppender& app,
          std::string area,
          std::string encoding,
          std::string item,
          std::function<void(const Article&)> committed)
        : app_(app)
        , area_(std::move(area))
        , encoding_(std::move(encoding))
        , item_(std::move(item))
        , committed_(std::move(committed)) {}

    void Add(Article a) {
        bytes_ += static_cast<int64_t>(a.text.size());
        pending_ += static_cast<int64_t>(a.text.size());
        articles_.push_back(std::move(a));
        ++count_;
        Log::Get().Progress(item_, count_, "messages", bytes_);
        if (articles_.size() >= kBatchMessages || pending_ >= kBatchBytes)
            Flush();
    }
    void Flush() {
        if (articles_.empty())
            return;
        try {
            AppendResult r = app_.Append(area_, encoding_, articles_);
            duplicates_ += r.duplicates;
        } catch (const AppendError& e) {
            throw TransferError(Failure::LocalFile, e.message);
        }
        committed_(articles_.back());
        articles_.clear();
        pending_ = 0;
    }
    void Done() {
        Flush();
        Log::Get().Done(item_, count_ - duplicates_, "messages", bytes_);
    }

private:
    PacketAppender& app_;
    std::string area_;
    std::string encoding_;
    std::string item_;
    std::function<void(const Article&)> committed_;
    std::vector<Article> articles_;
    int64_t count_ = 0;
    int64_t bytes_ = 0;
    int64_t pending_ = 0;
    int duplicates_ = 0;
};

// Runs `body`; on a failure appends what `batch` holds, then passes the failure on.
template <typename F>
void Guarded(Batch& batch, F body) {
    try {
        body();
    } catch (const TransferError&) {
        try {
            batch.Flush();
        } catch (const TransferError& e) {
            Log::Get().Error(e.what());
        }
        throw;
    }
    batch.Done();
}

std::string PasswordOf(const ServerConfig& s, const TransferConfig& config) {
    return s.user.empty() ? std::string() : ResolvePassword(s, config);
}

void FetchGroup(NntpClient& nntp,
                const NewsServer& server,
                const std::string& group,
                PacketAppender& app,
                FetchState& state) {
    const std::string section = "news " + server.name + " " + group;
    GroupReply g = nntp.Group(group);
    const int64_t last = state.Get(section, "Last");
    // Never fetched, renumbered since, or a number that no run wrote: the newest articles.
    int64_t from = last <= 0 || last > g.high ? g.high - server.firstFetch + 1 : last + 1;
    from = std::max<int64_t>(from, g.low);
    const bool summary = server.IsSummary(group);
    Batch batch(app, group, summary ? "uc" : "un", group,
                [&](const Article& a) { state.Set(section, "Last", a.number); });
    Guarded(batch, [&] {
        if (g.count == 0 || from > g.high || g.high == 0)
            return;
        auto fetch = [&](int64_t n) {
            std::optional<std::string> text =
                summary ? nntp.Summary(n, server.summaryLines) : nntp.Article(n);
            if (text)
                batch.Add(Article{std::move(*text), n});
        };
        bool supported = true;
        std::vector<OverviewLine> over = nntp.Over(from, g.high, &supported);
        if (supported) {
            // Articles the area holds already (an earlier run cut short) are not fetched.
            std::unordered_set<std::string> known = app.KnownIds(group);
            for (const OverviewLine& o : over)
                if (o.messageId.empty() || !known.count(o.messageId))
                    fetch(o.number);
        } else {
            // The range comes from the server: walked, never held as a list.
            for (int64_t n = from; n <= g.high; ++n) fetch(n);
        }
        batch.Flush();
        // Numbers up to the high mark are done, even where the last ones had gone.
        state.Set(section, "Last", g.high);
    });
}

void FetchNews(const NewsServer& server,
               const TransferConfig& config,
               PacketAppender& app,
               FetchState& state) {
    NntpClient nntp(server, PasswordOf(server, config));
    for (const std::string& group : server.groups) FetchGroup(nntp, server, group, app, state);
    nntp.Quit();
}

void FetchImap(const MailServer& server,
               const TransferConfig& config,
               PacketAppender& app,
               FetchState& state) {
    ImapClient imap(server, PasswordOf(server, config));
    const std::string& section = server.section;
    const int64_t validity = imap.UidValidity();
    int64_t last = state.Get(section, "LastUID");
    // UIDs are 32-bit: any other value was not written by a run and starts afresh.
    if (state.Get(section, "UIDValidity") != validity || last < 0 || last > 0xFFFFFFFF)
        last = 0;
    Batch batch(app, cp932::FromUtf8(server.area), "bn", server.section, [&](const Article& a) {
        state.Set(section, "UIDValidity", validity);
        state.Set(section, "LastUID", a.number);
    });
    // Fetching a message flags it \Seen on the server. With AfterFetch=keep the flag is taken
    // off again at once; the UID waiting for that is noted first ("Unsee"), so that a
    // connection lost in between is made good by the next run instead of leaving the mail
    // looking read.
    if (const int64_t pending = state.Get(section, "Unsee"); pending > 0) {
        if (!server.markSeen && state.Get(section, "UIDValidity") == validity)
            imap.Unsee(pending);
        state.Set(section, "Unsee", 0);
    }
    Guarded(batch, [&] {
        std::vector<int64_t> uids = imap.UidsAfter(last);
        std::set<int64_t> seen;
        if (!server.markSeen)
            seen = imap.SeenOf(uids);
        for (int64_t uid : uids) {
            const bool unsee = !server.markSeen && !seen.count(uid);
            if (unsee)
                state.Set(section, "Unsee", uid);
            std::string text = imap.Fetch(uid);
            if (unsee) {
                imap.Unsee(uid);
                state.Set(section, "Unsee", 0);
            }
            batch.Add(Article{std::move(text), uid});
        }
    });
}

void FetchPop3(const MailServer& server,
               const TransferConfig& config,
               PacketAppender& app,
               FetchState& state) {
    Pop3Client pop(server, PasswordOf(server, config));
    std::vector<Pop3Entry> list = pop.List();
    std::set<std::string> known = state.Uidls(server.section);
    std::set<std::string> listed;
    for (const Pop3Entry& e : list) listed.insert(e.uidl);
    // UIDLs the server no longer has are forgotten, so the file does not grow forever.
    std::set<std::string> kept;
    for (const std::string& u : known)
        if (listed.count(u))
            kept.insert(u);
    std::vector<std::string> batchUidls;
    Batch batch(app, cp932::FromUtf8(server.area), "bn", server.section, [&](const Article&) {
        for (std::string& u : batchUidls) kept.insert(std::move(u));
        batchUidls.clear();
        state.SetUidls(server.section, kept);
    });
    Guarded(batch, [&] {
        for (const Pop3Entry& e : list) {
            if (kept.count(e.uidl))
                continue;
            std::string text = pop.Retrieve(e.number);
            batchUidls.push_back(e.uidl);
            batch.Add(Article{std::move(text), e.number});
        }
    });
    if (server.deleteAfter) {
        for (const Pop3Entry& e : list)
            if (kept.count(e.uidl))
                pop.Delete(e.number);
    }
    // The deletions take effect when the session ends (the client's QUIT on destruction).
}

}  // namespace

int RunFetch(const TransferConfig& config,
             const std::string& packetDir,
             const std::string& stateDir) {
    if (config.news.empty() && config.mail.empty())
        throw ConfigError{config.path +
                          " names no server: add a [news NAME], [imap NAME] or "
                          "[pop3 NAME] section"};
    PacketAppender app(packetDir);
    FetchState state(stateDir);
    int worst = 0;
    auto attempt = [&](const std::string& what, const std::function<void()>& run) {
        try {
            run();
        } catch (const TransferError& e) {
            Log::Get().Error(e.what());
            worst = std::max(worst, static_cast<int>(e.kind()));
        } catch (const ConfigError& e) {
            Log::Get().Error(e.message);
            worst = std::max(worst, static_cast<int>(Failure::Settings));
        }
        (void)what;
    };
    for (const NewsServer& s : config.news)
        attempt(s.section, [&] { FetchNews(s, config, app, state); });
    for (const MailServer& s : config.mail)
        attempt(s.section, [&] {
            if (s.protocol == MailProtocol::Imap)
                FetchImap(s, config, app, state);
            else
                FetchPop3(s, config, app, state);
        });
    return worst;
}

}  // namespace pelorin::transfer
