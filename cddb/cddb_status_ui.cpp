#include "cddb/cddb_status_ui.h"

#include <atomic>

#include "cddb/cddb_lookup.h"
#include "util/plugin_thread.h"

namespace {
// Installed once by the shell at start-up and cleared at shutdown; read by
// whichever thread runs a lookup.
std::atomic<CddbStatusUi*> g_statusUi{nullptr};
}  // namespace

void InstallCddbStatusUi(CddbStatusUi* ui) { g_statusUi.store(ui); }

CddbStatusUi* InstalledCddbStatusUi() { return g_statusUi.load(); }

const char* CddbResultMessage(int result) {
  switch (result) {
    case kCddbFoundOnServer: return "CD情報の取得に成功しました";
    case kCddbFoundInCache: return "CD情報の取得に成功しました(キャッシュ)";
    case kCddbNoDisc: return "CDがありません";
    case kCddbServerUnreachable: return "CDDBサーバに接続できません";
    case kCddbNotRegistered: return "CDがCDDBに登録されていません";
    case kCddbReadFailed: return "CDの情報の読み取りに失敗しました";
    case kCddbUnexpectedData: return "予期しないデータです";
    case kCddbServerRefused: return "CDDBサーバが要求を拒否しました";
    default: return "原因不明のエラーが発生しました";
  }
}

void ShowLookupOutcome(CddbStatusUi& ui, int result, const std::string& serverLine) {
  if (result == kCddbServerRefused && !serverLine.empty()) {
    ui.SetMessageAndDetail(CddbResultMessage(result), serverLine);
  } else {
    ui.SetMessage(CddbResultMessage(result));
  }
}

bool CddbStatusUi::AwaitWork(const std::function<bool()>& finished, const std::function<void()>& cancel,
                             std::uint32_t limitMs, std::uint32_t graceMs) {
  constexpr std::uint32_t kSliceMs = 5;
  std::uint64_t waited = 0;
  for (; !finished() && waited < limitMs; waited += kSliceMs) plugin_thread::SleepMs(kSliceMs);
  if (finished()) return true;
  cancel();
  for (waited = 0; !finished() && waited < graceMs; waited += kSliceMs) plugin_thread::SleepMs(kSliceMs);
  return finished();
}
