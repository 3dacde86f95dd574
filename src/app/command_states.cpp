// The command states (see command_states.h).
#include "app/command_states.h"

namespace pelorin {

void EnterNoAreaState(TCommandSet& c, const CommandContext& context) {
    c.Enable({"mnuReplyMail",   "mnuNewNews",      "mnuFollowNews", "mnuSendMe", "mnuAllReaded",
              "mnuNewFolder",   "mnuCopyToFolder", "mnuDecode",     "mnuClose",  "EditCopyItem",
              "FileSaveAsItem", "ftbNewFolder",    "ftbReply",      "ftbNews",   "ftbFollow",
              "ftbSendMe",      "ftbFolderCopy",   "ftbCopy",       "ftbSave",   "ftbDecode",
              "ftbClose",       "mnuSubCommand"},
             false);
    EnterNoMessageState(c, context);
}

void EnterPacketSelectedState(TCommandSet& c, const CommandContext& context) {
    c.Enable({"mnuNewFolder", "ftbNewFolder"}, context.packetType == 1);
    c.Enable({"mnuNewMail", "ftbMail", "mnuClose", "ftbClose"}, true);
}

void EnterAreaOpenState(TCommandSet& c, const CommandContext& context) {
    const bool news =
        context.packetType == 0 && (context.messageFormat == 'u' || context.messageFormat == 'B');
    c.Enable({"mnuNewNews", "ftbNews"}, news);
    CheckSortOrder(c, context.sortType);
    c.Show("mnuMakeNewChild", context.packetType == 2);
    c.Enable({"mnuAllReaded", "mnuNewMail", "ftbMail", "mnuSubCommand"}, true);
    c.Enable({"mnuNewFolder", "ftbNewFolder"}, context.packetType == 1);
    c.Enable({"mnuClose", "ftbClose"}, false);
    EnterNoMessageState(c, context);
}

void EnterNoMessageState(TCommandSet& c, const CommandContext& context) {
    c.Enable({"mnuModMsg", "mnuReplyMail", "mnuFollowNews", "FilePrintItem", "ftbPrint", "ftbReply",
              "ftbFollow"},
             false);
    c.Enable({"ftbNextU", "ftbNext", "ftbPrev"}, context.areaOpen);
    if (!context.anySelected) {
        c.Enable({"ftbFolderCopy", "ftbCopy", "ftbSave", "ftbDecode", "ftbSendMe", "EditCopyItem",
                  "mnuCopyToFolder", "FileSaveAsItem", "mnuChkCls", "mnuDecode", "mnuSendMe"},
                 false);
    }
}

void CheckSortOrder(TCommandSet& c, int sortType) {
    c.Check("mnuDispThread", sortType == 1 || sortType == 5);
    c.Check("mnuDispSubj", sortType == 2);
    c.Check("mnuDispAuth", sortType == 3);
    c.Check("mnuDispDate", sortType == 4);
    c.Check("mnuDispNoSort", sortType < 1 || sortType > 5);
}

}  // namespace pelorin
