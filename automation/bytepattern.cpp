#include "bytepattern.h"

#include "text/hexdigits.h"

#include <string>

namespace {

// The parsed expression, before it becomes a program.
struct Node
{
    enum class Type { Set, Cat, Alt, Star, Plus, Quest, Empty, Start };
    Type type = Type::Empty;
    std::bitset<256> set;
    std::vector<Node> children;
};

constexpr int kMaxDepth = 32;

// The byte a class of one byte holds; -1 for any other class.
int OnlyByte(const std::bitset<256> &set)
{
    if (set.count() != 1) {
        return -1;
    }
    for (int b = 0; b < 256; ++b) {
        if (set.test(static_cast<std::size_t>(b))) {
            return b;
        }
    }
    return -1;
}
constexpr int kMaxRepeat = 1000;

class Parser
{
public:
    explicit Parser(std::string_view source)
        : m_source(source)
    { }

    Result<Node> parse()
    {
        Node node = alternation(0);
        if (m_failed.ok() && m_at < m_source.size()) {
            fail("unmatched )");
        }
        if (!m_failed.ok()) {
            return m_failed;
        }
        return node;
    }

private:
    bool more() const { return m_at < m_source.size(); }
    char peek() const { return m_source[m_at]; }

    void fail(const std::string &what)
    {
        if (m_failed.ok()) {
            m_failed = Status(ErrorKind::Invalid, "at " + std::to_string(m_at + 1) + ": " + what);
        }
    }

    Node alternation(int depth)
    {
        Node first = concatenation(depth);
        if (!more() || peek() != '|') {
            return first;
        }
        Node alt;
        alt.type = Node::Type::Alt;
        alt.children.push_back(std::move(first));
        while (m_failed.ok() && more() && peek() == '|') {
            ++m_at;
            alt.children.push_back(concatenation(depth));
        }
        return alt;
    }

    Node concatenation(int depth)
    {
        Node cat;
        cat.type = Node::Type::Cat;
        while (m_failed.ok() && more() && peek() != '|' && peek() != ')') {
            cat.children.push_back(repetition(depth));
        }
        return cat;
    }

    bool readNumber(int &value)
    {
        const std::size_t start = m_at;
        value = 0;
        while (more() && peek() >= '0' && peek() <= '9' && value <= kMaxRepeat) {
            value = value * 10 + (peek() - '0');
            ++m_at;
        }
        return m_at > start;
    }

    Node repetition(int depth)
    {
        Node node = atom(depth);
        while (m_failed.ok() && more()) {
            const char c = peek();
            int low = 0;
            int high = -1; // no bound
            if (c == '*' || c == '+' || c == '?') {
                ++m_at;
                low = c == '+' ? 1 : 0;
                high = c == '?' ? 1 : -1;
            } else if (c == '{') {
                ++m_at;
                if (!readNumber(low)) {
                    fail("{ needs a count");
                    return node;
                }
                high = low;
                if (more() && peek() == ',') {
                    ++m_at;
                    high = readNumber(high) ? high : -1;
                }
                if (!more() || peek() != '}' || low > kMaxRepeat || high > kMaxRepeat
                    || (high >= 0 && high < low)) {
                    fail("a count in {} is 0 to " + std::to_string(kMaxRepeat)
                        + ", the lower first");
                    return node;
                }
                ++m_at;
            } else {
                return node;
            }
            if (more() && peek() == '?') {
                ++m_at; // lazy and greedy find the same earliest end
            }
            if (node.type == Node::Type::Start) {
                fail("^ cannot repeat");
                return node;
            }
            node = repeat(std::move(node), low, high);
        }
        return node;
    }

    static Node wrap(Node::Type type, Node inner)
    {
        Node node;
        node.type = type;
        node.children.push_back(std::move(inner));
        return node;
    }

    static Node repeat(Node node, int low, int high)
    {
        if (low == 0 && high == -1) {
            return wrap(Node::Type::Star, std::move(node));
        }
        if (low == 1 && high == -1) {
            return wrap(Node::Type::Plus, std::move(node));
        }
        if (low == 0 && high == 1) {
            return wrap(Node::Type::Quest, std::move(node));
        }
        Node cat;
        cat.type = Node::Type::Cat;
        for (int i = 0; i < low; ++i) {
            cat.children.push_back(node);
        }
        if (high == -1) {
            cat.children.push_back(wrap(Node::Type::Star, node));
        }
        for (int i = low; i < high; ++i) {
            cat.children.push_back(wrap(Node::Type::Quest, node));
        }
        return cat;
    }

