// A strict reader of well-formed XML for tests: elements, attributes, character data, comments and
// the predefined and numeric character references; no declarations beyond "<?xml ...?>". Rejects
// what a browser's XML parser rejects: bad nesting, unquoted or repeated attributes, a bare '&'
// or '<', bytes that are not UTF-8 and characters XML does not allow.
#ifndef HOST_SEATBELT_SIM_TESTS_XML_READER_H
#define HOST_SEATBELT_SIM_TESTS_XML_READER_H

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace seatbelt_sim_test {

struct XmlElement {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;  // the character data directly inside, references resolved
  std::vector<XmlElement> children;

  std::string Attribute(const std::string& key) const {
    const auto found = attributes.find(key);
    return found == attributes.end() ? std::string() : found->second;
  }
  // Every element below this one, in document order.
  void Descendants(std::vector<const XmlElement*>& out) const {
    for (const XmlElement& child : children) {
      out.push_back(&child);
      child.Descendants(out);
    }
  }
  std::vector<const XmlElement*> All(const std::string& element_name) const {
    std::vector<const XmlElement*> all;
    Descendants(all);
    std::vector<const XmlElement*> named;
    for (const XmlElement* element : all) {
      if (element->name == element_name) {
        named.push_back(element);
      }
    }
    return named;
  }
  // The text of the first <title> child, or "".
  std::string Title() const {
    for (const XmlElement& child : children) {
      if (child.name == "title") {
        return child.text;
      }
    }
    return {};
  }
};

struct XmlDocument {
  std::string error;  // empty when the text is well formed
  XmlElement root;
};

namespace xml_detail {

inline void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80u) {
    out += static_cast<char>(code);
  } else if (code < 0x800u) {
    out += static_cast<char>(0xC0u | (code >> 6u));
    out += static_cast<char>(0x80u | (code & 0x3Fu));
  } else if (code < 0x10000u) {
    out += static_cast<char>(0xE0u | (code >> 12u));
    out += static_cast<char>(0x80u | ((code >> 6u) & 0x3Fu));
    out += static_cast<char>(0x80u | (code & 0x3Fu));
  } else {
    out += static_cast<char>(0xF0u | (code >> 18u));
    out += static_cast<char>(0x80u | ((code >> 12u) & 0x3Fu));
    out += static_cast<char>(0x80u | ((code >> 6u) & 0x3Fu));
    out += static_cast<char>(0x80u | (code & 0x3Fu));
  }
}

inline bool IsXmlChar(std::uint32_t c) {
  return c == 0x9u || c == 0xAu || c == 0xDu || (c >= 0x20u && c <= 0xD7FFu) ||
         (c >= 0xE000u && c <= 0xFFFDu) || (c >= 0x10000u && c <= 0x10FFFFu);
}

