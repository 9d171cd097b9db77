/*
 * TQLib32: checks and converts the numeric texts of the dispatch and delivery
 * text files.
 *
 * Contract:
 *  - Every function takes NUL-terminated narrow text and never reads past its
 *    terminator; a null text is "not a number". Nothing is thrown, no state is kept.
 *  - Accepted spellings: optional spaces or tabs before and after, an optional sign
 *    ('+' or '-'; no sign for volumes), then digits. IsFloatingPoint and IsVolume
 *    also take one decimal point with digits on at least one side. No exponents,
 *    no thousands separators, no "inf" or "nan".
 *  - IsInteger and IsFloatingPoint only judge the spelling; callers convert the
 *    text themselves and check its range.
 *  - IsVolume and VolumeToASCIIZ are exact inverses: for every resolution code c
 *    (0 hundredths, 1 tenths, 2 whole units) and every u32 v, the text that
 *    VolumeToASCIIZ writes for (c, v) reads back through IsVolume as v.
 */
#ifndef TQLIB32_TQLIB_H
#define TQLIB32_TQLIB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TQLIB_EXPORT __attribute__((visibility("default")))

/* Non-zero when the text is a whole number. */
TQLIB_EXPORT int IsInteger(const char* text);

/* Non-zero when the text is a decimal number (a leading minus sign allowed). */
TQLIB_EXPORT int IsFloatingPoint(const char* text);

/* Non-zero when the text is a volume that the resolution code can hold exactly
 * in 32 bits; *volume then holds the text's value times 100 (code 0), 10 (code 1)
 * or 1 (code 2). A text with more significant decimals than the code keeps, a
 * negative text, a value beyond 32 bits and a code above 2 give zero, and
 * *volume is left unchanged. */
TQLIB_EXPORT int IsVolume(const char* text, uint8_t resolutionCode, uint32_t* volume);

/* Writes the decimal text of a stored volume: "12.34" for (0, 1234), "12.3" for
 * (1, 123), "12" for (2, 12). The text is at most 11 characters and a NUL, so a
 * 16-byte buffer always suffices; a code above 2 writes the empty text. */
TQLIB_EXPORT void VolumeToASCIIZ(char* buffer, uint8_t resolutionCode, uint32_t volume);

#ifdef __cplusplus
}
#endif

#endif /* TQLIB32_TQLIB_H */
