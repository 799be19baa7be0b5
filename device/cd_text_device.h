#pragma once
// A CdDevice that also reads the disc's CD-TEXT every time it reads the
// table of contents.
#include <cstdint>

#include "device/cd_device.h"
#include "device/cd_text.h"

class CdTextDevice : public CdDevice {
 public:
  // The base table of contents, then the CD-TEXT whatever the base result;
  // returns the base result.
  int ReadToc() override;

  int HasCdText() const { return store_.empty() ? 0 : 1; }
  // 1 and a copy of the five texts when the language has the index;
  // otherwise 0 and `out` untouched.
  int GetCdText(int index, std::uint8_t language, TitleInfo* out) const;
  const CdTextStore& CdText() const { return store_; }

 protected:
  void ReadCdText();

 private:
  CdTextStore store_;
};
