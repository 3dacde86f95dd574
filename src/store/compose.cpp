// Composition, posting and re-editing (see compose.h).
#include "store/compose.h"

#include "coding/cp932.h"
#include "coding/header_words.h"
#include "coding/jis.h"
#include "coding/readable_text.h"
#include "store/compose_editor.h"
#include "store/compose_file.h"
#include "store/disk_path.h"
#include "store/folders.h"
#include "store/linewriter.h"
#include "store/outbound.h"
#include "store/reply_utf8.h"

#include <filesystem>
#include <system_error>

namespace pelorin {
namespace {

std::string WithoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return line;
}

std::string KeptNote(std::string_view composeFile) {
    return "\n" + Sjis("メッセージは") + std::string(composeFile) + Sjis("に残してあります。");
}

void ShowError(TDialogs& dialogs, const std::string& text) {
    dialogs.MessageBox(text, MsgIcon::Error, MsgButtons::Ok);
}

std::string WriteError(std::string_view path, ReplaceResult r) {
    return std::string(path) + Sjis("に書き込めませんでした。") + "\n(" + to_string(r) + ")";
}

// Reads the compose file back; tells the user and returns false when it cannot.
bool ReadBack(TDialogs& dialogs, std::string_view file, TSList& lines) {
    switch (ReadUserTextFile(file, lines)) {
        case TextRead::Ok:
            return true;
        case TextRead::Missing:
            ShowError(dialogs, std::string(file) + Sjis("が見つかりません。"));
            return false;
        case TextRead::ReadFailed:
            ShowError(dialogs, std::string(file) + Sjis("を読み込めませんでした。"));
            return false;
    }
    return false;
}

// Adds the compose file's text to a kept-copy folder; false (the user told) on failure. Text
// with characters Shift_JIS cannot hold is kept in the UTF-8 form it is posted in.
// `added` (the Date: and Message-ID: lines posting put before the header) go first.
bool KeepCopy(TDialogs& dialogs, TGrp& folder, std::string_view file, const TSList& added = {}) {
    TSList lines;
    if (ReadTextBeyondShiftJis(file, lines))
        lines = ReplyMessageLinesUtf8(lines);
    else if (!ReadBack(dialogs, file, lines))
        return false;
    lines.insert(lines.begin(), added.begin(), added.end());
    const ReplaceResult r = AddComposedCopy(folder, lines);
    if (r != ReplaceResult::Ok) {
        ShowError(dialogs, folder.areaName + Sjis("にコピーを保存できませんでした。") + "\n(" +
                               to_string(r) + ")" + KeptNote(file));
        return false;
    }
    return true;
}

std::vector<TSoup*> OpenPackets(const ComposeEnv& env) {
    return env.openPackets ? env.openPackets() : env.packets;
}

void RemoveFile(std::string_view path) {
    std::error_code ec;
    std::filesystem::remove(DiskPath(path), ec);
}

// The path of the next free compose file of this kind; empty (after telling the user) when
// every number is taken.
std::string NewComposeFile(ComposeEnv& env, TSoup& current, int kind) {
    const int32_t number =
        NextComposeNumber(env.settings, kind, env.programDir, ReplyDirectory(current));
    if (number == 0) {
        ShowError(env.dialogs, env.programDir + Sjis("に作成用のファイル番号が残っていません。"));
        return {};
    }
    return env.programDir + ComposeFileName(kind, number);
}

}  // namespace

