// The rich-text control's text: the document operations, the selection, search and
// the conversions between its code page 936 store and the text as shown.
#include "richedit.h"

#include "followview.h"
#include "richeditaccessible.h"
#include "text/codepage.h"
#include "textview/store/cp936chars.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>

#include <algorithm>
#include <array>
#include <cctype>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

bool isAscii(std::string_view bytes)
{
    return std::all_of(
        bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Received text is ASCII without carriage returns and goes into the store as it is;
// anything else is decoded and encoded again (encode) so that it holds whole code
// page 936 characters and "\n" line breaks only.
bool storesAsItIs(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '\r'; });
}

// Line breaks as the store keeps them: a carriage return alone or before a line feed,
// and the paragraph and line separators, are one "\n".
QString withLineFeeds(const QString &text)
{
    if (!text.contains(QLatin1Char('\r')) && !text.contains(QChar::ParagraphSeparator)
        && !text.contains(QChar::LineSeparator)) {
        return text;
    }
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
                ++i;
            }
            out += QLatin1Char('\n');
        } else if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
            out += QLatin1Char('\n');
        } else {
            out += c;
        }
    }
    return out;
}

// The first hit of `what` in `text` at or after `from` by the document's search rules
// (text.indexOf with the given case rule; a whole word has no letter or digit beside
// it on its line; after a hit that is not a whole word the search goes on one
// character behind it). For searches the store cannot fold itself.
qsizetype findInText(const QString &text, qsizetype from, const QString &what,
    Qt::CaseSensitivity sensitivity, bool wholeWord)
{
    while (from <= text.size()) {
        const qsizetype at = text.indexOf(what, from, sensitivity);
        if (at < 0) {
            return -1;
        }
        const qsizetype after = at + what.size();
        if (!wholeWord
            || !((at > 0 && text.at(at - 1).isLetterOrNumber())
                || (after < text.size() && text.at(after).isLetterOrNumber()))) {
            return at;
        }
        from = after + 1;
    }
    return -1;
}

// Whether a case-blind search for `what` needs more than ASCII folding.
bool needsUnicodeFolding(const QString &what)
{
    return std::any_of(what.begin(), what.end(),
        [](QChar c) { return c.unicode() >= 0x80 && c.toLower() != c.toUpper(); });
}

} // namespace

RichEdit::~RichEdit() = default;

// Decoding a character costs a conversion: each double-byte code is judged once.
bool RichEdit::isWordCode(std::uint16_t code)
{
    if (code < 0x80) {
        return std::isalnum(code) != 0;
    }
    if (code <= 0xFF) {
        return false; // the euro sign, alone of the single bytes above ASCII
    }
    static std::array<std::int8_t, 0x10000> known {};
    std::int8_t &judged = known[code];
    if (judged == 0) {
        const char pair[2] = { static_cast<char>(code >> 8), static_cast<char>(code & 0xFF) };
        const QString decoded = FromCp936(std::string_view(pair, 2));
        judged = decoded.size() == 1 && decoded.at(0).isLetterOrNumber() ? 1 : -1;
    }
    return judged > 0;
}

std::vector<RichEdit::WordChar> RichEdit::wordChars(std::string_view text)
{
    std::vector<WordChar> chars;
    chars.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool pair = Cp936::IsLead(text[i]) && i + 1 < text.size();
        const auto code = pair
            ? static_cast<std::uint16_t>(byte << 8 | static_cast<unsigned char>(text[i + 1]))
            : std::uint16_t { byte };
        chars.push_back({ i, isWordCode(code) });
        i += pair ? 2 : 1;
    }
    chars.push_back({ text.size(), false });
    return chars;
}

namespace {

// Whether a character of the BMP has a code page 936 form that decodes to it again;
// each is converted once.
bool hasCp936Form(char16_t code)
{
    static std::array<std::int8_t, 0x10000> known {};
    std::int8_t &judged = known[code];
    if (judged == 0) {
        const QString one(QChar { code });
        judged = FromCp936(ToCp936(one)) == one ? 1 : -1;
    }
    return judged > 0;
}

} // namespace

