// A transport that hands every operation to another one, with a guard
// object alive around each command block (CommandGuard) and around opening
// and closing (OpenGuard): where a benchmark marks or delays the drive's
// share of the work.
#pragma once
#include <memory>
#include <utility>

#include "device/scsi_transport.h"

namespace bench {

struct NoGuard {};

template <class CommandGuard, class OpenGuard = CommandGuard>
class ForwardingTransport : public ScsiTransport {
 public:
  explicit ForwardingTransport(std::unique_ptr<ScsiTransport> inner) : inner_(std::move(inner)) {}
  int SendToDrive(const CdDrive& d, const std::uint8_t* c, std::uint8_t n, void* b, std::uint32_t l) override {
    [[maybe_unused]] CommandGuard g;
    return inner_->SendToDrive(d, c, n, b, l);
  }
  int Open(const CdDrive& d) override {
    [[maybe_unused]] OpenGuard g;
    return inner_->Open(d);
  }
  int Close() override {
    [[maybe_unused]] OpenGuard g;
    return inner_->Close();
  }
  int Send(const std::uint8_t* c, std::uint8_t n, void* b, std::uint32_t l) override {
    [[maybe_unused]] CommandGuard g;
    return inner_->Send(c, n, b, l);
  }
  int IsAvailable() override { return inner_->IsAvailable(); }
  int Initialize() override { return inner_->Initialize(); }
  int GetAddress(ScsiAddress* a) override { return inner_->GetAddress(a); }

 private:
  std::unique_ptr<ScsiTransport> inner_;
};

}  // namespace bench
