#pragma once

// Test-side access to the simulated driver's control interface. It opens the
// same file the program loads (KALVENDO_CAPI_LIBRARY), so both share one
// driver state; the program itself only reaches the driver through the binding.

#include "capisim.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <dlfcn.h>

class CapiSimControl {
public:
    explicit CapiSimControl(
        const QString& file = QFile::decodeName(qgetenv("KALVENDO_CAPI_LIBRARY")))
        : m_handle(dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_LOCAL)) {
        if (m_handle == nullptr) {
            return;
        }
        resolve(reset, "capisim_reset");
        resolve(setInstalledInfo, "capisim_set_installed_info");
        resolve(setRegisterInfo, "capisim_set_register_info");
        resolve(setPutInfo, "capisim_set_put_info");
        resolve(setVersion, "capisim_set_version");
        resolve(setAutoConfirm, "capisim_set_auto_confirm");
        resolve(queueMessage, "capisim_queue_message");
        resolve(dropConnection, "capisim_drop_connection");
        resolve(setWaitBlocks, "capisim_set_wait_blocks");
        resolve(blockedWaits, "capisim_blocked_waits");
        resolve(putTime, "capisim_put_time");
        resolve(putCount, "capisim_put_count");
        resolve(getPut, "capisim_get_put");
        resolve(waitForPuts, "capisim_wait_for_puts");
        resolve(lastApplId, "capisim_last_applid");
        resolve(registration, "capisim_registration");
        resolve(releaseCount, "capisim_release_count");
    }
    ~CapiSimControl() {
        if (m_handle != nullptr) {
            dlclose(m_handle);
        }
    }
    CapiSimControl(const CapiSimControl&) = delete;
    CapiSimControl& operator=(const CapiSimControl&) = delete;

    bool isValid() const { return m_handle != nullptr && m_complete; }

    // Message `index` the program put, or an empty array.
    QByteArray put(unsigned index) const {
        QByteArray bytes(65536, '\0');
        const unsigned n =
            getPut(index, reinterpret_cast<unsigned char*>(bytes.data()), unsigned(bytes.size()));
        bytes.truncate(qsizetype(n));
        return bytes;
    }
    int queue(unsigned applId, const QByteArray& message) const {
        return queueMessage(applId, reinterpret_cast<const unsigned char*>(message.constData()));
    }

    decltype(&capisim_reset) reset = nullptr;
    decltype(&capisim_set_installed_info) setInstalledInfo = nullptr;
    decltype(&capisim_set_register_info) setRegisterInfo = nullptr;
    decltype(&capisim_set_put_info) setPutInfo = nullptr;
    decltype(&capisim_set_version) setVersion = nullptr;
    decltype(&capisim_set_auto_confirm) setAutoConfirm = nullptr;
    decltype(&capisim_queue_message) queueMessage = nullptr;
    decltype(&capisim_drop_connection) dropConnection = nullptr;
    decltype(&capisim_set_wait_blocks) setWaitBlocks = nullptr;
    decltype(&capisim_blocked_waits) blockedWaits = nullptr;
    decltype(&capisim_put_time) putTime = nullptr;
    decltype(&capisim_put_count) putCount = nullptr;
    decltype(&capisim_get_put) getPut = nullptr;
    decltype(&capisim_wait_for_puts) waitForPuts = nullptr;
    decltype(&capisim_last_applid) lastApplId = nullptr;
    decltype(&capisim_registration) registration = nullptr;
    decltype(&capisim_release_count) releaseCount = nullptr;

private:
    template <class Fn> void resolve(Fn& fn, const char* name) {
        fn = reinterpret_cast<Fn>(dlsym(m_handle, name));
        m_complete = m_complete && fn != nullptr;
    }

    void* m_handle = nullptr;
    bool m_complete = true;
};
