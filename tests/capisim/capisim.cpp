// A simulated CAPI 2.0 driver with the entry points of Linux libcapi20, for
// tests and demos. See capisim.h for the control side.

#include "capisim.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <sys/time.h>
#include <vector>

#define CAPISIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using Bytes = std::vector<unsigned char>;

constexpr unsigned kIllegalApplId = 0x1101;
constexpr unsigned kIllegalMessage = 0x1102;
constexpr unsigned kQueueEmpty = 0x1104;
constexpr unsigned kConnectionBroken = 0x1108;

struct Application {
    unsigned maxLogicalConnection = 0;
    unsigned maxBDataBlocks = 0;
    unsigned maxBDataLen = 0;
    std::deque<Bytes> queue;
    Bytes current; // the message last fetched, valid until the next fetch
    bool dropped = false;
};

struct Driver {
    std::mutex mutex;
    std::condition_variable changed;
    unsigned installedInfo = 0;
    unsigned registerInfo = 0;
    unsigned putInfo = 0;
    unsigned version[4] = {2, 0, 0, 5};
    bool autoConfirm = true;
    bool waitBlocks = false;
    unsigned blockedWaits = 0;
    unsigned nextApplId = 1;
    unsigned lastApplId = 0;
    unsigned releases = 0;
    std::map<unsigned, Application> apps;
    std::vector<Bytes> puts;
    std::vector<unsigned long long> putTimes;

    void reset() {
        installedInfo = registerInfo = putInfo = 0;
        version[0] = 2;
        version[1] = 0;
        version[2] = 0;
        version[3] = 5;
        autoConfirm = true;
        waitBlocks = false;
        nextApplId = 1;
        lastApplId = 0;
        releases = 0;
        apps.clear();
        puts.clear();
        putTimes.clear();
    }
};

Driver& driver() {
    static Driver d;
    return d;
}

unsigned word(const unsigned char* p) {
    return unsigned(p[0] | p[1] << 8);
}

void putWord(Bytes& b, unsigned v) {
    b.push_back(static_cast<unsigned char>(v & 0xFF));
    b.push_back(static_cast<unsigned char>(v >> 8 & 0xFF));
}

void putDword(Bytes& b, unsigned v) {
    putWord(b, v & 0xFFFF);
    putWord(b, v >> 16);
}

unsigned dword(const unsigned char* p) {
    return word(p) | word(p + 2) << 16;
}

// The confirmation a controller gives to a request, with Info 0.
Bytes confirmationFor(const Bytes& req) {
    Bytes conf;
    putWord(conf, 0); // TotalLength, set below
    putWord(conf, word(&req[2]));
    conf.push_back(req[4]);
    conf.push_back(0x81);
    putWord(conf, word(&req[6]));
    putDword(conf, dword(&req[8]));
    const unsigned command = req[4];
    if (command == 0x86) { // DATA_B3: NCCI, data handle, Info
        putWord(conf, req.size() >= 20 ? word(&req[18]) : 0);
        putWord(conf, 0);
    } else if (command == 0x80) { // FACILITY: address, Info, selector, empty struct
        putWord(conf, 0);
        putWord(conf, req.size() >= 14 ? word(&req[12]) : 0);
        conf.push_back(0);
    } else {
        putWord(conf, 0);
    }
    conf[0] = static_cast<unsigned char>(conf.size());
    return conf;
}

} // namespace

// --- the ten driver entry points ---

CAPISIM_EXPORT unsigned capi20_isinstalled(void) {
    std::lock_guard lock(driver().mutex);
    return driver().installedInfo;
}

CAPISIM_EXPORT unsigned capi20_register(unsigned maxLogicalConnection, unsigned maxBDataBlocks,
                                        unsigned maxBDataLen, unsigned* applIdp) {
    Driver& d = driver();
    std::lock_guard lock(d.mutex);
    if (d.installedInfo != 0) {
        return d.installedInfo;
    }
    if (d.registerInfo != 0) {
        return d.registerInfo;
    }
    const unsigned id = d.nextApplId++;
    Application& app = d.apps[id];
    app.maxLogicalConnection = maxLogicalConnection;
    app.maxBDataBlocks = maxBDataBlocks;
    app.maxBDataLen = maxBDataLen;
    d.lastApplId = id;
    *applIdp = id;
    return 0;
}

