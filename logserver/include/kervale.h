/*
 * kervale: the machine-wide log server, as seen by a client module.
 *
 * A client fills a LogMessage and calls GravaLog. The call hands the 296 bytes to the one log
 * server of the machine and returns at once; it never waits for the message to be written and
 * never reports a failure (it always returns 1). The first call on the machine starts the server
 * in the calling process.
 *
 * What a caller may rely on:
 *  - GravaLog reads exactly 296 bytes at its argument and keeps no pointer to them.
 *  - Any thread of any process may call it at any time, concurrently with others.
 *  - Messages sent by one thread reach the log in the order of its calls.
 *
 * The layout below is a binary interface: little-endian numbers, natural alignment, two gaps
 * that are never read. It is valid C and C++.
 */
#ifndef KERVALE_H
#define KERVALE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define KERVALE_CALL __stdcall
#if defined(KERVALE_BUILDING_LIBRARY)
#define KERVALE_API __declspec(dllexport)
#else
#define KERVALE_API __declspec(dllimport)
#endif
#else
#define KERVALE_CALL
#define KERVALE_API __attribute__((visibility("default")))
#endif

/* Record types the server accepts in msgType. */
enum { KERVALE_TYPE_13 = 13, KERVALE_TYPE_14 = 14, KERVALE_TYPE_15 = 15, KERVALE_TYPE_16 = 16,
       KERVALE_TYPE_20 = 20, KERVALE_TYPE_21 = 21 };

/* Levels: 0, 1, 2 are events; 0x81 and 0x82 are faults. */
enum { KERVALE_LEVEL_EVENT0 = 0, KERVALE_LEVEL_EVENT1 = 1, KERVALE_LEVEL_EVENT2 = 2,
       KERVALE_LEVEL_FAULT1 = 0x81, KERVALE_LEVEL_FAULT2 = 0x82 };

/* Data kinds, the first byte of data. */
enum { KERVALE_DATA_BINARY = 1,     /* payload printed in hex; dataLen at most 128 */
       KERVALE_DATA_TEXT = 2,       /* printed as is, wrapped at 80 columns; dataLen at most 255 */
       KERVALE_DATA_TEXT_NOWRAP = 3 /* printed as is, never wrapped; dataLen at most 255 */ };

typedef struct LogMessage {
    uint32_t msgType;      /*   0: 13, 14, 15, 16, 20 or 21 */
    uint8_t level;         /*   4: 0, 1, 2, 0x81 or 0x82 */
    char unit[3];          /*   5: unit name, key of the tally table; no terminator */
    uint32_t amount;       /*   8: added to the unit's tally; at most 0xFFFF */
    uint8_t code1;         /*  12: free code */
    uint8_t code2;         /*  13: free code */
    uint8_t gap1[2];       /*  14: never read */
    uint32_t value1;       /*  16: at most 0xFFFF */
    uint32_t value2;       /*  20: at most 0xFFFF */
    char label[12];        /*  24: text; a shorter label ends with a NUL */
    uint8_t dataLen;       /*  36: bytes used in data, kind byte included; 0 = no data */
    uint8_t data[255];     /*  37: kind byte, then dataLen - 1 bytes of payload */
    uint8_t gap2[4];       /* 292: never read */
} LogMessage;              /* 296 bytes */

/* Hands one message to the log server. Always returns 1. */
KERVALE_API int32_t KERVALE_CALL GravaLog(const void *msg);

#ifdef __cplusplus
}
#endif

#endif /* KERVALE_H */
