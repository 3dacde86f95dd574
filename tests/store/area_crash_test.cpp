// TGrp under crashes and a second process: a rewrite killed at each of its steps leaves every
// surviving message with its mark; a stale mark file never spreads one message's mark over
// messages without a Message-ID; a load waits for a rewrite in progress instead of taking it
// for an interrupted one.
#include "support/testing.h"

#include "store/grp.h"
#include "store/packet_lock.h"
#include "store/soup.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pelorin {
namespace {

using testing::BinaryFile;
using testing::ReadFile;
using testing::RnewsFile;
using testing::TempDir;
using testing::WriteFile;

std::string NoId(int n) {
    return "From: a@b\nSubject: no id " + std::to_string(n) + "\n\nbody\n";
}

std::string Marks(const TGrp& g) {
    std::string out;
    for (const auto& m : g.messages) out += m->mark;
    return out;
}

std::string Subjects(const TGrp& g) {
    std::string out;
    for (const auto& m : g.messages) out += m->subject.substr(m->subject.size() - 1);
    return out;
}

class AreaCrashTest : public ::testing::Test {
protected:
    TempDir dir;
    TIniF stat{(dir / "GRPSTAT.PBS").string()};
    std::string base = (dir / "0000001").string();

    std::unique_ptr<TGrp> Area(const std::string& enc) {
        auto g = std::make_unique<TGrp>("noid", base, enc, "noid", &stat);
        g->SetSortType(0);
        return g;
    }
};

TEST_F(AreaCrashTest, AStaleMarkFileNeverSpreadsAMarkOverMessagesWithoutId) {
    // Three messages without Message-ID; the mark file still lists a fourth, just purged.
    WriteFile(base + ".MSG", RnewsFile({NoId(1), NoId(2), NoId(3)}));
    WriteFile(base + ".PBX", " \t\r\n+\t\r\n*\t\r\n-\t\r\n");
    auto g = Area("un");
    g->Prepare();
    EXPECT_EQ(Marks(*g), " +*");
}

// Runs `work` in a child process that ends itself (as a kill would) at rewrite step `step`.
void CrashAt(const char* step, const std::function<void()>& work) {
    static const char* target = nullptr;
    target = step;
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        rewriteStepHook = [](const char* name) {
            if (std::string_view(name) == target)
                ::_exit(0);
        };
        work();
        ::_exit(1);  // the step was never reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "step " << step << " not reached";
}

// Runs `work` in a child process that ends itself, as a kill would, at the `n`-th step
// (from 1) that `counts` accepts. True when the child got that far.
bool KilledAt(int n, bool (*counts)(std::string_view), const std::function<void()>& work) {
    static int target = 0;
    static bool (*accept)(std::string_view) = nullptr;
    target = n;
    accept = counts;
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        rewriteStepHook = [](const char* name) {
            if (accept(name) && --target == 0)
                ::_exit(0);
        };
        work();
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool IsRecoveryStep(std::string_view step) {
    return step.starts_with("redo-") || step.starts_with("undo-");
}
bool IsRewriteStep(std::string_view step) {
    return !IsRecoveryStep(step) && step != "marks";
}

// Every regular file of a directory, by name.
using Snapshot = std::map<std::string, std::string>;
Snapshot Take(const std::filesystem::path& dir) {
    Snapshot files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.is_regular_file())
            files[e.path().filename().string()] = ReadFile(e.path());
    return files;
}
void Restore(const std::filesystem::path& dir, const Snapshot& files) {
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.is_regular_file())
            std::filesystem::remove(e.path());
    for (const auto& [name, bytes] : files) WriteFile(dir / name, bytes);
}

