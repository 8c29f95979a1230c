// A stand-in for the remote API library. By default a device answers at once
// with success; rapifake_set() makes it answer late or fail.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace {
struct RapiInit {
    std::uint32_t cbSize;
    void* heRapiInit;
    std::int32_t hrRapiInit;
};
std::atomic<std::int32_t> g_result{0};
std::atomic<std::int32_t> g_reported{0};
std::atomic<int> g_delayMs{0};
std::atomic<int> g_inits{0};
std::atomic<int> g_uninits{0};
} // namespace

#define RAPIFAKE_EXPORT extern "C" __attribute__((visibility("default")))

// `result` is what CeRapiInitEx returns, `reported` what it puts in hrRapiInit.
RAPIFAKE_EXPORT void rapifake_set(std::int32_t result, std::int32_t reported, int delayMs) {
    g_result = result;
    g_reported = reported;
    g_delayMs = delayMs;
    g_inits = 0;
    g_uninits = 0;
}
RAPIFAKE_EXPORT int rapifake_inits() {
    return g_inits;
}
RAPIFAKE_EXPORT int rapifake_uninits() {
    return g_uninits;
}

RAPIFAKE_EXPORT std::int32_t CeRapiInitEx(RapiInit* init) {
    ++g_inits;
    if (!init || init->cbSize != sizeof(RapiInit))
        return std::int32_t(0x80070057); // E_INVALIDARG
    std::this_thread::sleep_for(std::chrono::milliseconds(g_delayMs.load()));
    init->heRapiInit = nullptr;
    init->hrRapiInit = g_reported;
    return g_result;
}

RAPIFAKE_EXPORT std::int32_t CeRapiUninit() {
    ++g_uninits;
    return 0;
}
