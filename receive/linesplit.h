#pragma once

#include "receiveops.h"

#include <vector>

// Separate lines for the two directions: once the document has had text of the
// other direction (a send's echo) written behind the reception's open line, the
// next received item must not continue that line. When `pending` is set and the
// first change of `ops` that writes text is an item, a header of its own ("Receiving: ",
// with the time when header times are on) is put before it, as the reception puts
// one at a line boundary. Any change that writes text clears `pending`: a header,
// a paragraph end and an error line start a line of their own anyway.
void StartLineAfterOtherDirection(std::vector<ReceiveOp> &ops, bool &pending);
