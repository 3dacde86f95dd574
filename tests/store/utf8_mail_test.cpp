// Today's mail in the store. Copying and saving a UTF-8 message hands on its text as read
// (every character in the UTF-8 copy, "〓" in the Shift_JIS one). Composing and posting text
// that ISO-2022-JP cannot carry: the user's UTF-8 text ("ü",
// Hangul, an emoji) goes out as UTF-8 and comes back whole when the reply file is read by a
// small MIME reader written here (base64 words, quoted-printable), independent of the code
// under test; text that fits ISO-2022-JP is posted as before. Answering a UTF-8 message quotes
// it with every character.
#include "support/fake_dialogs.h"
#include "support/fake_editor.h"
#include "support/testing.h"

#include "coding/cp932.h"
#include "store/compose.h"
#include "store/folders.h"
#include "store/message_text.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace pelorin {
namespace {

using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::WriteFile;

class NoForm : public THeaderFormView {
public:
    std::function<void(THeaderForm&)> fill;
    bool Run(THeaderForm& form) override {
        if (fill)
            fill(form);
        return true;
    }
};

// --- The independent reader -------------------------------------------------------------------

std::string Base64(std::string_view text) {
    static const std::string kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        const std::size_t v = kAlphabet.find(c);
        if (v == std::string::npos)
            continue;
        bits = bits << 6 | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

// Quoted-printable lines to text lines (soft breaks joined).
std::vector<std::string> QuotedPrintable(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    std::string cur;
    for (const std::string& line : lines) {
        bool soft = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] != '=') {
                cur.push_back(line[i]);
            } else if (i + 1 == line.size()) {
                soft = true;
            } else {
                cur.push_back(static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16)));
                i += 2;
            }
        }
        if (!soft) {
            out.push_back(cur);
            cur.clear();
        }
    }
    return out;
}

// A header value: "=?UTF-8?B?...?=" words (blanks between words dropped) and plain text.
std::string HeaderValue(std::string value) {
    std::string out;
    bool lastWord = false;
    std::size_t pos = 0;
    while (pos < value.size()) {
        const std::size_t p = value.find("=?UTF-8?B?", pos);
        std::string between = value.substr(pos, p == std::string::npos ? p : p - pos);
        if (!(lastWord && p != std::string::npos &&
              between.find_first_not_of(" \t") == std::string::npos))
            out += between;
        if (p == std::string::npos)
            break;
        const std::size_t end = value.find("?=", p + 10);
        out += Base64(value.substr(p + 10, end - p - 10));
        pos = end + 2;
        lastWord = true;
    }
    return out;
}

struct Reply {
    std::map<std::string, std::string> header;  // unfolded values, words decoded
    std::vector<std::string> bodyLines;         // raw
    std::vector<std::string> Text() const {
        auto it = header.find("Content-Transfer-Encoding");
        if (it != header.end() && it->second == "quoted-printable")
            return QuotedPrintable(bodyLines);
        return bodyLines;
    }
};

Reply ReadReply(const std::filesystem::path& path) {
    const std::string bytes = ReadFile(path).substr(4);  // after the binary frame
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t lf = bytes.find('\n', pos);
        lines.push_back(bytes.substr(pos, lf - pos));
        pos = lf + 1;
    }
    Reply r;
    std::size_t i = 0;
    std::string name;
    for (; i < lines.size() && !lines[i].empty(); ++i) {
        if (lines[i][0] == ' ' || lines[i][0] == '\t') {
            r.header[name] += lines[i];
            continue;
        }
        const std::size_t colon = lines[i].find(": ");
        name = lines[i].substr(0, colon);
        r.header[name] = lines[i].substr(colon + 2);
    }
    for (auto& [key, value] : r.header) value = HeaderValue(value);
    r.bodyLines.assign(lines.begin() + static_cast<std::ptrdiff_t>(i + 1), lines.end());
    return r;
}

// --- Composition --------------------------------------------------------------------------------

class ComposeUtf8Test : public ::testing::Test {
protected:
    TempDir dir;
    std::string home = dir.home().string() + "/";
    std::filesystem::path out = dir / "out";
    TIniF settings{home + "pelorin.ini"};
    testing::FakeDialogs dialogs;
    testing::FakeEditor editor;
    NoForm form;
    std::unique_ptr<TSoup> soup;
    std::unique_ptr<TSoup> kept;
    ComposeEnv env{settings, home, "1.0", "ed", dialogs, editor, form, {}, {}};

