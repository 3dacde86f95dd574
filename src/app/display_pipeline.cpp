// Tab captions, part lines and cross-posted copies of a shown message (see display_pipeline.h).
#include "app/display_pipeline.h"

#include "coding/charset.h"
#include "coding/cp932.h"

namespace pelorin {

namespace {

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string TypeText(const TMIMEPart& part) {
    std::string text = "(" + part.ContentType + "/" + part.SubType + ")";
    if (!part.FileName.empty())
        text += ":" + part.FileName;
    return text;
}

}  // namespace

std::vector<TMIMEPart*> DisplayParts(TMIMEPart& root) {
    std::vector<TMIMEPart*> parts = root.Leaves();
    if (parts.empty())
        parts.push_back(&root);
    return parts;
}

std::vector<std::string> TabCaptions(const std::string& tabText,
                                     const std::vector<TMIMEPart*>& parts) {
    std::vector<std::string> captions;
    if (parts.size() == 1) {
        std::string caption = tabText;
        if (!parts[0]->FileName.empty())
            caption += ":" + parts[0]->FileName;
        captions.push_back(std::move(caption));
        return captions;
    }
    for (size_t i = 0; i < parts.size(); ++i)
        captions.push_back((i == 0 ? tabText : std::string()) + TypeText(*parts[i]));
    return captions;
}

TSList PartLines(bool headers, const std::vector<std::string>& headerLines, const TMIMEPart& part) {
    TSList lines;
    lines.reserve((headers ? headerLines.size() : 0) + 1 + part.Body.size());
    if (headers)
        lines.insert(lines.end(), headerLines.begin(), headerLines.end());
    lines.emplace_back();
    lines.insert(lines.end(), part.Body.begin(), part.Body.end());
    return lines;
}

PartText PartTextFor(bool headers,
                     const std::vector<std::string>& headerLines,
                     const TMIMEPart& part) {
    bool utf8 = !part.Text.empty();
    for (std::size_t i = 0; headers && !utf8 && i < headerLines.size(); ++i)
        utf8 = Has8Bit(headerLines[i]) && IsUtf8(headerLines[i]);
    if (!utf8)
        return PartText{PartLines(headers, headerLines, part), false};
    PartText text;
    text.utf8 = true;
    if (headers) {
        for (const std::string& line : headerLines)
            text.lines.push_back(IsUtf8(line) ? line : cp932::ToUtf8(line));
    }
    text.lines.emplace_back();
    if (!part.Text.empty()) {
        text.lines.insert(text.lines.end(), part.Text.begin(), part.Text.end());
    } else {
        for (const std::string& line : part.Body) text.lines.push_back(cp932::ToUtf8(line));
    }
    return text;
}

bool NamesNewsgroup(std::string_view newsgroups, std::string_view areaName) {
    if (areaName.empty())
        return false;
    size_t start = 0;
    while (start <= newsgroups.size()) {
        size_t comma = newsgroups.find(',', start);
        if (comma == std::string_view::npos)
            comma = newsgroups.size();
        if (Trimmed(newsgroups.substr(start, comma - start)) == areaName)
            return true;
        start = comma + 1;
    }
    return false;
}

std::vector<TGrp*> MarkCrossPostsRead(const std::vector<TSoup*>& packets,
                                      std::string_view newsgroups,
                                      std::string_view messageId) {
    std::vector<TGrp*> marked;
    for (TSoup* packet : packets) {
        if (!packet || packet->packetType != 0)
            continue;
        for (const auto& area : packet->areas) {
            if (NamesNewsgroup(newsgroups, area->areaName)) {
                area->MarkSeen(messageId);
                marked.push_back(area.get());
            }
        }
    }
    return marked;
}

std::string TemporaryPictureName(std::string_view subType) {
    if (subType == "jpeg")
        return "tmpimege.JPG";
    if (subType == "gif")
        return "tmpimege.GIF";
    return "tmpimege.DAT";
}

PictureBox FitPicture(
    int paneWidth, int paneHeight, int tabHeight, int pictureWidth, int pictureHeight) {
    PictureBox box;
    const int h = paneHeight - tabHeight;
    const int w = paneWidth;
    if (pictureWidth <= 0 || pictureHeight <= 0 || w <= 0 || h <= 2)
        return box;
    const double r = static_cast<double>(pictureHeight) / pictureWidth;
    if (static_cast<double>(h) / w > r) {
        box.width = w;
        box.height = static_cast<int>(w * r);
        box.left = 1;
        box.top = (h - box.height) / 2 + tabHeight;
    } else {
        box.height = h - 2;
        box.width = static_cast<int>(box.height / r);
        box.left = (w - box.width) / 2;
        box.top = tabHeight + 1;
    }
    return box;
}

}  // namespace pelorin
