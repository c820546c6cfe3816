#pragma once

#include "document/documentops.h"
#include "text/codepage.h"

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

// The six document operations on a stock Qt text control (QTextEdit or
// QPlainTextEdit), the way a control of its own would do them: wrapping off, no
// undo history, a format per colour, one edit block per batch and the caret handed
// over and shown once at its end. The characters are counted here (insertions only
// append), as the document's own count walks a tree. Receive text is ASCII.
template <typename Control>
class TextControlDocument : public Control, public DocumentOps
{
public:
    static constexpr int kCapacity = 64 * 1024 * 1024;

    TextControlDocument()
    {
        QFont font(QStringLiteral("MS Sans Serif"));
        font.setFamilies({ QStringLiteral("MS Sans Serif"),
            QFontDatabase::systemFont(QFontDatabase::GeneralFont).family() });
        font.setPixelSize(13);
        this->setFont(font);
        this->setLineWrapMode(Control::NoWrap);
        this->setUndoRedoEnabled(false);
        m_format.setForeground(QColor(255, 0, 0));
    }

    void MoveCaretToEnd() override
    {
        BeginBatch();
        m_caret.movePosition(QTextCursor::End);
        EndBatch();
    }
    void SetInsertColor(Rgb color) override
    {
        if (color != m_color) {
            m_color = color;
            m_format = QTextCharFormat();
            m_format.setForeground(QColor(color.r, color.g, color.b));
        }
    }
    bool InsertAtCaret(std::string_view text) override { return insert(decode(text)); }
    bool AppendLine(std::string_view text) override
    {
        BeginBatch();
        m_caret.movePosition(QTextCursor::End);
        const bool atLineStart = this->document()->lastBlock().length() == 1;
        const QString line = decode(text);
        const bool ok = insert(atLineStart ? line + QLatin1Char('\n') : QLatin1Char('\n') + line);
        EndBatch();
        return ok;
    }
    int LineCount() const override
    {
        const QTextDocument *doc = this->document();
        return doc->blockCount() - (doc->lastBlock().length() == 1 ? 1 : 0);
    }
    void ClearDocument() override
    {
        const bool large = m_count >= (1 << 20);
        this->document()->clear();
        m_count = 0;
#ifdef __GLIBC__
        if (large) {
            malloc_trim(0);
        }
#endif
    }
    void BeginBatch() override
    {
        if (m_depth++ == 0) {
            m_caret = this->textCursor();
            m_caret.beginEditBlock();
        }
    }
    void EndBatch() override
    {
        if (--m_depth == 0) {
            m_caret.endEditBlock();
            this->setTextCursor(m_caret);
            this->ensureCursorVisible();
        }
    }

    int characterCount() const
    {
        return m_count;
    }
    int capacity() const
    {
        return kCapacity;
    }
    qint64 lastPaintNs() const
    {
        return m_lastPaintNs;
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QElapsedTimer cost;
        cost.start();
        Control::paintEvent(event);
        m_lastPaintNs = cost.nsecsElapsed();
    }

private:
    static QString decode(std::string_view bytes)
    {
        const bool ascii = std::all_of(bytes.begin(), bytes.end(),
            [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        return ascii ? QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()))
                     : FromCp936(bytes);
    }
    bool insert(const QString &text)
    {
        if (text.size() > kCapacity - m_count) {
            return false;
        }
        BeginBatch();
        m_caret.insertText(text, m_format);
        m_count += static_cast<int>(text.size());
        EndBatch();
        return true;
    }

    QTextCursor m_caret;
    QTextCharFormat m_format;
    Rgb m_color = Colors::Red;
    int m_depth = 0;
    int m_count = 0;
    qint64 m_lastPaintNs = 0;
};