    void SetUp() override {
        std::filesystem::create_directories(out);
        std::filesystem::create_directories(dir / "soup");
        std::filesystem::create_directories(dir / "kept");
        const std::string message =
            "Subject: =?UTF-8?B?7ZWc6rWt7Ja0?=\nFrom: k@example.kr\n"
            "Message-ID: <u@x>\nMIME-Version: 1.0\n"
            "Content-Type: text/plain; charset=UTF-8\n\n"
            "Grüße 한국어 🎉\n";
        WriteFile(dir / "soup" / "AREAS", "0000001\tfj.test\tun\n");
        WriteFile(dir / "soup" / "0000001.MSG",
                  "#! rnews " + std::to_string(message.size()) + "\n" + message);
        soup = std::make_unique<TSoup>((dir / "soup").string());
        soup->SetOutboundDir(out.string());
        soup->LoadAreas();
        soup->AreaAt(0)->SetSortType(0);
        soup->AreaAt(0)->Prepare();
        kept = CreateFolderPacket((dir / "kept").string(), "kept", {out.string(), "", 0}, nullptr);
        kept->AddArea("posted", "uc");
        env.packets = {soup.get(), kept.get()};
        settings.WriteString("Message", "PostedPacket", "kept");
        settings.WriteString("Message", "PostedFolder", "posted");
        settings.WriteInteger("Message", "LastMessage", 0);  // the reply is PBM00001.MSG
    }
};

TEST_F(ComposeUtf8Test, CopiesAndSavedBodiesReadTheText) {
    TMsg* msg = soup->AreaAt(0)->MessageAt(0);
    const std::string whole = WholeMessagesUtf8({msg});
    EXPECT_NE(whole.find("Subject: 한국어\r\n"), std::string::npos) << whole;
    EXPECT_NE(whole.find("\r\n\r\nGrüße 한국어 🎉\r\n"), std::string::npos) << whole;
    EXPECT_EQ(BodyLines(*msg), (TSList{"", cp932::FromUtf8("Gr〓〓e 〓〓〓 〓")}));
    EXPECT_NE(WholeMessagesText({msg}).find(cp932::FromUtf8("Subject: 〓〓〓\r\n")),
              std::string::npos);
}

TEST_F(ComposeUtf8Test, AnswerWithCharactersBeyondJisIsPostedInUtf8) {
    std::string seen;
    editor.edits.push_back([&](const std::string& path) {
        seen = ReadFile(path);
        WriteFile(path, seen + "Danke für 한국어 😀!\r\n");
    });
    dialogs.answers.push_back(MsgAnswer::Yes);
    const ComposeResult r = Compose(env, *soup, kMail, true, soup->AreaAt(0)->MessageAt(0), "");
    ASSERT_EQ(r.outcome, ComposeOutcome::Posted);
    // The editor saw the quoted text with every character.
    EXPECT_NE(seen.find(">Grüße 한국어 🎉\r\n"), std::string::npos) << seen;

    const Reply reply = ReadReply(out / "PBM00001.MSG");
    EXPECT_EQ(reply.header.at("Content-Type"), "text/plain; charset=UTF-8");
    EXPECT_EQ(reply.header.at("Subject"), "Re: 한국어");
    EXPECT_EQ(reply.header.at("To"), "k@example.kr");
    const std::vector<std::string> text = reply.Text();
    EXPECT_NE(std::find(text.begin(), text.end(), ">Grüße 한국어 🎉"), text.end());
    EXPECT_NE(std::find(text.begin(), text.end(), "Danke für 한국어 😀!"), text.end());
    for (const std::string& line : reply.bodyLines) {
        EXPECT_LE(line.size(), 76u);
        for (char c : line) EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << line;
    }
    // The posted copy reads back as the same text.
    ASSERT_EQ(kept->FindArea("posted")->messages.size(), 1u);
}

TEST_F(ComposeUtf8Test, HeadersTypedInTheEditorKeepTheirCharacters) {
    settings.WriteString("Message", "EditHeader", "Y");
    form.fill = [](THeaderForm& f) {
        f.subject = "x";
        f.recipient = "a@example.jp";
    };
    editor.edits.push_back([](const std::string& path) {
        WriteFile(path,
                  "Subject: Über 🎉 und mehr\r\nTo: Ünal Yılmaz <u@example.tr>\r\n\r\n"
                  "ü 한국어 😀\r\n= sign and trailing blank \r\n");
    });
    dialogs.answers.push_back(MsgAnswer::Yes);
    ASSERT_EQ(Compose(env, *soup, kMail, false, nullptr, "").outcome, ComposeOutcome::Posted);
    const Reply reply = ReadReply(out / "PBM00001.MSG");
    EXPECT_EQ(reply.header.at("Subject"), "Über 🎉 und mehr");
    EXPECT_EQ(reply.header.at("To"), "Ünal Yılmaz <u@example.tr>");
    EXPECT_EQ(reply.Text(), (std::vector<std::string>{"ü 한국어 😀", "= sign and trailing blank "}));
}

