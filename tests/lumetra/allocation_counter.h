// SPDX-License-Identifier: Apache-2.0
// Counts the heap allocations (operator new) the calling thread makes while
// a counter is alive, to show which paths allocate nothing. Linking this
// replaces the program's global operator new and delete.
#pragma once

#include <cstddef>

namespace lumetra_test {

class AllocationCounter {
  public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;
    std::size_t count() const;
};

}  // namespace lumetra_test
