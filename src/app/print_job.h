// What printing a message hands to the text view: the left and right header lines of the page
// header, each line of [Print] PrintLeftHeader0.. and PrintRightHeader0.. expanded for the
// message (TMsg::Expand), and the four margins in printer dots ([Print] PrintTopMergine,
// PrintBottomMergine, PrintLeftMergine, PrintRightMergine, 100 each, written when missing).
#pragma once

#include "store/inifile.h"
#include "store/msg.h"
#include "store/strutil.h"

namespace pelorin {

class TTextView;

struct TPrintJob {
    TSList leftHeaders;
    TSList rightHeaders;
    int topMergine = 100;
    int bottomMergine = 100;
    int leftMergine = 100;
    int rightMergine = 100;
};

TPrintJob ReadPrintJob(TIniF& ini, TMsg& message);
// Gives the header lines and margins to the text view's print properties.
void ApplyPrintJob(const TPrintJob& job, TTextView& view);

}  // namespace pelorin
