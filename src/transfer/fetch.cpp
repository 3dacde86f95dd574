// RunFetch: every news server's groups and every mailbox into the packet (commands.h).
//
// Messages are gathered in batches (500 messages or 16 MiB) and appended; the fetch state
// moves on only after a batch is in the packet and flushed, so an interruption at any point
// costs at most a refetch of one batch, which the appender then recognises and skips. When a
// server fails halfway, the batch fetched so far is appended before the error is reported.
//
// A message that cannot be had - refused by the server, or larger than MaxMessageSize - is
// named on a line of its own and the rest are fetched; the run then exits 1. An IMAP mailbox
// keeps such UIDs in its state (Retry=) and asks for them again on every run until they come
// or are gone; LastUID never passes a UID that is neither stored nor kept there. A POP3
// message not fetched is simply not recorded, so the next run tries it again.
#include "transfer/appender.h"
#include "transfer/commands.h"
#include "transfer/errors.h"
#include "transfer/fetch_state.h"
#include "transfer/imap_client.h"
#include "transfer/log.h"
#include "transfer/mail_client.h"
#include "transfer/nntp_client.h"

#include "coding/cp932.h"
#include "store/strutil.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <set>
#include <unordered_map>

namespace pelorin::transfer {
namespace {

constexpr size_t kBatchMessages = 500;
constexpr int64_t kBatchBytes = 16 << 20;

// Collects messages of one area and appends them a batch at a time; `committed` runs after
// each batch is in the packet, with the batch's messages.
class Batch {
public:
    Batch(PacketAppender& app,
          std::string area,
          std::string encoding,
          std::string item,
          std::function<void(const std::vector<Article>&)> committed)
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
            if (!r.missingFile.empty())
                Log::Get().Error(r.missingFile);
        } catch (const AppendError& e) {
            throw TransferError(Failure::LocalFile, e.message);
        }
        committed_(articles_);
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
    std::function<void(const std::vector<Article>&)> committed_;
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
                FetchState& state,
                int& left) {
    const std::string section = "news " + server.name + " " + group;
    GroupReply g = nntp.Group(group);
    const int64_t last = state.Get(section, "Last");
    // Never fetched, renumbered since, or a number that no run wrote: the newest articles.
    int64_t from = last <= 0 || last > g.high ? g.high - server.firstFetch + 1 : last + 1;
    from = std::max<int64_t>(from, g.low);
    const bool summary = server.IsSummary(group);
    Batch batch(app, group, summary ? "uc" : "un", group, [&](const std::vector<Article>& a) {
        state.Set(section, "Last", a.back().number);
    });
    Guarded(batch, [&] {
        if (g.count == 0 || from > g.high || g.high == 0)
            return;
        auto fetch = [&](int64_t n, int64_t bytes) {
            bool tooLarge = false;
            std::optional<std::string> text =
                summary ? nntp.Summary(n, server.summaryLines, &tooLarge, bytes)
                        : nntp.Article(n, &tooLarge);
            if (text)
                batch.Add(Article{std::move(*text), n});
            if (tooLarge) {
                Log::Get().Error("[" + server.section + "] " + group + ": article " +
                                 std::to_string(n) + " is larger than MaxMessageSize (" +
                                 HumanBytes(server.maxMessageSize) + ") and was skipped");
                ++left;
            }
        };
        bool supported = true;
        std::vector<OverviewLine> over = nntp.Over(from, g.high, &supported);
        if (supported) {
            // Articles the area holds already (an earlier run cut short) are not fetched.
            std::unordered_set<std::string> known = app.KnownIds(group);
            for (const OverviewLine& o : over)
                if (o.messageId.empty() || !known.count(o.messageId))
                    fetch(o.number, o.bytes > 0 ? o.bytes : -1);
        } else {
            // The range comes from the server: walked, never held as a list.
            for (int64_t n = from; n <= g.high; ++n) fetch(n, -1);
        }
        batch.Flush();
        // Numbers up to the high mark are done, even where the last ones had gone.
        state.Set(section, "Last", g.high);
    });
}

void FetchNews(const NewsServer& server,
               const TransferConfig& config,
               PacketAppender& app,
               FetchState& state,
               int& left) {
    NntpClient nntp(server, PasswordOf(server, config));
    for (const std::string& group : server.groups)
        FetchGroup(nntp, server, group, app, state, left);
    nntp.Quit();
}

// "3,17,40" <-> UIDs, for Retry=.
std::set<uint32_t> ParseUids(const std::string& text) {
    std::set<uint32_t> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t comma = text.find(',', pos);
        if (comma == std::string::npos)
            comma = text.size();
        const int64_t uid = ToInteger64(text.substr(pos, comma - pos));
        if (uid > 0 && uid <= 0xFFFFFFFF)
            out.insert(static_cast<uint32_t>(uid));
        pos = comma + 1;
    }
    return out;
}

