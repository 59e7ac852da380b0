// Ptr<T>: the owning smart pointer for reference-counted objects. It holds exactly one reference:
// constructing from a raw pointer takes one over (no addRef), copying adds one, destruction or
// reset releases one. To keep a pointer borrowed from the server, add a reference first
// (shareToPtr).
#pragma once

#include <cstddef>
#include <utility>

#include "qo/sdk/i_ref_countable.h"

namespace qo::sdk {

template <class T>
class Ptr {
public:
    Ptr() = default;
    Ptr(std::nullptr_t) {}
    explicit Ptr(T* ptr) : m_ptr(ptr) {}

    Ptr(const Ptr& other) : m_ptr(other.m_ptr) { addRef(); }
    Ptr(Ptr&& other) noexcept : m_ptr(other.m_ptr) { other.m_ptr = nullptr; }

    template <class U>
    Ptr(const Ptr<U>& other) : m_ptr(other.get()) {
        addRef();
    }

    template <class U>
    Ptr(Ptr<U>&& other) noexcept : m_ptr(other.releasePtr()) {}

    ~Ptr() { releaseRef(); }

    Ptr& operator=(const Ptr& other) {
        // Add first, release second: self-assignment keeps the object alive.
        T* old = m_ptr;
        m_ptr = other.m_ptr;
        addRef();
        if (old)
            old->releaseRef();
        return *this;
    }

    Ptr& operator=(Ptr&& other) noexcept {
        if (this != &other) {
            T* old = m_ptr;
            m_ptr = other.m_ptr;
            other.m_ptr = nullptr;
            if (old)
                old->releaseRef();
        }
        return *this;
    }

    Ptr& operator=(std::nullptr_t) {
        reset();
        return *this;
    }

    void reset() {
        T* old = m_ptr;
        m_ptr = nullptr;
        if (old)
            old->releaseRef();
    }

    /** Gives the reference up to the caller, leaving this pointer empty. */
    T* releasePtr() {
        T* ptr = m_ptr;
        m_ptr = nullptr;
        return ptr;
    }

    T* get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    T& operator*() const { return *m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }

    template <class U>
    bool operator==(const Ptr<U>& other) const {
        return m_ptr == other.get();
    }
    template <class U>
    bool operator!=(const Ptr<U>& other) const {
        return m_ptr != other.get();
    }
    bool operator==(std::nullptr_t) const { return m_ptr == nullptr; }
    bool operator!=(std::nullptr_t) const { return m_ptr != nullptr; }

private:
    void addRef() {
        if (m_ptr)
            m_ptr->addRef();
    }
    void releaseRef() {
        if (m_ptr)
            m_ptr->releaseRef();
    }

    T* m_ptr = nullptr;
};

/** Constructs a new object (count 1) and hands its only reference to the returned Ptr. */
template <class T, class... Args>
Ptr<T> makePtr(Args&&... args) {
    return Ptr<T>(new T(std::forward<Args>(args)...));
}

/** Takes over the reference that ptr already carries. */
template <class T>
Ptr<T> toPtr(T* ptr) {
    return Ptr<T>(ptr);
}

/** Adds a reference to a borrowed pointer and keeps it. */
template <class T>
Ptr<T> shareToPtr(T* ptr) {
    if (ptr)
        ptr->addRef();
    return Ptr<T>(ptr);
}

/** The object viewed as interface I (one reference, owned by the result), or null. */
template <class I, class T>
Ptr<I> queryInterfacePtr(T* object) {
    if (!object)
        return nullptr;
    return Ptr<I>(static_cast<I*>(object->queryInterface(I::interfaceId())));
}

template <class I, class T>
Ptr<I> queryInterfacePtr(const Ptr<T>& object) {
    return queryInterfacePtr<I>(object.get());
}

}  // namespace qo::sdk
