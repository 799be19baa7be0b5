#include "ui/settings_pages.h"

#include "cddb/cddb_email.h"
#include "device/cd_device.h"
#include "input/plugin_settings.h"
#include "input/title_sources.h"
#include "util/codepage.h"
#include "util/message_box.h"

namespace settings_pages {

const char kProxyRefusedMessage[] = "プロキシサーバアドレスの書式が不正です。\nプロキシサーバの設定を無効にします。";
const char kEmailRefusedMessage[] =
    "メールアドレスの書式が不正です。\n「ユーザー名@ホスト名」（例: taro@example.jp）の形で、英数字と . _ - だけで入力してください。"
    "ホスト名には . を含むドメイン名が必要です。\n"
    "メールアドレスの設定は変更されません。";
const char kStartSizeMessage[] = "\"再生開始サイズ\"は\"バッファサイズ\"以下である必要があります。";
const char kMessageCaption[] = "in_quorvo.dll";
const char kReadOffsetRangeMessage[] = "\"読み取りオフセット\"は-5880～5880の範囲で指定する必要があります。\n範囲内の値に修正します。";
const char kReadOffsetNumberMessage[] =
    "\"読み取りオフセット\"には整数(サンプル数)を入力してください。\n読み取りオフセットの設定は変更されません。";
const char kRetriesRangeMessage[] = "\"再試行回数\"は2～64の範囲で指定する必要があります。\n範囲内の値に修正します。";
const char kRetriesNumberMessage[] = "\"再試行回数\"には整数を入力してください。\n再試行回数の設定は変更されません。";
const char kLogFolderCharsMessage[] =
    "ログフォルダの名前に、このシステムでは使えない文字が含まれています。\nログフォルダの設定は変更されません。";
const char kLogFolderOpenMessage[] = "ログフォルダを作成できないか、開けませんでした。\n";
const char kAccurateRipServerMessage[] =
    "\"サーバー\"には http:// で始まるアドレスを、半角英数字と記号だけで入力してください(https:// は使えません)。\n"
    "AccurateRip サーバーの設定は変更されません。";

namespace {

constexpr std::uint32_t kOneSecondBytes = 176400;

std::vector<Choice> ListOf(const std::map<std::uint32_t, std::string>& table, std::uint32_t atLeast) {
  std::vector<Choice> list;
  for (const auto& entry : table) {
    if (entry.first >= atLeast) list.push_back({entry.second, entry.first});
  }
  return list;
}

std::string TrimBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Full-width digits, signs and blanks (as a Japanese input method types
// them) as their ASCII forms; everything else as it is.
std::string NarrowDigits(const std::string& text) {
  std::u16string wide = codepage::Utf8ToUtf16(text);
  for (char16_t& c : wide) {
    if (c >= u'０' && c <= u'９') c = static_cast<char16_t>(u'0' + (c - u'０'));
    else if (c == u'＋') c = u'+';
    else if (c == u'－' || c == u'−') c = u'-';
    else if (c == u'　') c = u' ';
  }
  return codepage::Utf16ToUtf8(wide);
}

// One number field of the ripping page into `setting`; false when the
// text was no number and the setting was kept.
bool ApplyNumber(const std::string& typed, int low, int high, const char* rangeMessage, const char* numberMessage,
                 int* setting, HWND owner) {
  long value = 0;
  if (!ParseSettingNumber(NarrowDigits(typed), &value)) {
    msgbox::Show(owner, numberMessage, kMessageCaption, msgbox::kOk | msgbox::kIconError);
    return false;
  }
  if (value < low || value > high) {
    msgbox::Show(owner, rangeMessage, kMessageCaption, msgbox::kOk | msgbox::kIconError);
    value = value < low ? low : high;
  }
  *setting = static_cast<int>(value);
  return true;
}

}  // namespace

std::string AccurateRipServerFor(const std::string& typed) {
  std::string server = TrimBlanks(typed);
  if (server.empty()) return kDefaultAccurateRipServer;
  while (!server.empty() && server.back() == '/') server.pop_back();
  const std::string scheme = "http://";
  if (server.size() <= scheme.size() || server.compare(0, scheme.size(), scheme) != 0) return std::string();
  for (const unsigned char c : server) {
    if (c <= ' ' || c > '~') return std::string();
  }
  return server;
}

int PriorityNeighbour(int count, int selected, int direction) {
  if (selected < 0 || selected >= count) return -1;
  const int neighbour = selected + (direction < 0 ? -1 : 1);
  return neighbour < 0 || neighbour >= count ? -1 : neighbour;
}

std::string PriorityDisplayName(const std::string& identifier) {
  const TitleSource* source = FindTitleSource(identifier.c_str());
  return source ? source->displayName : identifier;
}

std::string PriorityIdentifier(const std::string& displayName) {
  for (const TitleSource& source : TitleSources()) {
    if (displayName == source.displayName) return source.name;
  }
  return std::string();
}

std::vector<Choice> ReadSpeedList() { return ListOf(ReadSpeedChoices(), 0); }
std::vector<Choice> PreReadSizeList() { return ListOf(BufferSizeChoices(), 0); }
std::vector<Choice> BufferSizeList() { return ListOf(BufferSizeChoices(), kOneSecondBytes); }

int ChoiceIndexFor(const std::vector<Choice>& list, std::uint32_t setting) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].value == setting) return static_cast<int>(i);
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].value > setting) return static_cast<int>(i);
  }
  return -1;
}