CAPISIM_EXPORT unsigned capi20_release(unsigned applId) {
    Driver& d = driver();
    std::lock_guard lock(d.mutex);
    if (d.apps.erase(applId) == 0) {
        return kIllegalApplId;
    }
    ++d.releases;
    d.changed.notify_all();
    return 0;
}

CAPISIM_EXPORT unsigned capi20_put_message(unsigned applId, unsigned char* msg) {
    Driver& d = driver();
    std::lock_guard lock(d.mutex);
    if (d.installedInfo != 0) {
        return d.installedInfo;
    }
    auto it = d.apps.find(applId);
    if (it == d.apps.end()) {
        return kIllegalApplId;
    }
    const unsigned length = word(msg);
    if (length < 12) {
        return kIllegalMessage;
    }
    Bytes message(msg, msg + length);
    d.puts.push_back(message);
    d.putTimes.push_back(
        static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                            std::chrono::steady_clock::now().time_since_epoch())
                                            .count()));
    d.changed.notify_all();
    if (it->second.dropped) {
        return kConnectionBroken;
    }
    if (d.putInfo != 0) {
        return d.putInfo;
    }
    if (d.autoConfirm && message[5] == 0x80) {
        it->second.queue.push_back(confirmationFor(message));
    }
    return 0;
}

CAPISIM_EXPORT unsigned capi20_get_message(unsigned applId, unsigned char** buf) {
    Driver& d = driver();
    std::lock_guard lock(d.mutex);
    auto it = d.apps.find(applId);
    if (it == d.apps.end()) {
        return kIllegalApplId;
    }
    Application& app = it->second;
    // The real library blocks here when nothing is queued; returning at once
    // is kinder to a program that forgot to wait, and the binding always waits.
    if (app.dropped || app.queue.empty()) {
        return kQueueEmpty;
    }
    app.current = std::move(app.queue.front());
    app.queue.pop_front();
    *buf = app.current.data();
    return 0;
}

CAPISIM_EXPORT unsigned capi20_waitformessage(unsigned applId, struct timeval* timeOut) {
    Driver& d = driver();
    std::unique_lock lock(d.mutex);
    if (d.waitBlocks) {
        ++d.blockedWaits;
        d.changed.notify_all();
        d.changed.wait(lock, [&] { return !d.waitBlocks; });
        --d.blockedWaits;
    }
    auto ready = [&] {
        auto it = d.apps.find(applId);
        return it == d.apps.end() || it->second.dropped || !it->second.queue.empty();
    };
    if (timeOut == nullptr) {
        d.changed.wait(lock, ready);
    } else {
        const auto limit =
            std::chrono::seconds(timeOut->tv_sec) + std::chrono::microseconds(timeOut->tv_usec);
        if (!d.changed.wait_for(lock, limit, ready)) {
            return kQueueEmpty;
        }
    }
    return d.apps.count(applId) != 0 ? 0 : kIllegalApplId;
}

CAPISIM_EXPORT unsigned char* capi20_get_version(unsigned, unsigned char* buf) {
    Driver& d = driver();
    std::lock_guard lock(d.mutex);
    if (d.installedInfo != 0) {
        return nullptr;
    }
    std::memcpy(buf, d.version, sizeof d.version);
    return buf;
}

CAPISIM_EXPORT unsigned char* capi20_get_manufacturer(unsigned, unsigned char* buf) {
    static const char name[] = "Kalvendo simulated CAPI";
    std::memcpy(buf, name, sizeof name);
    return buf;
}

CAPISIM_EXPORT unsigned char* capi20_get_serial_number(unsigned, unsigned char* buf) {
    static const char serial[] = "0000001";
    std::memcpy(buf, serial, sizeof serial);
    return buf;
}

#ifndef CAPISIM_WITHOUT_GET_PROFILE
CAPISIM_EXPORT unsigned capi20_get_profile(unsigned, unsigned char* buf) {
    // One controller with two B channels; no options announced.
    std::memset(buf, 0, 64);
    buf[0] = 1;
    buf[2] = 2;
    return 0;
}
#endif

// --- control interface ---

CAPISIM_EXPORT void capisim_reset(void) {
    Driver& d = driver();
    std::lock_guard lock(d.mutex);
    d.reset();
    d.changed.notify_all();
}

CAPISIM_EXPORT void capisim_set_installed_info(unsigned info) {
    std::lock_guard lock(driver().mutex);
    driver().installedInfo = info;
}

