// The parts of showing a message that do not need the window: the tab captions of its MIME
// parts, the lines the text view gets for a part, the areas its cross-posted copies lie in, and
// the status text of a shown message.
//
// Tab captions: with one part, the expanded [Display] MessageTabString; with more, the first
// caption is that text + "(" type "/" subtype ")", the others "(" type "/" subtype ")"; a part
// with a file name adds ":" + the name.
//
// Text lines of a part: with headers shown, the header lines as the message holds them; then
// one empty line, then the part's body lines.
//
// Cross-posts: a message whose Newsgroups value holds "," is marked read (by Message-ID) in
// every area of a received (type 0) packet whose name is one of the newsgroups. Names are
// compared whole, blanks around them ignored: "fj.test" is not a copy in an area "test".
//
// Pictures: an image part without a file name is saved as "tmpimege" + ".JPG" (subtype jpeg),
// ".GIF" (gif) or ".DAT" (anything else); a picture is fitted into the text pane keeping its
// proportions: full width and centred vertically when the pane is taller than the picture's
// shape, else full height less 2 and centred horizontally, below the tab bar either way.
#pragma once

#include "coding/mime_part.h"
#include "store/grp.h"
#include "store/soup.h"
#include "store/strutil.h"

#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// The decoded parts of a message: the leaves of its MIME tree, or the root when it has none.
std::vector<TMIMEPart*> DisplayParts(TMIMEPart& root);

// Captions for `parts`; `tabText` is the expanded MessageTabString (Shift_JIS).
std::vector<std::string> TabCaptions(const std::string& tabText,
                                     const std::vector<TMIMEPart*>& parts);

// The text view's lines for a part.
TSList PartLines(bool headers, const std::vector<std::string>& headerLines, const TMIMEPart& part);

// The same lines as the view is to be given them: Shift_JIS as PartLines gives them, or UTF-8
// (utf8 set) when the part was read through Unicode or a header line shown is UTF-8 itself, so
// that every character is drawn. In UTF-8 the header lines are kept when they are UTF-8 (ASCII
// included) and read as Shift_JIS otherwise.
struct PartText {
    TSList lines;
    bool utf8 = false;
};
PartText PartTextFor(bool headers,
                     const std::vector<std::string>& headerLines,
                     const TMIMEPart& part);

// The temporary picture name for an image part of `subType` (lower case).
std::string TemporaryPictureName(std::string_view subType);

// Where a picture of pictureWidth x pictureHeight goes in a text pane of paneWidth x paneHeight
// whose top tabHeight pixels hold the tab bar (0 when hidden). Empty for an empty picture.
struct PictureBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};
PictureBox FitPicture(
    int paneWidth, int paneHeight, int tabHeight, int pictureWidth, int pictureHeight);

// Whether `newsgroups` (a Newsgroups header value) names the area `areaName`.
bool NamesNewsgroup(std::string_view newsgroups, std::string_view areaName);

// Marks `messageId` read in every area of a type-0 packet that `newsgroups` names. Returns the
// areas marked.
std::vector<TGrp*> MarkCrossPostsRead(const std::vector<TSoup*>& packets,
                                      std::string_view newsgroups,
                                      std::string_view messageId);

}  // namespace pelorin
