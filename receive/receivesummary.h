#pragma once

#include <cstddef>
#include <cstdint>

class DocumentOps;

// Writes the blue summary of a reception at the end of `doc`: the result of the
// order check when `checkOrder` is on, then the numbers of lines and paragraphs.
// Thread: the one that owns `doc`.
void WriteReceiveSummary(
    DocumentOps &doc, bool checkOrder, bool hasError, int64_t lineCount, int64_t paraCount);

// The size in bytes of what WriteReceiveSummary writes, line breaks included.
std::size_t ReceiveSummarySize(
    bool checkOrder, bool hasError, int64_t lineCount, int64_t paraCount);