void ApplyReadPage(PluginSettings& settings, const ReadPageInput& input, HWND owner) {
  const std::vector<Choice> speeds = ReadSpeedList();
  const std::vector<Choice> buffers = BufferSizeList();
  const std::vector<Choice> starts = PreReadSizeList();
  auto valueAt = [](const std::vector<Choice>& list, int index, std::uint32_t current) {
    return index >= 0 && static_cast<std::size_t>(index) < list.size() ? list[static_cast<std::size_t>(index)].value
                                                                        : current;
  };
  const std::uint32_t b = valueAt(buffers, input.bufferIndex, settings.bufferSize);
  std::uint32_t s = valueAt(starts, input.preReadIndex, settings.preReadSize);
  if (b < s) {
    msgbox::Show(owner, kStartSizeMessage, kMessageCaption, msgbox::kOk | msgbox::kIconError);
    s = b;
  }
  settings.readSpeed = valueAt(speeds, input.speedIndex, settings.readSpeed);
  settings.jitterCorrection = input.jitter;
  settings.preReadSize = s;
  settings.bufferSize = b;
  settings.doubleBufferSize = 2 * b;
}

void ApplyRipPage(PluginSettings& settings, const RipPageInput& input, HWND owner) {
  const bool offsetApplied = ApplyNumber(input.readOffset, kRipReadOffsetMin, kRipReadOffsetMax,
                                         kReadOffsetRangeMessage, kReadOffsetNumberMessage, &settings.ripReadOffset,
                                         owner);
  // An offset left as shown stays "never set", so that the first rip still
  // finds it from the disc.
  if ((offsetApplied && input.readOffset != input.shownOffset) || input.offsetDetected) {
    settings.ripReadOffsetSet = true;
  }
  settings.ripSecure = input.secure;
  ApplyNumber(input.retries, kRipRetriesMin, kRipRetriesMax, kRetriesRangeMessage, kRetriesNumberMessage,
              &settings.ripRetries, owner);
  const std::string folder = TrimBlanks(input.logFolder);
  if (folder.empty() || folder == input.defaultLogFolder) {
    settings.ripLogFolder.clear();
  } else if (codepage::AnsiToUtf8(codepage::Utf8ToAnsi(folder)) != folder) {
    // Stored, it would name another folder than the one typed.
    msgbox::Show(owner, kLogFolderCharsMessage, kMessageCaption, msgbox::kOk | msgbox::kIconError);
  } else {
    settings.ripLogFolder = folder;
  }
  settings.accurateRipUse = input.accurateRipUse;
  const std::string server = AccurateRipServerFor(input.accurateRipServer);
  if (server.empty()) {
    msgbox::Show(owner, kAccurateRipServerMessage, kMessageCaption, msgbox::kOk | msgbox::kIconError);
  } else {
    settings.accurateRipServer = server;
  }
}

void ApplyCddbPage(PluginSettings& settings, const CddbPageInput& input, CddbClientSettings& client, HWND owner) {
  if (input.url != settings.cddbUrl) client.SetServerUrl(input.url);
  settings.cddbUrl = input.url;
  settings.cddbUseUtf8 = input.useUtf8;
  settings.cddbDialogAutoClose = input.autoClose;
  client.SetAutoClose(input.autoClose);  // for the next lookup, not the next start
  if (input.proxy.empty()) {
    settings.cddbUseProxy = false;
  } else if (client.SetProxy(input.proxy) == 1) {
    settings.cddbProxy = input.proxy;
    settings.cddbUseProxy = input.useProxy;
  } else {
    msgbox::Show(owner, kProxyRefusedMessage, kMessageCaption, msgbox::kOk | msgbox::kIconError);
    settings.cddbUseProxy = false;
  }
  const std::string email = TrimBlanks(input.email);
  // Only what the user typed is judged: a stored address that older
  // versions took (user@localhost) stays until it is edited.
  if (email == settings.cddbEmail || email.empty() || SplitCddbEmail(email, nullptr, nullptr)) {
    settings.cddbEmail = email;
  } else {
    msgbox::Show(owner, kEmailRefusedMessage, kMessageCaption, msgbox::kOk | msgbox::kIconError);
  }
  client.SetUseUtf8(settings.cddbUseUtf8);
  client.SetUseProxy(settings.cddbUseProxy);
  client.SetEmail(settings.cddbEmail);
  settings.urlHistory.insert(settings.cddbUrl);
  settings.proxyHistory.insert(settings.cddbProxy);
}

std::string TransportLabel(int transportKind) {
  const char* name = transportKind == kTransportSpti ? "SPTI" : transportKind == kTransportAspi ? "ASPI" : "不明";
  return std::string("使用ドライバ : ") + name;
}

}  // namespace settings_pages