CAPISIM_EXPORT void capisim_set_register_info(unsigned info) {
    std::lock_guard lock(driver().mutex);
    driver().registerInfo = info;
}

CAPISIM_EXPORT void capisim_set_put_info(unsigned info) {
    std::lock_guard lock(driver().mutex);
    driver().putInfo = info;
}

CAPISIM_EXPORT void capisim_set_version(unsigned capiMajor, unsigned capiMinor,
                                        unsigned manufacturerMajor, unsigned manufacturerMinor) {
    std::lock_guard lock(driver().mutex);
    driver().version[0] = capiMajor;
    driver().version[1] = capiMinor;
    driver().version[2] = manufacturerMajor;
    driver().version[3] = manufacturerMinor;
}

CAPISIM_EXPORT void capisim_set_auto_confirm(int on) {
    std::lock_guard lock(driver().mutex);
    driver().autoConfirm = on != 0;
}

CAPISIM_EXPORT int capisim_queue_message(unsigned applId, const unsigned char* message) {
    Driver& d = driver();
    std::lock_guard lock(d.mutex);
    auto it = d.apps.find(applId);
    if (it == d.apps.end() || message == nullptr || word(message) < 8) {
        return -1;
    }
    Bytes copy(message, message + word(message));
    copy[2] = static_cast<unsigned char>(applId & 0xFF);
    copy[3] = static_cast<unsigned char>(applId >> 8 & 0xFF);
    it->second.queue.push_back(std::move(copy));
    d.changed.notify_all();
    return 0;
}

CAPISIM_EXPORT void capisim_drop_connection(unsigned applId) {
    Driver& d = driver();
    std::lock_guard lock(d.mutex);
    auto it = d.apps.find(applId);
    if (it != d.apps.end()) {
        it->second.dropped = true;
        it->second.queue.clear();
    }
    d.changed.notify_all();
}

CAPISIM_EXPORT void capisim_set_wait_blocks(int on) {
    Driver& d = driver();
    std::lock_guard lock(d.mutex);
    d.waitBlocks = on != 0;
    d.changed.notify_all();
}

CAPISIM_EXPORT unsigned capisim_blocked_waits(void) {
    std::lock_guard lock(driver().mutex);
    return driver().blockedWaits;
}

CAPISIM_EXPORT unsigned long long capisim_put_time(unsigned index) {
    Driver& d = driver();
    std::lock_guard lock(d.mutex);
    return index < d.putTimes.size() ? d.putTimes[index] : 0;
}

CAPISIM_EXPORT unsigned capisim_put_count(void) {
    std::lock_guard lock(driver().mutex);
    return static_cast<unsigned>(driver().puts.size());
}

CAPISIM_EXPORT unsigned capisim_get_put(unsigned index, unsigned char* buf, unsigned size) {
    Driver& d = driver();
    std::lock_guard lock(d.mutex);
    if (index >= d.puts.size()) {
        return 0;
    }
    const Bytes& m = d.puts[index];
    std::memcpy(buf, m.data(), m.size() < size ? m.size() : size);
    return static_cast<unsigned>(m.size());
}

CAPISIM_EXPORT int capisim_wait_for_puts(unsigned count, unsigned timeoutMs) {
    Driver& d = driver();
    std::unique_lock lock(d.mutex);
    return d.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return d.puts.size() >= count; })
               ? 1
               : 0;
}

CAPISIM_EXPORT unsigned capisim_last_applid(void) {
    std::lock_guard lock(driver().mutex);
    return driver().lastApplId;
}

CAPISIM_EXPORT int capisim_registration(unsigned applId, unsigned* maxLogicalConnection,
                                        unsigned* maxBDataBlocks, unsigned* maxBDataLen) {
    Driver& d = driver();
    std::lock_guard lock(d.mutex);
    auto it = d.apps.find(applId);
    if (it == d.apps.end()) {
        return 0;
    }
    if (maxLogicalConnection != nullptr) {
        *maxLogicalConnection = it->second.maxLogicalConnection;
    }
    if (maxBDataBlocks != nullptr) {
        *maxBDataBlocks = it->second.maxBDataBlocks;
    }
    if (maxBDataLen != nullptr) {
        *maxBDataLen = it->second.maxBDataLen;
    }
    return 1;
}

CAPISIM_EXPORT unsigned capisim_release_count(void) {
    std::lock_guard lock(driver().mutex);
    return driver().releases;
}