// Four messages without IDs in the framing of `enc` ("u" rnews, "b"/"B" binary; an "m" area's
// message file is never rewritten, rnews will do), with an index for letter "c"/"C".
void WriteArea(const std::string& base, const std::string& enc) {
    std::vector<std::string> texts;
    for (int n = 1; n <= 4; ++n) texts.push_back(NoId(n));
    const bool binary = enc[0] == 'b' || enc[0] == 'B';
    WriteFile(base + ".MSG", binary ? BinaryFile(texts) : RnewsFile(texts));
    if (enc[1] == 'n')
        return;
    std::string idx;
    int64_t at = 0;
    for (int n = 1; n <= 4; ++n) {
        const std::string& m = texts[n - 1];
        at += binary ? 4
                     : static_cast<int64_t>(("#! rnews " + std::to_string(m.size()) + "\n").size());
        idx += std::to_string(at) + "\tno id " + std::to_string(n) + "\ta@b\t\t";
        if (enc[1] == 'c')
            idx += "\t\t";
        idx += std::to_string(m.size()) + "\t4\t" + std::to_string(n) + "\n";
        at += static_cast<int64_t>(m.size());
    }
    WriteFile(base + ".IDX", idx);
}

TEST_F(AreaCrashTest, APurgeKilledAnywhereAndItsRecoveryKilledAnywhereKeepEveryMark) {
    // The shapes where marks can only follow their position: areas without Message-IDs, with
    // and without an index, in both framings, and an index over a message file never rewritten.
    for (const std::string enc : {"uc", "Bc", "un", "bn", "mC"}) {
        for (int first = 1;; ++first) {
            std::filesystem::remove(base + ".IDX");
            std::filesystem::remove(base + ".PBX");
            WriteArea(base, enc);
            bool killed = false;
            {
                auto g = Area(enc);
                g->Prepare();
                const char marks[] = {'-', ' ', '+', '*'};
                for (size_t i = 0; i < 4; ++i) g->messages[i]->mark = marks[i];
                g->marksChanged = true;
                ASSERT_EQ(g->SaveMarks(), ReplaceResult::Ok);
                killed = KilledAt(first, IsRewriteStep, [&] {
                    g->PurgeDeleteMarked();
                    (void)g->Unload();
                });
                g->messages.clear();  // the child did the work; nothing to write here
                g->display.clear();
                g->contentChanged = g->marksChanged = false;
            }
            if (!killed)
                break;
            const Snapshot afterFirst = Take(dir.path());
            // 0: the next load recovers undisturbed; then it is killed at each of its steps.
            for (int second = 0;; ++second) {
                SCOPED_TRACE(enc + ": rewrite killed at step " + std::to_string(first) +
                             ", its recovery at step " + std::to_string(second));
                Restore(dir.path(), afterFirst);
                if (second > 0 && !KilledAt(second, IsRecoveryStep, [&] { Area(enc)->Prepare(); }))
                    break;
                auto h = Area(enc);
                h->Prepare();
                // Exactly the old area or exactly the new one, each message with its own mark.
                if (h->messages.size() == 4) {
                    EXPECT_EQ(Subjects(*h), "1234");
                    EXPECT_EQ(Marks(*h), "- +*");
                } else {
                    EXPECT_EQ(Subjects(*h), "234");
                    EXPECT_EQ(Marks(*h), " +*");
                }
                for (const auto& m : h->messages)
                    EXPECT_EQ(m->ReadText().rfind("From: a@b", 0), 0u) << "read off its place";
                for (const char* ext : {".SBM", ".SBI", ".SBX"})
                    EXPECT_FALSE(std::filesystem::exists(base + ext)) << ext;
                h->messages.clear();
                h->display.clear();
            }
            ASSERT_LT(first, 20) << "the rewrite never ends";
        }
    }
}

TEST_F(AreaCrashTest, AnOlderVersionsIndexLeftAloneStillFollowsItsMessageFile) {
    // An older rewrite put the new message file in place and was killed before its index:
    // ".SBI" describes the message file exactly and the index does not.
    WriteArea(base, "uc");
    const std::string oldIdx = ReadFile(base + ".IDX");
    WriteFile(base + ".MSG", RnewsFile({NoId(2), NoId(3)}));
    const std::string two = NoId(2), three = NoId(3);
    const int64_t frame =
        static_cast<int64_t>(("#! rnews " + std::to_string(two.size()) + "\n").size());
    WriteFile(base + ".SBI",
              std::to_string(frame) + "\tno id 2\ta@b\t\t\t\t" + std::to_string(two.size()) +
                  "\t4\t2\n" + std::to_string(2 * frame + static_cast<int64_t>(two.size())) +
                  "\tno id 3\ta@b\t\t\t\t" + std::to_string(three.size()) + "\t4\t3\n");
    auto g = Area("uc");
    g->Prepare();
    EXPECT_EQ(Subjects(*g), "23");
    EXPECT_FALSE(std::filesystem::exists(base + ".SBI"));
}

