#pragma once
// The text renderer keeps the picture of every character it has drawn, per
// font, size and position, for as long as the font is in use; nothing ever
// drops them. Cards of ever new holders (or a faulty reader's random text)
// bring ever new characters - the CJK range alone has over 20,000 - so the
// card view's fonts would hold a few bytes more with nearly every card.
// These functions keep that bounded.

// Counts a card shown; every kCardsPerGlyphRelease-th card releases the
// caches before it is drawn.
inline constexpr int kCardsPerGlyphRelease = 100;
void NoteCardShown();

// Drops every cached font engine with its glyphs and gives the freed memory
// back to the system. The fonts in use load theirs again at their next use:
// the next card takes about 20 ms longer to draw (2 ms otherwise), once in
// kCardsPerGlyphRelease cards.
void ReleaseGlyphCaches();
