#pragma once

class QMdiArea;

// The two tilings of the window menu, which QMdiArea lacks (it only has a grid).
// Both arrange the sub-windows that are visible and not minimised, topmost first,
// restoring maximised ones to normal first; together they cover the area without
// gaps or overlaps, leaving free the strip at the bottom where minimised windows
// lie. User-interface thread only.

// Full width each, stacked one above the other with equal heights.
void TileOneAboveOther(QMdiArea *area);
// Full height each, side by side with equal widths.
void TileSideBySide(QMdiArea *area);