std::string UidList(const std::set<uint32_t>& uids) {
    std::string out;
    for (uint32_t uid : uids) out += (out.empty() ? "" : ",") + std::to_string(uid);
    return out;
}

void FetchImap(const MailServer& server,
               const TransferConfig& config,
               PacketAppender& app,
               FetchState& state,
               int& left) {
    ImapClient imap(server, PasswordOf(server, config));
    const std::string& section = server.section;
    // An earlier version took \Seen off again after each fetch and noted the UID first; one
    // still noted is made good here. This version reads with BODY.PEEK and changes no flag.
    const int64_t unsee = state.Get(section, "Unsee");
    const ImapClient::Mailbox box = imap.Open(server.markSeen || unsee > 0);
    const int64_t validity = box.uidValidity;
    const bool same = state.Get(section, "UIDValidity") == validity;
    int64_t last = same ? state.Get(section, "LastUID") : 0;
    // UIDs are 32-bit: any other value was not written by a run and starts afresh.
    if (last < 0 || last > 0xFFFFFFFF)
        last = 0;
    std::set<uint32_t> retry =
        same ? ParseUids(state.GetText(section, "Retry")) : std::set<uint32_t>();
    if (unsee > 0) {
        if (!server.markSeen && same && unsee <= 0xFFFFFFFF)
            imap.Unsee(static_cast<uint32_t>(unsee));
        state.Set(section, "Unsee", 0);
    }
    if (!same) {
        // New numbers: everything is fetched again, and the appender knows what it holds.
        state.SetText(section, "Retry", "");
        state.Set(section, "LastUID", 0);
        state.Set(section, "UIDValidity", validity);
    }
    std::vector<ImapClient::Listed> listed;
    if (box.exists > 0) {
        // The UIDs to try again go a few hundred to a command, so that a long list never
        // makes a line the server refuses; the new ones follow.
        std::vector<std::string> sets;
        std::vector<uint32_t> again;
        for (auto it = retry.begin(); it != retry.end(); ++it) {
            again.push_back(*it);
            if (again.size() == 500 || std::next(it) == retry.end()) {
                sets.push_back(UidSet(again));
                again.clear();
            }
        }
        if (sets.empty() || sets.back().size() > 1000)
            sets.emplace_back();
        sets.back() += (sets.back().empty() ? "" : ",") + std::to_string(last + 1) + ":*";
        for (const std::string& set : sets)
            // "n:*" always matches the highest UID, even one at or below n.
            for (const ImapClient::Listed& m : imap.List(set, box.exists + 1000))
                if (m.uid > last || retry.count(m.uid))
                    listed.push_back(m);
        std::sort(
            listed.begin(), listed.end(),
            [](const ImapClient::Listed& a, const ImapClient::Listed& b) { return a.uid < b.uid; });
        listed.erase(std::unique(listed.begin(), listed.end(),
                                 [](const ImapClient::Listed& a, const ImapClient::Listed& b) {
                                     return a.uid == b.uid;
                                 }),
                     listed.end());
    }
    // Retry= keeps what is still to come from earlier runs and what this run could not have;
    // UIDs no longer listed are gone from the server.
    std::set<uint32_t> retryNow;
    for (const ImapClient::Listed& m : listed)
        if (retry.count(m.uid))
            retryNow.insert(m.uid);
    // LastUID moves over the new UIDs in order, and only over those that are stored or kept
    // in Retry=.
    std::vector<uint32_t> fresh;
    for (const ImapClient::Listed& m : listed)
        if (m.uid > last)
            fresh.push_back(m.uid);
    std::unordered_map<uint32_t, bool> settled;  // a new UID: stored, or noted in Retry=
    size_t through = 0;                          // fresh[0, through) are settled
    auto save = [&] {
        state.SetText(section, "Retry", UidList(retryNow));
        size_t was = through;
        while (through < fresh.size() && settled.count(fresh[through])) ++through;
        if (through > was)
            state.Set(section, "LastUID", fresh[through - 1]);
    };
    auto skip = [&](uint32_t uid, const std::string& why) {
        Log::Get().Error("[" + section + "] message UID " + std::to_string(uid) + " " + why +
                         "; left on the server and tried again on the next run");
        retryNow.insert(uid);
        settled[uid] = true;
        ++left;
    };
    std::vector<ImapClient::Listed> wanted;
    for (const ImapClient::Listed& m : listed) {
        if (m.size > server.maxMessageSize)
            skip(m.uid, "(" + HumanBytes(m.size) + ") is larger than MaxMessageSize (" +
                            HumanBytes(server.maxMessageSize) + ")");
        else
            wanted.push_back(m);
    }
    Batch batch(app, cp932::FromUtf8(server.area), "bn", server.section,
                [&](const std::vector<Article>& stored) {
                    std::vector<uint32_t> uids;
                    for (const Article& a : stored) {
                        const auto uid = static_cast<uint32_t>(a.number);
                        uids.push_back(uid);
                        retryNow.erase(uid);
                        settled[uid] = true;
                    }
                    save();
                    // Only what the packet holds now is flagged on the server.
                    if (server.markSeen)
                        imap.MarkSeenLater(uids);
                });
    Guarded(batch, [&] {
        ImapClient::Sink sink;
        sink.text = [&](uint32_t uid, std::string text) {
            batch.Add(Article{std::move(text), uid});
        };
        sink.tooLarge = [&](uint32_t uid, uint64_t size) {
            skip(uid, "(" + HumanBytes(static_cast<int64_t>(size)) +
                          ") is larger than MaxMessageSize (" + HumanBytes(server.maxMessageSize) +
                          ")");
        };
        sink.refused = [&](uint32_t uid, const std::string& why) {
            skip(uid, "was refused by the server: " + why);
        };
        imap.Fetch(wanted, sink);
        batch.Flush();
        save();
        imap.Finish();
    });
}

