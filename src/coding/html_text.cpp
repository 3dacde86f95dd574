// HTML to readable text over libxml2's HTML parser: the tree is walked once, depth first,
// writing text into one buffer; block elements ask for line ends (one, or two for a paragraph
// break) that are written only before the next text, so empty elements leave no empty lines.
#include "coding/html_text.h"

#include "coding/charset.h"

#include <cstring>
#include <dlfcn.h>
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

namespace pelorin {
namespace {

// libxml2 is opened the first time HTML is read rather than when the program starts: it brings
// the ICU libraries with it, and loading them would slow every start of the command-line
// companion, which mostly reads no HTML at all.
struct LibXml {
    decltype(&::htmlReadMemory) readMemory = nullptr;
    decltype(&::xmlDocGetRootElement) rootElement = nullptr;
    decltype(&::xmlFreeDoc) freeDoc = nullptr;
    decltype(&::xmlGetProp) getProp = nullptr;
    decltype(&::xmlNodeGetContent) nodeContent = nullptr;
    xmlFreeFunc free = nullptr;  // what libxml2 frees its strings with

    bool Ready() const {
        return readMemory && rootElement && freeDoc && getProp && nodeContent && free;
    }
};

template <typename F>
void Find(void* lib, const char* name, F& f) {
    f = reinterpret_cast<F>(dlsym(lib, name));
}

const LibXml& Xml() {
    static const LibXml xml = [] {
        LibXml x;
        void* lib = dlopen("libxml2.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!lib)
            return x;  // never closed: the functions are used until the program ends
        Find(lib, "htmlReadMemory", x.readMemory);
        Find(lib, "xmlDocGetRootElement", x.rootElement);
        Find(lib, "xmlFreeDoc", x.freeDoc);
        Find(lib, "xmlGetProp", x.getProp);
        Find(lib, "xmlNodeGetContent", x.nodeContent);
        // With threads, xmlFree is reached through a function; without, it is a variable.
        xmlFreeFunc* (*perThread)() = nullptr;
        Find(lib, "__xmlFree", perThread);
        xmlFreeFunc* variable = nullptr;
        Find(lib, "xmlFree", variable);
        if (perThread)
            x.free = *perThread();
        else if (variable)
            x.free = *variable;
        return x;
    }();
    return xml;
}

bool Is(const xmlNode* node, const char* name) {
    return node->name && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

bool IsAnyOf(const xmlNode* node, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (Is(node, name))
            return true;
    }
    return false;
}

std::string Attribute(const xmlNode* node, const char* name) {
    xmlChar* value = Xml().getProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return {};
    std::string out(reinterpret_cast<const char*>(value));
    Xml().free(value);
    return out;
}

class Writer {
public:
    // Asks for `count` line ends (1: a new line, 2: an empty line between) before what follows.
    void Break(int count) {
        if (count > breaks_)
            breaks_ = count;
        space_ = false;
    }

    void Text(std::string_view text, bool pre) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            // U+00A0 (&nbsp;) is a space here: CP932 has no such character.
            if (c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
                c = ' ';
                ++i;
            }
            if (pre) {
                if (c == '\n') {
                    Flush();
                    out_ += '\n';
                    started_ = true;
                    continue;
                }
                if (c == '\r')
                    continue;
                Flush();
                out_ += c;
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
                space_ = true;
                continue;
            }
            Flush();
            if (space_ && !out_.empty() && out_.back() != '\n' && out_.back() != '\t')
                out_ += ' ';
            space_ = false;
            out_ += c;
        }
    }

    // A <br>: the line ends here (an empty line when nothing came since the last one).
    void LineBreak() {
        if (!started_)
            return;
        Flush();
        out_ += '\n';
        space_ = false;
    }

    std::string& Out() { return out_; }

private:
    void Flush() {
        if (started_ && breaks_ > 0) {
            int have = 0;
            for (auto it = out_.rbegin(); it != out_.rend() && *it == '\n' && have < 2; ++it)
                ++have;
            for (int k = have; k < breaks_; ++k) out_ += '\n';
            space_ = false;
        }
        breaks_ = 0;
        started_ = true;
    }

