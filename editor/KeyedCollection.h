// A collection of shared objects in insertion order, found by a string key. Adding under a
// key the collection already holds fails; keys are compared exactly, as the tree compares them.
#pragma once

#include "EditorError.h"

#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

namespace vorn::editor {

template <class T> class KeyedCollection {
public:
    using Entry = std::pair<std::string, std::shared_ptr<T>>;
    using const_iterator = typename std::list<Entry>::const_iterator;

    // Throws EditorError (457) when the key is taken, (5) when it is empty.
    void add(const std::string& key, std::shared_ptr<T> object) {
        if (key.empty())
            throw EditorError(kErrInvalidArgument, "Invalid procedure call or argument: empty key");
        if (contains(key))
            throw EditorError(kErrDuplicateCollectionKey,
                              "This key is already associated with an element of this "
                              "collection: " +
                                  key);
        entries_.emplace_back(key, std::move(object));
        index_.emplace(key, std::prev(entries_.end()));
    }

    bool contains(const std::string& key) const { return index_.count(key) != 0; }

    // Null when the key is not held.
    std::shared_ptr<T> find(const std::string& key) const {
        auto it = index_.find(key);
        return it == index_.end() ? nullptr : it->second->second;
    }

    // Throws EditorError (5) when the key is not held.
    T& item(const std::string& key) const {
        auto found = find(key);
        if (!found)
            throw EditorError(kErrInvalidArgument,
                              "Invalid procedure call or argument: no element with key " + key);
        return *found;
    }

    // Puts `object` under `newKey` in the place of the entry under `oldKey`, so the order of the
    // collection (and of the saved file) stays. Throws EditorError (5) when `oldKey` is not
    // held, (457) when `newKey` is another entry's; the collection is then unchanged.
    void replace(const std::string& oldKey, const std::string& newKey, std::shared_ptr<T> object) {
        auto it = index_.find(oldKey);
        if (it == index_.end())
            throw EditorError(kErrInvalidArgument,
                              "Invalid procedure call or argument: no element with key " + oldKey);
        if (newKey.empty())
            throw EditorError(kErrInvalidArgument, "Invalid procedure call or argument: empty key");
        if (newKey != oldKey && contains(newKey))
            throw EditorError(kErrDuplicateCollectionKey,
                              "This key is already associated with an element of this "
                              "collection: " +
                                  newKey);
        auto entry = it->second;
        index_.erase(it);
        entry->first = newKey;
        entry->second = std::move(object);
        index_.emplace(newKey, entry);
    }

    bool remove(const std::string& key) {
        auto it = index_.find(key);
        if (it == index_.end())
            return false;
        entries_.erase(it->second);
        index_.erase(it);
        return true;
    }

    void clear() {
        index_.clear();
        entries_.clear();
    }

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

private:
    std::list<Entry> entries_;
    std::unordered_map<std::string, typename std::list<Entry>::iterator> index_;
};

} // namespace vorn::editor
