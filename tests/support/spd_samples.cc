#include "support/spd_samples.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "support/test_paths.h"

namespace {

std::string SampleDir() { return SharedDataDir() + "/realdata/spd"; }

// The peer decoder prints "<label padded to 49 columns><value>".
constexpr size_t kValueColumn = 49;

}  // namespace

const std::string& SpdSample::Field(const std::string& label) const {
  static const std::string missing;
  auto found = decoded.find(label);
  return found == decoded.end() ? missing : found->second;
}

std::vector<std::string> SpdSampleNames() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(SampleDir()))
    if (entry.path().extension() == ".bin") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

SpdSample LoadSpdSample(const std::string& name) {
  SpdSample sample;
  std::string image = ReadFile(SampleDir() + "/" + name + ".bin");
  sample.image.assign(image.begin(), image.end());
  std::istringstream text(ReadFile(SampleDir() + "/" + name + ".decode-dimms.txt"));
  for (std::string line; std::getline(text, line);) {
    if (line.size() <= kValueColumn || line[kValueColumn - 1] != ' ') continue;
    std::string label = line.substr(0, kValueColumn);
    label.erase(label.find_last_not_of(' ') + 1);
    if (!label.empty()) sample.decoded.emplace(label, line.substr(kValueColumn));
  }
  return sample;
}

std::vector<uint8_t> SpdImage(size_t size, const std::map<size_t, uint8_t>& bytes) {
  std::vector<uint8_t> image(size, 0);
  for (const auto& [offset, value] : bytes) image.at(offset) = value;
  return image;
}