TSList ComposeBody(const ComposeSettings& settings, int kind, TMsg* answered, TSList* utf8Body) {
    TSList body = settings.BodyStart(kind);
    if (utf8Body)
        utf8Body->clear();
    if (!answered)
        return body;
    body.push_back(WithoutLineEnd(answered->Expand(settings.refer)));
    const std::string prefix = WithoutLineEnd(answered->Expand(settings.quoteCharacter));
    if (answered->lines.empty())
        answered->LoadLines();
    // A message with text in another charset, or HTML, is quoted as the text pane shows it;
    // `utf8Body` then gets the whole body in UTF-8, the quoted text with every character.
    if (ReadableText readable; ReadableBody(answered->lines, readable)) {
        for (const std::string& line : readable.sjis) body.push_back(WithoutLineEnd(prefix + line));
        body.emplace_back();
        if (utf8Body) {
            const std::size_t own = body.size() - readable.sjis.size() - 1;
            for (std::size_t i = 0; i < own; ++i) utf8Body->push_back(cp932::ToUtf8(body[i]));
            const std::string prefixUtf8 = cp932::ToUtf8(prefix);
            for (const std::string& line : readable.utf8)
                utf8Body->push_back(WithoutLineEnd(prefixUtf8 + line));
            utf8Body->emplace_back();
        }
        return body;
    }
    bool inHeader = true;
    for (const std::string& line : answered->lines) {
        if (inHeader) {
            inHeader = !WithoutLineEnd(line).empty();
            continue;
        }
        body.push_back(WithoutLineEnd(prefix + JisToSjis(line)));
    }
    body.emplace_back();
    return body;
}

void AppendSignature(TSList& body, std::string_view signatureFile) {
    TSList lines;
    if (signatureFile.empty() || ReadUserTextFile(signatureFile, lines) != TextRead::Ok)
        return;
    body.emplace_back("-- ");
    body.insert(body.end(), lines.begin(), lines.end());
}

TSList ExtraHeaderLines(const ComposeSettings& settings, int kind, std::string_view versionText) {
    TSList h;
    if (!settings.replyTo.empty())
        h.push_back("Reply-To: " + settings.replyTo);
    const TSList& extra = settings.ExtraHeaders(kind);
    h.insert(h.end(), extra.begin(), extra.end());
    std::string agent = kind == kMail ? "X-Mailer: Pelorin" : "X-Newsreader: Pelorin";
    if (!versionText.empty())
        agent += " " + std::string(versionText);
    h.push_back(std::move(agent));
    return h;
}

ComposeOutcome PostComposeFile(ComposeEnv& env,
                               const ComposeSettings& settings,
                               TSoup& current,
                               std::string_view subject,
                               std::string_view composeFile,
                               const TSList& headerList,
                               int kind,
                               bool& keepFile,
                               std::string_view subjectUtf8) {
    if (!headerList.empty()) {
        TSList lines;
        TSList utf8;
        const bool beyond = ReadTextBeyondShiftJis(composeFile, utf8);
        if (!beyond && !ReadBack(env.dialogs, composeFile, lines)) {
            keepFile = true;
            return ComposeOutcome::Failed;
        }
        TSList all = headerList;
        all.emplace_back();
        ReplaceResult w = ReplaceResult::Ok;
        if (beyond || !subjectUtf8.empty()) {
            // The user's text keeps every character: the header joins it in UTF-8.
            for (std::string& line : all) line = cp932::ToUtf8(line);
            if (!subjectUtf8.empty() && all[0].rfind("Subject: ", 0) == 0)
                all[0] = "Subject: " + std::string(subjectUtf8);
            if (!beyond) {
                for (const std::string& line : lines) utf8.push_back(cp932::ToUtf8(line));
            }
            all.insert(all.end(), utf8.begin(), utf8.end());
            w = WriteLines(all, composeFile, '\r', "", WriteMode::Create);
        } else {
            all.insert(all.end(), lines.begin(), lines.end());
            w = WriteUserTextFile(all, composeFile, settings.charset);
        }
        if (w != ReplaceResult::Ok) {
            ShowError(env.dialogs, WriteError(composeFile, w) + KeptNote(composeFile));
            keepFile = true;
            return ComposeOutcome::Failed;
        }
    }
    const std::string question = Sjis("【") + std::string(subject) + Sjis("】") + "\n" +
                                 Sjis("を投稿しますか？") + "\n" + Sjis("[いいえ]を選択すると") +
                                 "\n" + Sjis("保留フォルダにコピーします。");
    switch (env.dialogs.MessageBox(question, MsgIcon::Question, MsgButtons::YesNoCancel)) {
        case MsgAnswer::Yes: {
            const OutboundResult posted = current.PostFile(composeFile, kind);
            if (!posted.Ok()) {
                ShowError(env.dialogs, OutboundErrorText(posted) + KeptNote(composeFile));
                keepFile = true;
                return ComposeOutcome::Failed;
            }
            if (TGrp* folder = FindKeepFolder(OpenPackets(env), settings.postedPacket,
                                              settings.postedFolder)) {
                if (!KeepCopy(env.dialogs, *folder, composeFile, posted.addedFields))
                    keepFile = true;
            }
            return ComposeOutcome::Posted;
        }
        case MsgAnswer::No: {
            TGrp* folder =
                FindKeepFolder(OpenPackets(env), settings.reservePacket, settings.reserveFolder);
            if (!folder) {
                // Nowhere to keep it: deleting the compose file would lose the user's text.
                env.dialogs.MessageBox(
                    Sjis("保留フォルダが見つかりません。") + KeptNote(composeFile),
                    MsgIcon::Information, MsgButtons::Ok);
                keepFile = true;
                return ComposeOutcome::Kept;
            }
            if (!KeepCopy(env.dialogs, *folder, composeFile)) {
                keepFile = true;
                return ComposeOutcome::Failed;
            }
            return ComposeOutcome::Reserved;
        }
        default:
            return ComposeOutcome::Discarded;
    }
}