TEST_F(ComposeUtf8Test, ASubjectBeyondJisTakesTheMessageToUtf8) {
    // The header form gives the subject in UTF-8 too; the body alone would fit ISO-2022-JP.
    form.fill = [](THeaderForm& f) {
        f.subject = cp932::FromUtf8("Grüße");
        f.subjectUtf8 = "Grüße 🎉";
        f.recipient = "a@example.jp";
    };
    editor.edits.push_back(
        [](const std::string& path) { WriteFile(path, ReadFile(path) + "日本語だけ\r\n"); });
    dialogs.answers.push_back(MsgAnswer::Yes);
    ASSERT_EQ(Compose(env, *soup, kMail, false, nullptr, "").outcome, ComposeOutcome::Posted);
    const Reply reply = ReadReply(out / "PBM00001.MSG");
    EXPECT_EQ(reply.header.at("Subject"), "Grüße 🎉");
    const std::vector<std::string> text = reply.Text();
    EXPECT_NE(std::find(text.begin(), text.end(), "日本語だけ"), text.end());
}

TEST_F(ComposeUtf8Test, AControlCharacterInTheAnsweredSubjectAddsNoHeaderField) {
    // "=0D" decodes to a CR, which would end the Subject line in the compose file.
    const std::string message =
        "Subject: =?UTF-8?Q?=ED=95=9C=0DBcc:_evil@example.com?=\nFrom: k@example.kr\n"
        "Message-ID: <c@x>\n\nbody\n";
    WriteFile(dir / "soup" / "0000001.MSG",
              "#! rnews " + std::to_string(message.size()) + "\n" + message);
    soup = std::make_unique<TSoup>((dir / "soup").string());
    soup->SetOutboundDir(out.string());
    soup->LoadAreas();
    soup->AreaAt(0)->SetSortType(0);
    soup->AreaAt(0)->Prepare();
    env.packets = {soup.get(), kept.get()};
    editor.edits.push_back(
        [](const std::string& path) { WriteFile(path, ReadFile(path) + "ok\r\n"); });
    dialogs.answers.push_back(MsgAnswer::Yes);
    ASSERT_EQ(Compose(env, *soup, kMail, true, soup->AreaAt(0)->MessageAt(0), "").outcome,
              ComposeOutcome::Posted);
    const Reply reply = ReadReply(out / "PBM00001.MSG");
    EXPECT_EQ(reply.header.count("Bcc"), 0u);
    EXPECT_EQ(reply.header.at("Subject"), "Re: 한 Bcc: evil@example.com");
}

TEST_F(ComposeUtf8Test, AKeptUtf8MessageIsEditedAgainAsItsText) {
    kept->AddArea("reserve", "uc");
    settings.WriteString("Message", "ReservePacket", "kept");
    settings.WriteString("Message", "ReserveFolder", "reserve");
    form.fill = [](THeaderForm& f) {
        f.subject = "x";
        f.recipient = "a@example.jp";
    };
    editor.edits.push_back([](const std::string& path) {
        WriteFile(path, ReadFile(path) + "ü 한국어 😀 and a long line to see how it comes back\r\n");
    });
    dialogs.answers.push_back(MsgAnswer::No);  // kept in the reserve folder
    ASSERT_EQ(Compose(env, *soup, kMail, false, nullptr, "").outcome, ComposeOutcome::Reserved);
    TGrp& reserve = *kept->FindArea("reserve");
    ASSERT_EQ(reserve.messages.size(), 1u);

    std::string seen;
    editor.edits.push_back([&](const std::string& path) { seen = ReadFile(path); });
    dialogs.answers.push_back(MsgAnswer::Yes);
    (void)ReEditMessage(env, *kept, reserve, 0);
    EXPECT_NE(seen.find("Subject: x\r\nTo: a@example.jp\r\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\r\nü 한국어 😀 and a long line to see how it comes back\r\n"),
              std::string::npos)
        << seen;
    EXPECT_EQ(seen.find("quoted-printable"), std::string::npos) << seen;
    const Reply reply = ReadReply(out / "PBM00002.MSG");
    const std::vector<std::string> text = reply.Text();
    EXPECT_NE(
        std::find(text.begin(), text.end(), "ü 한국어 😀 and a long line to see how it comes back"),
        text.end());
}

TEST_F(ComposeUtf8Test, TextThatFitsIsPostedInIso2022JpAsBefore) {
    editor.edits.push_back(
        [](const std::string& path) { WriteFile(path, ReadFile(path) + "日本語だけ\r\n"); });
    form.fill = [](THeaderForm& f) {
        f.subject = S("件名");
        f.recipient = "a@example.jp";
    };
    dialogs.answers.push_back(MsgAnswer::Yes);
    ASSERT_EQ(Compose(env, *soup, kMail, false, nullptr, "").outcome, ComposeOutcome::Posted);
    const std::string raw = ReadFile(out / "PBM00001.MSG");
    EXPECT_NE(raw.find("Content-Type: text/plain; charset=ISO-2022-JP"), std::string::npos);
    EXPECT_NE(raw.find("Subject: =?ISO-2022-JP?B?"), std::string::npos);
    EXPECT_EQ(raw.find("UTF-8"), std::string::npos);
}

}  // namespace
}  // namespace pelorin
