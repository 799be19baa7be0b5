#pragma once
// The user's e-mail address as the CDDB hello carries it: the public servers
// want a real address there and may refuse or ban a client without one.
#include <string>

// Exactly one "@" between a non-empty user (at most 64 characters) and a
// host with a domain (at least one dot, no empty name, at most 253
// characters), both of A-Z, a-z, 0-9, ".", "_" and "-" only (nothing that
// would need escaping in the request URL). True with the two parts; false
// leaves them unchanged.
bool SplitCddbEmail(const std::string& address, std::string* user, std::string* host);
