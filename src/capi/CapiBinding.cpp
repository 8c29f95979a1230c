#include "capi/CapiBinding.h"

#include "capi/CapiPlatform.h"

#include <QFile>
#include <QLibrary>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

namespace kalvendo {

namespace {

enum Entry {
    EInstalled,
    ERegister,
    ERelease,
    EPutMessage,
    EGetMessage,
    EWaitForMessage,
    EGetVersion,
    EGetManufacturer,
    EGetSerialNumber,
    EGetProfile,
    EntryCount
};

constexpr std::array<const char*, EntryCount> kEntryNames = {
    "capi20_isinstalled", "capi20_register",         "capi20_release",
    "capi20_put_message", "capi20_get_message",      "capi20_waitformessage",
    "capi20_get_version", "capi20_get_manufacturer", "capi20_get_serial_number",
    "capi20_get_profile"};

// The Linux libcapi20 signatures.
using InstalledFn = unsigned (*)();
using RegisterFn = unsigned (*)(unsigned, unsigned, unsigned, unsigned*);
using ReleaseFn = unsigned (*)(unsigned);
using PutMessageFn = unsigned (*)(unsigned, unsigned char*);
using GetMessageFn = unsigned (*)(unsigned, unsigned char**);
using GetVersionFn = unsigned char* (*)(unsigned, unsigned char*);
using SetTraceLevelFn = void (*)(int);

struct Binding {
    std::atomic<int> state{CapiStateNotLoaded};
    // Held from a successful load until UnloadCapi; also after a load that
    // found the library incomplete, until the next try replaces it.
    std::unique_ptr<QLibrary> library;
    QString triedFile;
    std::array<void*, EntryCount> entries{};
    // Message threads that may be inside the driver; see UnloadCapi.
    std::atomic<int> threads{0};
};

Binding& binding() {
    static Binding b;
    return b;
}

template <class Fn> Fn entry(Entry e) {
    return reinterpret_cast<Fn>(binding().entries[e]);
}

bool usable() {
    return binding().state.load(std::memory_order_acquire) == CapiStateInstalled;
}

unsigned unusableError() {
    return CapiStateErrorBase + unsigned(CapiState());
}

// The real library copies about 2173 bytes from the message pointer whatever
// the message's length, so short messages are put from a buffer this large.
constexpr size_t kPutBufferSize = 4096;

// Empty fetches after a wait said a message was there, before we call the
// connection lost.
constexpr int kEmptyFetchesForLoss = 3;

constexpr int kWaitSliceMs = 100;

} // namespace

QString CapiLibraryFile() {
    const QByteArray env = qgetenv("KALVENDO_CAPI_LIBRARY");
    return env.isEmpty() ? QStringLiteral("libcapi20.so.3") : QFile::decodeName(env);
}

void LoadCapi() {
    Binding& b = binding();
    if (b.state.load() == CapiStateInstalled) {
        return;
    }
    // A retry after state 3 replaces the library still held from the last try.
    if (b.library) {
        b.library->unload();
        b.library.reset();
    }
    b.entries.fill(nullptr);
    b.triedFile = CapiLibraryFile();

    capiplatform::IgnoreBrokenPipe();
    if (!capiplatform::SharedMemoryUsable()) {
        // Loading the driver now would end the process; it cannot work here.
        b.state.store(CapiStateNotInstalled);
        return;
    }

    auto library = std::make_unique<QLibrary>(b.triedFile);
    // Every name bound now, and none of the driver's leaking into other libraries.
    library->setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!library->load()) {
        b.state.store(CapiStateFileNotFound);
        return;
    }
    b.library = std::move(library);

    std::array<void*, EntryCount> found{};
    for (int i = 0; i < EntryCount; ++i) {
        found[size_t(i)] = reinterpret_cast<void*>(b.library->resolve(kEntryNames[size_t(i)]));
    }
    // Debian's libcapi20 prints debug lines on stderr at every start unless a
    // configuration file says otherwise; it must be told before its first call.
    if (!qEnvironmentVariableIsSet("KALVENDO_CAPI_TRACE")) {
        if (auto setTraceLevel =
                reinterpret_cast<SetTraceLevelFn>(b.library->resolve("capi20ext_set_tracelevel"))) {
            setTraceLevel(0);
        }
    }

    // A library without all ten names is no driver we can call.
    const bool complete = std::all_of(found.begin(), found.end(), [](void* p) { return p; });
    if (!complete || reinterpret_cast<InstalledFn>(found[EInstalled])() != 0) {
        b.state.store(CapiStateNotInstalled);
        return;
    }
    b.entries = found;
    b.state.store(CapiStateInstalled, std::memory_order_release);
}

void UnloadCapi() {
    Binding& b = binding();
    // Unmapping code that a thread still runs would crash it.
    if (b.threads.load() > 0) {
        return;
    }
    if (b.library && b.library->unload()) {
        b.entries.fill(nullptr);
        b.library.reset();
        b.state.store(CapiStateNotLoaded);
    }
}

