#include "cddb/cddb_email.h"

namespace {

// The lengths a mail path allows (RFC 5321): no real address is longer.
constexpr std::size_t kMaxUser = 64;
constexpr std::size_t kMaxHost = 253;

bool IsAddressPart(const std::string& text, std::size_t limit) {
  if (text.empty() || text.size() > limit) return false;
  for (char c : text) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

// The public service refuses a host without a domain (user@localhost): at
// least two names, none empty.
bool IsDomain(const std::string& host) {
  return host.find('.') != std::string::npos && host.front() != '.' && host.back() != '.' &&
         host.find("..") == std::string::npos;
}

}  // namespace

bool SplitCddbEmail(const std::string& address, std::string* user, std::string* host) {
  const std::size_t at = address.find('@');
  if (at == std::string::npos) return false;
  const std::string u = address.substr(0, at), h = address.substr(at + 1);
  // A second "@" fails here.
  if (!IsAddressPart(u, kMaxUser) || !IsAddressPart(h, kMaxHost) || !IsDomain(h)) return false;
  if (user) *user = u;
  if (host) *host = h;
  return true;
}
