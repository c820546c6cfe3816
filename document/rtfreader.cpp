#include "rtfreader.h"

#include "text/hexdigits.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <utility>

namespace {

constexpr std::string_view kSignature = "{\\rtf";
// RTF limits control words to 32 letters and parameters to 16 bits; the margins
// leave room for sloppy writers while keeping every token short.
constexpr std::size_t kMaxWordLength = 32;
constexpr int kMaxParamDigits = 10;

// Destinations whose content is not document text. Sorted for binary search.
constexpr std::array<std::string_view, 44> kSkippedDestinations = { "annotation", "atnauthor",
    "atnid", "author", "bkmkend", "bkmkstart", "buptim", "colorschememapping", "comment", "creatim",
    "datastore", "doccomm", "docvar", "factoidname", "filetbl", "fldinst", "fonttbl", "footer",
    "footerf", "footerl", "footerr", "footnote", "generator", "header", "headerf", "headerl",
    "headerr", "info", "latentstyles", "listoverridetable", "listtable", "listtext", "object",
    "operator", "pict", "pntext", "pntxta", "pntxtb", "revtbl", "rsidtbl", "stylesheet",
    "themedata", "xe", "xmlnstbl" };

struct Symbol
{
    std::string_view word;
    char32_t code;
};
constexpr std::array<Symbol, 10> kSymbols = { { { "bullet", 0x2022 }, { "emdash", 0x2014 },
    { "emspace", 0x2003 }, { "endash", 0x2013 }, { "enspace", 0x2002 }, { "ldblquote", 0x201C },
    { "lquote", 0x2018 }, { "qmspace", 0x2005 }, { "rdblquote", 0x201D }, { "rquote", 0x2019 } } };

static_assert(std::is_sorted(kSkippedDestinations.begin(), kSkippedDestinations.end()));
static_assert(kSkippedDestinations.back() == "xmlnstbl");

enum class Destination : uint8_t { Text, Skip, ColorTable };

struct GroupState
{
    Destination destination = Destination::Text;
    bool hidden = false;
    int colorIndex = -1; // -1: no \cf, the document's own colour
    int fallbackLength = 1; // \ucN
};

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

void appendUtf8(std::string &out, char32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

struct ControlWord
{
    std::string_view name;
    bool hasParam = false;
    int param = 0;
};

class Parser
{
public:
    explicit Parser(std::string_view data)
        : m_data(data)
    { }

    RtfDocument run();

private:
    bool fail(std::string_view what);
    bool step();
    bool openGroup();
    void closeGroup();
    bool escape();
    bool readControlWord(ControlWord &word);
    bool hexByte();
    void controlSymbol(char symbol);
    void applyWord(const ControlWord &word);
    void applyTextWord(const ControlWord &word);
    void applyColorTableWord(const ControlWord &word);
    void skipBinary(int length);

    void textByte(char byte);
    bool takesText() const;
    bool inFallback();
    void emitCp936(char byte);
    void emitUnicode(char32_t code);
    void emitUtf16(int unit);
    void flushSurrogate();
    RtfRun &runFor(RtfRun::Encoding encoding);

    std::string_view m_data;
    std::size_t m_pos = 0;
    bool m_done = false;
    std::string m_error;
    std::vector<GroupState> m_stack;
    GroupState m_state;
    int m_fallbackLeft = 0;
    char16_t m_highSurrogate = 0;
    std::vector<std::optional<Rgb>> m_colorTable;
    Rgb m_entry;
    bool m_entryHasComponent = false;
    std::vector<RtfRun> m_runs;
};

RtfDocument Parser::run()
{
    RtfDocument doc;
    if (!LooksLikeRtf(m_data)) {
        fail("not RTF: the data does not start with {\\rtf");
    } else {
        while (!m_done && m_pos < m_data.size() && step()) { }
        if (m_error.empty() && !m_done) {
            fail("unexpected end of data inside " + std::to_string(m_stack.size())
                + " open group(s)");
        }
    }
    flushSurrogate();
    doc.runs = std::move(m_runs);
    if (!m_error.empty()) {
        doc.status = Status(ErrorKind::Invalid, std::move(m_error));
    }
    return doc;
}

bool Parser::fail(std::string_view what)
{
    m_error = std::string(what) + " (at byte " + std::to_string(m_pos) + ")";
    return false;
}

bool Parser::step()
{
    const char c = m_data[m_pos++];
    switch (c) {
    case '{':
        return openGroup();
    case '}':
        closeGroup();
        return true;
    case '\\':
        return escape();
    case '\r':
    case '\n':
        return true;
    default:
        textByte(c);
        return true;
    }
}

bool Parser::openGroup()
{
    if (m_stack.size() >= static_cast<std::size_t>(kRtfMaxDepth)) {
        return fail("groups nested deeper than " + std::to_string(kRtfMaxDepth));
    }
    m_fallbackLeft = 0;
    m_stack.push_back(m_state);
    return true;
}

void Parser::closeGroup()
{
    m_fallbackLeft = 0;
    if (m_state.destination == Destination::ColorTable && m_entryHasComponent) {
        m_colorTable.emplace_back(m_entry);
        m_entryHasComponent = false;
    }
    // The signature guarantees an open group here: every '}' is matched or ends the data.
    m_state = m_stack.back();
    m_stack.pop_back();
    m_done = m_stack.empty();
}

bool Parser::escape()
{
    if (m_pos >= m_data.size()) {
        return fail("backslash at the end of the data");
    }
    if (isLetter(m_data[m_pos])) {
        ControlWord word;
        if (!readControlWord(word)) {
            return false;
        }
        applyWord(word);
        return true;
    }
    const char symbol = m_data[m_pos++];
    if (symbol == '\'') {
        return hexByte();
    }
    controlSymbol(symbol);
    return true;
}

bool Parser::readControlWord(ControlWord &word)
{
    const std::size_t start = m_pos;
    while (m_pos < m_data.size() && isLetter(m_data[m_pos])) {
        if (++m_pos - start > kMaxWordLength) {
            return fail("control word longer than 32 letters");
        }
    }
    word.name = m_data.substr(start, m_pos - start);
    bool negative = false;
    if (m_pos + 1 < m_data.size() && m_data[m_pos] == '-' && isDigit(m_data[m_pos + 1])) {
        negative = true;
        ++m_pos;
    }
    long long value = 0;
    int digits = 0;
    while (m_pos < m_data.size() && isDigit(m_data[m_pos])) {
        if (++digits > kMaxParamDigits) {
            return fail("numeric parameter longer than 10 digits");
        }
        value = value * 10 + (m_data[m_pos++] - '0');
    }
    if (digits > 0) {
        word.hasParam = true;
        value = std::clamp<long long>(negative ? -value : value, INT_MIN, INT_MAX);
        word.param = static_cast<int>(value);
    }
    if (m_pos < m_data.size() && m_data[m_pos] == ' ') {
        ++m_pos;
    }
    return true;
}

bool Parser::hexByte()
{
    if (m_pos + 2 > m_data.size()) {
        return fail("truncated \\' escape");
    }
    const int high = HexDigitValue(m_data[m_pos]);
    const int low = HexDigitValue(m_data[m_pos + 1]);
    if (high < 0 || low < 0) {
        return fail("\\' not followed by two hexadecimal digits");
    }
    m_pos += 2;
    if (!takesText() || inFallback()) {
        return true;
    }
    emitCp936(static_cast<char>(high * 16 + low));
    return true;
}

void Parser::controlSymbol(char symbol)
{
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        textByte(symbol);
        return;
    case '*':
        if (m_state.destination == Destination::Text) {
            m_state.destination = Destination::Skip;
        }
        return;
    default:
        break;
    }
    if (!takesText() || inFallback()) {
        return;
    }
    switch (symbol) {
    case '~':
        emitUnicode(0x00A0);
        break;
    case '_':
        emitCp936('-');
        break;
    case '\r':
    case '\n':
        emitCp936('\n');
        break;
    default: // \- optional hyphen, \| \: and unknown symbols show nothing
        break;
    }
}

void Parser::applyWord(const ControlWord &word)
{
    if (word.name == "bin") {
        skipBinary(word.hasParam ? word.param : 0);
        return;
    }
    switch (m_state.destination) {
    case Destination::Skip:
        return;
    case Destination::ColorTable:
        applyColorTableWord(word);
        return;
    case Destination::Text:
        break;
    }
    if (word.name == "u") {
        if (!inFallback() && !m_state.hidden) {
            emitUtf16(word.param);
        }
        m_fallbackLeft = m_state.fallbackLength;
        return;
    }
    if (inFallback()) {
        return;
    }
    applyTextWord(word);
}

void Parser::applyTextWord(const ControlWord &word)
{
    const std::string_view name = word.name;
    if (std::binary_search(kSkippedDestinations.begin(), kSkippedDestinations.end(), name)) {
        m_state.destination = Destination::Skip;
    } else if (name == "colortbl") {
        m_state.destination = Destination::ColorTable;
        m_colorTable.clear();
        m_entry = Rgb {};
        m_entryHasComponent = false;
    } else if (name == "par" || name == "line" || name == "sect" || name == "page"
        || name == "row") {
        if (!m_state.hidden) {
            emitCp936('\n');
        }
    } else if (name == "tab" || name == "cell") {
        if (!m_state.hidden) {
            emitCp936('\t');
        }
    } else if (name == "cf") {
        m_state.colorIndex = word.hasParam ? word.param : 0;
    } else if (name == "plain") {
        m_state.colorIndex = -1;
        m_state.hidden = false;
    } else if (name == "v") {
        m_state.hidden = !(word.hasParam && word.param == 0);
    } else if (name == "uc") {
        m_state.fallbackLength = std::max(word.param, 0);
    } else if (!m_state.hidden) {
        const auto symbol = std::find_if(
            kSymbols.begin(), kSymbols.end(), [name](const Symbol &s) { return s.word == name; });
        if (symbol != kSymbols.end()) {
            emitUnicode(symbol->code);
        }
    }
}

void Parser::applyColorTableWord(const ControlWord &word)
{
    const auto component = static_cast<uint8_t>(std::clamp(word.param, 0, 255));
    if (word.name == "red") {
        m_entry.r = component;
    } else if (word.name == "green") {
        m_entry.g = component;
    } else if (word.name == "blue") {
        m_entry.b = component;
    } else {
        return;
    }
    m_entryHasComponent = true;
}

void Parser::skipBinary(int length)
{
    // \binN is followed by N raw bytes, braces and backslashes included.
    const std::size_t left = m_data.size() - m_pos;
    m_pos += std::min(static_cast<std::size_t>(std::max(length, 0)), left);
}

void Parser::textByte(char byte)
{
    if (m_state.destination == Destination::ColorTable) {
        if (byte == ';') {
            m_colorTable.push_back(
                m_entryHasComponent ? std::optional<Rgb>(m_entry) : std::nullopt);
            m_entry = Rgb {};
            m_entryHasComponent = false;
        }
        return;
    }
    if (!takesText() || inFallback()) {
        return;
    }
    emitCp936(byte);
}

bool Parser::takesText() const
{
    return m_state.destination == Destination::Text && !m_state.hidden;
}

// After \uN the next \ucN characters are the fallback for readers without Unicode.
bool Parser::inFallback()
{
    if (m_fallbackLeft > 0) {
        --m_fallbackLeft;
        return true;
    }
    return false;
}

void Parser::emitCp936(char byte)
{
    const auto value = static_cast<unsigned char>(byte);
    if (value < 0x20 && byte != '\n' && byte != '\t') {
        return;
    }
    flushSurrogate();
    runFor(RtfRun::Encoding::Cp936).text.push_back(byte);
}

void Parser::emitUnicode(char32_t code)
{
    flushSurrogate();
    if (code < 0x20) {
        if (code == '\t' || code == '\n') {
            emitCp936(static_cast<char>(code));
        }
        return;
    }
    appendUtf8(runFor(RtfRun::Encoding::Utf8).text, code);
}

void Parser::emitUtf16(int unit)
{
    // \u takes a signed 16-bit value: characters above 32767 are written negative.
    if (unit < 0) {
        unit += 0x10000;
    }
    if (unit < 0 || unit > 0xFFFF) {
        emitUnicode(0xFFFD);
        return;
    }
    const auto code = static_cast<char16_t>(unit);
    if (code >= 0xD800 && code <= 0xDBFF) {
        flushSurrogate();
        m_highSurrogate = code;
    } else if (code >= 0xDC00 && code <= 0xDFFF) {
        if (m_highSurrogate != 0) {
            const char32_t full = 0x10000 + ((char32_t(m_highSurrogate) - 0xD800) << 10)
                + (char32_t(code) - 0xDC00);
            m_highSurrogate = 0;
            emitUnicode(full);
        } else {
            emitUnicode(0xFFFD);
        }
    } else {
        emitUnicode(code);
    }
}

void Parser::flushSurrogate()
{
    if (m_highSurrogate != 0) {
        m_highSurrogate = 0;
        emitUnicode(0xFFFD);
    }
}

RtfRun &Parser::runFor(RtfRun::Encoding encoding)
{
    std::optional<Rgb> color;
    const int index = m_state.colorIndex;
    if (index >= 0 && static_cast<std::size_t>(index) < m_colorTable.size()) {
        color = m_colorTable[static_cast<std::size_t>(index)];
    }
    if (m_runs.empty() || m_runs.back().encoding != encoding || m_runs.back().color != color) {
        m_runs.push_back(RtfRun { encoding, {}, color });
    }
    return m_runs.back();
}

} // namespace

bool LooksLikeRtf(std::string_view data)
{
    return data.substr(0, kSignature.size()) == kSignature;
}

RtfDocument ReadRtf(std::string_view data)
{
    return Parser(data).run();
}
