// TGrp under crashes and a second process: a rewrite killed at each of its steps leaves every
// surviving message with its mark; a stale mark file never spreads one message's mark over
// messages without a Message-ID; a load waits for a rewrite in progress instead of taking it
// for an interrupted one.
#include "support/testing.h"

#include "store/grp.h"
#include "store/packet_lock.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
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

TEST_F(AreaCrashTest, APurgeKilledAtAnyStepKeepsEveryMark) {
    // A mailbox with an index of layout "C" (no Message-ID column) and an rnews area without
    // IDs: the two shapes where marks can only follow their position.
    struct Shape {
        std::string enc;
        std::vector<const char*> steps;
    };
    const Shape shapes[] = {{"mC", {"sbi", "sbx", "idx", "pbx"}},
                            {"un", {"sbm", "sbx", "msg", "pbx"}},
                            {"uc", {"sbm", "sbi", "sbx", "msg", "idx", "pbx"}}};
    for (const Shape& shape : shapes) {
        for (const char* step : shape.steps) {
            SCOPED_TRACE(shape.enc + " killed after " + step);
            std::filesystem::remove(base + ".IDX");
            std::filesystem::remove(base + ".PBX");
            const std::string msgs = RnewsFile({NoId(1), NoId(2), NoId(3), NoId(4)});
            WriteFile(base + ".MSG", msgs);
            if (shape.enc[1] != 'n') {
                std::string idx;
                int64_t at = 0;
                for (int n = 1; n <= 4; ++n) {
                    const std::string m = NoId(n);
                    at += static_cast<int64_t>(
                        ("#! rnews " + std::to_string(m.size()) + "\n").size());
                    idx += std::to_string(at) + "\tno id " + std::to_string(n) + "\ta@b\t\t";
                    if (shape.enc[1] == 'c')
                        idx += "\t\t";
                    idx += std::to_string(m.size()) + "\t4\t" + std::to_string(n) + "\n";
                    at += static_cast<int64_t>(m.size());
                }
                WriteFile(base + ".IDX", idx);
            }
            {
                auto g = Area(shape.enc);
                g->Prepare();
                const char marks[] = {'-', ' ', '+', '*'};
                for (size_t i = 0; i < 4; ++i) g->messages[i]->mark = marks[i];
                g->marksChanged = true;
                ASSERT_EQ(g->SaveMarks(), ReplaceResult::Ok);
                CrashAt(step, [&] {
                    g->PurgeDeleteMarked();
                    (void)g->Unload();
                });
                g->messages.clear();  // the child did the work; nothing to write here
                g->display.clear();
                g->contentChanged = g->marksChanged = false;
            }
            auto h = Area(shape.enc);
            h->Prepare();
            // Exactly the old area or exactly the new one, each message with its own mark.
            if (h->messages.size() == 4) {
                EXPECT_EQ(Subjects(*h), "1234");
                EXPECT_EQ(Marks(*h), "- +*");
            } else {
                EXPECT_EQ(Subjects(*h), "234");
                EXPECT_EQ(Marks(*h), " +*");
            }
            for (const char* ext : {".SBM", ".SBI", ".SBX"})
                EXPECT_FALSE(std::filesystem::exists(base + ext)) << ext;
        }
    }
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

}  // namespace
}  // namespace pelorin
