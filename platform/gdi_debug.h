// Counts of the GDI objects alive right now, so tests can check that every DC,
// bitmap and font is released and every selection undone. The initial objects
// that DCs share (the 1x1 bitmap and the initial font) live for the whole process
// and are not counted; neither are their selections.
#pragma once

int GdiLiveDCs();         // memory DCs and screen DCs not yet given back
int GdiLiveBitmaps();
int GdiLiveFonts();
int GdiLiveSelections();  // bitmaps and fonts of ours selected into a live DC
int GdiLiveObjects();     // DCs + bitmaps + fonts
