#include "device/cd_text_device.h"

#include "device/aligned_buffer.h"
#include "device/mmc_commands.h"

int CdTextDevice::ReadToc() {
  const int result = CdDevice::ReadToc();
  ReadCdText();
  return result;
}

void CdTextDevice::ReadCdText() {
  store_.clear();
  AlignedBuffer buffer(mmc::kCdTextBufferSize);
  const mmc::Cdb10 cdb = mmc::ReadCdText();
  if (SendToCurrentDrive(cdb.data(), cdb.size(), buffer.data(), mmc::kCdTextLength) != 0) return;
  // The drive was asked for kCdTextLength bytes; whatever its data length
  // claims, nothing past them is read.
  DecodeCdText(buffer.data(), mmc::kCdTextLength, store_);
}

int CdTextDevice::GetCdText(int index, std::uint8_t language, TitleInfo* out) const {
  auto it = store_.find(language);
  if (it == store_.end() || index < 0 || static_cast<std::size_t>(index) >= it->second.size()) return 0;
  if (out) *out = it->second[static_cast<std::size_t>(index)];
  return 1;
}
