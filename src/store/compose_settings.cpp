// Reading the composition settings (see compose_settings.h).
#include "store/compose_settings.h"

#include "store/settings.h"

namespace pelorin {

ComposeSettings ReadComposeSettings(TIniF& ini,
                                    std::string_view programDir,
                                    std::string_view defaultEditor) {
    TIniF::Update batch(ini);  // defaults written back in one file write
    ComposeSettings s;
    s.editHeader = ReadFlag(ini, "Message", "EditHeader", false);
    s.replyTo = ReadText(ini, "Message", "ReplyTo", "");
    ReadList(ini, "Message", "MailHeader", s.mailHeader);
    ReadList(ini, "Message", "NewsHeader", s.newsHeader);
    ReadList(ini, "Message", "MailBody", s.mailBody);
    ReadList(ini, "Message", "NewsBody", s.newsBody);
    s.refer = ReadText(ini, "Message", "Refer", "In article %I, %F{,you} wrote");
    s.quoteCharacter = ReadText(ini, "Message", "QuoteCharacter", ">");
    s.signatureFile =
        ReadText(ini, "Message", "Signature-File", std::string(programDir) + "SIG.TXT");
    s.postedPacket = ReadText(ini, "Message", "PostedPacket", "");
    s.postedFolder = ReadText(ini, "Message", "PostedFolder", "");
    s.reservePacket = ReadText(ini, "Message", "ReservePacket", "");
    s.reserveFolder = ReadText(ini, "Message", "ReserveFolder", "");
    s.externalEditor = ReadText(ini, "Editor", "ExternalEditor", defaultEditor);
    s.charset = ParseCharset(ReadText(ini, "Editor", "Charset", "UTF-8"));
    return s;
}

}  // namespace pelorin
