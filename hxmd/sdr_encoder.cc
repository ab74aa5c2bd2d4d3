#include "hxmd/sdr_encoder.h"

namespace {

// Header and key bytes shared by Full and Compact records; the record
// length byte (4) is filled in at the end.
std::vector<uint8_t> SensorHeader(const _SdrSensorFields& f, uint8_t type, size_t size) {
  std::vector<uint8_t> r(size, 0);
  r[0] = uint8_t(f.recordId);
  r[1] = uint8_t(f.recordId >> 8);
  r[2] = f.version;
  r[3] = type;
  r[5] = f.ownerId;
  r[6] = uint8_t(f.channel << 4 | (f.ownerLun & 3));
  r[7] = f.sensorNumber;
  r[8] = f.entityId;
  r[9] = f.entityInstance;
  r[11] = f.capabilities;
  r[12] = f.sensorType;
  r[13] = f.readingType;
  r[18] = f.readableMask;
  r[21] = f.baseUnit;
  r[22] = f.modifierUnit;
  return r;
}

void AppendIdString(std::vector<uint8_t>& r, const std::string& name) {
  r.push_back(uint8_t(0xC0 | (name.size() & 0x1F)));
  r.insert(r.end(), name.begin(), name.end());
  r[4] = uint8_t(r.size() - 5);
}

}  // namespace

std::vector<uint8_t> BuildFullSdr(const _SdrSensorFields& f) {
  std::vector<uint8_t> r = SensorHeader(f, 0x01, 47);
  r[23] = f.linearization;
  r[24] = uint8_t(f.m);
  r[25] = uint8_t((f.m >> 8 & 3) << 6);
  r[26] = uint8_t(f.b);
  r[27] = uint8_t((f.b >> 8 & 3) << 6);
  r[29] = uint8_t((f.resultExponent & 0xF) << 4 | (f.bExponent & 0xF));
  r[37] = f.upperCritical;
  r[38] = f.upperNonCritical;
  r[40] = f.lowerCritical;
  r[41] = f.lowerNonCritical;
  AppendIdString(r, f.name);
  return r;
}

std::vector<uint8_t> BuildCompactSdr(const _SdrSensorFields& f) {
  std::vector<uint8_t> r = SensorHeader(f, 0x02, 31);
  AppendIdString(r, f.name);
  return r;
}

std::vector<uint8_t> BuildLocatorSdr(uint8_t type, uint16_t recordId, uint8_t version, uint8_t entityId,
                                     uint8_t entityInstance, const std::string& name) {
  std::vector<uint8_t> r(15, 0);
  r[0] = uint8_t(recordId);
  r[1] = uint8_t(recordId >> 8);
  r[2] = version;
  r[3] = type;
  r[5] = 0x20;
  r[12] = entityId;
  r[13] = entityInstance;
  AppendIdString(r, name);
  return r;
}
