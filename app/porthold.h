#pragma once

class TMainForm;

// A tool that owns the port for a while (the line test, a file transfer) holds it:
// a send or a reception in progress ends, and the receive and send buttons stay up
// and disabled until the last holder lets go. User-interface thread only.
namespace PortHold {

// Takes a hold on the port of `form`.
void Claim(TMainForm &form);
// Lets go of one hold; the buttons come back with the last.
void Release(TMainForm &form);
[[nodiscard]] bool Held(const TMainForm &form);

} // namespace PortHold