    std::string out_;
    int breaks_ = 0;        // line ends owed before the next text
    bool space_ = false;    // white space seen since the last text
    bool started_ = false;  // some text has been written
};

struct Walk {
    Writer w;
    int pre = 0;  // depth of <pre> elements around the current node

    void Children(const xmlNode* node, int depth) {
        int item = 0;
        for (const xmlNode* child = node->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE && Is(child, "li"))
                ++item;
            Node(child, depth + 1, Is(node, "ol") ? item : 0);
        }
    }

    void Node(const xmlNode* node, int depth, int number) {
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            if (node->content)
                w.Text(reinterpret_cast<const char*>(node->content), pre > 0);
            return;
        }
        if (node->type != XML_ELEMENT_NODE) {
            return;
        }
        if (IsAnyOf(node, {"script", "style", "head", "title", "template", "noscript"}))
            return;
        if (depth > kMaxHtmlDepth) {
            Flat(node);
            return;
        }
        if (Is(node, "br")) {
            w.LineBreak();
            return;
        }
        const bool paragraph = IsAnyOf(node, {"p", "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol",
                                              "table", "blockquote", "pre", "dl", "hr"});
        const bool line = IsAnyOf(
            node, {"div", "tr", "li", "dt", "dd", "section", "article", "header", "footer",
                   "address", "center", "form", "nav", "main", "aside", "figure", "caption"});
        if (paragraph)
            w.Break(2);
        else if (line)
            w.Break(1);
        if (Is(node, "li"))
            w.Text(number > 0 ? std::to_string(number) + ". " : std::string("・ "), false);
        if (Is(node, "td") || Is(node, "th")) {
            for (const xmlNode* before = node->prev; before; before = before->prev) {
                if (before->type == XML_ELEMENT_NODE && (Is(before, "td") || Is(before, "th"))) {
                    w.Text("\t", true);
                    break;
                }
            }
        }
        if (Is(node, "pre"))
            ++pre;
        Children(node, depth);
        if (Is(node, "pre"))
            --pre;
        if (Is(node, "a")) {
            const std::string href = Attribute(node, "href");
            const bool web = href.rfind("http://", 0) == 0 || href.rfind("https://", 0) == 0;
            const bool mail = href.rfind("mailto:", 0) == 0;
            if (web || mail) {
                const std::string shown = web ? href : href.substr(7);
                xmlChar* text = Xml().nodeContent(node);
                const bool already =
                    text && std::strstr(reinterpret_cast<const char*>(text), shown.c_str());
                if (text)
                    Xml().free(text);
                if (!already)
                    w.Text(" <" + shown + ">", false);
            }
        }
        if (paragraph)
            w.Break(2);
        else if (line)
            w.Break(1);
    }

    // The text of a subtree too deep to walk, without its markup.
    void Flat(const xmlNode* node) {
        xmlChar* text = Xml().nodeContent(node);
        if (text) {
            w.Text(reinterpret_cast<const char*>(text), false);
            Xml().free(text);
        }
    }
};

// Without the parser (libxml2 missing from the system), the document's own lines: the reader
// still sees the message, markup and all.
std::vector<std::string> HtmlSourceLines(const std::string& html) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < html.size()) {
        std::size_t lf = html.find('\n', pos);
        if (lf == std::string::npos)
            lf = html.size();
        std::string line = html.substr(pos, lf - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        pos = lf + 1;
    }
    return lines;
}

}  // namespace

std::vector<std::string> HtmlToTextLines(std::string_view utf8Html) {
    std::vector<std::string> lines;
    const std::string input = ValidUtf8(utf8Html);
    if (input.find_first_not_of(" \t\r\n") == std::string::npos)
        return lines;
    const LibXml& xml = Xml();
    if (!xml.Ready())
        return HtmlSourceLines(input);
    htmlDocPtr doc = xml.readMemory(
        input.data(), static_cast<int>(input.size()), nullptr, "UTF-8",
        HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    if (!doc)
        return lines;
    Walk walk;
    if (const xmlNode* root = xml.rootElement(doc))
        walk.Node(root, 0, 0);
    xml.freeDoc(doc);

    const std::string& text = walk.w.Out();
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t lf = text.find('\n', pos);
        if (lf == std::string::npos)
            lf = text.size();
        std::string line = text.substr(pos, lf - pos);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(std::move(line));
        pos = lf + 1;
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

}  // namespace pelorin
