#pragma once
// Secret: the one type that holds a password, a master password or text about to be typed.
// Its bytes are wiped when it is destroyed, cleared or reallocated, it cannot be copied by
// accident (copy is explicit: clone()), and it never prints itself.
#include <cstddef>
#include <string>
#include <string_view>

namespace runtime {

class Secret {
  public:
    Secret() = default;
    explicit Secret(std::string_view text);
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;
    Secret(Secret&& other) noexcept;
    Secret& operator=(Secret&& other) noexcept;
    ~Secret();

    // Takes over a std::string and wipes the source, so no second copy stays behind.
    static Secret adopt(std::string& source);

    Secret clone() const { return Secret(view()); }

    std::string_view view() const { return {data_, size_}; }
    const char* data() const { return data_ ? data_ : ""; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    void assign(std::string_view text);
    void append(std::string_view text);
    void append(char c) { append(std::string_view(&c, 1)); }
    void reserve(std::size_t capacity);
    // Wipes the bytes and makes it empty; the buffer stays for reuse.
    void clear();
    // Cuts to the first `length` bytes, wiping the rest.
    void truncate(std::size_t length);

    // Equality in time independent of where the texts differ (lengths may leak).
    bool equals(std::string_view other) const;

  private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Overwrites a string's bytes (its whole capacity) and empties it.
void wipe(std::string& text);

}  // namespace runtime
