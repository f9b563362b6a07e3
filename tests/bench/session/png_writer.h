// A small PNG encoder for the session's screen captures: 8-bit RGB, one
// filter per row chosen by the usual smallest-sum rule, and a deflate stream
// of fixed Huffman codes whose only matches are runs. Captures of windows are
// mostly flat colour, which the row filters turn into long runs of zeros, so
// this gets within a small factor of a full deflater at a fraction of its
// size. No windows.h: unit-tested natively.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vendrolix::bench {

// rgb holds width * height pixels, three bytes each, rows top to bottom.
// Returns the bytes of a PNG file, or an empty string when the sizes do not
// agree with rgb.
std::string EncodePng(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb);

// The zlib stream of data (deflate, one fixed-Huffman block).
std::string ZlibCompress(const std::vector<std::uint8_t>& data);

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace vendrolix::bench
