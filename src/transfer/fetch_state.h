// What has been fetched already, kept beside transfer.INI in transfer-state.INI (TIniF, so
// every change is a whole-file replacement through a rename):
//
//   [news NAME GROUP]   Last=  the highest article number appended
//   [imap NAME]         UIDValidity=, LastUID=  (a changed UIDVALIDITY starts afresh; the
//                                               appender knows the messages it holds by
//                                               their bytes, so that doubles none)
//                       Retry=  UIDs (comma-separated) that a run could not have - refused,
//                               or larger than MaxMessageSize - asked for again each run;
//                               LastUID never passes a UID neither stored nor listed here
//                       Unsee=  from earlier versions: a UID whose \Seen flag is still to be
//                               taken off (AfterFetch=keep)
//
// POP3 servers number messages per session, so a POP3 mailbox keeps the UIDLs it has fetched
// in a file of its own ("pop3-NAME.uidl", one UIDL a line), rewritten atomically; UIDLs the
// server no longer lists are dropped from it.
//
// Each value is written only after the messages it covers are in the packet and flushed. A
// crash in between makes the next run fetch those messages again, and the appender skips them.
// So the file is replaced atomically but not flushed to the disk each time: a power cut that
// loses its last change costs a refetch, never a message.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

namespace pelorin {
class TIniF;
}

namespace pelorin::transfer {

class FetchState {
public:
    explicit FetchState(const std::string& dir);
    ~FetchState();

    int64_t Get(const std::string& section, const std::string& key);
    // Throws TransferError (LocalFile) when the file cannot be written.
    void Set(const std::string& section, const std::string& key, int64_t value);
    std::string GetText(const std::string& section, const std::string& key);
    void SetText(const std::string& section, const std::string& key, const std::string& value);

    std::set<std::string> Uidls(const std::string& server);
    void SetUidls(const std::string& server, const std::set<std::string>& uidls);

private:
    std::string dir_;
    std::unique_ptr<TIniF> ini_;
};

}  // namespace pelorin::transfer
