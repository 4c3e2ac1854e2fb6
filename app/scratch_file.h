// Bytes that may be too many to hold in memory: frames of an animation waiting to be
// written, and the binary chunk of a large .glb being put together.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace vantelle::app {

// An append-only temporary file without a name (the system's temporary folder), so that
// it disappears with the process however the process ends. Every failure throws the
// app's Failure, saying what could not be kept.
class ScratchFile {
public:
  ScratchFile() = default;
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Appends `size` bytes; returns where they start. The file is made on first use.
  std::uint64_t Append(const void* data, std::size_t size);
  // Reads `size` bytes at `offset` that Append wrote.
  void Read(std::uint64_t offset, void* data, std::size_t size) const;
  std::uint64_t Size() const { return size_; }

private:
  std::FILE* file_ = nullptr;
  std::uint64_t size_ = 0;
};

// The binary chunk of a .glb, appended in order: the first bytes in memory, everything
// past kHeld in a ScratchFile.
class BinaryChunk {
public:
  static constexpr std::size_t kHeld = std::size_t{8} << 20;

  void Append(const void* data, std::size_t size);
  std::uint64_t Size() const { return held_.size() + spilled_.Size(); }
  // Copies `size` bytes from `offset` of what was appended.
  void ReadAt(std::uint64_t offset, void* data, std::size_t size) const;
  // Hands every byte in order to `sink(data, size)`, in pieces of at most a few MB.
  template <class Sink>
  void Read(Sink&& sink) const {
    sink(held_.data(), held_.size());
    std::vector<unsigned char> piece;
    for (std::uint64_t at = 0; at < spilled_.Size(); at += piece.size()) {
      piece.resize(static_cast<std::size_t>(std::min<std::uint64_t>(spilled_.Size() - at, kPiece)));
      spilled_.Read(at, piece.data(), piece.size());
      sink(piece.data(), piece.size());
    }
  }

private:
  static constexpr std::uint64_t kPiece = std::uint64_t{4} << 20;
  std::vector<unsigned char> held_;
  ScratchFile spilled_;
};

}  // namespace vantelle::app
