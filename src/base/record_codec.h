// Little-endian records in shared memory and files: fixed-width integers and
// NUL-padded text fields at fixed offsets, every access bounds-checked (the
// bytes may come from another process and be garbage).
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace gorvane::base {

// A view of a record's bytes. Reads outside the bytes give 0 or "" and set
// the fault flag; writes outside them do nothing and set it.
class RecordView {
 public:
  explicit RecordView(std::span<std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t size() const { return bytes_.size(); }
  bool faulted() const { return faulted_; }
  std::uint8_t* data() { return bytes_.data(); }

  template <typename T>
  T Get(std::size_t offset) {
    static_assert(std::is_integral_v<T>);
    if (!Fits(offset, sizeof(T))) return T{};
    std::make_unsigned_t<T> v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
      v = static_cast<std::make_unsigned_t<T>>(v | static_cast<std::make_unsigned_t<T>>(bytes_[offset + i]) << (8 * i));
    return static_cast<T>(v);
  }
  template <typename T>
  void Put(std::size_t offset, T value) {
    static_assert(std::is_integral_v<T>);
    if (!Fits(offset, sizeof(T))) return;
    auto v = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) bytes_[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }

  // A NUL-padded text field of `width` bytes: the bytes up to the first NUL
  // (all of them when there is none).
  std::string Text(std::size_t offset, std::size_t width) {
    if (!Fits(offset, width)) return {};
    const auto* p = reinterpret_cast<const char*>(bytes_.data() + offset);
    const void* nul = std::memchr(p, 0, width);
    return std::string(p, nul ? static_cast<const char*>(nul) - p : width);
  }
  // Stores text cut to width - 1 bytes (so that a NUL always follows) and
  // pads the rest of the field with NULs. False when the text was cut.
  bool PutText(std::size_t offset, std::size_t width, std::string_view text) {
    if (width == 0 || !Fits(offset, width)) return false;
    const std::size_t n = std::min(text.size(), width - 1);
    std::memcpy(bytes_.data() + offset, text.data(), n);
    std::memset(bytes_.data() + offset + n, 0, width - n);
    return n == text.size();
  }
  std::span<std::uint8_t> Bytes(std::size_t offset, std::size_t width) {
    if (!Fits(offset, width)) return {};
    return bytes_.subspan(offset, width);
  }
  void Fill(std::size_t offset, std::size_t width, std::uint8_t value) {
    if (Fits(offset, width)) std::memset(bytes_.data() + offset, value, width);
  }

 private:
  bool Fits(std::size_t offset, std::size_t width) {
    const bool ok = offset <= bytes_.size() && width <= bytes_.size() - offset;
    faulted_ = faulted_ || !ok;
    return ok;
  }

  std::span<std::uint8_t> bytes_;
  bool faulted_ = false;
};

}  // namespace gorvane::base
