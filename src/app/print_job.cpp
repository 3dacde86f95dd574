// Header lines and margins of a printed message (see print_job.h).
#include "app/print_job.h"

#include "store/settings.h"

#include "app/settings_names.h"
#include "view/textview.h"

namespace pelorin {

namespace s = settings;

TPrintJob ReadPrintJob(TIniF& ini, TMsg& message) {
    TPrintJob job;
    TSList lines;
    ReadList(ini, s::kPrint, s::kPrintLeftHeader, lines);
    for (const std::string& line : lines) job.leftHeaders.push_back(message.Expand(line));
    lines.clear();
    ReadList(ini, s::kPrint, s::kPrintRightHeader, lines);
    for (const std::string& line : lines) job.rightHeaders.push_back(message.Expand(line));
    job.leftMergine = ReadNumber(ini, s::kPrint, s::kPrintLeftMergine, s::kDefaultPrintMergine);
    job.topMergine = ReadNumber(ini, s::kPrint, s::kPrintTopMergine, s::kDefaultPrintMergine);
    job.bottomMergine = ReadNumber(ini, s::kPrint, s::kPrintBottomMergine, s::kDefaultPrintMergine);
    job.rightMergine = ReadNumber(ini, s::kPrint, s::kPrintRightMergine, s::kDefaultPrintMergine);
    return job;
}

void ApplyPrintJob(const TPrintJob& job, TTextView& view) {
    view.SetPrintLeftHeaders(job.leftHeaders);
    view.SetPrintRightHeaders(job.rightHeaders);
    view.SetPrintLeftMergine(job.leftMergine);
    view.SetPrintTopMergine(job.topMergine);
    view.SetPrintBottomMergine(job.bottomMergine);
    view.SetPrintRightMergine(job.rightMergine);
}

}  // namespace pelorin
