#pragma once
// Redaction of what a reader call returns, for recordings that may leave the
// bench: the holder's names, numbers, address and authority become fictional
// text of the same length and character classes (digits stay digits, CJK
// stays CJK, Latin letters stay Latin letters of the same case; blanks,
// padding and punctuation stay), every such character different from the one
// read. Kept as read: the card kind's mark, sex, nation and the codes that
// name no one, the reserved bytes. Dates stay valid dates: all of one card
// move back by the same number of days, so the spans between them hold; a
// date field that holds no date (长期) keeps its text. The photo becomes
// zeros and the fingerprint data random bytes, each of the same length, a
// zero byte staying zero.
//
// Every replacement is drawn from the recording's key and the whole value
// replaced: within one recording the same card redacts the same way every
// time (the tool still tells one card from the next), across recordings the
// fictional values are unrelated.

#include <cstddef>
#include <cstdint>

// A fresh random key for a recording.
std::uint64_t NewRedactionKey();

// Redacts a base text of `size` bytes in place: the fields of its kind by
// their meaning; a text of another size, or of a kind whose layout is not
// decoded, has every character redacted but the kind mark.
void RedactBaseText(unsigned char* text, std::size_t size, std::uint64_t key);

// Redacts UCS-2 LE text in place, every character by its class (an appended
// address).
void RedactUcs2Text(unsigned char* text, std::size_t size, std::uint64_t key);

void RedactPhoto(unsigned char* photo, std::size_t size);
void RedactFingerprint(unsigned char* data, std::size_t size, std::uint64_t key);
