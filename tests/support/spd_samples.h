#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A real module's SPD image with a peer decoder's reading of it, from the
// shared real-machine data.
struct SpdSample {
  std::vector<uint8_t> image;
  // Field label -> value as the peer decoder printed them (first occurrence).
  std::map<std::string, std::string> decoded;

  const std::string& Field(const std::string& label) const;
};

std::vector<std::string> SpdSampleNames();
SpdSample LoadSpdSample(const std::string& name);

// An image of the given size, zero-filled, with bytes set at offsets.
std::vector<uint8_t> SpdImage(size_t size, const std::map<size_t, uint8_t>& bytes);
