#include "runtime/secret.h"

#include <sodium.h>

#include <cstring>
#include <utility>

namespace runtime {

namespace {

void release(char* data, std::size_t capacity) {
    if (!data) return;
    sodium_memzero(data, capacity);
    delete[] data;
}

}  // namespace

Secret::Secret(std::string_view text) {
    assign(text);
}

Secret::Secret(Secret&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

Secret& Secret::operator=(Secret&& other) noexcept {
    if (this != &other) {
        release(data_, capacity_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

Secret::~Secret() {
    release(data_, capacity_);
}

Secret Secret::adopt(std::string& source) {
    Secret secret(source);
    wipe(source);
    return secret;
}

void Secret::reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    // Grow by copying into a fresh buffer and wiping the old one: a realloc could leave
    // the old bytes behind in freed memory.
    char* grown = new char[capacity];
    if (size_) std::memcpy(grown, data_, size_);
    release(data_, capacity_);
    data_ = grown;
    capacity_ = capacity;
}

void Secret::assign(std::string_view text) {
    clear();
    append(text);
}

void Secret::append(std::string_view text) {
    if (text.empty()) return;
    if (size_ + text.size() > capacity_) {
        std::size_t wanted = capacity_ ? capacity_ * 2 : 32;
        while (wanted < size_ + text.size()) wanted *= 2;
        reserve(wanted);
    }
    std::memcpy(data_ + size_, text.data(), text.size());
    size_ += text.size();
}

void Secret::clear() {
    truncate(0);
}

void Secret::truncate(std::size_t length) {
    if (length >= size_) return;
    sodium_memzero(data_ + length, size_ - length);
    size_ = length;
}

bool Secret::equals(std::string_view other) const {
    if (other.size() != size_) return false;
    if (size_ == 0) return true;
    return sodium_memcmp(data_, other.data(), size_) == 0;
}

void wipe(std::string& text) {
    if (text.capacity() > 0) {
        text.resize(text.capacity());
        sodium_memzero(text.data(), text.size());
    }
    text.clear();
}

}  // namespace runtime
