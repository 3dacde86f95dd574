// Running a sub-command over an area (see subcmd_run.h).
#include "select/subcmd_run.h"

#include "coding/cp932.h"
#include "select/match_fields.h"
#include "select/match_help.h"
#include "store/disk_path.h"
#include "store/folders.h"
#include "store/grp.h"
#include "store/message_text.h"
#include "store/msg.h"
#include "store/soup.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorin {
namespace {

using namespace std::chrono;

// The save action's text of one message: every line, or only those after the first empty
// line; converted or as stored; each ended by CR LF.
std::string SaveText(TMsg& msg, bool header, bool convert) {
    const bool hadLines = !msg.lines.empty();
    if (!hadLines)
        msg.LoadLines();
    std::string out;
    bool inBody = header;
    for (const std::string& stored : msg.lines) {
        std::string_view line = stored;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!inBody) {
            if (line.empty())
                inBody = true;
            continue;
        }
        if (convert)
            out += ConvertLine(line);
        else
            out += line;
        out += "\r\n";
    }
    if (!hadLines)
        msg.lines.clear();
    return out;
}

// Appends `text` to the file at `path` with whole writes: a failure cuts the file back to the
// length it had, so no half message stays at its end. Returns 0 or the errno of the failure.
int AppendWhole(const std::string& path, const std::string& text) {
    const std::string disk = DiskPath(path).string();
    const int fd = ::open(disk.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return e;
    }
    size_t done = 0;
    int error = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (error != 0 && ::ftruncate(fd, st.st_size) != 0) {
        // The cut failed too; the error already says the save failed.
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

std::string MessageName(size_t row, const TMsg& msg) {
    return Sjis("メッセージ ") + std::to_string(row + 1) + Sjis("「") + msg.subject + Sjis("」");
}

}  // namespace

year_month_day SubCmdExpireDate(year_month_day today, int expireDays) {
    return year_month_day{sys_days{today} - days{expireDays != 0 ? expireDays : 999}};
}

TSubCmdResult RunSubCommand(const TSubCommand& cmd, TSubCmdEnv& env) {
    TSubCmdResult result;
    result.sendMe.status = OutboundStatus::NothingChecked;
    if (!env.area)
        return result;
    result.ran = true;
    TGrp& area = *env.area;
    TSilentDialogs silent;
    TDialogs& dialogs = env.dialogs ? *env.dialogs : silent;

    // The save file and the expiry date.
    if (cmd.saveToFile) {
        if (cmd.toExpiredFile && area.owner)
            result.saveFile = area.owner->State().ReadString(area.areaName, "SaveTo", "");
        else if (!cmd.toExpiredFile)
            result.saveFile = cmd.saveTo;
    }
    TMatchFields fields;
    if (env.today)
        fields.Today = env.today;
    fields.UseRegEx = cmd.useRegEx;
    fields.Fuzzy = cmd.fuzzy;
    fields.ExpireDate = SubCmdExpireDate(fields.Today(), area.expireDays);

    if (area.display.empty())
        area.Prepare();

    const char mark = cmd.markSet ? SubCmdMarkChar(cmd.markItem) : 0;
    const bool copy = cmd.copyToFolder && env.folder;
    std::vector<TMsg*> toCopy;

    auto emptySaveFile = [&]() {
        if (cmd.saveToFile && cmd.overWrite && !result.saveFile.empty()) {
            std::error_code ec;
            std::filesystem::remove(DiskPath(result.saveFile), ec);
        }
    };
    // The per-message actions; false when the run must stop.
    auto act = [&](size_t row, TMsg& msg) {
        if (copy)
            toCopy.push_back(&msg);
        if (mark)
            msg.mark = mark;
        if (cmd.saveToFile && !result.saveFile.empty()) {
            const int error =
                AppendWhole(result.saveFile, SaveText(msg, cmd.headerOutput, cmd.codeTranslate));
            if (error != 0) {
                result.error = MessageName(row, msg) + Sjis("を ") + result.saveFile +
                               Sjis(" に保存できませんでした: ") + SystemReason(error);
                return false;
            }
            ++result.saved;
        }
        if (cmd.decodeToFile) {
            ++result.decode.checked;
            switch (DecodeOneMessage(msg, env.dataPath, dialogs, result.decode.problems)) {
                case DecodeOutcome::Success:
                    ++result.decode.succeeded;
                    break;
                case DecodeOutcome::Exists:
                    ++result.decode.existing;
                    break;
                case DecodeOutcome::Failure:
                    ++result.decode.failed;
                    break;
            }
        }
        if (!cmd.sendMe)
            msg.checked = false;
        result.acted.push_back(&msg);
        return true;
    };

    if (cmd.conditionMode) {
        TMatchHelp help;
        help.SetConditions(cmd.conditions);
        fields.Attach(help);
        const size_t n = area.display.size();
        result.rows = n;
        if (env.observer)
            env.observer->Started(n);
        emptySaveFile();
        for (size_t i = 0; i < n; ++i) {
            TMsg& msg = *area.display[i].msg;
            TMsg* target = &msg;
            if (!help.Evaluate(target)) {
                msg.checked = false;
                continue;
            }
            msg.checked = true;
            result.matchedRows.push_back(i);
            const bool go_on = act(i, msg);
            if (env.observer)
                env.observer->Matched(i, msg);
            if (!go_on)
                break;
        }
        result.clearCurrent = true;
    } else if (env.current) {
        emptySaveFile();
        size_t row = 0;
        for (size_t i = 0; i < area.display.size(); ++i)
            if (area.display[i].msg == env.current)
                row = i;
        (void)act(row, *env.current);
        // The body request goes for the current message alone, whatever the list selection
        // left checked.
        if (cmd.sendMe)
            for (const auto& e : area.display) e.msg->checked = e.msg == env.current;
    }

    if (!toCopy.empty()) {
        const FolderCopyResult copied = CopyToFolderAndWrite(*env.folder, toCopy);
        result.copied = copied.copied;
        result.skipped = copied.skipped;
        if (copied.write != ReplaceResult::Ok && result.error.empty()) {
            result.error = Sjis("フォルダ ") + env.folder->areaName +
                           Sjis(" に書き込めませんでした: ") + env.folder->lastFailure.path + " " +
                           env.folder->lastFailure.reason;
        }
    }
    if (cmd.sendMe && result.error.empty() && area.owner && (cmd.conditionMode || env.current))
        result.sendMe = RequestBodies(*area.owner, area, dialogs);
    if (cmd.markSet && mark)
        area.marksChanged = true;
    return result;
}

}  // namespace pelorin
