#pragma once

#include "base/status.h"

#include <QString>

#include <functional>

class RichEdit;

// Called while a file is being loaded with the characters inserted so far and in
// all; it may run the event loop. False asks to stop loading.
using LoadProgress = std::function<bool(qint64 done, qint64 total)>;

// Loads the file at `path` into `edit`, replacing its text: as rich text (text and
// colours) when the file starts with the RTF signature, else as plain text in code
// page 936 with CR LF, CR or LF line breaks. The caret ends at the start.
// Only a regular file (or a link to one) is read; a FIFO, device or folder is
// refused without waiting on it.
// On failure (the file cannot be read, is malformed RTF or holds more than the
// document takes) the document is left empty and the reason is the message for the
// user: the file's name and the operating system's reason where there is one.
// With `progress`, the text goes into the document in steps, each laid out before
// `progress` is called; when it asks to stop, the document is left empty and the
// result is Cancelled with no reason; the same when the control was deleted
// meanwhile. The result is the same document either way.
// User-interface thread only.
[[nodiscard]] Status LoadDocumentFile(
    RichEdit *edit, const QString &path, const LoadProgress &progress = LoadProgress());

// Writes the plain text of `edit` to `path`: each of its LineCount lines followed
// by CR LF, in code page 936, without byte-order mark. An empty document gives an
// empty file. The file is replaced atomically (a temporary file beside it, flushed,
// renamed over it) and keeps its permissions; a symbolic link is followed and its
// target replaced. Only a regular file is replaced.
// On failure the old file is left as it was and the reason is the message for the
// user, with the operating system's reason (a full disk reads as such).
// User-interface thread only.
[[nodiscard]] Status SaveDocumentPlain(const RichEdit *edit, const QString &path);
