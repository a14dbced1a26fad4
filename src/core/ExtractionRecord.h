// What an extraction created, so that a cancelled or failed run can take it
// away again.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <list>
#include <string>
#include <vector>

// Paths in the order they were added. A package may hold tens of thousands of
// files, and neighbours share most of their path, so each entry keeps only
// what differs from the one before it: the length of the shared beginning,
// the length of the rest, then the rest.
class PathList {
public:
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::wstring;
        using difference_type = std::ptrdiff_t;
        using pointer = const std::wstring*;
        using reference = const std::wstring&;

        const_iterator() = default;
        reference operator*() const { return path_; }
        pointer operator->() const { return &path_; }
        const_iterator& operator++() {
            at_ = next_;
            Decode();
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator was = *this;
            ++*this;
            return was;
        }
        bool operator==(const const_iterator& other) const { return at_ == other.at_; }
        bool operator!=(const const_iterator& other) const { return at_ != other.at_; }

    private:
        friend class PathList;
        const_iterator(const std::vector<wchar_t>* data, size_t at) : data_(data), at_(at) { Decode(); }
        void Decode() {
            if (at_ >= data_->size()) return;
            const size_t shared = (*data_)[at_];
            const size_t rest = (*data_)[at_ + 1];
            path_.resize(shared);
            path_.append(data_->data() + at_ + 2, rest);
            next_ = at_ + 2 + rest;
        }

        const std::vector<wchar_t>* data_ = nullptr;
        size_t at_ = 0;
        size_t next_ = 0;
        std::wstring path_;
    };
    using value_type = std::wstring;
    using iterator = const_iterator;

    void push_back(const std::wstring& path) {
        // Both lengths fit one character: no path here is longer than 32,767.
        constexpr size_t kMost = 0xFFFF;
        size_t shared = 0;
        const size_t most = std::min(std::min(path.size(), last_.size()), kMost);
        while (shared < most && path[shared] == last_[shared]) ++shared;
        const size_t rest = std::min(path.size() - shared, kMost);
        data_.push_back(static_cast<wchar_t>(shared));
        data_.push_back(static_cast<wchar_t>(rest));
        data_.insert(data_.end(), path.begin() + static_cast<std::ptrdiff_t>(shared),
                     path.begin() + static_cast<std::ptrdiff_t>(shared + rest));
        last_.assign(path, 0, shared + rest);
        ++count_;
    }
    const_iterator begin() const { return const_iterator(&data_, 0); }
    const_iterator end() const { return const_iterator(&data_, data_.size()); }
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    void clear() {
        std::vector<wchar_t>().swap(data_);
        last_.clear();
        count_ = 0;
    }

private:
    std::vector<wchar_t> data_;
    std::wstring last_;
    size_t count_ = 0;
};

struct ExtractionRecord {
    // Oldest first.
    PathList Files;
    // Outermost first, in the order they were created.
    std::list<std::wstring> Folders;
};
