#pragma once

// The lead bytes of code page 932 (Shift JIS). Its second bytes run from 0x40
// to 0xFC: "\x83\x5C" is a katakana SO whose second byte is a backslash,
// "\x83\x7C" a PO whose second byte is '|', "\x83\x6A" a NI whose second byte
// is 'j'.
inline bool Cp932Lead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
