// A list with its own lock that keeps the order of `add`. Iterate between lock() and unlock():
//   list.lock(); for (auto pos = list.getStartPosition(); pos;) use(list.getNext(pos));
//   list.unlock();
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace vorn {

template <class T> class SOCmnListHeader {
public:
    // A position is the 1-based index of the next element; 0 is the end.
    using Position = size_t;

    void lock() const { mutex_.lock(); }
    void unlock() const { mutex_.unlock(); }

    // These lock for their own call; hold lock() around a sequence that must stay consistent.
    void add(T value) {
        std::lock_guard guard(mutex_);
        items_.push_back(std::move(value));
    }
    size_t getCount() const {
        std::lock_guard guard(mutex_);
        return items_.size();
    }
    bool isEmpty() const { return getCount() == 0; }
    std::optional<T> removeHead() {
        std::lock_guard guard(mutex_);
        if (items_.empty())
            return std::nullopt;
        T head = std::move(items_.front());
        items_.erase(items_.begin());
        return head;
    }
    // Removes the first element equal to `value`; false when there is none.
    bool removeObject(const T& value) {
        std::lock_guard guard(mutex_);
        for (auto it = items_.begin(); it != items_.end(); ++it)
            if (*it == value) {
                items_.erase(it);
                return true;
            }
        return false;
    }
    void removeAll() {
        std::lock_guard guard(mutex_);
        items_.clear();
    }
    // Takes every element out at once, in order (what a consumer of a queue does).
    std::vector<T> takeAll() {
        std::lock_guard guard(mutex_);
        return std::exchange(items_, {});
    }

    // Iteration: call with the list locked.
    Position getStartPosition() const { return items_.empty() ? 0 : 1; }
    T& getNext(Position& pos) {
        T& value = items_[pos - 1];
        pos = pos < items_.size() ? pos + 1 : 0;
        return value;
    }
    const T& getNext(Position& pos) const {
        const T& value = items_[pos - 1];
        pos = pos < items_.size() ? pos + 1 : 0;
        return value;
    }
    // Index of the first element equal to `value`, or -1.
    long getIndex(const T& value) const {
        for (size_t i = 0; i < items_.size(); ++i)
            if (items_[i] == value)
                return static_cast<long>(i);
        return -1;
    }

private:
    mutable std::recursive_mutex mutex_;
    std::vector<T> items_; // no allocation while empty: every tag holds one list
};

} // namespace vorn