std::string RichEdit::encode(const QString &text, bool *replaced) const
{
    const QString lines = withLineFeeds(text);
    const bool ascii
        = std::all_of(lines.begin(), lines.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        const QByteArray latin = lines.toLatin1();
        return std::string(latin.constData(), static_cast<std::size_t>(latin.size()));
    }
    std::string bytes = ToCp936(lines);
    if (FromCp936(bytes) == lines) {
        return bytes;
    }
    // Some character has no code page 936 form: each such character (a pair of
    // surrogates being one) becomes "?", and the rest is converted in one go.
    QString kept;
    kept.reserve(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QChar c = lines.at(i);
        if (c.isHighSurrogate() && i + 1 < lines.size() && lines.at(i + 1).isLowSurrogate()) {
            ++i;
            kept += QLatin1Char('?');
        } else if (c.isSurrogate() || !hasCp936Form(c.unicode())) {
            kept += QLatin1Char('?');
        } else {
            kept += c;
        }
    }
    if (replaced != nullptr) {
        *replaced = true;
    }
    return ToCp936(kept);
}

QString RichEdit::decode(std::size_t from, std::size_t count) const
{
    const std::string bytes = m_store.Slice(from, count);
    if (isAscii(bytes)) {
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return FromCp936(bytes);
}

std::size_t RichEdit::byteOf(int position) const
{
    return m_store.ByteOfChar(static_cast<std::size_t>(std::max(position, 0)));
}

int RichEdit::charOf(std::size_t byte) const
{
    return static_cast<int>(m_store.CharsBefore(byte));
}

void RichEdit::shift(Caret &caret, std::size_t from, std::size_t removed, std::size_t inserted)
{
    const auto move = [&](std::size_t &pos) {
        if (pos >= from + removed) {
            pos = pos - removed + inserted;
        } else if (pos > from) {
            pos = from;
        }
    };
    move(caret.anchor);
    move(caret.position);
}

bool RichEdit::replaceSelection(std::string_view bytes, Rgb color)
{
    Caret &c = caret();
    // A caret inside a character is put at the character's edges, so that the edit
    // takes the whole character rather than being refused.
    if (!m_store.IsCharBoundary(c.start()) || !m_store.IsCharBoundary(c.end())) {
        std::size_t start = c.start();
        std::size_t end = c.end();
        while (start > 0 && !m_store.IsCharBoundary(start)) {
            --start;
        }
        while (end < m_store.Size() && !m_store.IsCharBoundary(end)) {
            ++end;
        }
        c = Caret { start, end };
    }
    const std::size_t from = c.start();
    const std::size_t removed = c.end() - from;
    const std::size_t removedChars
        = removed == 0 ? 0 : m_store.CharsBefore(c.end()) - m_store.CharsBefore(from);
    bool endsInside = false;
    const std::size_t addedChars
        = bytes.size() - Cp936::CountDoubles(bytes.data(), bytes.size(), endsInside);
    const std::size_t chars = m_store.Chars() - removedChars;
    if (addedChars > static_cast<std::size_t>(std::max(m_capacity, 0))
        || chars > static_cast<std::size_t>(m_capacity) - addedChars) {
        return false;
    }
    const bool append = removed == 0 && from == m_store.Size();
    if (AccessibilityClientActive()) {
        noteEdit(from, removed, bytes.size());
    }
    const Status stored
        = append ? m_store.Append(bytes, color) : m_store.Replace(from, removed, bytes, color);
    if (!stored) {
        return false;
    }
    if (append) {
        // Only the last line grew: its width grows by what was added.
        for (const char ch : bytes) {
            if (ch == '\n') {
                m_widest = std::max(m_widest, m_lastLineWidth);
                m_lastLineWidth = 0;
                m_stops.erase(m_store.Lines() - 1);
            } else {
                m_lastLineWidth += advanceAt(ch, m_lastLineWidth);
            }
        }
        m_widest = std::max(m_widest, m_lastLineWidth);
    } else {
        remeasure(m_store.LineOf(from), m_store.LineOf(from + bytes.size()), removed > 0);
        if (removed > 0) {
            shrinkWidest();
        }
    }
    c.anchor = c.position = from + bytes.size();
    if (m_batchDepth > 0) {
        shift(m_shown, from, removed, bytes.size());
    }
    m_dirty = true;
    return true;
}

void RichEdit::noteEdit(std::size_t from, std::size_t removed, std::size_t inserted)
{
    PendingEdit &p = m_pendingEdit;
    if (p.open && from >= p.from && from + removed <= p.from + p.inserted) {
        // Inside (or right behind) what is not announced yet: it only grows or shrinks.
        p.inserted = p.inserted + inserted - removed;
        return;
    }
    announceEdit();
    p.open = true;
    p.from = from;
    p.inserted = inserted;
    p.removed = removed == 0 ? QString() : decode(from, removed);
}

bool RichEdit::announceEdit()
{
    PendingEdit &p = m_pendingEdit;
    if (!p.open) {
        return false;
    }
    p.open = false;
    const QString removed = std::exchange(p.removed, QString());
    if (!AccessibilityClientActive()) {
        return false;
    }
    AnnounceTextChange(this, charOf(p.from), removed, decode(p.from, p.inserted));
    return true;
}

void RichEdit::remeasure(std::size_t first, std::size_t lastEdited, bool removed)
{
    m_stops.clear();
    const std::size_t last = m_store.Lines() - 1;
    for (std::size_t line = first; line <= lastEdited; ++line) {
        const double width = columnX(line, m_store.LineLength(line));
        m_widest = std::max(m_widest, width);
        if (line == last) {
            m_lastLineWidth = width;
        }
    }
    if (lastEdited < last && removed) {
        m_lastLineWidth = columnX(last, m_store.LineLength(last));
    }
}

// The widest line may have gone. No line is wider than its bytes at the widest
// advance; when that bound falls below the width kept, a small document is measured
// again line by line, a large one keeps the bound.
void RichEdit::shrinkWidest()
{
    const double bound = static_cast<double>(m_store.LongestLine()) * m_widestAdvance;
    if (bound >= m_widest) {
        return;
    }
    m_widest = bound;
    if (m_store.Size() > kMeasuredDocument) {
        return;
    }
    double widest = 0;
    for (std::size_t line = 0; line < m_store.Lines(); ++line) {
        widest = std::max(widest, columnX(line, m_store.LineLength(line)));
    }
    m_widest = std::min(m_widest, widest);
}

void RichEdit::BeginBatch()
{
    if (m_batchDepth++ == 0) {
        m_caret = m_shown;
        m_followCaret = false;
    }
}

void RichEdit::EndBatch()
{
    Q_ASSERT(m_batchDepth > 0);
    if (m_batchDepth <= 0 || --m_batchDepth > 0) {
        return;
    }
    const bool announced = announceEdit();
    const Caret before = m_shown;
    const bool moved = !(m_caret == m_shown);
    m_shown = m_caret;
    if (m_dirty || moved) {
        changed(m_dirty);
    }
    if (moved) {
        caretMoved(before);
    } else if (announced && m_pendingEdit.from <= m_shown.position) {
        // The caret kept its place in the text, but text before it moved its offset.
        AnnounceCaret(this, charOf(m_shown.position));
    }
}

void RichEdit::MoveCaretToEnd()
{
    BeginBatch();
    m_caret.anchor = m_caret.position = m_store.Size();
    EndBatch();
}

void RichEdit::SetInsertColor(Rgb color)
{
    m_insertColor = color;
    BeginBatch();
    if (m_caret.anchor != m_caret.position
        && m_store.Recolor(m_caret.start(), m_caret.end() - m_caret.start(), color)) {
        m_dirty = true;
    }
    EndBatch();
}

bool RichEdit::InsertAtCaret(std::string_view text)
{
    if (storesAsItIs(text)) {
        BeginBatch();
        const bool ok = replaceSelection(text, m_insertColor);
        EndBatch();
        return ok;
    }
    return insertTextAtCaret(FromCp936(text));
}

bool RichEdit::insertTextAtCaret(const QString &text)
{
    BeginBatch();
    const bool ok = replaceSelection(encode(text), m_insertColor);
    EndBatch();
    return ok;
}

bool RichEdit::AppendLine(std::string_view text)
{
    std::string bytes = storesAsItIs(text) ? std::string(text) : encode(FromCp936(text));
    BeginBatch();
    m_caret.anchor = m_caret.position = m_store.Size();
    const bool atLineStart = m_store.LineLength(m_store.Lines() - 1) == 0;
    if (atLineStart) {
        bytes.push_back('\n');
    } else {
        bytes.insert(bytes.begin(), '\n');
    }
    const bool ok = replaceSelection(bytes, m_insertColor);
    EndBatch();
    return ok;
}

int RichEdit::LineCount() const
{
    const std::size_t lines = m_store.Lines();
    return static_cast<int>(m_store.LineLength(lines - 1) == 0 ? lines - 1 : lines);
}

void RichEdit::ClearDocument()
{
    const bool large = m_store.Size() >= static_cast<std::size_t>(kLargeDocument);
    BeginBatch();
    if (AccessibilityClientActive() && m_store.Size() > 0) {
        noteEdit(0, m_store.Size(), 0);
    }
    m_store.Clear();
    m_stops.clear();
    m_lastLineWidth = 0;
    m_widest = 0;
    m_caret = Caret {};
    m_shown = Caret {};
    m_dirty = true;
    EndBatch();
#ifdef __GLIBC__
    // A large document leaves its memory free but kept by the allocator: give it back.
    if (large) {
        malloc_trim(0);
    }
#endif
}

void RichEdit::setPlainText(const QString &text)
{
    BeginBatch();
    m_caret = Caret { 0, m_store.Size() };
    replaceSelection(encode(text), m_insertColor);
    m_caret = Caret {};
    EndBatch();
}

int RichEdit::characterCount() const
{
    return static_cast<int>(m_store.Chars());
}

int RichEdit::lastLineLength() const
{
    const std::size_t last = m_store.Lines() - 1;
    const std::size_t start = m_store.LineStart(last);
    return static_cast<int>(m_store.Chars() - m_store.CharsBefore(start));
}

QString RichEdit::toPlainText() const
{
    return decode(0, m_store.Size());
}

QStringList RichEdit::lines() const
{
    QStringList result = toPlainText().split(QLatin1Char('\n'));
    if (!result.isEmpty() && result.last().isEmpty()) {
        result.removeLast();
    }
    return result;
}

std::vector<std::pair<int, Rgb>> RichEdit::colorRuns(int from, int to) const
{
    std::vector<std::pair<int, Rgb>> runs;
    for (const TextStore::Run &run : m_store.RunsIn(byteOf(from), byteOf(to))) {
        runs.emplace_back(charOf(run.start), run.color);
    }
    return runs;
}

TextCaret RichEdit::textCursor() const
{
    return TextCaret(
        charOf(m_shown.anchor), charOf(m_shown.position), m_shown.position == m_store.Size());
}

int RichEdit::selStart() const
{
    return charOf(caret().start());
}

void RichEdit::setSelStart(int position)
{
    BeginBatch();
    m_caret.anchor = m_caret.position = byteOf(position);
    EndBatch();
}

int RichEdit::selLength() const
{
    const Caret &c = caret();
    return charOf(c.end()) - charOf(c.start());
}

void RichEdit::setSelLength(int length)
{
    BeginBatch();
    const std::size_t start = m_caret.start();
    m_caret.anchor = start;
    m_caret.position = length <= 0 ? start : byteOf(charOf(start) + length);
    EndBatch();
}

QString RichEdit::selectedText() const
{
    const Caret &c = caret();
    return decode(c.start(), c.end() - c.start());
}

int RichEdit::findText(const QString &what, int from, bool matchCase, bool wholeWord) const
{
    if (what.isEmpty() || what.contains(QChar::ParagraphSeparator)
        || what.contains(QLatin1Char('\n'))) {
        return -1;
    }
    from = std::clamp(from, 0, characterCount());
    if (!matchCase && needsUnicodeFolding(what)) {
        // Letters beyond ASCII with a case of their own (Greek, Cyrillic, full-width
        // Latin) are compared as the text shows them, decoded a block of whole lines
        // at a time (hits never span a line break).
        for (std::size_t line = m_store.LineOf(byteOf(from)); line < m_store.Lines();) {
            const std::size_t start = m_store.LineStart(line);
            const std::size_t last = m_store.LineOf(std::min(m_store.Size(), start + kSearchBlock));
            const std::size_t end = m_store.LineStart(last) + m_store.LineLength(last);
            const QString text = decode(start, end - start);
            const int base = charOf(start);
            const qsizetype at
                = findInText(text, std::max(0, from - base), what, Qt::CaseInsensitive, wholeWord);
            if (at >= 0) {
                return base + static_cast<int>(at);
            }
            line = last + 1;
        }
        return -1;
    }
    const std::string bytes = encode(what);
    if (FromCp936(bytes) != what) {
        return -1; // a character the document cannot hold
    }
    const TextStore::FindOptions options { matchCase, wholeWord, &RichEdit::isWordCode };
    const std::optional<std::size_t> hit = m_store.Find(bytes, byteOf(from), options);
    return hit ? charOf(*hit) : -1;
}

int RichEdit::findTextBefore(const QString &what, int before, bool matchCase, bool wholeWord) const
{
    if (what.isEmpty() || before <= 0 || what.contains(QLatin1Char('\n'))) {
        return -1;
    }
    before = std::min(before, characterCount());
    if (!matchCase && needsUnicodeFolding(what)) {
        // Blocks of whole lines from the one that holds `before` back to the start.
        for (std::size_t lastLine = m_store.LineOf(byteOf(before));;) {
            const std::size_t lastStart = m_store.LineStart(lastLine);
            const std::size_t first
                = m_store.LineOf(lastStart > kSearchBlock ? lastStart - kSearchBlock : 0);
            const std::size_t start = m_store.LineStart(first);
            const std::size_t end = lastStart + m_store.LineLength(lastLine);
            const QString text = decode(start, end - start);
            const int base = charOf(start);
            qsizetype found = -1;
            for (qsizetype at = findInText(text, 0, what, Qt::CaseInsensitive, wholeWord);
                 at >= 0 && base + at < before;
                 at = findInText(text, at + 1, what, Qt::CaseInsensitive, wholeWord)) {
                found = at;
            }
            if (found >= 0) {
                return base + static_cast<int>(found);
            }
            if (first == 0) {
                return -1;
            }
            lastLine = first - 1;
        }
    }
    const std::string bytes = encode(what);
    if (FromCp936(bytes) != what) {
        return -1;
    }
    const TextStore::FindOptions options { matchCase, wholeWord, &RichEdit::isWordCode };
    const std::optional<std::size_t> hit = m_store.FindBefore(bytes, byteOf(before), options);
    return hit ? charOf(*hit) : -1;
}

std::vector<int> RichEdit::findAll(
    const QString &what, int from, bool matchCase, bool wholeWord) const
{
    std::vector<int> hits;
    if (what.isEmpty() || what.contains(QLatin1Char('\n'))) {
        return hits;
    }
    const auto length = static_cast<int>(what.size());
    if (!matchCase && needsUnicodeFolding(what)) {
        // Each block of lines is decoded once for all its hits.
        from = std::clamp(from, 0, characterCount());
        for (std::size_t line = m_store.LineOf(byteOf(from)); line < m_store.Lines();) {
            const std::size_t start = m_store.LineStart(line);
            const std::size_t last = m_store.LineOf(std::min(m_store.Size(), start + kSearchBlock));
            const std::size_t end = m_store.LineStart(last) + m_store.LineLength(last);
            const QString text = decode(start, end - start);
            const int base = charOf(start);
            for (qsizetype at
                 = findInText(text, std::max(0, from - base), what, Qt::CaseInsensitive, wholeWord);
                 at >= 0;
                 at = findInText(text, at + length, what, Qt::CaseInsensitive, wholeWord)) {
                hits.push_back(base + static_cast<int>(at));
                from = hits.back() + length;
            }
            line = last + 1;
        }
        return hits;
    }
    for (int hit = findText(what, from, matchCase, wholeWord); hit >= 0;
         hit = findText(what, hit + length, matchCase, wholeWord)) {
        hits.push_back(hit);
    }
    return hits;
}

bool RichEdit::replaceAll(
    const QString &what, const QString &with, int from, bool matchCase, bool wholeWord)
{
    const std::vector<int> hits = findAll(what, from, matchCase, wholeWord);
    const auto length = static_cast<int>(what.size());
    // Searching the text as it is finds what searching behind each replacement
    // would, unless a whole word's left edge changes: the replacement ends in a word
    // character where the search text does not, or the other way round.
    const bool sameEdges = !wholeWord
        || (!with.isEmpty() && with.back().isLetterOrNumber() == what.back().isLetterOrNumber());
    std::vector<std::size_t> at;
    at.reserve(hits.size());
    std::size_t count = 0;
    bool even = sameEdges;
    for (const int hit : hits) {
        at.push_back(byteOf(hit));
        const std::size_t bytes = byteOf(hit + length) - at.back();
        even = even && (count == 0 || bytes == count);
        count = bytes;
    }
    if (!even) {
        // One replacement at a time, each search behind the last one, in one batch.
        BeginBatch();
        bool ok = true;
        for (int hit = findText(what, from, matchCase, wholeWord); hit >= 0 && ok;
             hit = findText(what, hit + static_cast<int>(with.size()), matchCase, wholeWord)) {
            m_caret = Caret { byteOf(hit), byteOf(hit + length) };
            ok = replaceSelection(encode(with), m_insertColor);
        }
        EndBatch();
        return ok;
    }
    if (at.empty()) {
        setSelStart(from);
        return true;
    }
    const std::string bytes = encode(with);
    const std::size_t first = at.front();
    const std::size_t end = at.back() + count;
    const std::size_t grown = first + (end - first) - count * at.size() + bytes.size() * at.size();
    const std::size_t chars = m_store.Chars() - hits.size() * static_cast<std::size_t>(length)
        + hits.size() * static_cast<std::size_t>(with.size());
    if (chars > static_cast<std::size_t>(std::max(m_capacity, 0))) {
        return false;
    }
    BeginBatch();
    if (AccessibilityClientActive()) {
        noteEdit(first, end - first, grown - first);
    }
    if (!m_store.ReplaceEach(at, count, bytes, m_insertColor)) {
        m_pendingEdit = PendingEdit {};
        EndBatch();
        return false;
    }
    remeasure(m_store.LineOf(first), m_store.LineOf(grown), true);
    shrinkWidest();
    m_caret.anchor = m_caret.position = grown;
    shift(m_shown, first, end - first, grown - first);
    m_dirty = true;
    EndBatch();
    return true;
}

void RichEdit::selectAll()
{
    const Caret before = m_shown;
    m_shown = Caret { 0, m_store.Size() };
    caretMoved(before);
    viewport()->update();
}

void RichEdit::copy()
{
    if (hasSelection()) {
        QApplication::clipboard()->setText(
            decode(m_shown.start(), m_shown.end() - m_shown.start()));
    }
}

void RichEdit::cut()
{
    if (!hasSelection() || m_readOnly) {
        return;
    }
    copy();
    // A refusal has beeped already.
    static_cast<void>(typeText(QString()));
}

void RichEdit::paste()
{
    if (m_readOnly) {
        return;
    }
    const QString text = QApplication::clipboard()->text();
    if (!text.isEmpty()) {
        // A refusal has beeped already.
        static_cast<void>(typeText(text));
    }
}

// The user's typing, a paste or a cut: the text replaces the selection in the colour
// of the text before it, and the view follows the caret. Text the document refuses
// changes nothing and beeps.
bool RichEdit::typeText(const QString &text)
{
    const Rgb color = m_shown.start() > 0 ? colorBefore(m_shown.start()) : m_insertColor;
    bool replaced = false;
    const std::string bytes = encode(text, &replaced);
    BeginBatch();
    m_followCaret = true;
    const bool ok = replaceSelection(bytes, color);
    EndBatch();
    if (!ok) {
        QApplication::beep();
    } else if (replaced && !m_toldForeign) {
        m_toldForeign = true;
        emit foreignCharactersReplaced();
    }
    return ok;
}

QString RichEdit::textIn(int from, int to) const
{
    const std::size_t first = byteOf(from);
    const std::size_t last = byteOf(std::max(from, to));
    return decode(first, last - first);
}

std::pair<int, int> RichEdit::lineRange(int position) const
{
    const std::size_t line = m_store.LineOf(byteOf(position));
    const std::size_t start = m_store.LineStart(line);
    return { charOf(start), charOf(start + m_store.LineLength(line)) };
}

RichEdit::ColorSpan RichEdit::colorSpanAt(int position) const
{
    const std::size_t at = byteOf(position);
    const std::size_t size = m_store.Size();
    if (at >= size) {
        return { characterCount(), characterCount(), m_insertColor };
    }
    ColorSpan span;
    // Runs are looked for in a window around the position, widened until it holds
    // where the colour changes on either side (or the end of the text).
    for (std::size_t window = 256;; window *= 4) {
        const std::size_t from = at > window ? at - window : 0;
        const std::vector<TextStore::Run> runs = m_store.RunsIn(from, at + 1);
        if (runs.back().start > from || from == 0) {
            span.start = charOf(runs.back().start);
            span.color = runs.back().color;
            break;
        }
    }
    for (std::size_t window = 256;; window *= 4) {
        const std::size_t to = std::min(size, at + 1 + window);
        const std::vector<TextStore::Run> runs = m_store.RunsIn(at, to);
        if (runs.size() > 1 || to == size) {
            span.end = charOf(runs.size() > 1 ? runs[1].start : size);
            break;
        }
    }
    return span;
}

void RichEdit::setSelection(int anchor, int position)
{
    const Caret before = m_shown;
    m_shown = Caret { byteOf(anchor), byteOf(position) };
    ensureCaretVisible();
    if (!(before == m_shown)) {
        caretMoved(before);
    }
    viewport()->update();
}

bool RichEdit::replaceText(int from, int to, const QString &text)
{
    if (m_readOnly) {
        return false;
    }
    const Caret before = m_shown;
    m_shown = Caret { byteOf(std::min(from, to)), byteOf(std::max(from, to)) };
    if (typeText(text)) {
        return true;
    }
    m_shown = before;
    return false;
}

Rgb RichEdit::colorBefore(std::size_t position) const
{
    std::size_t from = position - 1;
    while (from > 0 && !m_store.IsCharBoundary(from)) {
        --from;
    }
    const std::vector<TextStore::Run> runs = m_store.RunsIn(from, position);
    return runs.empty() ? m_insertColor : runs.back().color;
}