void CapiThreadStarted() {
    ++binding().threads;
}

void CapiThreadEnded() {
    --binding().threads;
}

int CapiRunningThreads() {
    return binding().threads.load();
}

int CapiState() {
    return binding().state.load(std::memory_order_acquire);
}

QString CapiStateText(int state) {
    const QString file = binding().triedFile.isEmpty() ? CapiLibraryFile() : binding().triedFile;
    switch (state) {
    case CapiStateInstalled:
        return QStringLiteral("CAPI 2.0 (32 Bit) installed");
    case CapiStateNotLoaded:
        return file + QStringLiteral(" not loaded.");
    case CapiStateFileNotFound:
        return QStringLiteral("File \"") + file + QStringLiteral("\" not found.");
    case CapiStateNotInstalled:
        return QStringLiteral("CAPI 2.0 (32 Bit) not installed.");
    default:
        return QString();
    }
}

unsigned CapiMessageBufferSize(unsigned logicalConnections) {
    return 1024 + 1024 * logicalConnections;
}

unsigned CapiRegister(unsigned maxLogicalConnection, unsigned maxBDataBlocks, unsigned maxBDataLen,
                      unsigned* applId) {
    if (!usable()) {
        return unusableError();
    }
    unsigned id = 0;
    const unsigned info =
        entry<RegisterFn>(ERegister)(maxLogicalConnection, maxBDataBlocks, maxBDataLen, &id);
    if (applId != nullptr) {
        *applId = info == 0 ? id : 0;
    }
    return info;
}

unsigned CapiRelease(unsigned applId) {
    if (!usable()) {
        return unusableError();
    }
    return entry<ReleaseFn>(ERelease)(applId);
}

unsigned CapiPutMessage(unsigned applId, const void* message, size_t length) {
    if (!usable()) {
        return unusableError();
    }
    if (message == nullptr || length < 12 || length > 0xFFFF) {
        return CapiInfoIllegalMessage;
    }
    std::vector<unsigned char> buffer(std::max(length, kPutBufferSize), 0);
    std::memcpy(buffer.data(), message, length);
    return entry<PutMessageFn>(EPutMessage)(applId, buffer.data());
}

unsigned CapiWaitForMessage(unsigned applId, int timeoutMs) {
    if (!usable()) {
        return unusableError();
    }
    return capiplatform::WaitForMessage(binding().entries[EWaitForMessage], applId, timeoutMs);
}

unsigned CapiGetMessage(unsigned applId, const quint8** message) {
    if (!usable()) {
        return unusableError();
    }
    unsigned char* p = nullptr;
    const unsigned info = entry<GetMessageFn>(EGetMessage)(applId, &p);
    if (message != nullptr) {
        *message = info == 0 ? p : nullptr;
    }
    return info == 0 && p == nullptr ? CapiInfoQueueEmpty : info;
}

unsigned CapiFetchMessage(unsigned applId, int timeoutMs, QByteArray* message,
                          const std::atomic<bool>* cancel) {
    if (!usable()) {
        return unusableError();
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    int emptyFetches = 0;
    for (;;) {
        if (cancel != nullptr && cancel->load()) {
            return CapiInfoQueueEmpty;
        }
        int slice = kWaitSliceMs;
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            slice = int(std::clamp<qint64>(left.count(), 0, kWaitSliceMs));
        }
        const unsigned waited = CapiWaitForMessage(applId, slice);
        if (waited == 0) {
            const quint8* p = nullptr;
            const unsigned got = CapiGetMessage(applId, &p);
            if (got == 0) {
                if (message != nullptr) {
                    // The driver guarantees TotalLength bytes (at least a header).
                    const size_t length = std::max<size_t>(qFromLittleEndian<quint16>(p), 8);
                    *message = QByteArray(reinterpret_cast<const char*>(p), qsizetype(length));
                }
                return 0;
            }
            if (got != CapiInfoQueueEmpty) {
                return got;
            }
            // Signalled but empty: a lost server keeps its socket readable.
            if (++emptyFetches >= kEmptyFetchesForLoss) {
                return CapiInfoConnectionLost;
            }
            continue;
        }
        if (waited != CapiInfoQueueEmpty) {
            return waited;
        }
        // A lost connection never lets a wait time out: only consecutive empty
        // fetches count.
        emptyFetches = 0;
        if (timeoutMs >= 0 && Clock::now() >= deadline) {
            return CapiInfoQueueEmpty;
        }
    }
}

unsigned CapiGetVersion(quint32 version[4]) {
    std::fill(version, version + 4, 0u);
    if (!usable()) {
        return unusableError();
    }
    // Room beyond the four values, in case a driver writes more than it should.
    alignas(quint32) unsigned char buffer[64] = {};
    if (entry<GetVersionFn>(EGetVersion)(0, buffer) == nullptr) {
        return CapiInfoNotInstalled;
    }
    std::memcpy(version, buffer, 4 * sizeof(quint32));
    return 0;
}

} // namespace kalvendo