TEST_F(AreaCrashTest, CopiesKeepTheirMarksWhenTheFolderWriteIsKilled) {
    for (const char* step : {"sbm", "sbx", "msg", "pbx"}) {
        SCOPED_TRACE(step);
        WriteFile(base + ".MSG", BinaryFile({NoId(1)}));
        std::filesystem::remove(base + ".PBX");
        {
            auto g = Area("bn");
            g->Prepare();
            TMsg source = TMsg::FromLines({"Subject: copy", "", "text"});
            source.mark = ' ';
            CrashAt(step, [&] {
                g->AddCopy(&source);
                (void)g->Unload();
            });
            g->messages.clear();
            g->display.clear();
            g->contentChanged = g->marksChanged = false;
        }
        auto h = Area("bn");
        h->Prepare();
        ASSERT_EQ(h->messages.size(), std::string_view(step) == "sbm" ? 1u : 2u);
        EXPECT_EQ(h->messages[0]->mark, '*');
        if (h->messages.size() == 2) {
            EXPECT_EQ(h->messages[1]->mark, ' ');
        }
    }
}

TEST_F(AreaCrashTest, ALoadWaitsForARewriteInProgress) {
    // Another process is between writing ".SBM" and the rest of its rewrite, holding the lock.
    WriteFile(base + ".MSG", RnewsFile({NoId(1)}));
    WriteFile(base + ".SBM", "new, not yet in place");
    const std::string lockPath = (dir / std::string(PacketLock::kFileName)).string();
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT, 0666);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);

    std::atomic<bool> loaded{false};
    std::thread reader([&] {
        auto g = Area("un");
        g->Prepare();
        loaded = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(loaded);
    EXPECT_EQ(ReadFile(base + ".SBM"), "new, not yet in place");  // not taken for a leftover
    ::flock(fd, LOCK_UN);
    ::close(fd);
    reader.join();
    EXPECT_TRUE(loaded);
    EXPECT_FALSE(std::filesystem::exists(base + ".SBM"));  // the writer died: undone
}

TEST_F(AreaCrashTest, TheLockIsReentrantWithinOneThread) {
    PacketLock outer(dir.path().string());
    EXPECT_TRUE(outer.Locked());
    {
        PacketLock inner(dir.path().string() + "/");
        EXPECT_TRUE(inner.Locked());
    }
    // Still held for other processes: a second open file description cannot take it.
    const std::string lockPath = (dir / std::string(PacketLock::kFileName)).string();
    const int fd = ::open(lockPath.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

TEST_F(AreaCrashTest, CountsLeftWrongByAKillAfterTheMarkFileAreCorrectedWhenTheAreaLoads) {
    // Five unread messages; a window reads two of them and is killed once the mark file is
    // written, before the state file follows.
    WriteFile(dir / "AREAS", "0000001\tnoid\tun\n");
    WriteFile(base + ".MSG", RnewsFile({NoId(1), NoId(2), NoId(3), NoId(4), NoId(5)}));
    auto counts = [&] {
        TSoup soup(dir.path().string());
        soup.LoadAreas();
        return soup.FindArea("noid")->PeekCounts();
    };
    {
        TSoup soup(dir.path().string());
        soup.LoadAreas();
        TGrp* g = soup.FindArea("noid");
        g->Prepare();  // the counts of a first load are stored
        ASSERT_TRUE(KilledAt(
            1, [](std::string_view s) { return s == "marks"; },
            [&] {
                g->messages[0]->mark = g->messages[1]->mark = ' ';
                g->marksChanged = true;
                (void)g->SaveMarks();
            }));
        g->messages.clear();
        g->display.clear();
        g->marksChanged = false;
    }
    ASSERT_EQ(counts(), std::make_pair(5, 5));  // what the kill left
    {
        TSoup soup(dir.path().string());
        soup.LoadAreas();
        soup.FindArea("noid")->Prepare();
    }
    EXPECT_EQ(counts(), std::make_pair(5, 3));
}

}  // namespace
}  // namespace pelorin
