// Folder packets, folders, folder copies and child messages (see folders.h).
#include "store/folders.h"

#include "coding/cp932.h"
#include "store/compose_editor.h"
#include "store/compose_file.h"

#include <cstdio>

namespace pelorin {

bool AskFolderPacketName(TDialogs& dialogs, std::string& name) {
    std::string value;
    if (!dialogs.InputBox(Sjis("新規フォルダパケットの作成"), Sjis("パケット名を入力してください"),
                          value) ||
        value.empty())
        return false;
    name = value;
    return true;
}

std::unique_ptr<TSoup> CreateFolderPacket(std::string_view directory,
                                          std::string_view name,
                                          const PacketPlaces& places,
                                          TDialogs* dialogs) {
    auto soup = std::make_unique<TSoup>(directory, dialogs);
    soup->SetOutboundDir(places.outboundDir);
    soup->SetControlDir(places.controlDir);
    soup->defaultSortType = places.defaultSortType;
    soup->packetName = std::string(name);
    soup->packetType = 1;
    return soup;
}

TGrp* NewFolder(TSoup& packet, TDialogs& dialogs) {
    if (packet.packetType != 1)
        return nullptr;
    std::string name;
    if (!dialogs.InputBox(Sjis("新規フォルダの作成"), Sjis("フォルダ名を入力してください"), name) ||
        name.empty())
        return nullptr;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            dialogs.MessageBox(Sjis("フォルダ名にタブや制御文字は使えません。"), MsgIcon::Error,
                               MsgButtons::Ok);
            return nullptr;
        }
    }
    return packet.AddArea(name, "uc");
}

std::vector<CopyTarget> CopyTargets(const std::vector<TSoup*>& packets) {
    std::vector<CopyTarget> targets;
    for (TSoup* p : packets) {
        if (!p || p->packetType == 0)
            continue;
        CopyTarget t;
        t.packet = p;
        for (const auto& a : p->areas) t.folders.push_back(a.get());
        targets.push_back(std::move(t));
    }
    return targets;
}

FolderChoice CopyToFolderChoice(const std::vector<TSoup*>& packets, size_t selectedCount) {
    FolderChoice c;
    c.caption = Sjis("フォルダへのコピー");
    c.prompt = Sjis("コピー先を選択してください");
    c.checkBoxText = Sjis("複数選択記事を対象にする");
    c.checkBoxChecked = selectedCount > 1;
    c.targets = CopyTargets(packets);
    return c;
}

std::vector<TMsg*> MessagesToCopy(TMsg* shown, const std::vector<TMsg*>& selected) {
    if (selected.size() >= 2)
        return selected;
    if (shown)
        return {shown};
    return {};
}

bool CopyToFolder(TGrp& folder, TMsg* msg) {
    if (!msg)
        return false;
    if (folder.messages.empty())
        folder.Prepare();
    if (!msg->messageId.empty() && folder.FindMessage(msg->messageId) >= 0)
        return false;
    folder.AddCopy(msg);
    return true;
}

int CopyToFolder(TGrp& folder, const std::vector<TMsg*>& msgs) {
    int copied = 0;
    for (TMsg* m : msgs) copied += CopyToFolder(folder, m) ? 1 : 0;
    return copied;
}

FolderCopyResult CopyToFolderAndWrite(TGrp& folder, const std::vector<TMsg*>& msgs) {
    FolderCopyResult result;
    if (msgs.empty())
        return result;
    if (folder.messages.empty())
        folder.Prepare();
    const size_t messagesBefore = folder.messages.size();
    const DisplayList displayBefore = folder.display;
    const bool contentBefore = folder.contentChanged;
    const bool marksBefore = folder.marksChanged;
    result.copied = CopyToFolder(folder, msgs);
    result.skipped = static_cast<int>(msgs.size()) - result.copied;
    if (result.copied == 0)
        return result;
    result.write = folder.Rewrite(false);
    if (result.write != ReplaceResult::Ok) {
        // The copies were appended at the end of both orders.
        folder.messages.resize(messagesBefore);
        folder.display = displayBefore;
        for (size_t i = 0; i < folder.display.size(); ++i)
            folder.display[i].msg->displayPos = static_cast<int32_t>(i);
        folder.contentChanged = contentBefore;
        folder.marksChanged = marksBefore;
        result.copied = 0;
    }
    return result;
}

