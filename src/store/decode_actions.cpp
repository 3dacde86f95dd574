// Decoding messages to files (see decode_actions.h).
#include "store/decode_actions.h"

#include "coding/cp932.h"
#include "coding/mime.h"
#include "coding/uucode.h"

namespace pelorin {
namespace {

constexpr size_t kShownProblems = 10;

std::string Why(MimeSaveResult result, const std::string& dataPath) {
    switch (result) {
        case MimeSaveResult::NotBase64:
            return Sjis("base64で符号化されていないため保存しません");
        case MimeSaveResult::BadName:
            return Sjis("ファイル名として使えません");
        case MimeSaveResult::Failed:
            return dataPath + Sjis(" に書き込めませんでした");
        case MimeSaveResult::Written:
        case MimeSaveResult::Exists:
            break;
    }
    return {};
}

std::string Why(UuResult result, const std::string& dataPath) {
    switch (result) {
        case UuResult::BadName:
            return Sjis("ファイル名として使えません");
        case UuResult::Failed:
            return dataPath + Sjis(" に書き込めませんでした");
        case UuResult::NoEnd:
            return Sjis("end行がないため途中までを書き込みました");
        case UuResult::Decoded:
        case UuResult::NothingDecoded:
        case UuResult::Exists:
            break;
    }
    return {};
}

DecodeOutcome Uudecode(TMsg& msg,
                       const TSList& lines,
                       const std::string& dataPath,
                       std::vector<std::string>& problems) {
    TUucode uu;
    uu.EncodedStrings = lines;
    uu.DataPath = dataPath;
    uu.SetFileStat("600");
    const UuResult result = uu.Decode();
    for (const TUuBlock& block : uu.Blocks) {
        const std::string why = Why(block.Result, dataPath);
        if (!why.empty())
            problems.push_back(block.Filename + Sjis("：") + why);
    }
    switch (result) {
        case UuResult::Decoded:
        case UuResult::NoEnd:
            return DecodeOutcome::Success;
        case UuResult::Exists:
            return DecodeOutcome::Exists;
        case UuResult::NothingDecoded:
            problems.push_back(msg.subject +
                               Sjis("：添付ファイルもuuencodeされたファイルもありません"));
            return DecodeOutcome::Failure;
        case UuResult::BadName:
        case UuResult::Failed:
            break;
    }
    return DecodeOutcome::Failure;
}

}  // namespace

DecodeOutcome DecodeOneMessage(TMsg& msg,
                               const std::string& dataPath,
                               TDialogs& dialogs,
                               std::vector<std::string>& problems) {
    const bool hadLines = !msg.lines.empty();
    if (!hadLines)
        msg.LoadLines();
    const TSList lines = msg.lines;
    if (!hadLines && !msg.msgFile.empty())
        msg.lines.clear();

    TMIMEc mime;
    mime.Parse(lines);
    bool named = false;
    DecodeOutcome outcome = DecodeOutcome::Failure;
    const std::vector<TMIMEPart*> leaves = mime.Root.Leaves();
    for (size_t i = 0; i < leaves.size(); ++i) {
        TMIMEPart& part = *leaves[i];
        if (part.ContentType == "text")
            continue;
        if (part.FileName.empty()) {
            std::string answer;
            const std::string prompt = msg.subject + Sjis("の") + std::to_string(i + 1) +
                                       Sjis("番目のパート") + "\n" +
                                       "Content-Type:" + part.ContentType + "/" + part.SubType +
                                       "\n" + Sjis("のファイル名を指定してください");
            if (dialogs.InputBox(Sjis("ファイル名の入力"), prompt, answer) && !answer.empty())
                part.FileName = answer;
        }
        if (part.FileName.empty())
            continue;
        named = true;
        const MimeSaveResult result = part.SaveBase64(dataPath);
        switch (result) {
            case MimeSaveResult::Written:
                outcome = DecodeOutcome::Success;
                break;
            case MimeSaveResult::Exists:
                outcome = DecodeOutcome::Exists;
                break;
            case MimeSaveResult::NotBase64:
            case MimeSaveResult::BadName:
            case MimeSaveResult::Failed:
                outcome = DecodeOutcome::Failure;
                problems.push_back(part.FileName + Sjis("：") + Why(result, dataPath));
                break;
        }
    }
    if (!named)
        outcome = Uudecode(msg, lines, dataPath, problems);
    return outcome;
}

DecodeSummary DecodeMessages(const std::vector<TMsg*>& msgs,
                             const std::string& dataPath,
                             TDialogs& dialogs,
                             const std::function<void(size_t, size_t)>& progress) {
    DecodeSummary summary;
    for (size_t i = 0; i < msgs.size(); ++i) {
        if (progress)
            progress(i, msgs.size());
        ++summary.checked;
        switch (DecodeOneMessage(*msgs[i], dataPath, dialogs, summary.problems)) {
            case DecodeOutcome::Success:
                ++summary.succeeded;
                break;
            case DecodeOutcome::Exists:
                ++summary.existing;
                break;
            case DecodeOutcome::Failure:
                ++summary.failed;
                break;
        }
    }
    return summary;
}

std::string DecodeSummaryText(const DecodeSummary& summary) {
    std::string text = Sjis("選択された") + std::to_string(summary.checked) + Sjis("件の内") +
                       "\n" + std::to_string(summary.succeeded) + Sjis("件のデコードに成功") +
                       "\n" + std::to_string(summary.existing) + Sjis("件は同名のファイルが存在") +
                       "\n" + std::to_string(summary.failed) + Sjis("件はデコードに失敗しました。");
    if (!summary.problems.empty())
        text += "\n";
    for (size_t i = 0; i < summary.problems.size() && i < kShownProblems; ++i)
        text += "\n" + summary.problems[i];
    if (summary.problems.size() > kShownProblems) {
        text += "\n" + Sjis("ほか") + std::to_string(summary.problems.size() - kShownProblems) +
                Sjis("件");
    }
    return text;
}

}  // namespace pelorin
