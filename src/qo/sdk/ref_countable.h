// RefCountable<I>: the implementation of reference counting shared by every concrete boundary
// class. The counter lives in an embedded RefCountableHolder; the library context's optional
// registry hears of every construction and destruction so that a host can count live objects.
//
// Threading: counts change with sequentially consistent atomic read-modify-writes from any thread;
// the release that produces 0 is the only one that destroys the object.
#pragma once

#include <atomic>
#include <cstdint>

#include "qo/sdk/i_ref_countable.h"

namespace qo::sdk {

class RefCountableHolder {
public:
    explicit RefCountableHolder(const IRefCountable* owner) : m_owner(owner) {}

    RefCountableHolder(const RefCountableHolder&) = delete;
    RefCountableHolder& operator=(const RefCountableHolder&) = delete;

    int32_t addRef() const { return ++countingHolder()->m_refCount; }

    int32_t releaseRef() const {
        const RefCountableHolder* holder = countingHolder();
        const int32_t newCount = --holder->m_refCount;
        if (newCount == 0 && holder->m_owner)
            delete holder->m_owner;
        return newCount;
    }

    /** The current count of the counting holder; racy by nature, for diagnostics and tests. */
    int32_t refCount() const { return countingHolder()->m_refCount.load(); }

private:
    const RefCountableHolder* countingHolder() const {
        const RefCountableHolder* holder = this;
        while (holder->m_delegate)
            holder = holder->m_delegate;
        return holder;
    }

    mutable std::atomic<int32_t> m_refCount{1};
    const IRefCountable* m_owner;
    RefCountableHolder* m_delegate = nullptr;
};

namespace detail {
// Reports to the library context's registry, when one is installed.
void reportObjectCreated(const IRefCountable* object, int32_t refCount);
void reportObjectDestroyed(const IRefCountable* object, int32_t refCount);
}  // namespace detail

template <class Interface>
class RefCountable : public Interface {
public:
    RefCountable(const RefCountable&) = delete;
    RefCountable& operator=(const RefCountable&) = delete;

    int32_t addRef() const override { return m_refCountableHolder.addRef(); }
    int32_t releaseRef() const override { return m_refCountableHolder.releaseRef(); }

    int32_t refCountThreadUnsafe() const { return m_refCountableHolder.refCount(); }

protected:
    RefCountable() : m_refCountableHolder(this) {
        detail::reportObjectCreated(this, m_refCountableHolder.refCount());
    }

    ~RefCountable() override {
        detail::reportObjectDestroyed(this, m_refCountableHolder.refCount());
    }

private:
    RefCountableHolder m_refCountableHolder;
};

}  // namespace qo::sdk
