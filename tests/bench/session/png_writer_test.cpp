// The screen captures must open in any viewer: each image is decoded again
// here by an independent reader of fixed-Huffman deflate and PNG filters.
#include "png_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <stdexcept>

namespace vendrolix::bench {
namespace {

class BitReader {
 public:
  explicit BitReader(const std::string& bytes, std::size_t at) : bytes_(bytes), bit_(at * 8) {}
  std::uint32_t Bits(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value |= Next() << i;
    return value;
  }
  std::uint32_t Next() {
    if (bit_ / 8 >= bytes_.size()) throw std::runtime_error("stream ends early");
    const std::uint32_t bit = (static_cast<unsigned char>(bytes_[bit_ / 8]) >> (bit_ % 8)) & 1u;
    ++bit_;
    return bit;
  }
  std::size_t ByteAfter() const { return (bit_ + 7) / 8; }

 private:
  const std::string& bytes_;
  std::size_t bit_;
};

int FixedSymbol(BitReader& in) {
  std::uint32_t code = 0;
  for (int length = 1; length <= 9; ++length) {
    code = (code << 1) | in.Next();
    if (length == 7 && code <= 0x17) return static_cast<int>(code) + 256;
    if (length == 8 && code >= 0x30 && code <= 0xBF) return static_cast<int>(code) - 0x30;
    if (length == 8 && code >= 0xC0 && code <= 0xC7) return static_cast<int>(code) - 0xC0 + 280;
    if (length == 9 && code >= 0x190) return static_cast<int>(code) - 0x190 + 144;
  }
  throw std::runtime_error("bad code");
}

std::vector<std::uint8_t> Inflate(const std::string& zlib) {
  static const int base[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static const int extra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  if (zlib.size() < 6 || ((static_cast<unsigned char>(zlib[0]) << 8) | static_cast<unsigned char>(zlib[1])) % 31)
    throw std::runtime_error("bad zlib header");
  BitReader in(zlib, 2);
  std::vector<std::uint8_t> out;
  if (in.Bits(1) != 1 || in.Bits(2) != 1) throw std::runtime_error("expected one fixed block");
  for (;;) {
    const int symbol = FixedSymbol(in);
    if (symbol < 256) {
      out.push_back(static_cast<std::uint8_t>(symbol));
      continue;
    }
    if (symbol == 256) break;
    const int code = symbol - 257;
    const int length = base[code] + static_cast<int>(in.Bits(extra[code]));
    std::uint32_t distanceCode = 0;
    for (int i = 0; i < 5; ++i) distanceCode = (distanceCode << 1) | in.Next();
    if (distanceCode != 0) throw std::runtime_error("only distance 1 expected");
    if (out.empty()) throw std::runtime_error("run before any byte");
    for (int i = 0; i < length; ++i) out.push_back(out.back());
  }
  const std::size_t at = in.ByteAfter();
  if (at + 4 != zlib.size()) throw std::runtime_error("trailing bytes");
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : out) a = (a + byte) % 65521u, b = (b + a) % 65521u;
  std::uint32_t stored = 0;
  for (int i = 0; i < 4; ++i) stored = (stored << 8) | static_cast<unsigned char>(zlib[at + static_cast<std::size_t>(i)]);
  if (stored != ((b << 16) | a)) throw std::runtime_error("adler mismatch");
  return out;
}

std::uint32_t Be32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
  return v;
}

// Decodes our PNG (chunks checked by CRC) back to RGB rows.
std::vector<std::uint8_t> DecodePng(const std::string& png, std::uint32_t& width, std::uint32_t& height) {
  if (png.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) throw std::runtime_error("signature");
  std::string idat;
  for (std::size_t at = 8; at < png.size();) {
    const std::uint32_t size = Be32(png, at);
    const std::string type = png.substr(at + 4, 4);
    const std::string data = png.substr(at + 8, size);
    const std::string body = png.substr(at + 4, 4 + size);
    if (Crc32(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()) != Be32(png, at + 8 + size))
      throw std::runtime_error("crc of " + type);
    if (type == "IHDR") {
      width = Be32(data, 0);
      height = Be32(data, 4);
      if (data.substr(8) != std::string("\x08\x02\x00\x00\x00", 5)) throw std::runtime_error("format");
    }
    if (type == "IDAT") idat += data;
    at += 12 + size;
  }
  const auto raw = Inflate(idat);
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  if (raw.size() != (stride + 1) * height) throw std::runtime_error("size");
  std::vector<std::uint8_t> rgb(stride * height);
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t type = raw[y * (stride + 1)];
    for (std::size_t x = 0; x < stride; ++x) {
      const int a = x >= 3 ? rgb[y * stride + x - 3] : 0;
      const int b = y > 0 ? rgb[(y - 1) * stride + x] : 0;
      const int c = (y > 0 && x >= 3) ? rgb[(y - 1) * stride + x - 3] : 0;
      int p = 0;
      if (type == 1) p = a;
      if (type == 2) p = b;
      if (type == 3) p = (a + b) / 2;
      if (type == 4) {
        const int e = a + b - c, pa = std::abs(e - a), pb = std::abs(e - b), pc = std::abs(e - c);
        p = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
      }
      if (type > 4) throw std::runtime_error("filter");
      rgb[y * stride + x] = static_cast<std::uint8_t>(raw[y * (stride + 1) + 1 + x] + p);
    }
  }
  return rgb;
}

TEST(PngWriter, ImagesDecodeBackExactly) {
  std::mt19937 random(7);
  const struct {
    const char* name;
    std::uint32_t width, height;
    std::function<std::uint8_t(std::uint32_t x, std::uint32_t y, int channel)> pixel;
  } cases[] = {
      {"one pixel", 1, 1, [](std::uint32_t, std::uint32_t, int c) { return static_cast<std::uint8_t>(40 * c); }},
      {"flat window grey, runs past 258", 400, 30, [](std::uint32_t, std::uint32_t, int) { return std::uint8_t{96}; }},
      {"frame and stripes", 123, 77,
       [](std::uint32_t x, std::uint32_t y, int c) {
         return static_cast<std::uint8_t>((x == 0 || y == 0 || x % 17 == 0) ? 255 : (y / 8) * 20 + c);
       }},
      {"gradient", 256, 3, [](std::uint32_t x, std::uint32_t y, int c) { return static_cast<std::uint8_t>(x + y * c); }},
      {"noise", 64, 64, [&](std::uint32_t, std::uint32_t, int) { return static_cast<std::uint8_t>(random()); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> rgb;
    for (std::uint32_t y = 0; y < c.height; ++y)
      for (std::uint32_t x = 0; x < c.width; ++x)
        for (int ch = 0; ch < 3; ++ch) rgb.push_back(c.pixel(x, y, ch));
    const std::string png = EncodePng(c.width, c.height, rgb);
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> back;
    ASSERT_NO_THROW(back = DecodePng(png, width, height));
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
    EXPECT_EQ(back, rgb);
  }
}

TEST(PngWriter, FlatCapturesCompressWell) {
  std::vector<std::uint8_t> rgb(640 * 480 * 3, 0xC0);
  EXPECT_LT(EncodePng(640, 480, rgb).size(), 640u * 480u * 3u / 50u);
}

TEST(PngWriter, RefusesSizesThatDoNotMatchThePixels) {
  EXPECT_EQ(EncodePng(2, 2, std::vector<std::uint8_t>(11)), "");
  EXPECT_EQ(EncodePng(0, 1, {}), "");
}

TEST(PngWriter, CrcIsTheStandardOne) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc32(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0xCBF43926u);
}

}  // namespace
}  // namespace vendrolix::bench
