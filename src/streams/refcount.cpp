// SPDX-License-Identifier: MIT
// qe_refcount<qe_filebuf>: the handle through which streams share one
// buffer, instantiated and exported here for the library's users.
//
// Ownership: a record owns its referent; the handle that drops the count to
// zero deletes both. The count is not synchronised: handles sharing a record
// are copied, assigned and destroyed by one thread at a time.
#include "zkqe_streams.h"

#include <climits>
#include <new>

template <class T> qe_refcount<T>::qe_refcount() : ref(nullptr) {}

template <class T> qe_refcount<T>::qe_refcount(T* buffer) : ref(new (std::nothrow) qe_ref) {
    if (ref == nullptr) {
        // The handle owns what it is given: without a record to hold it the
        // buffer is deleted at once instead of leaking.
        delete buffer;
        return;
    }
    ref->referent = buffer;
    ref->refCount = 1;
}

template <class T> qe_refcount<T>::qe_refcount(qe_refcount& other) : ref(other.incrReference()) {}

template <class T> void qe_refcount<T>::operator=(qe_refcount& other) {
    // Assigning a handle to itself keeps what it holds: letting go first
    // would delete the buffer of a sole holder.
    if (&other == this)
        return;
    decrReference();
    ref = other.incrReference();
}

template <class T> qe_refcount<T>::~qe_refcount() {
    decrReference();
}

template <class T> T* qe_refcount<T>::operator->() const {
    return ref == nullptr ? nullptr : ref->referent;
}

template <class T> T* qe_refcount<T>::operator()() const {
    return ref == nullptr ? nullptr : ref->referent;
}

template <class T> typename qe_refcount<T>::qe_ref* qe_refcount<T>::incrReference() {
    if (ref == nullptr)
        return nullptr;
    // One more share than a signed 32-bit count can hold gives no share.
    if (ref->refCount == INT_MAX)
        return nullptr;
    ++ref->refCount;
    return ref;
}

template <class T> void qe_refcount<T>::decrReference() {
    if (ref == nullptr)
        return;
    if (ref->refCount == 1) {
        delete ref->referent;
        ref->referent = nullptr;
        ref->refCount = 0;
    } else {
        --ref->refCount;
    }
    if (ref->refCount == 0)
        delete ref;
    // A handle that let go no longer points at the record, so a stray second
    // release cannot count twice.
    ref = nullptr;
}

// The export attribute comes from the extern declaration in the header.
template class qe_refcount<qe_filebuf>;
