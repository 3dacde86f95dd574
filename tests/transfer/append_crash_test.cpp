// Appends killed at each of their steps: what a reader shows afterwards is never taken away by
// the next append, and keeps the mark the reader gave it.
#include "support/testing.h"
#include "transfer/appender.h"

#include "store/soup.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pelorin::transfer {
namespace {

using pelorin::testing::TempDir;

Article Mail(int n) {
    return Article{"From: a@example.org\r\nSubject: m" + std::to_string(n) + "\r\nMessage-ID: <" +
                       std::to_string(n) + "@example.org>\r\n\r\nbody " + std::to_string(n) +
                       "\r\n",
                   n};
}

// Appends in a child process that ends itself, as a kill would, at `step`. True when the
// child got there.
bool AppendKilledAt(const std::string& dir,
                    const std::string& letters,
                    const char* step,
                    const std::vector<Article>& articles) {
    static const char* target = nullptr;
    target = step;
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        appendStepHook = [](const char* name) {
            if (std::string_view(name) == target)
                ::_exit(0);
        };
        try {
            PacketAppender(dir).Append("fj.test", letters, articles);
        } catch (...) {
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The rows as the reader lists them: mark and subject.
std::vector<std::string> Rows(TGrp& g) {
    std::vector<std::string> rows;
    for (const auto& m : g.messages) rows.push_back(std::string(1, m->mark) + m->subject);
    return rows;
}

TEST(AppendCrash, WhatTheReaderShowsAfterAKilledAppendStaysWithItsMark) {
    for (const std::string letters : {"uc", "un", "bn"}) {
        for (const char* step : {"journal", "msg", "idx"}) {
            if (letters[1] == 'n' && std::string_view(step) == "idx")
                continue;
            SCOPED_TRACE(letters + " killed after " + step);
            TempDir dir;
            const std::string packet = dir.path().string();
            PacketAppender(packet).Append("fj.test", letters, {Mail(1), Mail(2)});
            ASSERT_TRUE(AppendKilledAt(packet, letters, step, {Mail(3), Mail(4)}));

            // The reader opens the packet and marks the last row it shows.
            std::vector<std::string> shown;
            {
                TSoup soup(packet);
                soup.LoadAreas();
                TGrp* g = soup.FindArea("fj.test");
                ASSERT_NE(g, nullptr);
                g->Prepare();
                ASSERT_FALSE(g->messages.empty());
                g->messages.back()->mark = '+';
                g->marksChanged = true;
                ASSERT_EQ(g->SaveMarks(), ReplaceResult::Ok);
                shown = Rows(*g);
            }
            // A second fetch or import, then the reader again.
            PacketAppender(packet).Append("fj.test", letters, {Mail(5)});
            TSoup soup(packet);
            soup.LoadAreas();
            TGrp* g = soup.FindArea("fj.test");
            g->Prepare();
            const std::vector<std::string> now = Rows(*g);
            ASSERT_GE(now.size(), shown.size() + 1);
            for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(now[i], shown[i]) << "row " << i;
            EXPECT_EQ(now.back(), "*m5");
            EXPECT_FALSE(std::filesystem::exists(dir / ".pelorin-append"));
        }
    }
}

}  // namespace
}  // namespace pelorin::transfer
