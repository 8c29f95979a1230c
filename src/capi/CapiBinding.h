#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <cstddef>

// The run-time binding to the CAPI 2.0 driver library (libcapi20.so.3, or the
// file KALVENDO_CAPI_LIBRARY names). One binding per process. LoadCapi and
// UnloadCapi belong to the main thread; once the state is 0 the entry points
// stay fixed, so a message thread may wait, fetch and put without a lock.
namespace kalvendo {

inline constexpr int CapiStateInstalled = 0;
inline constexpr int CapiStateNotLoaded = 1;
inline constexpr int CapiStateFileNotFound = 2;
inline constexpr int CapiStateNotInstalled = 3;

// Calls made while the driver is unusable return this plus the state.
inline constexpr unsigned CapiStateErrorBase = 0x9000;

inline constexpr unsigned CapiInfoIllegalMessage = 0x1102;
inline constexpr unsigned CapiInfoQueueEmpty = 0x1104;
// What CapiFetchMessage reports once the driver's connection is gone.
inline constexpr unsigned CapiInfoConnectionLost = 0x1108;
inline constexpr unsigned CapiInfoNotInstalled = 0x1009;

// The file LoadCapi tries: KALVENDO_CAPI_LIBRARY when set, else libcapi20.so.3.
QString CapiLibraryFile();

// Also silences the driver's own tracing unless KALVENDO_CAPI_TRACE is set.
void LoadCapi();
// Keeps the library while a message thread runs (one may have been abandoned
// inside a driver call that never returned).
void UnloadCapi();
int CapiState();

// A message thread announces itself, so that UnloadCapi knows.
void CapiThreadStarted();
void CapiThreadEnded();
int CapiRunningThreads();

// Fixed English texts; they name the library file that was (or will be) tried.
QString CapiStateText(int state);
// "OK" for 0, otherwise the text and " ($XXXX)".
QString CapiInfoText(unsigned code);
QString CipValueName(int cip);
unsigned CapiMessageBufferSize(unsigned logicalConnections);

// --- driver calls; each returns 0 or a CAPI Info value ---

// Linux registration takes no message buffer size.
unsigned CapiRegister(unsigned maxLogicalConnection, unsigned maxBDataBlocks, unsigned maxBDataLen,
                      unsigned* applId);
unsigned CapiRelease(unsigned applId);
// Puts one encoded message of `length` bytes (12 to 65535, else 0x1102).
unsigned CapiPutMessage(unsigned applId, const void* message, size_t length);
// Waits up to timeoutMs (negative: no limit) until a message can be fetched:
// 0, or 0x1104 when the time is up.
unsigned CapiWaitForMessage(unsigned applId, int timeoutMs);
// Fetches the next message; the pointer stays valid until the next fetch. The
// driver blocks here when nothing is queued: call it only after a wait gave 0.
unsigned CapiGetMessage(unsigned applId, const quint8** message);
// Waits (in short slices, so that `cancel` is seen promptly) and fetches, with
// a copy of the message in `message`. Returns 0, 0x1104 when the time is up or
// cancel was set, 0x1108 when the driver keeps signalling a message but has
// none (its connection is gone), or the driver's Info value.
unsigned CapiFetchMessage(unsigned applId, int timeoutMs, QByteArray* message,
                          const std::atomic<bool>* cancel = nullptr);
// CAPI major, CAPI minor, manufacturer major, manufacturer minor as the
// driver wrote them (zeros when it wrote nothing).
unsigned CapiGetVersion(quint32 version[4]);

} // namespace kalvendo