    Node atom(int depth)
    {
        const char c = peek();
        Node node;
        node.type = Node::Type::Set;
        if (c == '(') {
            if (depth >= kMaxDepth) {
                fail("groups nest too deep");
                return node;
            }
            ++m_at;
            if (m_source.substr(m_at, 2) == "?:") {
                m_at += 2;
            } else if (more() && peek() == '?') {
                fail("look-arounds are not supported");
                return node;
            }
            node = alternation(depth + 1);
            if (!more() || peek() != ')') {
                fail("unmatched (");
                return node;
            }
            ++m_at;
            return node;
        }
        ++m_at;
        switch (c) {
        case '[':
            node.set = characterClass();
            break;
        case '.':
            node.set.set();
            node.set.reset('\n');
            node.set.reset('\r');
            break;
        case '^':
            node.type = Node::Type::Start;
            break;
        case '\\':
            node.set = escape();
            break;
        case '$':
            fail("$ is not supported: match \\r or \\n");
            break;
        case '*':
        case '+':
        case '?':
        case '{':
            fail(std::string("nothing to repeat before ") + c);
            break;
        default:
            node.set.set(static_cast<unsigned char>(c));
            break;
        }
        return node;
    }

    std::bitset<256> escape()
    {
        std::bitset<256> set;
        if (!more()) {
            fail("a backslash ends the expression");
            return set;
        }
        const char c = peek();
        ++m_at;
        const auto range = [&set](int from, int to) {
            for (int b = from; b <= to; ++b) {
                set.set(static_cast<std::size_t>(b));
            }
        };
        switch (c) {
        case 'd':
        case 'D':
            range('0', '9');
            break;
        case 'w':
        case 'W':
            range('0', '9');
            range('a', 'z');
            range('A', 'Z');
            set.set('_');
            break;
        case 's':
        case 'S':
            range('\t', '\r');
            set.set(' ');
            break;
        case 'r':
            set.set('\r');
            return set;
        case 'n':
            set.set('\n');
            return set;
        case 't':
            set.set('\t');
            return set;
        case 'f':
            set.set('\f');
            return set;
        case 'v':
            set.set('\v');
            return set;
        case '0':
            set.set(0);
            return set;
        case 'x': {
            const int high = more() ? HexDigitValue(peek()) : -1;
            const int low = m_at + 1 < m_source.size() ? HexDigitValue(m_source[m_at + 1]) : -1;
            if (high < 0 || low < 0) {
                fail("\\x needs two hexadecimal digits");
                return set;
            }
            m_at += 2;
            set.set(static_cast<std::size_t>(high) * 16 + static_cast<std::size_t>(low));
            return set;
        }
        default:
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '1' && c <= '9')) {
                fail(std::string("\\") + c + " is not supported");
                return set;
            }
            set.set(static_cast<unsigned char>(c));
            return set;
        }
        if (c >= 'A' && c <= 'Z') {
            set.flip();
        }
        return set;
    }

    std::bitset<256> characterClass()
    {
        std::bitset<256> set;
        const bool negated = more() && peek() == '^';
        m_at += negated ? 1 : 0;
        bool first = true;
        while (m_failed.ok() && more() && (peek() != ']' || first)) {
            first = false;
            std::bitset<256> item;
            int from = static_cast<unsigned char>(peek());
            if (peek() == '\\') {
                ++m_at;
                item = escape();
                from = OnlyByte(item);
            } else {
                ++m_at;
                item.set(static_cast<std::size_t>(from));
            }
            if (from >= 0 && m_at + 1 < m_source.size() && peek() == '-'
                && m_source[m_at + 1] != ']') {
                ++m_at;
                int to = static_cast<unsigned char>(peek());
                ++m_at;
                if (to == '\\') {
                    const std::bitset<256> end = escape();
                    to = OnlyByte(end);
                }
                if (to < from) {
                    fail("a range in [] runs backwards");
                    return set;
                }
                for (int b = from; b <= to; ++b) {
                    item.set(static_cast<std::size_t>(b));
                }
            }
            set |= item;
        }
        if (!more()) {
            fail("unmatched [");
            return set;
        }
        ++m_at;
        return negated ? ~set : set;
    }

    std::string_view m_source;
    std::size_t m_at = 0;
    Status m_failed;
};

using Op = BytePattern::Instruction::Op;

class Emitter
{
public:
    std::vector<BytePattern::Instruction> program;
    std::vector<std::bitset<256>> classes;
    bool tooLarge = false;

    uint32_t emit(Op op, uint32_t x = 0, uint32_t y = 0)
    {
        if (program.size() >= BytePattern::kMaxProgram) {
            tooLarge = true;
            return 0;
        }
        program.push_back({ op, x, y });
        return static_cast<uint32_t>(program.size() - 1);
    }
    uint32_t here() const { return static_cast<uint32_t>(program.size()); }
    void patch(uint32_t at, uint32_t x, uint32_t y)
    {
        if (at < program.size()) {
            program[at].x = x;
            program[at].y = y;
        }
    }

