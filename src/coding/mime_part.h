// One node of the MIME part tree of a message.
//
// The tree is built line by line: every line of the message is fed to the root with AddLine,
// and each part decides from its own state where the line goes. A part first collects header
// lines; the first empty line ends the header and runs ParseHeader. After that, in a part that
// is an open multipart, the delimiter lines "--" + Boundary start new child parts and
// "--" + Boundary + "--" closes the multipart; every other line goes to the newest child (or,
// before the first delimiter, to this part's own Body as the preamble). In every other part
// the line is a body line: plain text (text/plain, or text without a subtype) is converted to
// Shift_JIS at once (JisToSjis, after DecodeHeaderWords when DecodeAsHeader is set and the
// message is MIME), every other body stays as it came (base64 of pictures and attachments,
// HTML, the epilogue of a closed multipart). Base64 and quoted-printable text is decoded later,
// on demand, by DecodeText.
//
// A leaf is a part without children; a multipart with children is not a leaf, and its own
// Body (preamble and epilogue) is not shown.
//
// Line ends: lines normally come without their LF. A line may still end in CR (a message
// stored with CR LF line ends): a line holding only CR ends the header like an empty one,
// delimiter lines are recognised without their CR, and a header value does not include
// trailing white space (CR, space, TAB). Body lines keep their CR.
//
// Charsets: a text part declared in a charset other than ISO-2022-JP or Shift_JIS (UTF-8,
// EUC-JP, ISO-8859-*, ...) is read through Unicode: Text holds its lines in UTF-8, with every
// character, and Body the same lines in Shift_JIS, where a character CP932 cannot hold is
// "〓". Undeclared 8-bit text (no charset, US-ASCII or ISO-2022-JP declared, or a declared
// UTF-8 that is not) is read as UTF-8 when it is well-formed UTF-8, as EUC-JP when the
// detector says so, and as before (Shift_JIS bytes as they are) otherwise. Text stays empty for
// a part read the way this program always read it, so such parts are shown and used exactly
// as before. Lines that need the whole part to decide are converted when the message is
// complete (FinishText, called by TMIMEc::Parse and by DecodeText).
//
// HTML text parts become readable text when DecodeText runs (see html_text.h), and text
// declared format=flowed has its soft line breaks joined (RFC 3676).
//
// File names come from the Content-Type name= parameter, or, for a part without one, from the
// Content-Disposition filename= parameter, in RFC 2231 form too (filename*=UTF-8''..., continuations
// filename*0*=, filename*1*= ...); FileNameUtf8 keeps a name read through Unicode with every
// character, for the file written on disk.
//
// Bad input: parsing never fails. Unknown header forms are ignored; a multipart without a
// matching delimiter line is a leaf whose Body holds all its lines unchanged; a part whose
// header never ends has an empty Body. Nesting is bounded: a multipart more than
// kMaxMimeLevel levels below the root is not split and stays a leaf with its lines unchanged,
// so a hostile message cannot make the tree (and the recursion over it) arbitrarily deep.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// The deepest level (the root is level 0) at which a multipart is still split into parts.
// Real mail nests a few levels (mixed > alternative > related); 32 leaves room for forwarded
// chains while keeping recursion shallow.
constexpr int kMaxMimeLevel = 32;

// What SaveBase64 did. When results are grouped into success, "file exists" and failure,
// BadName and Failed count as not written, like NotBase64.
// (clang-format 14 would glue the brace to the name of an attributed enum)
// clang-format off
enum class [[nodiscard]] MimeSaveResult {
    NotBase64 = 0,  // the part is not base64-encoded; nothing was written
    Written = 1,    // the decoded bytes are in the file
    Exists = 2,     // a file of that name was already there and was left untouched
    BadName = 3,    // the part's file name is empty or unusable; nothing was written
    Failed = 4,     // the file could not be created or written; nothing was left behind
};
// clang-format on
const char* to_string(MimeSaveResult result);

class TMIMEPart {
public:
    TMIMEPart() = default;
    TMIMEPart(const TMIMEPart&) = delete;
    TMIMEPart& operator=(const TMIMEPart&) = delete;
    TMIMEPart(TMIMEPart&&) = default;
    TMIMEPart& operator=(TMIMEPart&&) = default;

