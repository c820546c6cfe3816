#pragma once

#include "documentops.h"

// The colour a document's text is drawn in over a given background. The document keeps
// the colours it was given (files are saved with them); only the painting asks here.
// On a light background every colour is drawn as it is. On a dark one (where white
// text stands out more than black) a colour keeps its hue: a dark one is mirrored to
// the same lightness above the middle, and any that still reads poorly is lightened
// towards white until it stands at 4.5:1 against the background (the WCAG measure for
// text). Any thread.
Rgb DisplayColour(Rgb colour, Rgb background);

// The WCAG contrast ratio of two colours, from 1 (equal) to 21 (black on white).
double ContrastRatio(Rgb a, Rgb b);

// True when white text reads better on this background than black text.
bool IsDarkBackground(Rgb background);
