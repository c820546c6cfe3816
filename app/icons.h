#pragma once

#include <QIcon>
#include <QList>

// The program's own pictures, drawn as SVG and built into the program.
// User-interface thread only (QIcon needs the application object).
namespace Icons {

enum class Button { Send, Receive, Settings, Clear, Find, Port };

// Indexes into the menu images used by the menus.
inline constexpr int kCut = 0;
inline constexpr int kCopy = 1;
inline constexpr int kPaste = 2;
inline constexpr int kNew = 6;
inline constexpr int kOpen = 7;
inline constexpr int kTileHorizontally = 15;
inline constexpr int kTileVertically = 16;
inline constexpr int kCascade = 17;
inline constexpr int kMenuImageCount = 22;

// The program's picture (title bars, the About box).
QIcon ProgramIcon();
// The 32 × 32 picture of one of the six buttons of the button bar.
QIcon ButtonIcon(Button button);
// The 22 pictures of 16 × 16 pixels for the menus, by index.
QList<QIcon> MenuImages();

} // namespace Icons
