#pragma once

#include "base/boundedqueue.h"
#include "receiveops.h"

// The receive thread's document changes on their way to the thread that owns the
// document.
using ReceiveQueue = BoundedQueue<ReceiveOp>;
