#pragma once

#include "receiveops.h"

#include <cstddef>
#include <functional>
#include <span>

class DocumentOps;

// Carries out the receive thread's changes on `doc`, in order, as one batch.
// Adjacent item insertions at the end of the document are merged into one
// insertion where that cannot change the outcome: the text of an item holds no
// line break, so once an item stands on a non-empty last line, further items leave
// LineCount as it is and the LineCount tests between them are decided on the known
// count. Every other step is carried out on the document as it is at that point.
//
// The Count changes carried out move `counts` on.
//
// `room`, when given, tells how much more text `doc` takes for certain (bytes of
// receive text, which is ASCII). Text gathered before an automatic clearing that
// fits in that room is then never inserted, since the clearing would remove it at
// once; without `room` it goes in first, so that a refusal is seen where it happens.
//
// Returns false on a failure that ends the reception: `doc` is null, or the
// document refused a line (a header, a paragraph end, an error line). The changes
// after the failing one are not carried out. An item the document refuses is
// dropped: the bytes were received and are counted, the window has no room.
// Thread: the one that owns `doc`.
using RoomFunction = std::function<std::size_t()>;
bool ApplyReceiveOps(DocumentOps *doc, std::span<const ReceiveOp> ops, ReceptionCounts &counts,
    const RoomFunction &room = nullptr);