    void node(const Node &n)
    {
        if (tooLarge) {
            return;
        }
        switch (n.type) {
        case Node::Type::Set:
            classes.push_back(n.set);
            emit(Op::Byte, static_cast<uint32_t>(classes.size() - 1));
            break;
        case Node::Type::Start:
            emit(Op::Start);
            break;
        case Node::Type::Empty:
            break;
        case Node::Type::Cat:
            for (const Node &child : n.children) {
                node(child);
            }
            break;
        case Node::Type::Alt: {
            std::vector<uint32_t> jumps;
            for (std::size_t i = 0; i + 1 < n.children.size(); ++i) {
                const uint32_t split = emit(Op::Split);
                node(n.children[i]);
                jumps.push_back(emit(Op::Jump));
                patch(split, split + 1, here());
            }
            node(n.children.back());
            for (const uint32_t jump : jumps) {
                patch(jump, here(), 0);
            }
            break;
        }
        case Node::Type::Star: {
            const uint32_t split = emit(Op::Split);
            node(n.children[0]);
            emit(Op::Jump, split);
            patch(split, split + 1, here());
            break;
        }
        case Node::Type::Plus: {
            const uint32_t start = here();
            node(n.children[0]);
            emit(Op::Split, start, here() + 1);
            break;
        }
        case Node::Type::Quest: {
            const uint32_t split = emit(Op::Split);
            node(n.children[0]);
            patch(split, split + 1, here());
            break;
        }
        }
    }
};

} // namespace

Result<BytePattern> BytePattern::Compile(std::string_view source)
{
    if (source.empty()) {
        return Status(ErrorKind::Invalid, "the expression is empty");
    }
    Result<Node> tree = Parser(source).parse();
    if (!tree) {
        return tree.status();
    }
    Emitter emitter;
    emitter.node(*tree);
    emitter.emit(Op::Match);
    if (emitter.tooLarge) {
        return Status(ErrorKind::Invalid,
            "the expression is too large (more than " + std::to_string(kMaxProgram) + " steps)");
    }
    BytePattern pattern;
    pattern.m_program = std::move(emitter.program);
    pattern.m_classes = std::move(emitter.classes);
    pattern.m_mark.assign(pattern.m_program.size(), 0);
    pattern.m_current.reserve(pattern.m_program.size());
    pattern.m_next.reserve(pattern.m_program.size());
    // An expression that matches no bytes at all would match everywhere, forever.
    std::vector<uint32_t> first;
    pattern.addState(first, 0, true);
    for (const uint32_t pc : first) {
        if (pattern.m_program[pc].op == Op::Match) {
            return Status(ErrorKind::Invalid, "the expression matches empty input");
        }
        pattern.m_firstBytes |= pattern.m_classes[pattern.m_program[pc].x];
    }
    return pattern;
}

void BytePattern::Restart()
{
    m_current.clear();
    m_atStart = true;
}

// Adds `pc` and everything reachable from it without taking a byte; each instruction
// once per generation, so a step costs at most the program's size.
void BytePattern::addState(std::vector<uint32_t> &list, uint32_t pc, bool atStart)
{
    m_stack.clear();
    m_stack.push_back(pc);
    while (!m_stack.empty()) {
        const uint32_t at = m_stack.back();
        m_stack.pop_back();
        if (m_mark[at] == m_generation) {
            continue;
        }
        m_mark[at] = m_generation;
        const Instruction &ins = m_program[at];
        switch (ins.op) {
        case Op::Split:
            m_stack.push_back(ins.y);
            m_stack.push_back(ins.x);
            break;
        case Op::Jump:
            m_stack.push_back(ins.x);
            break;
        case Op::Start:
            if (atStart) {
                m_stack.push_back(at + 1);
            }
            break;
        case Op::Byte:
        case Op::Match:
            list.push_back(at);
            break;
        }
    }
}

bool BytePattern::step(uint8_t byte)
{
    // Most bytes of a stream start nothing and continue nothing: skip the states.
    if (m_current.empty() && !m_firstBytes.test(byte)) {
        m_atStart = false;
        return false;
    }
    ++m_generation;
    addState(m_current, 0, m_atStart); // a match may start at this byte
    m_atStart = false;
    ++m_generation;
    m_next.clear();
    bool matched = false;
    for (const uint32_t pc : m_current) {
        const Instruction &ins = m_program[pc];
        if (ins.op == Op::Byte && m_classes[ins.x].test(byte)) {
            addState(m_next, pc + 1, false);
        }
    }
    for (const uint32_t pc : m_next) {
        matched = matched || m_program[pc].op == Op::Match;
    }
    if (matched) {
        m_next.clear(); // the next match starts after this one
    }
    m_current.swap(m_next);
    return matched;
}

std::size_t BytePattern::Feed(std::string_view bytes)
{
    std::size_t matches = 0;
    for (const char c : bytes) {
        matches += step(static_cast<uint8_t>(c)) ? 1 : 0;
    }
    return matches;
}

std::size_t BytePattern::FindEnd(std::string_view bytes)
{
    Restart();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (step(static_cast<uint8_t>(bytes[i]))) {
            Restart();
            return i + 1;
        }
    }
    Restart();
    return std::string_view::npos;
}
