// SPDX-License-Identifier: Apache-2.0
/*
 * Lumetra: configuration client for one networked data-collection unit at a
 * time. A program opens a connection to a unit's TCP port 1283 with uxOpen
 * (which also reads the unit's mode table) or ReOpen, calls the other
 * functions, and ends with uxClose.
 *
 * Threads: the library keeps one connection, one frame buffer and one mode
 * table per process. Call it from one thread at a time.
 *
 * Time-outs: a connect waits at most 0.5 s (a refused or unreachable unit
 * uses the whole 0.5 s). Once connected, every wait for a reply is bounded as
 * a whole by LUMETRA_RECEIVE_TIMEOUT_MS (10 s), however slowly the bytes come
 * and however many keep-alives precede it: on expiry the call fails as if the
 * unit had closed the connection, and the connection is closed. A send that the
 * unit stops taking fails after LUMETRA_SEND_TIMEOUT_MS (10 s).
 *
 * A call that needs an open connection while there is none (before uxOpen,
 * after uxClose, Push, Fennick, a failed ReOpen or a broken connection) sends
 * nothing and returns 0 or the empty string.
 *
 * Strings passed in are zero-terminated 8-bit strings; NULL is accepted and
 * treated as a failure (or as "anything else" for Fennick's word choices).
 */
#ifndef LUMETRA_LUMETRA_H
#define LUMETRA_LUMETRA_H

#include <stdint.h>
#if defined(_WIN32)
#include <wtypes.h>
#include <oleauto.h>
#endif

#if defined(_WIN32)
#if defined(LUMETRA_BUILDING)
#define LUMETRA_API __declspec(dllexport)
#else
#define LUMETRA_API __declspec(dllimport)
#endif
#define LUMETRA_CALL __stdcall
#else
#define LUMETRA_API __attribute__((visibility("default")))
#define LUMETRA_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define LUMETRA_PORT 1283
#define LUMETRA_CONNECT_TIMEOUT_MS 500
#define LUMETRA_RECEIVE_TIMEOUT_MS 10000
#define LUMETRA_SEND_TIMEOUT_MS 10000
#define LUMETRA_FRAME_BUFFER_SIZE 102400

/*
 * String results.
 *
 * Every function returning LumetraString hands the caller a new string that
 * the caller owns and must release exactly once. The pointer points at the
 * text bytes: single-byte characters, never a zero byte among them, followed
 * by zero bytes, so the result can always be read as an ordinary
 * zero-terminated C string. In front of the bytes sits a 32-bit byte count:
 * for a text of n bytes the string holds (n + 1) / 2 two-byte units, so its
 * byte count is n when n is even and n + 1 (the text and one zero byte) when
 * n is odd.
 *
 * On Windows (Lumetra.dll) the result is a real OLE system string (BSTR)
 * made with SysAllocStringLen that carries the 8-bit bytes instead of
 * two-byte characters: free it with SysFreeString, read its byte count with
 * SysStringByteLen (link oleaut32). LumetraFreeString and
 * LumetraStringByteLen below are inline wrappers for those two there, so
 * the DLL exports the 24 functions below and nothing else.
 *
 * Elsewhere (libLumetra.so) the string has the same layout in memory made by
 * the library itself, and the library exports LumetraFreeString and
 * LumetraStringByteLen.
 *
 * A function returns NULL only when memory for the string ran out; the two
 * helpers accept NULL.
 */
typedef char* LumetraString;

#if defined(_WIN32)
/* Releases a string result; NULL is ignored. */
static __inline void LumetraFreeString(LumetraString text) { SysFreeString((BSTR)(void*)text); }
/* The string's byte count (see above); 0 for NULL. */
static __inline uint32_t LumetraStringByteLen(LumetraString text) {
    return SysStringByteLen((BSTR)(void*)text);
}
#else
/* Releases a string result; NULL is ignored. */
LUMETRA_API void LUMETRA_CALL LumetraFreeString(LumetraString text);
/* The string's byte count (see above); 0 for NULL. */
LUMETRA_API uint32_t LUMETRA_CALL LumetraStringByteLen(LumetraString text);
#endif

/* Connection. */

/* Connects, reads the mode table and returns the number of modes (0 when the
 * connect or the exchange fails, and when the unit lists no modes). */