    // Feeds one line of the message (without its LF) to this part.
    void AddLine(std::string_view line);
    // Reads ContentType, SubType, Encoding, MimeVersion and the parameters from Header.
    void ParseHeader();
    // Reads the parameters of a Content-Type value (the text after the first ";").
    void ParseParams(std::string_view text);
    // Routes one body line (see the top of this file).
    void AddBodyLine(std::string_view line);

    // Number of leaves under this part (1 for a leaf).
    std::size_t LeafCount() const;
    // The i-th leaf (0-based, depth first in document order), or nullptr when out of range.
    TMIMEPart* Leaf(std::size_t i);
    // All leaves in the order of Leaf(0), Leaf(1) ..., collected in one walk.
    std::vector<TMIMEPart*> Leaves();

    // Returns the part to its start state. ParseBody and DecodeAsHeader keep their values.
    void Reset();
    // Decodes a base64 or quoted-printable text body in place and sets Encoding to "7bit", so
    // that later calls leave the body as it is. Other parts are not touched.
    void DecodeText();
    // Writes the decoded bytes of a base64 part as FileName into `directory`, never replacing
    // an existing file (see safe_file.h for how the name is checked).
    MimeSaveResult SaveBase64(const std::string& directory) const;
    // The decoded bytes of a base64 part, as SaveBase64 writes them; "" for any other part.
    std::string DecodedBase64() const;
    // Rot13/47 of every body line, in place. The UTF-8 lines are dropped: the part then shows
    // its Shift_JIS lines.
    void RotBody();
    // Converts the lines that waited for the whole part (see the top of this file); nothing
    // when there are none. TMIMEc::Parse calls it for every part.
    void FinishText();
    // The name the part is written under on disk ("" when it has none usable).
    std::string DiskFileName() const;

    // How deep this part is below the root (0 for the root).
    int Level() const { return level_; }

    bool InHeader = true;              // header lines are still being collected
    std::string ContentType = "text";  // media type, lower case
    std::string SubType = "plain";     // media subtype, lower case; "" when the value has no "/"
    std::string Encoding = "7bit";     // Content-Transfer-Encoding, lower case
    std::string FileName;              // the file name (see above), decoded to Shift_JIS
    std::string FileNameUtf8;          // the same in UTF-8 when read through Unicode, else ""
    std::string Charset;               // the charset= parameter as written
    std::string Boundary;              // the boundary= parameter
    std::string MimeVersion;           // text after "mime-version: "; inherited by children
    std::vector<std::string> Params;   // Content-Type parameters, one per entry, trimmed
    std::vector<std::string> Header;   // raw header lines, as received
    std::vector<std::string> Body;     // body lines (converted as described above)
    std::vector<std::string> Text;     // the body lines in UTF-8 when read through Unicode
    std::vector<std::unique_ptr<TMIMEPart>> Parts;  // child parts, owned, in order
    bool Closed = false;                            // a multipart has seen its closing delimiter
    bool ParseBody = true;        // false: show-headers mode, the body is kept whole
    bool DecodeAsHeader = false;  // also decode encoded words in body lines of MIME messages

private:
    // A body line of plain text, converted for display.
    std::string ConvertTextLine(std::string_view line) const;
    bool IsPlainText() const;
    bool IsHtml() const;
    // Reads the lines of Body listed in raw_ (bytes as the message gave them, the others
    // already converted) in their charset, or the old way when they need no Unicode.
    void ReadRawLines(bool transferDecoded);
    // Reads an HTML body (transfer encoding already undone) into Text and Body.
    void ReadHtml(std::string bytes);
    void Reflow();
    // The filename= of a Content-Disposition value's parameters (`text`), in both forms.
    void ReadDispositionParams(std::string_view text, std::string& sjis, std::string& utf8);

    int level_ = 0;                 // 0 for the root, parent's level + 1 for a child
    std::vector<std::size_t> raw_;  // indexes of Body lines still raw, ascending
    bool allRaw_ = false;           // every body line is kept raw until FinishText
    bool textDone_ = false;         // HTML read or flowed text joined; never again
    bool flowed_ = false;           // format=flowed
    bool delsp_ = false;            // delsp=yes (with format=flowed)
};

}  // namespace pelorin