// Every character of text decoded; false at the first byte that is not UTF-8 of an XML char.
inline bool ValidCharacters(std::string_view text) {
  for (std::size_t i = 0u; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80u              ? 1u
                               : (lead & 0xE0u) == 0xC0u ? 2u
                               : (lead & 0xF0u) == 0xE0u ? 3u
                               : (lead & 0xF8u) == 0xF0u ? 4u
                                                         : 0u;
    if (length == 0u || i + length > text.size()) {
      return false;
    }
    std::uint32_t code = length == 1u ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1u; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0u) != 0x80u) {
        return false;
      }
      code = (code << 6u) | (next & 0x3Fu);
    }
    const std::uint32_t shortest[] = {0u, 0u, 0x80u, 0x800u, 0x10000u};
    if (code < shortest[length] || !IsXmlChar(code)) {
      return false;
    }
    i += length;
  }
  return true;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  XmlDocument Run() {
    XmlDocument document;
    if (!ValidCharacters(text_)) {
      document.error = "not UTF-8 of XML characters";
      return document;
    }
    if (text_.substr(0u, 5u) == "<?xml") {
      const std::size_t end = text_.find("?>");
      at_ = end == std::string_view::npos ? text_.size() : end + 2u;
    }
    SkipMisc();
    if (!Element(document.root)) {
      document.error = error_ + " at byte " + std::to_string(at_);
      return document;
    }
    SkipMisc();
    if (at_ != text_.size()) {
      document.error = "content after the root element at byte " + std::to_string(at_);
    }
    return document;
  }

 private:
  bool Fail(const std::string& why) {
    error_ = why;
    return false;
  }
  bool Starts(std::string_view prefix) const { return text_.substr(at_, prefix.size()) == prefix; }
  void SkipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\t' || text_[at_] == '\r')) {
      ++at_;
    }
  }
  // Blanks and comments around the root.
  void SkipMisc() {
    for (;;) {
      SkipSpace();
      if (!Starts("<!--")) {
        return;
      }
      const std::size_t end = text_.find("-->", at_);
      at_ = end == std::string_view::npos ? text_.size() : end + 3u;
    }
  }
  bool Name(std::string& name) {
    const auto first = [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    };
    const auto rest = [&first](char c) {
      return first(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    };
    if (at_ >= text_.size() || !first(text_[at_])) {
      return Fail("expected a name");
    }
    const std::size_t start = at_;
    while (at_ < text_.size() && rest(text_[at_])) {
      ++at_;
    }
    name = std::string(text_.substr(start, at_ - start));
    return true;
  }
  // A reference after '&', appended to out.
  bool Reference(std::string& out) {
    const std::size_t end = text_.find(';', at_);
    if (end == std::string_view::npos || end - at_ > 10u) {
      return Fail("bare '&'");
    }
    const std::string_view name = text_.substr(at_, end - at_);
    at_ = end + 1u;
    const std::map<std::string_view, char> predefined = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    if (const auto found = predefined.find(name); found != predefined.end()) {
      out += found->second;
      return true;
    }
    if (name.size() < 2u || name[0] != '#') {
      return Fail("unknown entity '" + std::string(name) + "'");
    }
    const bool hex = name[1] == 'x';
    std::uint32_t code = 0u;
    const std::string_view digits = name.substr(hex ? 2u : 1u);
    if (digits.empty()) {
      return Fail("empty character reference");
    }
    for (const char c : digits) {
      const int digit = c >= '0' && c <= '9'          ? c - '0'
                        : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                      : -1;
      if (digit < 0) {
        return Fail("bad character reference");
      }
      code = code * (hex ? 16u : 10u) + static_cast<std::uint32_t>(digit);
    }
    if (!IsXmlChar(code)) {
      return Fail("reference to a character XML does not allow");
    }
    AppendUtf8(out, code);
    return true;
  }
  bool Attribute(XmlElement& element) {
    std::string name;
    if (!Name(name)) {
      return false;
    }
    SkipSpace();
    if (!Starts("=")) {
      return Fail("attribute without a value");
    }
    ++at_;
    SkipSpace();
    if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\'')) {
      return Fail("unquoted attribute value");
    }
    const char quote = text_[at_++];
    std::string value;
    while (at_ < text_.size() && text_[at_] != quote) {
      const char c = text_[at_++];
      if (c == '<') {
        return Fail("'<' in an attribute value");
      }
      if (c == '&') {
        if (!Reference(value)) {
          return false;
        }
      } else {
        value += c;
      }
    }
    if (at_ >= text_.size()) {
      return Fail("unterminated attribute value");
    }
    ++at_;
    if (!element.attributes.emplace(name, value).second) {
      return Fail("attribute '" + name + "' given twice");
    }
    return true;
  }
  bool Element(XmlElement& element) {
    if (!Starts("<")) {
      return Fail("expected an element");
    }
    ++at_;
    if (!Name(element.name)) {
      return false;
    }
    for (;;) {
      const std::size_t before = at_;
      SkipSpace();
      if (Starts("/>")) {
        at_ += 2u;
        return true;
      }
      if (Starts(">")) {
        ++at_;
        break;
      }
      if (at_ == before) {
        return Fail("no blank before an attribute");
      }
      if (!Attribute(element)) {
        return false;
      }
    }
    for (;;) {
      if (at_ >= text_.size()) {
        return Fail("unclosed element <" + element.name + ">");
      }
      if (Starts("</")) {
        at_ += 2u;
        std::string name;
        if (!Name(name) || name != element.name) {
          return Fail("</" + name + "> closes <" + element.name + ">");
        }
        SkipSpace();
        if (!Starts(">")) {
          return Fail("bad end tag");
        }
        ++at_;
        return true;
      }
      if (Starts("<!--")) {
        const std::size_t end = text_.find("-->", at_);
        if (end == std::string_view::npos) {
          return Fail("unterminated comment");
        }
        at_ = end + 3u;
      } else if (Starts("<")) {
        element.children.emplace_back();
        if (!Element(element.children.back())) {
          return false;
        }
      } else if (text_[at_] == '&') {
        ++at_;
        if (!Reference(element.text)) {
          return false;
        }
      } else {
        element.text += text_[at_++];
      }
    }
  }

  std::string_view text_;
  std::size_t at_ = 0u;
  std::string error_;
};

}  // namespace xml_detail

inline XmlDocument ReadXml(std::string_view text) {
  return xml_detail::Parser(text).Run();
}

}  // namespace seatbelt_sim_test

#endif  // HOST_SEATBELT_SIM_TESTS_XML_READER_H
