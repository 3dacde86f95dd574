// Tab captions, part lines and cross-posted copies of a shown message (see display_pipeline.h).
#include "app/display_pipeline.h"

#include "coding/charset.h"
#include "coding/cp932.h"
#include "store/message_text.h"

#include <utility>

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
    const bool utf8 = headers || !part.Text.empty();
    if (!utf8)
        return PartText{PartLines(false, headerLines, part), false};
    PartText text;
    text.utf8 = true;
    if (headers)
        text.lines = HeaderBlockUtf8(headerLines);
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

std::string PictureExtension(std::string_view subType, std::string_view fileName) {
    static constexpr std::pair<std::string_view, std::string_view> kBySubType[] = {
        {"jpeg", ".JPG"}, {"pjpeg", ".JPG"}, {"jpg", ".JPG"},     {"gif", ".GIF"},
        {"png", ".PNG"},  {"bmp", ".BMP"},   {"x-bmp", ".BMP"},   {"x-ms-bmp", ".BMP"},
        {"tiff", ".TIF"}, {"webp", ".WEBP"}, {"svg+xml", ".SVG"},
    };
    for (const auto& [type, extension] : kBySubType) {
        if (subType == type)
            return std::string(extension);
    }
    // Only the picture control's own extensions: a name's dot part is never taken whole.
    static constexpr std::pair<std::string_view, std::string_view> kByName[] = {
        {".JPG", ".JPG"}, {".JPE", ".JPG"}, {".JPEG", ".JPG"}, {".GIF", ".GIF"}, {".PNG", ".PNG"},
        {".BMP", ".BMP"}, {".TIF", ".TIF"}, {".TIFF", ".TIF"}, {".PIC", ".PIC"}, {".P2", ".P2"},
        {".MAG", ".MAG"}, {".Q4", ".Q4"},   {".PI", ".PI"},    {".ICO", ".ICO"}, {".WEBP", ".WEBP"},
        {".SVG", ".SVG"}, {".WMF", ".WMF"}, {".EMF", ".EMF"},
    };
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    std::string upper(fileName.substr(dot));
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    for (const auto& [name, extension] : kByName) {
        if (upper == name)
            return std::string(extension);
    }
    return {};
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
