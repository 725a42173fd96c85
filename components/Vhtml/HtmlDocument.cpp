#include "components/Vhtml/HtmlDocument.h"

#include "platform/module/Library.h"

#include <gumbo.h>

#include <QByteArray>
#include <string>
#include <string_view>
#include <vector>

namespace vhtml {
namespace {

// The HTML parser, opened when the first page is parsed.
struct GumboFunctions {
    const GumboOptions* defaultOptions;
    decltype(&::gumbo_parse_with_options) parseWithOptions;
    decltype(&::gumbo_destroy_output) destroyOutput;
    decltype(&::gumbo_tag_from_original_text) tagFromOriginalText;
    decltype(&::gumbo_normalized_tagname) normalizedTagname;
};
const GumboFunctions& Gumbo() {
    static const GumboFunctions functions = [] {
        static const module::Library gumbo(FLICKSTOW_GUMBO_LIBRARY, "Reading HTML pages");
        return GumboFunctions{static_cast<const GumboOptions*>(gumbo.Symbol("kGumboDefaultOptions")),
                              FLICKSTOW_FUNCTION(gumbo, gumbo_parse_with_options),
                              FLICKSTOW_FUNCTION(gumbo, gumbo_destroy_output),
                              FLICKSTOW_FUNCTION(gumbo, gumbo_tag_from_original_text),
                              FLICKSTOW_FUNCTION(gumbo, gumbo_normalized_tagname)};
    }();
    return functions;
}

// A parsed page; the tree lives as long as the object.
class ParsedPage {
public:
    explicit ParsedPage(const QString& html) : source_(html.toUtf8()) {
        options_ = *Gumbo().defaultOptions;
        // Parse errors are not wanted, and recording them keeps a copy of
        // the open elements for each: a deeply nested page would take
        // memory by the square of its depth.
        options_.max_errors = 0;
        output_ = Gumbo().parseWithOptions(&options_, source_.constData(), static_cast<size_t>(source_.size()));
    }
    ~ParsedPage() { Gumbo().destroyOutput(&options_, output_); }
    ParsedPage(const ParsedPage&) = delete;
    ParsedPage& operator=(const ParsedPage&) = delete;

    const GumboNode* Root() const { return output_->root; }

private:
    QByteArray source_;
    GumboOptions options_;
    GumboOutput* output_;
};

bool IsElement(const GumboNode* node) { return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE; }

bool IsHtml(const GumboNode* node, GumboTag tag) {
    return IsElement(node) && node->v.element.tag == tag && node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

const GumboVector& Children(const GumboNode* node) {
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

const GumboNode* Child(const GumboVector& children, unsigned index) {
    return static_cast<const GumboNode*>(children.data[index]);
}

// The first element in document order that is an HTML element of the tag;
// walked without recursion, since pages may nest deeply.
const GumboNode* FindFirst(const GumboNode* root, GumboTag tag) {
    std::vector<const GumboNode*> pending{root};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        if (IsHtml(node, tag)) return node;
        if (!IsElement(node) && node->type != GUMBO_NODE_DOCUMENT) continue;
        const GumboVector& children = Children(node);
        for (unsigned i = children.length; i-- > 0;) pending.push_back(Child(children, i));
    }
    return nullptr;
}

bool IsAsciiBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string TagName(const GumboElement& element) {
    std::string name;
    if (element.tag == GUMBO_TAG_UNKNOWN) {
        GumboStringPiece piece = element.original_tag;
        if (piece.data && piece.length > 0) {
            Gumbo().tagFromOriginalText(&piece);
            name.assign(piece.data, piece.length);
        }
    } else {
        name = Gumbo().normalizedTagname(element.tag);
    }
    for (char& c : name) c = Upper(c);
    return name;
}

bool IsVoid(const GumboElement& element) {
    if (element.tag_namespace != GUMBO_NAMESPACE_HTML) return false;
    switch (element.tag) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR: return true;
    default: return false;
    }
}

// Elements whose text is written as it stands.
bool HoldsRawText(const GumboNode* parent) {
    if (!IsElement(parent) || parent->v.element.tag_namespace != GUMBO_NAMESPACE_HTML) return false;
    switch (parent->v.element.tag) {
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_PLAINTEXT: return true;
    default: return false;
    }
}

constexpr std::string_view kNoBreakSpace = "\xC2\xA0";

void AppendEscaped(std::string& out, std::string_view text, bool inAttribute) {
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '&') out += "&amp;";
        else if (c == '"' && inAttribute)
            out += "&quot;";
        else if ((c == '<' || c == '>') && !inAttribute)
            out += c == '<' ? "&lt;" : "&gt;";
        else if (text.substr(i, 2) == kNoBreakSpace) {
            out += "&nbsp;";
            ++i;
        } else
            out += c;
    }
}

