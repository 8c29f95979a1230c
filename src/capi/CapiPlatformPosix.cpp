#include "capi/CapiPlatform.h"

#include <QByteArray>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/time.h>
#include <unistd.h>

namespace kalvendo::capiplatform {

void IgnoreBrokenPipe() {
    std::signal(SIGPIPE, SIG_IGN);
}

bool SharedMemoryUsable() {
    static std::atomic<unsigned> counter{0};
    const QByteArray name = "/kalvendo-probe-" + QByteArray::number(qint64(getpid())) + '-' +
                            QByteArray::number(counter++);
    const int fd = shm_open(name.constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        return false;
    }
    close(fd);
    shm_unlink(name.constData());
    return true;
}

unsigned WaitForMessage(void* entry, unsigned applId, int timeoutMs) {
    using Wait = unsigned (*)(unsigned, struct timeval*);
    auto wait = reinterpret_cast<Wait>(entry);
    if (timeoutMs < 0) {
        return wait(applId, nullptr);
    }
    struct timeval tv {};
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = (timeoutMs % 1000) * 1000;
    return wait(applId, &tv);
}

} // namespace kalvendo::capiplatform
