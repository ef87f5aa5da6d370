#pragma once

namespace zub::robust {

// Bytes this process holds from the heap at this moment, exactly: every
// block allocated and not yet freed, by any thread, large ones included.
// Unlike resident memory it does not move when the allocator keeps freed
// pages or returns them to the system.
long long HeapInUse();

} // namespace zub::robust
