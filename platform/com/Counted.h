// The reference counting of a COM interface: the object deletes itself with its last reference.
#pragma once

#include "platform/Ole32.h"

#include <atomic>

template <typename Interface> class Counted : public Interface {
public:
    ULONG AddRef() override { return ++references; }
    ULONG Release() override {
        const ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> references{1};
};