ComposeResult Compose(ComposeEnv& env,
                      TSoup& current,
                      int kind,
                      bool answer,
                      TMsg* answered,
                      std::string_view areaName) {
    ComposeResult result;
    if (answer && !answered)
        return result;
    if (!answer)
        answered = nullptr;
    const ComposeSettings settings =
        ReadComposeSettings(env.settings, env.programDir, env.defaultEditor);
    THeaderForm form =
        PrepareHeaderForm(kind, answered, areaName, settings.editHeader, env.programDir);
    if (!env.form.Run(form)) {
        result.outcome = ComposeOutcome::Cancelled;
        return result;
    }
    TSList headers = HeaderList(form);
    const TSList extra = ExtraHeaderLines(settings, kind, env.versionText);
    headers.insert(headers.end(), extra.begin(), extra.end());
    TSList utf8Body;  // the body in UTF-8 when the answered text holds more than Shift_JIS
    TSList body = ComposeBody(settings, kind, answered, &utf8Body);
    const std::size_t beforeSignature = body.size();
    AppendSignature(body, settings.signatureFile);
    if (!utf8Body.empty()) {
        for (std::size_t i = beforeSignature; i < body.size(); ++i)
            utf8Body.push_back(cp932::ToUtf8(body[i]));
    }

    const std::string file = NewComposeFile(env, current, kind);
    if (file.empty()) {
        result.outcome = ComposeOutcome::Failed;
        return result;
    }
    TSList content;
    if (form.editHeader) {
        content = std::move(headers);
        content.emplace_back();
        headers.clear();
    }
    ReplaceResult w = ReplaceResult::Ok;
    const bool utf8Subject = !form.subjectUtf8.empty();
    if ((!utf8Body.empty() || utf8Subject) && settings.charset == TextCharset::Utf8) {
        for (std::string& line : content) line = cp932::ToUtf8(line);
        if (utf8Subject && !content.empty() && content[0].rfind("Subject: ", 0) == 0)
            content[0] = "Subject: " + form.subjectUtf8;
        if (utf8Body.empty()) {
            for (const std::string& line : body) utf8Body.push_back(cp932::ToUtf8(line));
        }
        content.insert(content.end(), utf8Body.begin(), utf8Body.end());
        w = WriteLines(content, file, '\r', "", WriteMode::Create);
    } else {
        content.insert(content.end(), body.begin(), body.end());
        w = WriteUserTextFile(content, file, settings.charset);
    }
    if (w != ReplaceResult::Ok) {
        ShowError(env.dialogs, WriteError(file, w));
        result.outcome = ComposeOutcome::Failed;
        return result;
    }
    result.composeFile = file;
    if (RunEditor(env.editor, settings.externalEditor, file, env.programDir, &env.dialogs) ==
        EditorRun::Abandoned) {
        result.outcome = ComposeOutcome::Abandoned;
        result.fileKept = true;
        return result;
    }

    bool keep = false;
    result.outcome = PostComposeFile(env, settings, current, form.subject, file, headers, kind,
                                     keep, form.editHeader ? std::string_view() : form.subjectUtf8);
    if (keep)
        result.fileKept = true;
    else
        RemoveFile(file);
    return result;
}

