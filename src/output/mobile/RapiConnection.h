#pragma once

#include <QString>

#include <memory>

namespace kalvendo {

// The remote API library: KALVENDO_RAPI_LIBRARY when set, else SynCE's
// "librapi.so.2".
QString rapiLibraryFile();

// A connection to a Windows Mobile device through the remote API, loaded at run
// time. Failing to connect (no library, no device, no answer in time) is not an
// error: connect() returns false and the remote API is uninitialised again.
// A connection stays open until disconnect() or destruction.
class RapiConnection {
public:
    RapiConnection();
    ~RapiConnection();
    RapiConnection(const RapiConnection&) = delete;
    RapiConnection& operator=(const RapiConnection&) = delete;

    // Starts the remote API's initialisation (CeRapiInitEx, or CeRapiInit where
    // the library has only that) and waits up to `timeoutMs` for its outcome.
    // True when the device answered in time and the library reports success.
    bool connect(int timeoutMs = 5000);
    bool isConnected() const { return m_connected; }
    void disconnect();

private:
    struct Library;
    std::shared_ptr<Library> m_library;
    bool m_connected = false;
};

} // namespace kalvendo
