// The parts of showing a message that do not need the window: the tab captions of its MIME
// parts, the lines the text view gets for a part, the areas its cross-posted copies lie in, and
// the status text of a shown message.
//
// Tab captions: with one part, the expanded [Display] MessageTabString; with more, the first
// caption is that text + "(" type "/" subtype ")", the others "(" type "/" subtype ")"; a part
// with a file name adds ":" + the name.
//
// Text lines of a part: with headers shown, the header lines as the message holds them; then
// one empty line, then the part's body lines. (The pane itself is given PartTextFor's lines.)
//
// Cross-posts: a message whose Newsgroups value holds "," is marked read (by Message-ID) in
// every area of a received (type 0) packet whose name is one of the newsgroups. Names are
// compared whole, blanks around them ignored: "fj.test" is not a copy in an area "test".
//
// Pictures: an image part is shown from a file whose extension tells the picture control its
// reader: by the subtype (jpeg and pjpeg ".JPG", gif ".GIF", png ".PNG", bmp ".BMP", tiff ".TIF",
// webp ".WEBP", svg+xml ".SVG"), else by the extension of the part's file name, upper-cased
// (".jpeg" and ".tiff" read as ".JPG" and ".TIF"); none for anything else. A picture is fitted into the text pane keeping its
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

// The lines the view is given for a part: without headers, Shift_JIS as PartLines gives them,
// or UTF-8 (utf8 set) when the part was read through Unicode, so that every character is
// drawn. With headers shown always UTF-8: the header block decoded with every character
// (store/message_text.h HeaderBlockUtf8), an empty line, then the part's text exactly as it
// shows without headers.
struct PartText {
    TSList lines;
    bool utf8 = false;
};
PartText PartTextFor(bool headers,
                     const std::vector<std::string>& headerLines,
                     const TMIMEPart& part);

// The extension (".JPG") of the file an image part of `subType` (lower case) named `fileName`
// (Shift_JIS, may be empty) is shown from; "" when neither tells a picture format.
std::string PictureExtension(std::string_view subType, std::string_view fileName);

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
