// Decodes an arbitrary sensor data record the way the SDR section does:
// every accessor, then each readable threshold and a few raw readings
// normalised with the record's conversion factors and linearisation.
#include <string>

#include "fuzz/fuzz_support.h"
#include "mgmt/sdr_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CSdrData record;
  record.SetRecord(data, size);
  record.GetRecordId();
  record.GetVersionText();
  record.GetRecordTypeName();
  record.IsSoftwareOwner();
  record.GetOwnerId();
  record.GetOwnerLun();
  if (record.HasOwnerChannel()) record.GetOwnerChannel();
  record.GetSensorNumber();
  std::string text;
  if (record.HasEntity()) record.GetEntityName(text);
  CSdrData::GetSensorTypeName(record.GetSensorType());
  CSdrData::GetSensorUnitName(record.GetSensorBaseUnit());
  CSdrData::GetSensorUnitName(record.GetSensorModifierUnit());
  if (record.HasThresholds()) {
    for (const _SdrThreshold& threshold : CSdrData::Thresholds())
      if (record.GetThresholdMask() & threshold.mask)
        GetNormalizedSdrStringValue(text, record, record.GetRawByte(threshold.offset));
  }
  for (uint8_t raw : {0x00, 0x01, 0x7F, 0x80, 0xFF}) GetNormalizedSdrStringValue(text, record, raw);
  return 0;
}
