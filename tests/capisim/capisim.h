/* Control interface of the simulated CAPI 2.0 driver (libcapisim.so).
 *
 * The library exports the ten libcapi20 entry points the program binds to,
 * plus these functions for tests. Every function is thread-safe. Tests reach
 * them with dlopen/dlsym on the same file the program loads (see
 * CapiSimControl.h); the program itself only ever sees the ten entry points.
 */
#ifndef KALVENDO_CAPISIM_H
#define KALVENDO_CAPISIM_H

#if defined(__GNUC__)
#define CAPISIM_API __attribute__((visibility("default")))
#else
#define CAPISIM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Back to the start: nothing registered, queued or recorded, every failure
 * switch off, version 2.0 / 0.5, automatic confirmations on. */
CAPISIM_API void capisim_reset(void);

/* What capi20_isinstalled returns (0 = installed; e.g. 0x1009). While it is
 * not 0, every other entry point fails with it too. */
CAPISIM_API void capisim_set_installed_info(unsigned info);
/* Make capi20_register fail with this Info (0 = succeed). */
CAPISIM_API void capisim_set_register_info(unsigned info);
/* Make capi20_put_message fail with this Info (0 = accept); a refused
 * message is still recorded. */
CAPISIM_API void capisim_set_put_info(unsigned info);
/* The four dwords capi20_get_version writes, exactly as given. */
CAPISIM_API void capisim_set_version(unsigned capiMajor, unsigned capiMinor,
                                     unsigned manufacturerMajor, unsigned manufacturerMinor);
/* When on (the default), every request put is answered with its
 * confirmation (Info 0, same message number), as a controller would. */
CAPISIM_API void capisim_set_auto_confirm(int on);

/* Queue one message (an indication or confirmation) for ApplID: TotalLength
 * bytes are copied, and its ApplID field is set. Returns 0, or -1 when the
 * ApplID is not registered or the message is malformed. */
CAPISIM_API int capisim_queue_message(unsigned applId, const unsigned char* message);

/* Behave as the real library does when its server has gone: waiting returns
 * at once, fetching finds nothing, puts fail with 0x1108. */
CAPISIM_API void capisim_drop_connection(unsigned applId);

/* When on, capi20_waitformessage ignores its time-out and blocks until this
 * is switched off again (or the simulation is reset): a driver call that does
 * not come back. */
CAPISIM_API void capisim_set_wait_blocks(int on);
/* How many calls are blocked in capi20_waitformessage that way right now. */
CAPISIM_API unsigned capisim_blocked_waits(void);

/* How many messages the program has put, over all ApplIDs. */
CAPISIM_API unsigned capisim_put_count(void);
/* Copies put message `index` (0 = first) into buf; returns its length, or 0
 * when there is no such message. At most `size` bytes are written. */
CAPISIM_API unsigned capisim_get_put(unsigned index, unsigned char* buf, unsigned size);
/* When put message `index` was recorded, in nanoseconds of the steady clock
 * (std::chrono::steady_clock); 0 when there is no such message. */
CAPISIM_API unsigned long long capisim_put_time(unsigned index);
/* Waits until at least `count` messages have been put; 1 when reached,
 * 0 on time-out. */
CAPISIM_API int capisim_wait_for_puts(unsigned count, unsigned timeoutMs);

/* The ApplID handed out by the last successful registration (0: none). */
CAPISIM_API unsigned capisim_last_applid(void);
/* 1 when applId is registered now; the registration's parameters are stored
 * through the pointers that are not null. */
CAPISIM_API int capisim_registration(unsigned applId, unsigned* maxLogicalConnection,
                                     unsigned* maxBDataBlocks, unsigned* maxBDataLen);
/* How many releases succeeded since the reset. */
CAPISIM_API unsigned capisim_release_count(void);

#ifdef __cplusplus
}
#endif

#endif