LUMETRA_API int16_t LUMETRA_CALL uxOpen(const char* unitAddress);
/* Connects again without reading the mode table: 1 connected, 0 failed. */
LUMETRA_API int16_t LUMETRA_CALL ReOpen(const char* unitAddress);
/* Closes the connection; the mode table stays readable. Always 1. */
LUMETRA_API int32_t LUMETRA_CALL uxClose(void);
/* 0 after the last uxOpen/ReOpen succeeded, 1 after it failed. */
LUMETRA_API int16_t LUMETRA_CALL uxGetLastError(void);

/* Mode table (read at uxOpen; kept across uxClose and ReOpen). Names are
 * looked up ignoring case; an unknown name gives "" (0 for the size). */

/* Asks the unit for a mode's current value ("" on failure or refusal). */
LUMETRA_API LumetraString LUMETRA_CALL GetMode(const char* modeName);
LUMETRA_API int16_t LUMETRA_CALL GetModeSize(const char* modeName);
LUMETRA_API LumetraString LUMETRA_CALL GetModeType(const char* modeName);
LUMETRA_API LumetraString LUMETRA_CALL GetModeHelp(const char* modeName);
/* The value the unit reported at the last uxOpen. */
LUMETRA_API LumetraString LUMETRA_CALL GetNVRamMode(const char* modeName);
/* Enumeration in the unit's order; "" after the last name. */
LUMETRA_API LumetraString LUMETRA_CALL GetFirstModeName(void);
LUMETRA_API LumetraString LUMETRA_CALL GetNextModeName(void);

/* Mode changes: the line "name = value" (at most 255 characters; a longer
 * one is not sent and gives 0). */

/* 1 when the unit accepted the line, 0 when it refused or the exchange failed. */
LUMETRA_API int32_t LUMETRA_CALL uxSetMode(const char* modeName, const char* value);
/* Sends the line without waiting; the unit's answer is read by the next call
 * that reads a reply. 1 sent, 0 failed. */
LUMETRA_API int32_t LUMETRA_CALL SendTarnix(const char* modeName, const char* value);
/* Makes the unit store its modes permanently: 1 done, 0 refused or failed. */
LUMETRA_API int32_t LUMETRA_CALL uxCommit(void);
/* Restarts the unit (no answer is awaited; call uxClose next): 1 sent, 0 failed. */
LUMETRA_API int32_t LUMETRA_CALL uxRestart(void);

/* Pushes on the open connection: 1 sent, 0 not sent. A frame holds at most
 * LUMETRA_FRAME_BUFFER_SIZE bytes: a text of up to 102347 characters, an
 * image of up to 102348 bytes, a file of up to 102347 bytes minus the length
 * of its destination name. Empty or unreadable files are not sent. */
LUMETRA_API int32_t LUMETRA_CALL SendDisplayText(const char* text);
LUMETRA_API int32_t LUMETRA_CALL SendSpecialText(const char* text);
LUMETRA_API int32_t LUMETRA_CALL SendImageToDisplay(const char* filePath);
LUMETRA_API int32_t LUMETRA_CALL SendFile(const char* filePath, const char* destinationName);
LUMETRA_API int32_t LUMETRA_CALL SendRegistration(void);
LUMETRA_API int32_t LUMETRA_CALL SendTerminate(void);
/* A keep-alive frame (DATA with subtype NOP_). */
LUMETRA_API int32_t LUMETRA_CALL SendDataNOP(void);

/* Connects to a unit of its own, sends one file (any size), and closes: any
 * connection that was open is closed too. 1 sent, 0 not sent. */
LUMETRA_API int32_t LUMETRA_CALL Push(const char* unitAddress, const char* filePath,
                                      const char* destinationName);

/* Sets the unit's second serial port: connects to the unit, sends the
 * settings and closes, like Push. parity: "E" even, "O" odd, else none;
 * flowControl: "H" hardware, "X" XON/XOFF, else none (first character,
 * case-sensitive); stopBits: 1, else two. 1 sent, 0 not sent. */
LUMETRA_API int16_t LUMETRA_CALL Fennick(const char* unitAddress, int32_t speed, int16_t dataBits,
                                         const char* parity, int16_t stopBits,
                                         const char* flowControl);

#ifdef __cplusplus
}
#endif

#endif /* LUMETRA_LUMETRA_H */
