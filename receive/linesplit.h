#pragma once

#include "receiveops.h"

#include <vector>

// Received items go only on lines the reception started: once the document has had
// other text written behind the reception's open line (a send's header and echo, a
// summary, typed text), the next received item must not continue that line. When
// `pending` is set and the first change of `ops` that writes text is an item, a
// header of its own ("Receiving: ", with the item's read time when header times are
// on) is put before it, as the reception puts one at a line boundary. It is a line
// of the display only: no Count change goes with it. Any change that writes text
// clears `pending`: a header, a paragraph end and an error line start a line of
// their own anyway.
void StartLineAfterOtherDirection(std::vector<ReceiveOp> &ops, bool &pending);
