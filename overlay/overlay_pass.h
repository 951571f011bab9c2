// What each tick of the overlay timer does: find every capture program's
// video windows and paint the cross on each.
#pragma once

// LPI, then Envisage, then DSI; none of them stops the others.
void RunOverlayPass();

// Each reports whether its finder found a window to draw on.
bool OverlayLpi();
bool OverlayEnvisage();
bool OverlayDsi();
