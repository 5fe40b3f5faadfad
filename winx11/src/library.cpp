#include "library.h"

namespace winx11 {

Library& TheLibrary() {
    static Library* const library = new Library;
    return *library;
}

ThreadState& ThisThread() {
    thread_local ThreadState state;
    return state;
}

}  // namespace winx11
