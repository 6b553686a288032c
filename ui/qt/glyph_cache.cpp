#include "ui/qt/glyph_cache.h"

#include <QFont>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void NoteCardShown()
{
    static int cards = 0; // the window's thread only
    if (++cards % kCardsPerGlyphRelease == 0)
        ReleaseGlyphCaches();
}

void ReleaseGlyphCaches()
{
    // Qt's own font cache teardown: each font engine goes once nothing
    // holds it any more; a QFont in use notices that its cache is gone and
    // loads a fresh engine at its next use. This is what Qt does when the
    // font database changes, so every holder of an engine copes with it.
    QFont::cleanup();
#if defined(__GLIBC__)
    // The glyphs were many small blocks spread through the heap; without
    // this the freed pages would stay with the process.
    malloc_trim(0);
#endif
}
