#include "cddb/cddb_email.h"

namespace {

bool IsAddressPart(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

bool SplitCddbEmail(const std::string& address, std::string* user, std::string* host) {
  const std::size_t at = address.find('@');
  if (at == std::string::npos) return false;
  const std::string u = address.substr(0, at), h = address.substr(at + 1);
  if (!IsAddressPart(u) || !IsAddressPart(h)) return false;  // a second "@" fails here
  if (user) *user = u;
  if (host) *host = h;
  return true;
}
