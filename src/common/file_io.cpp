#include "common/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <system_error>

namespace mel {

namespace fs = std::filesystem;

std::optional<std::vector<uint8_t>> read_whole_file(const fs::path& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes;
  // Read straight into a buffer of the size the file system tells, then on
  // in pieces for whatever it did not tell (a file that grew, a pipe).
  constexpr std::uintmax_t kLargestFirstRead = 64u << 20;
  const std::uintmax_t expected = fs::file_size(path, ec);
  if (!ec && expected > 0) {
    bytes.resize(static_cast<std::size_t>(std::min(expected, kLargestFirstRead)));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  }
  char chunk[65536];
  while (in) {
    in.read(chunk, sizeof chunk);
    std::streamsize got = in.gcount();
    if (got <= 0) break;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  if (in.bad() || bytes.empty()) return std::nullopt;
  return bytes;
}

std::vector<uint8_t> read_file_prefix(const fs::path& path, std::size_t n) {
  std::vector<uint8_t> bytes(n);
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(n));
  std::streamsize got = in.gcount();
  bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return bytes;
}

namespace {

fs::path temporary_sibling(const fs::path& target) {
  std::random_device rd;
  std::uniform_int_distribution<unsigned> dist(0, 0xFFFFFF);
  fs::path tmp = target;
  tmp += ".tmp" + std::to_string(dist(rd));
  return tmp;
}

void set_error(std::string* error, const std::string& text) {
  if (error) *error = text;
}

}  // namespace

bool write_file_atomic(const fs::path& path, const uint8_t* data, std::size_t size, std::string* error) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    set_error(error, "is a directory");
    return false;
  }
  fs::path tmp = temporary_sibling(path);
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) {
      set_error(error, std::strerror(errno));
      return false;
    }
    if (size > 0) out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.flush();
    if (!out) {
      set_error(error, "write failed");
      out.close();
      fs::remove(tmp, ec);
      return false;
    }
  }
  fs::rename(tmp, path, ec);
  if (ec) {
    set_error(error, ec.message());
    fs::remove(tmp, ec);
    return false;
  }
  return true;
}

}  // namespace mel
