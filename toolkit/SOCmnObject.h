// Reference-counted toolkit objects and the counted pointer that holds them.
// An object is born with one reference, owned by its creator; whoever takes a reference
// releases it, and the last release deletes the object.
#pragma once

#include "toolkit/SOCmnException.h"

#include <atomic>
#include <new>
#include <utility>

namespace vorn {

class SOCmnObject {
public:
    SOCmnObject() = default;
    SOCmnObject(const SOCmnObject&) = delete;
    SOCmnObject& operator=(const SOCmnObject&) = delete;

    long addRef() const { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    long release() const {
        long left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }
    long refCount() const { return refs_.load(std::memory_order_relaxed); }

protected:
    virtual ~SOCmnObject() = default;

private:
    mutable std::atomic<long> refs_{1};
};

// Holds one counted reference. `adopt` takes over a reference the caller already owns;
// `share` takes a new one.
template <class T> class SOCmnPointer {
public:
    SOCmnPointer() = default;
    SOCmnPointer(std::nullptr_t) {}
    static SOCmnPointer adopt(T* object) { return SOCmnPointer(object); }
    static SOCmnPointer share(T* object) {
        if (object)
            object->addRef();
        return SOCmnPointer(object);
    }

    SOCmnPointer(const SOCmnPointer& other) : object_(other.object_) {
        if (object_)
            object_->addRef();
    }
    template <class U>
    SOCmnPointer(const SOCmnPointer<U>& other) : SOCmnPointer(share(other.get())) {}
    SOCmnPointer(SOCmnPointer&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    SOCmnPointer& operator=(SOCmnPointer other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~SOCmnPointer() { reset(); }

    void reset() {
        if (T* old = std::exchange(object_, nullptr))
            old->release();
    }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }
    bool operator==(const SOCmnPointer& other) const { return object_ == other.object_; }

private:
    explicit SOCmnPointer(T* object) : object_(object) {}
    T* object_ = nullptr;
};

// Creates a toolkit object; an allocation failure becomes the toolkit's "Out of memory".
template <class T, class... Args> SOCmnPointer<T> makeObject(Args&&... args) {
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object)
        throw SOCmnException::outOfMemory();
    return SOCmnPointer<T>::adopt(object);
}

} // namespace vorn