bool ReEditOffered(const TSoup& packet, const TGrp& area, const ComposeSettings& settings) {
    if (packet.packetType == 2)
        return true;
    return packet.packetType == 1 && !settings.reserveFolder.empty() &&
           area.areaName == settings.reserveFolder;
}

ComposeResult ReEditMessage(ComposeEnv& env, TSoup& current, TGrp& area, int pos) {
    ComposeResult result;
    TMsg* msg = area.MessageAt(pos);
    if (!msg)
        return result;
    int kind = kNews;
    if (Trim(msg->Header("Newsgroups")).empty() && !Trim(msg->Header("To")).empty())
        kind = kMail;
    const ComposeSettings settings =
        ReadComposeSettings(env.settings, env.programDir, env.defaultEditor);
    const std::string file = NewComposeFile(env, current, kind);
    if (file.empty()) {
        result.outcome = ComposeOutcome::Failed;
        return result;
    }
    if (msg->lines.empty())
        msg->LoadLines();
    // The stored text may still be JIS (a message received into a note packet); the user edits
    // Shift_JIS, which JisToSjis leaves as it is.
    TSList lines;
    lines.reserve(msg->lines.size());
    ReplaceResult w = ReplaceResult::Ok;
    if (ReadableText readable;
        settings.charset == TextCharset::Utf8 && ReadableBody(msg->lines, readable)) {
        // A message kept in UTF-8 (as it was posted) is edited as its text, in UTF-8: its
        // header lines decoded, its MIME lines left to the posting, its body as read.
        TSList fields;  // header fields with their continuation lines (after LF)
        for (const std::string& raw : msg->lines) {
            const std::string line = WithoutLineEnd(raw);
            if (line.empty())
                break;
            if ((line[0] == ' ' || line[0] == '\t') && !fields.empty())
                fields.back() += "\n" + line;
            else
                fields.push_back(line);
        }
        for (const std::string& field : fields) {
            const std::string name = SjisUpper(field.substr(0, field.find(':')));
            if (name != "MIME-VERSION" && name != "CONTENT-TYPE" &&
                name != "CONTENT-TRANSFER-ENCODING")
                lines.push_back(DecodeHeaderUtf8(field));
        }
        lines.emplace_back();
        for (const std::string& line : readable.utf8) lines.push_back(WithoutLineEnd(line));
        w = WriteLines(lines, file, '\r', "", WriteMode::Create);
    } else {
        for (const std::string& line : msg->lines) lines.push_back(JisToSjis(WithoutLineEnd(line)));
        w = WriteUserTextFile(lines, file, settings.charset);
    }
    if (w != ReplaceResult::Ok) {
        ShowError(env.dialogs, WriteError(file, w));
        result.outcome = ComposeOutcome::Failed;
        return result;
    }
    result.composeFile = file;
    result.fileKept = true;
    const std::string subject = msg->subject;
    if (RunEditor(env.editor, settings.externalEditor, file, env.programDir, &env.dialogs) ==
        EditorRun::Abandoned) {
        // The message stays in its area; the edited text is in the compose file.
        result.outcome = ComposeOutcome::Abandoned;
        return result;
    }

    // The list may have been sorted again while the editor ran: the message is looked up by
    // its record, not by the position it had. A list loaded anew no longer holds the record;
    // then nothing is removed rather than the wrong message.
    pos = -1;
    for (int i = 0; TMsg* at = area.MessageAt(i); ++i) {
        if (at == msg) {
            pos = i;
            break;
        }
    }
    if (pos >= 0) {
        area.DeleteAt(pos);
        if (const ReplaceResult r = area.Rewrite(false); r != ReplaceResult::Ok) {
            // The message is gone from the list; the old files stay until the area is written.
            ShowError(env.dialogs, area.areaName + Sjis("を書き換えられませんでした。") + "\n(" +
                                       to_string(r) + ")");
        }
    }
    bool keep = true;
    result.outcome = PostComposeFile(env, settings, current, subject, file, {}, kind, keep);
    return result;
}

}  // namespace pelorin
