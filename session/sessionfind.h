#pragma once

#include "base/status.h"
#include "sessionrows.h"
#include "sessionstore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Searching a session and taking its bytes out: the search reads the bytes, not a
// rendering, so a match may cross line and frame breaks and the direction's turns.

// The bytes of "01 03 0a" (pairs of hexadecimal digits, spaces between pairs or
// none); nothing for text that is not that.
std::optional<std::string> ParseHexBytes(std::string_view text);

struct SessionHits
{
    std::vector<uint64_t> starts; // in order, at most `limit` of them
    bool more = false; // there were more than `limit`
};

// Every place `needle` occurs in [from, to) of `store`, letters A-Z matched in
// either case unless `caseSensitive`.
SessionHits FindAll(const SessionStore &store, std::string_view needle, bool caseSensitive,
    uint64_t from, uint64_t to, std::size_t limit = 1000000);

// The starts of the rows that hold a byte of a hit, once each and in order.
std::vector<uint64_t> RowsWithHits(
    const SessionRows &rows, const SessionHits &hits, std::size_t needleSize, uint64_t end);

// Bytes as C source: "const unsigned char data[3] = {\n    0x47, 0x50, 0x52,\n};\n"
// with twelve bytes a line.
std::string AsCArray(std::string_view bytes);

// [from, to) of `store` in the capture file's text form (times and directions) or
// raw form (the received bytes alone).
std::string AsCaptureText(const SessionStore &store, uint64_t from, uint64_t to);
std::string AsCaptureRaw(const SessionStore &store, uint64_t from, uint64_t to);

// The rows that hold [from, to) as CSV: "time,direction,hex,text" and a line a row,
// the text with bytes that are not printable ASCII as '.'.
std::string AsCsv(const SessionStore &store, const SessionRows &rows, uint64_t from, uint64_t to);
