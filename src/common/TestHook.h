#pragma once

namespace kalvendo {

// The one slot through which tests replace a behaviour that would leave the
// process or block it (message and file dialogs, the URL handler, program
// starts, the error handler). Fn is the seam's own std::function type, so
// each seam has its slot; an empty function means the real behaviour.
template <typename Fn> Fn& testHook() {
    static Fn hook;
    return hook;
}

} // namespace kalvendo
