#include "output/mobile/RapiConnection.h"

#include <QFile>
#include <QLibrary>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace kalvendo {

namespace {

// The remote API's init block (RAPIINIT) and entry points.
struct RapiInit {
    std::uint32_t cbSize;
    void* heRapiInit;
    std::int32_t hrRapiInit;
};
using InitExFn = std::int32_t (*)(RapiInit*);
using InitFn = std::int32_t (*)();
using UninitFn = std::int32_t (*)();

} // namespace

// Shared with the thread that runs the initialisation: when the caller stops
// waiting, that thread still finishes, and uninitialises what it started.
struct RapiConnection::Library {
    QLibrary file;
    InitExFn initEx = nullptr;
    InitFn init = nullptr;
    UninitFn uninit = nullptr;

    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    std::int32_t result = -1;
};

QString rapiLibraryFile() {
    const QByteArray env = qgetenv("KALVENDO_RAPI_LIBRARY");
    return env.isEmpty() ? QStringLiteral("librapi.so.2") : QFile::decodeName(env);
}

RapiConnection::RapiConnection() = default;

RapiConnection::~RapiConnection() {
    disconnect();
}

bool RapiConnection::connect(int timeoutMs) {
    if (m_connected)
        return true;
    auto lib = std::make_shared<Library>();
    if (qEnvironmentVariableIsEmpty("KALVENDO_RAPI_LIBRARY"))
        lib->file.setFileNameAndVersion(QStringLiteral("rapi"), 2);
    else
        lib->file.setFileName(rapiLibraryFile());
    if (!lib->file.load())
        return false;
    lib->initEx = reinterpret_cast<InitExFn>(lib->file.resolve("CeRapiInitEx"));
    lib->init = reinterpret_cast<InitFn>(lib->file.resolve("CeRapiInit"));
    lib->uninit = reinterpret_cast<UninitFn>(lib->file.resolve("CeRapiUninit"));
    if ((!lib->initEx && !lib->init) || !lib->uninit)
        return false;

    // On Windows the initialisation signals an event; here the call itself
    // blocks until the device answers, so it runs on a thread of its own and
    // the wait is on that thread.
    std::thread([lib] {
        std::int32_t hr = 0;
        if (lib->initEx) {
            RapiInit ri{sizeof(RapiInit), nullptr, 0};
            hr = lib->initEx(&ri);
            if (hr >= 0)
                hr = ri.hrRapiInit;
        } else {
            hr = lib->init();
        }
        const std::lock_guard lock(lib->mutex);
        lib->finished = true;
        lib->result = hr;
        if (lib->abandoned)
            lib->uninit();
        lib->done.notify_all();
    }).detach();

    std::unique_lock lock(lib->mutex);
    if (!lib->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return lib->finished; })) {
        lib->abandoned = true;
        return false;
    }
    lock.unlock();
    if (lib->result < 0) {
        lib->uninit();
        return false;
    }
    m_library = std::move(lib);
    m_connected = true;
    return true;
}

void RapiConnection::disconnect() {
    if (!m_connected)
        return;
    m_library->uninit();
    m_library.reset();
    m_connected = false;
}

} // namespace kalvendo
