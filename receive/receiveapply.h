#pragma once

#include "receiveops.h"

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
// Returns false on a failure that ends the reception: `doc` is null, or the
// document refused an AppendLine. The changes after the failing one are not
// carried out. An item or header insertion the document refuses is dropped.
// Thread: the one that owns `doc`.
bool ApplyReceiveOps(DocumentOps *doc, std::span<const ReceiveOp> ops, ReceptionCounts &counts);
