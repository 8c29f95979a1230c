// Prints what `kalvendo --capi-info` prints; tests run it where loading the
// driver would be fatal (no usable /dev/shm).
#include "capi/CapiInfo.h"

#include <QTextStream>

#include <cstdio>

int main() {
    QTextStream out(stdout);
    return kalvendo::printCapiDiagnostics(out);
}