bool IsPlainWord(std::string_view value) {
    if (value.empty()) return false;
    for (char c : value) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == ':' || c == '#';
        if (!plain) return false;
    }
    return true;
}

void AppendAttribute(std::string& out, const GumboAttribute& attribute) {
    std::string name = attribute.name;
    for (char& c : name) c = Lower(c);
    out += ' ';
    out += name;
    const bool address = name == "href" || name == "src";
    std::string_view value = attribute.value;
    // The parser gives an attribute without a value its name as the value's source.
    const bool valueless = attribute.original_value.data == attribute.original_name.data;
    if (!address && valueless) return;
    if (!address && IsPlainWord(value)) {
        out += '=';
        out += value;
        return;
    }
    out += "=\"";
    AppendEscaped(out, value, true);
    out += '"';
}

void AppendStartTag(std::string& out, const GumboElement& element) {
    out += '<';
    out += TagName(element);
    for (unsigned i = 0; i < element.attributes.length; ++i)
        AppendAttribute(out, *static_cast<const GumboAttribute*>(element.attributes.data[i]));
    out += '>';
    // The parser drops one line break right after these start tags; written
    // back, it keeps a leading line break of the text.
    const GumboVector& children = element.children;
    if (element.tag_namespace == GUMBO_NAMESPACE_HTML &&
        (element.tag == GUMBO_TAG_PRE || element.tag == GUMBO_TAG_TEXTAREA || element.tag == GUMBO_TAG_LISTING) &&
        children.length > 0) {
        const GumboNode* first = Child(children, 0);
        if ((first->type == GUMBO_NODE_TEXT || first->type == GUMBO_NODE_WHITESPACE) && first->v.text.text[0] == '\n')
            out += '\n';
    }
}

void AppendLeaf(std::string& out, const GumboNode* node, const GumboNode* parent) {
    const char* text = node->v.text.text;
    switch (node->type) {
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_WHITESPACE:
        if (HoldsRawText(parent)) out += text;
        else
            AppendEscaped(out, text, false);
        break;
    case GUMBO_NODE_COMMENT:
        out += "<!--";
        out += text;
        out += "-->";
        break;
    case GUMBO_NODE_CDATA:
        out += "<![CDATA[";
        out += text;
        out += "]]>";
        break;
    default: break;
    }
}

// The children of the element, written out without recursion.
std::string InnerHtml(const GumboNode* element) {
    struct Frame {
        const GumboNode* node;
        unsigned next;
    };
    std::string out;
    std::vector<Frame> open{{element, 0}};
    while (!open.empty()) {
        Frame& top = open.back();
        const GumboVector& children = Children(top.node);
        if (top.next == children.length) {
            const GumboNode* done = top.node;
            open.pop_back();
            if (!open.empty()) {
                out += "</";
                out += TagName(done->v.element);
                out += '>';
            }
            continue;
        }
        const GumboNode* child = Child(children, top.next++);
        const GumboNode* parent = top.node;
        if (!IsElement(child)) {
            AppendLeaf(out, child, parent);
            continue;
        }
        AppendStartTag(out, child->v.element);
        if (!IsVoid(child->v.element)) open.push_back({child, 0});
    }
    return out;
}

}  // namespace

QString DocumentTitle(const QString& html) {
    ParsedPage page(html);
    const GumboNode* title = FindFirst(page.Root(), GUMBO_TAG_TITLE);
    if (!title) return {};
    std::string text;
    const GumboVector& children = title->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const GumboNode* child = Child(children, i);
        if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE) text += child->v.text.text;
    }
    std::string collapsed;
    bool blank = false;
    for (char c : text) {
        if (IsAsciiBlank(c)) {
            blank = true;
            continue;
        }
        if (blank && !collapsed.empty()) collapsed += ' ';
        blank = false;
        collapsed += c;
    }
    return QString::fromUtf8(collapsed.data(), static_cast<qsizetype>(collapsed.size()));
}

QString BodyInnerHtml(const QString& html) {
    ParsedPage page(html);
    const GumboNode* root = page.Root();
    const GumboVector& children = Children(root);
    for (unsigned i = 0; i < children.length; ++i) {
        const GumboNode* child = Child(children, i);
        if (IsHtml(child, GUMBO_TAG_BODY) || IsHtml(child, GUMBO_TAG_FRAMESET)) {
            std::string inner = InnerHtml(child);
            return QString::fromUtf8(inner.data(), static_cast<qsizetype>(inner.size()));
        }
    }
    return {};
}

}  // namespace vhtml
