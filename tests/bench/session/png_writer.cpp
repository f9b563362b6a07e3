#include "png_writer.h"

#include <array>
#include <cstdlib>

namespace vendrolix::bench {
namespace {

// Bits leave least significant first; Huffman codes are stored reversed.
class BitWriter {
 public:
  void Bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Push((value >> i) & 1u);
  }
  void Code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Push((code >> i) & 1u);
  }
  std::string Finish() {
    if (used_ > 0) out_.push_back(static_cast<char>(current_));
    current_ = 0;
    used_ = 0;
    return std::move(out_);
  }

 private:
  void Push(std::uint32_t bit) {
    current_ |= static_cast<std::uint8_t>(bit << used_);
    if (++used_ == 8) {
      out_.push_back(static_cast<char>(current_));
      current_ = 0;
      used_ = 0;
    }
  }
  std::string out_;
  std::uint8_t current_ = 0;
  int used_ = 0;
};

// The fixed literal/length code of deflate.
void Symbol(BitWriter& bits, int symbol) {
  if (symbol < 144) return bits.Code(0x30u + static_cast<std::uint32_t>(symbol), 8);
  if (symbol < 256) return bits.Code(0x190u + static_cast<std::uint32_t>(symbol - 144), 9);
  if (symbol < 280) return bits.Code(static_cast<std::uint32_t>(symbol - 256), 7);
  bits.Code(0xC0u + static_cast<std::uint32_t>(symbol - 280), 8);
}

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

// A copy of the byte before, length 3..258 times: distance 1 is code 0.
void Run(BitWriter& bits, int length) {
  int code = 28;
  while (kLengthBase[static_cast<std::size_t>(code)] > length) --code;
  Symbol(bits, 257 + code);
  bits.Bits(static_cast<std::uint32_t>(length - kLengthBase[static_cast<std::size_t>(code)]),
            kLengthExtra[static_cast<std::size_t>(code)]);
  bits.Code(0, 5);
}

std::uint32_t Adler32(const std::vector<std::uint8_t>& data) {
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : data) {
    a = (a + byte) % 65521u;
    b = (b + a) % 65521u;
  }
  return (b << 16) | a;
}

void Be32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void Chunk(std::string& out, const char* type, const std::string& data) {
  Be32(out, static_cast<std::uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  Be32(out, Crc32(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()));
}

int Paeth(int left, int up, int upLeft) {
  const int p = left + up - upLeft;
  const int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upLeft);
  if (pa <= pb && pa <= pc) return left;
  return pb <= pc ? up : upLeft;
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string ZlibCompress(const std::vector<std::uint8_t>& data) {
  BitWriter bits;
  bits.Bits(1, 1);  // the last block
  bits.Bits(1, 2);  // fixed Huffman codes
  std::size_t i = 0;
  while (i < data.size()) {
    Symbol(bits, data[i]);
    std::size_t run = 0;
    while (i + 1 + run < data.size() && run < 258 && data[i + 1 + run] == data[i]) ++run;
    if (run >= 3) {
      Run(bits, static_cast<int>(run));
      i += run;
    }
    ++i;
  }
  Symbol(bits, 256);
  std::string out("\x78\x01", 2);
  out += bits.Finish();
  Be32(out, Adler32(data));
  return out;
}

std::string EncodePng(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb) {
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  if (width == 0 || height == 0 || rgb.size() != stride * height) return std::string();

  std::vector<std::uint8_t> filtered;
  filtered.reserve((stride + 1) * height);
  std::vector<std::uint8_t> candidate(stride);
  std::vector<std::uint8_t> best(stride);
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t* row = &rgb[y * stride];
    const std::uint8_t* up = y > 0 ? row - stride : nullptr;
    long bestSum = -1;
    std::uint8_t bestType = 0;
    for (std::uint8_t type = 0; type < 5; ++type) {
      long sum = 0;
      for (std::size_t x = 0; x < stride; ++x) {
        const int a = x >= 3 ? row[x - 3] : 0;
        const int b = up ? up[x] : 0;
        const int c = (up && x >= 3) ? up[x - 3] : 0;
        int predicted = 0;
        if (type == 1) predicted = a;
        if (type == 2) predicted = b;
        if (type == 3) predicted = (a + b) / 2;
        if (type == 4) predicted = Paeth(a, b, c);
        candidate[x] = static_cast<std::uint8_t>(row[x] - predicted);
        sum += candidate[x] < 128 ? candidate[x] : 256 - candidate[x];
      }
      if (bestSum < 0 || sum < bestSum) {
        bestSum = sum;
        bestType = type;
        best.swap(candidate);
      }
    }
    filtered.push_back(bestType);
    filtered.insert(filtered.end(), best.begin(), best.end());
  }

  std::string header;
  Be32(header, width);
  Be32(header, height);
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, adaptive, no interlace
  std::string out("\x89PNG\r\n\x1a\n", 8);
  Chunk(out, "IHDR", header);
  Chunk(out, "IDAT", ZlibCompress(filtered));
  Chunk(out, "IEND", std::string());
  return out;
}

}  // namespace vendrolix::bench