void FetchPop3(const MailServer& server,
               const TransferConfig& config,
               PacketAppender& app,
               FetchState& state,
               int& left) {
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
    Batch batch(app, cp932::FromUtf8(server.area), "bn", server.section,
                [&](const std::vector<Article>&) {
                    for (std::string& u : batchUidls) kept.insert(std::move(u));
                    batchUidls.clear();
                    state.SetUidls(server.section, kept);
                });
    Guarded(batch, [&] {
        for (const Pop3Entry& e : list) {
            if (kept.count(e.uidl))
                continue;
            if (e.size > server.maxMessageSize) {
                Log::Get().Error("[" + server.section + "] message " + std::to_string(e.number) +
                                 " (" + HumanBytes(e.size) + ") is larger than MaxMessageSize (" +
                                 HumanBytes(server.maxMessageSize) +
                                 "); left on the server and tried again on the next run");
                ++left;
                continue;
            }
            std::string text;
            try {
                text = pop.Retrieve(e.number);
            } catch (const Pop3Refused& refused) {
                // Not recorded, so the next run asks for it again.
                Log::Get().Error("[" + server.section + "] message " + std::to_string(e.number) +
                                 " (" + e.uidl + ") was refused by the server: " + refused.reply +
                                 "; left on the server and tried again on the next run");
                ++left;
                continue;
            }
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
    int left = 0;  // messages named and left behind
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
        attempt(s.section, [&] { FetchNews(s, config, app, state, left); });
    for (const MailServer& s : config.mail)
        attempt(s.section, [&] {
            if (s.protocol == MailProtocol::Imap)
                FetchImap(s, config, app, state, left);
            else
                FetchPop3(s, config, app, state, left);
        });
    if (left > 0)
        worst = std::max(worst, static_cast<int>(Failure::Server));
    return worst;
}

}  // namespace pelorin::transfer
