#include "app/scratch_file.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "app/app_error.h"

namespace vantelle::app {

namespace {

[[noreturn]] void Fail(const char* what, int code) {
  throw Failure(std::string("cannot keep the frames in a temporary file: ") + what + ": " + std::strerror(code));
}

}  // namespace

ScratchFile::~ScratchFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
}

std::uint64_t ScratchFile::Append(const void* data, std::size_t size) {
  if (file_ == nullptr) {
    // glibc opens it unlinked at once, so not even SIGKILL leaves it behind.
    file_ = std::tmpfile();
    if (file_ == nullptr) {
      Fail("opening", errno);
    }
  }
  const std::uint64_t at = size_;
  if (size != 0 && (fseeko(file_, static_cast<off_t>(at), SEEK_SET) != 0 || std::fwrite(data, 1, size, file_) != size)) {
    Fail("writing", errno);
  }
  size_ += size;
  return at;
}

void ScratchFile::Read(std::uint64_t offset, void* data, std::size_t size) const {
  if (size == 0) {
    return;
  }
  if (file_ == nullptr || offset + size > size_ || fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0 ||
      std::fread(data, 1, size, file_) != size) {
    Fail("reading", errno);
  }
}

void BinaryChunk::Append(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (spilled_.Size() == 0 && held_.size() + size <= kHeld) {
    held_.insert(held_.end(), bytes, bytes + size);
    return;
  }
  spilled_.Append(bytes, size);
}

void BinaryChunk::ReadAt(std::uint64_t offset, void* data, std::size_t size) const {
  if (offset + size > Size()) {
    throw std::logic_error("BinaryChunk::ReadAt: beyond the chunk");
  }
  auto* out = static_cast<unsigned char*>(data);
  if (offset < held_.size()) {
    const std::size_t here = std::min<std::size_t>(size, held_.size() - static_cast<std::size_t>(offset));
    std::memcpy(out, held_.data() + offset, here);
    out += here;
    size -= here;
    offset += here;
  }
  if (size > 0) {
    spilled_.Read(offset - held_.size(), out, size);
  }
}

}  // namespace vantelle::app