TGrp* FindKeepFolder(const std::vector<TSoup*>& packets,
                     std::string_view packetName,
                     std::string_view folderName) {
    for (TSoup* p : packets) {
        if (!p || p->packetName != packetName)
            continue;
        // Only the first packet of that name counts.
        if (p->packetType != 1)
            return nullptr;
        return p->FindArea(folderName);
    }
    return nullptr;
}

ReplaceResult AddComposedCopy(TGrp& folder, const TSList& lines) {
    TMsg msg = TMsg::FromLines(lines);
    folder.AddCopy(&msg);
    return folder.Rewrite(false);
}

std::string ChildMessageDate(std::time_t now) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm t{};
    localtime_r(&now, &t);
    char zone[16];
    const int off = static_cast<int>(t.tm_gmtoff / 60);  // minutes east of UTC
    if (off == 9 * 60) {
        std::snprintf(zone, sizeof zone, "JST");
    } else {
        const int a = (off < 0 ? -off : off) % (100 * 60);
        std::snprintf(zone, sizeof zone, "%c%.2d%.2d", off < 0 ? '-' : '+', a / 60, a % 60);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2d %s %.4d %.2d:%.2d:%.2d %s", t.tm_mday,
                  kMonths[t.tm_mon >= 0 && t.tm_mon < 12 ? t.tm_mon : 0], t.tm_year + 1900,
                  t.tm_hour, t.tm_min, t.tm_sec, zone);
    return text;
}

TSList ChildMessageText(std::string_view areaName, TMsg* shown, std::time_t now) {
    TSList lines;
    lines.push_back("Newsgroups: " + std::string(areaName));
    if (shown) {
        lines.push_back("Subject: " + shown->subject);
        lines.push_back("From: " + shown->From());
        lines.push_back("References: " + shown->messageId);
    } else {
        lines.emplace_back("Subject: ");
        lines.emplace_back("From: ");
    }
    lines.emplace_back("Message-ID: ");
    lines.emplace_back("Followup-To: poster");
    lines.push_back("Date: " + ChildMessageDate(now));
    lines.emplace_back();
    lines.emplace_back();
    lines.emplace_back("-- ");
    return lines;
}

ChildOutcome MakeChildMessage(const ChildMessageEnv& env,
                              TGrp& area,
                              TMsg* shown,
                              const std::function<void(const TSList&)>& show,
                              std::time_t now) {
    const std::string path = env.programDir + "SBTMP.TXT";
    const ReplaceResult w =
        WriteUserTextFile(ChildMessageText(area.areaName, shown, now), path, env.charset);
    if (w != ReplaceResult::Ok) {
        env.dialogs.MessageBox(path + Sjis("に書き込めませんでした。") + "\n(" + to_string(w) + ")",
                               MsgIcon::Error, MsgButtons::Ok);
        return ChildOutcome::Failed;
    }
    RunEditor(env.editor, env.editorCommand, path, env.programDir, &env.dialogs);
    TSList lines;
    if (ReadUserTextFile(path, lines) != TextRead::Ok) {
        env.dialogs.MessageBox(path + Sjis("を読み込めませんでした。"), MsgIcon::Error,
                               MsgButtons::Ok);
        return ChildOutcome::Failed;
    }
    if (show)
        show(lines);
    if (env.dialogs.MessageBox(Sjis("メッセージを追加しますか？"), MsgIcon::Question,
                               MsgButtons::OkCancel) != MsgAnswer::Ok)
        return ChildOutcome::Declined;
    TMsg msg = TMsg::FromLines(lines);
    area.AddCopy(&msg);
    return ChildOutcome::Added;
}

}  // namespace pelorin
